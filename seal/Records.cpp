#include "seal/Records.h"

#include "platform/Cp932.h"

namespace velmr::seal {

template <std::size_t N> std::string_view FixedText<N>::View() const
{
    std::size_t length = 0;
    while (length < N && bytes[length] != '\0')
        ++length;
    std::string_view text(bytes.data(), length);
    if (length == N) {
        // An unterminated field from outside must not end in half a character.
        text = platform::cp932::CutToBytes(text, N);
        std::size_t position = 0;
        while (position < text.size()) {
            const bool lead =
                platform::cp932::IsLeadByte(static_cast<unsigned char>(text[position]));
            if (lead && position + 1 == text.size()) {
                text.remove_suffix(1);
                break;
            }
            position += lead ? 2 : 1;
        }
    }
    return text;
}

template <std::size_t N> void FixedText<N>::Assign(std::string_view sjis)
{
    const std::string_view cut =
        platform::cp932::CutToBytes(sjis.substr(0, sjis.find('\0')), N - 1);
    bytes.fill('\0');
    std::copy(cut.begin(), cut.end(), bytes.begin());
}

template <std::size_t N> QString FixedText<N>::ToUnicode() const
{
    return platform::cp932::Decode(View());
}

template struct FixedText<8>;
template struct FixedText<20>;
template struct FixedText<40>;

namespace {

// Writes fields in declaration order as little-endian bytes.
class Writer
{
public:
    explicit Writer(std::size_t size) { out_.reserve(size); }
    template <std::size_t N> void operator()(const FixedText<N>& text)
    {
        out_.append(text.bytes.data(), N);
    }
    template <std::size_t N> void operator()(const std::array<std::uint8_t, N>& raw)
    {
        out_.append(reinterpret_cast<const char*>(raw.data()), N);
    }
    void operator()(std::uint8_t byte) { out_.push_back(static_cast<char>(byte)); }
    void operator()(std::int32_t value)
    {
        const auto u = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8)
            out_.push_back(static_cast<char>((u >> shift) & 0xFF));
    }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

// Reads fields in declaration order from little-endian bytes.
class Reader
{
public:
    explicit Reader(std::span<const std::uint8_t> in) : in_(in) {}
    template <std::size_t N> void operator()(FixedText<N>& text)
    {
        std::copy_n(Take(N), N, reinterpret_cast<std::uint8_t*>(text.bytes.data()));
    }
    template <std::size_t N> void operator()(std::array<std::uint8_t, N>& raw)
    {
        std::copy_n(Take(N), N, raw.data());
    }
    void operator()(std::uint8_t& byte) { byte = *Take(1); }
    void operator()(std::int32_t& value)
    {
        const std::uint8_t* p = Take(4);
        value = static_cast<std::int32_t>(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                          std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
    }

private:
    const std::uint8_t* Take(std::size_t count)
    {
        const std::uint8_t* p = in_.data() + position_;
        position_ += count;
        return p;
    }
    std::span<const std::uint8_t> in_;
    std::size_t position_ = 0;
};

template <typename R, typename V> void Fields(R& r, V&& v)
{
    using T = std::remove_const_t<R>;
    if constexpr (std::is_same_v<T, NameStampRecord>) {
        v(r.Text1);
        v(r.Text2);
        v(r.Text3);
        v(r.Text4);
        v(r.FontName);
        v(r.FontStyle);
        v(r.FontStylePadding);
        v(r.FontSize);
        v(r.StampSize);
        v(r.TextSpace);
        v(r.StampColor);
        v(r.LineWidth);
        v(r.CircleParameter);
        v(r.OffsetX);
        v(r.OffsetY);
        v(r.Resolution);
        v(r.Reserved);
    } else if constexpr (std::is_same_v<T, NameStampExRecord>) {
        v(r.UseNameEX);
        v(r.ExText1);
        v(r.ExText2);
        v(r.ExText3);
        v(r.ExText4);
        v(r.ExFontName);
        v(r.ExFontStyle);
        v(r.ExFontStylePadding);
        v(r.ExFontSize);
        v(r.ExTextSpace);
        v(r.ExOffsetX);
        v(r.ExOffsetY);
        v(r.Reserved);
    } else if constexpr (std::is_same_v<T, DateStampRecord>) {
        v(r.Text1);
        v(r.Text2);
        v(r.FontNameU);
        v(r.FontNameM);
        v(r.FontNameL);
        v(r.FontStyleU);
        v(r.FontStyleM);
        v(r.FontStyleL);
        v(r.FontStylePadding);
        v(r.FontSizeU);
        v(r.FontSizeM);
        v(r.FontSizeL);
        v(r.StampSize);
        v(r.StampColor);
        v(r.LineWidth);
        v(r.SpaceM);
        v(r.PositionU);
        v(r.PositionL);
        v(r.Years);
        v(r.Header);
        v(r.TwinRing);
        v(r.Reserved);
    } else {
        static_assert(std::is_same_v<T, DateStampExRecord>);
        v(r.Text3);
        v(r.U_T2Space);
        v(r.Text4);
        v(r.L_T2FontSize);
        v(r.L_T2Space);
        v(r.Text5);
        v(r.L_T3Space);
        v(r.DateNZ);
        v(r.Reserved);
    }
}

template <typename R> std::string Serialize(const R& record)
{
    Writer writer(sizeof(R));
    Fields(record, writer);
    return writer.Take();
}

template <typename R> bool Deserialize(std::span<const std::uint8_t> bytes, R& record)
{
    if (bytes.size() != sizeof(R))
        return false;
    Reader reader(bytes);
    Fields(record, reader);
    return true;
}

} // namespace

std::string ToBytes(const NameStampRecord& record)
{
    return Serialize(record);
}
std::string ToBytes(const NameStampExRecord& record)
{
    return Serialize(record);
}
std::string ToBytes(const DateStampRecord& record)
{
    return Serialize(record);
}
std::string ToBytes(const DateStampExRecord& record)
{
    return Serialize(record);
}

bool FromBytes(std::span<const std::uint8_t> bytes, NameStampRecord& record)
{
    return Deserialize(bytes, record);
}
bool FromBytes(std::span<const std::uint8_t> bytes, NameStampExRecord& record)
{
    return Deserialize(bytes, record);
}
bool FromBytes(std::span<const std::uint8_t> bytes, DateStampRecord& record)
{
    return Deserialize(bytes, record);
}
bool FromBytes(std::span<const std::uint8_t> bytes, DateStampExRecord& record)
{
    return Deserialize(bytes, record);
}

std::string Sjis(QStringView text)
{
    return platform::cp932::Encode(text).value_or(std::string());
}

NameStampRecord NewNameStamp()
{
    NameStampRecord r;
    r.Text1.Assign(Sjis(u"名"));
    r.Text2.Assign(Sjis(u"字"));
    r.FontName.Assign(Sjis(u"ＭＳ 明朝"));
    r.FontStyle = kStyleBold;
    r.FontSize = 76;
    r.StampSize = 117;
    r.TextSpace = 0;
    r.StampColor = kColorRed;
    r.LineWidth = 4;
    r.CircleParameter = 100;
    r.OffsetX = 0;
    r.OffsetY = 0;
    r.Resolution = 0;
    return r;
}

NameStampExRecord NewNameStampEx()
{
    NameStampExRecord r;
    r.UseNameEX = 0;
    r.ExFontName.Assign(Sjis(u"ＭＳ 明朝"));
    r.ExFontStyle = kStyleBold;
    r.ExFontSize = 76;
    return r;
}

DateStampRecord NewDateStamp()
{
    DateStampRecord r;
    r.Text1.Assign(Sjis(u"組織"));
    r.Text2.Assign(Sjis(u"名字"));
    r.FontNameU.Assign(Sjis(u"ＭＳ 明朝"));
    r.FontNameM.Assign(Sjis(u"ＭＳ ゴシック"));
    r.FontNameL.Assign(Sjis(u"ＭＳ 明朝"));
    r.FontStyleU = kStyleBold;
    r.FontStyleM = kStyleBold;
    r.FontStyleL = kStyleBold;
    r.FontSizeU = 46;
    r.FontSizeM = 36;
    r.FontSizeL = 48;
    r.StampSize = 115;
    r.StampColor = kColorRed;
    r.LineWidth = 4;
    r.SpaceM = 0;
    r.PositionU = 2;
    r.PositionL = -2;
    r.Years = 0;
    r.TwinRing = 0;
    return r;
}

} // namespace velmr::seal
