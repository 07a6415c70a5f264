#include "platform/Cp932.h"

#include <cerrno>
#include <iconv.h>

namespace velmr::platform::cp932 {
namespace {

// One iconv descriptor per direction and thread; conversions reset it before each use.
class Converter
{
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }
    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_;
};

Converter& Encoder()
{
    thread_local Converter converter("CP932", "UTF-16LE");
    return converter;
}

Converter& Decoder()
{
    thread_local Converter converter("UTF-16LE", "CP932");
    return converter;
}

// Converts the UTF-16 text of one character (one or two code units) to CP932.
bool EncodeUnits(const char16_t* units, std::size_t count, std::string& out)
{
    Converter& conv = Encoder();
    if (!conv.valid())
        return false;
    conv.reset();
    char buffer[16];
    char* in = const_cast<char*>(reinterpret_cast<const char*>(units));
    std::size_t inLeft = count * sizeof(char16_t);
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    if (iconv(conv.get(), &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
        return false;
    if (iconv(conv.get(), nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
        return false;
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    return true;
}

} // namespace

std::optional<std::string> Encode(QStringView text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()) * 2);
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    const auto size = static_cast<std::size_t>(text.size());
    for (std::size_t i = 0; i < size;) {
        const char16_t unit = units[i];
        if (unit < 0x80) { // ASCII maps to itself
            out.push_back(static_cast<char>(unit));
            ++i;
            continue;
        }
        std::size_t count = 1;
        if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1]))
            count = 2;
        if (!EncodeUnits(units + i, count, out))
            return std::nullopt;
        i += count;
    }
    return out;
}

std::string EncodeLossy(QStringView text)
{
    std::string out;
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    const auto size = static_cast<std::size_t>(text.size());
    for (std::size_t i = 0; i < size;) {
        std::size_t count = 1;
        if (QChar::isHighSurrogate(units[i]) && i + 1 < size && QChar::isLowSurrogate(units[i + 1]))
            count = 2;
        if (units[i] < 0x80)
            out.push_back(static_cast<char>(units[i]));
        else if (!EncodeUnits(units + i, count, out))
            out.push_back('?');
        i += count;
    }
    return out;
}

QString Decode(std::string_view bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t i = 0;
    Converter& conv = Decoder();
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            out.append(QChar(char16_t(byte)));
            ++i;
            continue;
        }
        const std::size_t length = IsLeadByte(byte) && i + 1 < bytes.size() ? 2 : 1;
        char16_t units[4];
        char* in = const_cast<char*>(bytes.data() + i);
        std::size_t inLeft = length;
        char* outPtr = reinterpret_cast<char*>(units);
        std::size_t outLeft = sizeof units;
        bool ok = conv.valid();
        if (ok) {
            conv.reset();
            ok = iconv(conv.get(), &in, &inLeft, &outPtr, &outLeft) !=
                     static_cast<std::size_t>(-1) &&
                 inLeft == 0;
        }
        if (ok) {
            const std::size_t written = (sizeof units - outLeft) / sizeof(char16_t);
            out.append(reinterpret_cast<const QChar*>(units), static_cast<qsizetype>(written));
            i += length;
        } else {
            out.append(QChar(QChar::ReplacementCharacter));
            ++i;
        }
    }
    return out;
}

std::optional<QString> FirstUnrepresentable(QStringView text)
{
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    const auto size = static_cast<std::size_t>(text.size());
    std::string scratch;
    for (std::size_t i = 0; i < size;) {
        std::size_t count = 1;
        if (QChar::isHighSurrogate(units[i]) && i + 1 < size && QChar::isLowSurrogate(units[i + 1]))
            count = 2;
        if (units[i] >= 0x80 && !EncodeUnits(units + i, count, scratch))
            return QString(reinterpret_cast<const QChar*>(units + i),
                           static_cast<qsizetype>(count));
        i += count;
    }
    return std::nullopt;
}

std::string_view CutToBytes(std::string_view bytes, std::size_t maxBytes)
{
    std::size_t end = 0;
    while (end < bytes.size()) {
        const std::size_t length =
            IsLeadByte(static_cast<unsigned char>(bytes[end])) && end + 1 < bytes.size() ? 2 : 1;
        if (end + length > maxBytes)
            break;
        end += length;
    }
    return bytes.substr(0, end);
}

std::optional<std::size_t> EncodedLength(QStringView text)
{
    const auto encoded = Encode(text);
    return encoded ? std::optional<std::size_t>(encoded->size()) : std::nullopt;
}

} // namespace velmr::platform::cp932
