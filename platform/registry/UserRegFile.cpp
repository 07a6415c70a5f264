#include "platform/registry/UserRegFile.h"

#include <QSet>

#include <algorithm>
#include <chrono>
#include <mutex>

// The rules below follow what Wine's server accepts when it loads a registry file and what it
// writes when it saves one, so that the Velmor program sees exactly what this program wrote and
// this program sees exactly what the Velmor program wrote.
namespace velmr::platform {
namespace {

constexpr RegistryTime kTicksPerSecond = 10'000'000;
constexpr RegistryTime kUnixEpoch = 116'444'736'000'000'000ULL; // 1970-01-01 in FILETIME ticks
constexpr QByteArrayView kHeaderLine("WINE REGISTRY Version 2");
constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF");
constexpr char kHexDigits[] = "0123456789abcdef";

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

qsizetype SkipSpaces(QByteArrayView text, qsizetype at, qsizetype limit)
{
    while (at < limit && IsSpace(text[at]))
        ++at;
    return at;
}

// One line of the file as Wine reads it: the text without "\n" or "\r\n" and where the next
// line starts.
struct PhysicalLine
{
    qsizetype begin = 0;
    qsizetype contentEnd = 0;
    qsizetype next = 0;
};

PhysicalLine LineAt(QByteArrayView text, qsizetype begin)
{
    const qsizetype newline = text.indexOf('\n', begin);
    if (newline < 0)
        return {begin, text.size(), text.size()};
    qsizetype contentEnd = newline;
    if (contentEnd > begin && text[contentEnd - 1] == '\r')
        --contentEnd;
    return {begin, contentEnd, newline + 1};
}

// The "\n" or "\r\n" that ends `bytes`, empty for the last line of a file without one.
QByteArray LineEndOf(QByteArrayView bytes)
{
    if (bytes.endsWith("\r\n"))
        return QByteArrayLiteral("\r\n");
    if (bytes.endsWith('\n'))
        return QByteArrayLiteral("\n");
    return {};
}

// Appends the character that starts with the byte at `at` of UTF-8 text; Wine skips a byte that
// does not start a valid sequence. Returns where the next character starts.
qsizetype ReadUtf8(QByteArrayView text, qsizetype at, qsizetype limit, QString& out)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    int length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return at + 1;
    }
    if (limit - at < length)
        return at + 1;
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return at + 1;
        code = (code << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return at + 1;
    if (code > 0xFFFF) {
        out += QChar(char16_t(0xD800 + ((code - 0x10000) >> 10)));
        out += QChar(char16_t(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
        out += QChar(char16_t(code));
    }
    return at + length;
}

// The letter escapes and the control characters they stand for.
constexpr char kLetterEscapes[][2] = {{'a', '\a'}, {'b', '\b'}, {'e', '\x1b'}, {'f', '\f'},
                                      {'n', '\n'}, {'r', '\r'}, {'t', '\t'},   {'v', '\v'}};

char ControlForLetter(char letter)
{
    for (const auto& [escapeLetter, control] : kLetterEscapes) {
        if (escapeLetter == letter)
            return control;
    }
    return 0;
}

char LetterForControl(char16_t control)
{
    for (const auto& [letter, escapeControl] : kLetterEscapes) {
        if (char16_t(escapeControl) == control)
            return letter;
    }
    return 0;
}

struct Unescaped
{
    QString text;
    qsizetype end = 0; // just after the closing character
};

// Reads an escaped name or string from `at` up to the unescaped `close` character, which must
// come before `limit` (the end of the line).
std::optional<Unescaped> Unescape(QByteArrayView text, qsizetype at, qsizetype limit, char close)
{
    Unescaped result;
    QString& out = result.text;
    while (at < limit && text[at] != close) {
        if (text[at] == '\\') {
            ++at;
            if (at >= limit)
                return std::nullopt;
            const char escaped = text[at];
            if (const char control = ControlForLetter(escaped)) {
                out += QChar(char16_t(control));
                ++at;
                continue;
            }
            if (escaped == 'x') {
                ++at;
                char16_t value = 0;
                int digits = 0;
                for (; digits < 4 && at < limit && HexDigitValue(text[at]) >= 0; ++digits, ++at)
                    value = char16_t(value * 16 + HexDigitValue(text[at]));
                out += QChar(digits == 0 ? char16_t(u'x') : value);
                continue;
            }
            if (IsOctalDigit(escaped)) {
                char16_t value = 0;
                for (int digits = 0; digits < 3 && at < limit && IsOctalDigit(text[at]);
                     ++digits, ++at)
                    value = char16_t(value * 8 + (text[at] - '0'));
                out += QChar(value);
                continue;
            }
            // Any other character stands for itself, the closing one included.
        }
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            out += QChar(char16_t(byte));
            ++at;
        } else {
            at = ReadUtf8(text, at, limit, out);
        }
    }
    if (at >= limit)
        return std::nullopt;
    result.end = at + 1;
    return result;
}

// Escapes a name or string as Wine does, except that a character above U+007F always gets four
// hex digits, which reads back the same whatever follows it.
QByteArray Escape(QStringView text, char quoteA, char quoteB)
{
    QByteArray out;
    out.reserve(text.size() + 8);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c > 0x7F) {
            const char digits[] = {'\\',
                                   'x',
                                   kHexDigits[(c >> 12) & 0xF],
                                   kHexDigits[(c >> 8) & 0xF],
                                   kHexDigits[(c >> 4) & 0xF],
                                   kHexDigits[c & 0xF]};
            out.append(digits, sizeof digits);
        } else if (c < 0x20) {
            out += '\\';
            if (const char letter = LetterForControl(c)) {
                out += letter;
            } else {
                out += char('0' + ((c >> 6) & 7));
                out += char('0' + ((c >> 3) & 7));
                out += char('0' + (c & 7));
            }
        } else {
            if (c == u'\\' || c == char16_t(quoteA) || c == char16_t(quoteB))
                out += '\\';
            out += char(c);
        }
    }
    return out;
}

QByteArray EscapeKeyPath(const QStringList& path)
{
    QByteArray out;
    for (const QString& component : path) {
        if (!out.isEmpty())
            out += "\\\\";
        out += Escape(component, '[', ']');
    }
    return out;
}

QByteArray ValueLine(const QString& name, const QString& data)
{
    QByteArray line = name.isEmpty() ? QByteArray("@=") : '"' + Escape(name, '"', '"') + "\"=";
    return line + '"' + Escape(data, '"', '"') + '"';
}

QByteArray HeaderTime(RegistryTime time)
{
    const RegistryTime seconds = time > kUnixEpoch ? (time - kUnixEpoch) / kTicksPerSecond : 0;
    return QByteArray::number(static_cast<std::uint32_t>(seconds));
}

QByteArray TimeOption(RegistryTime time)
{
    // Wine prints the high and low halves as "%x%08x".
    QByteArray low = QByteArray::number(static_cast<std::uint32_t>(time), 16);
    low.prepend(QByteArray(8 - low.size(), '0'));
    return "#time=" + QByteArray::number(static_cast<std::uint32_t>(time >> 32), 16) + low;
}

QStringList NormalizedPath(const QStringList& path)
{
    QStringList components;
    for (const QString& component : path)
        components += component.split(u'\\', Qt::SkipEmptyParts);
    return components;
}

QString FoldedPath(const QStringList& path, qsizetype count)
{
    QString folded;
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            folded += u'\\';
        folded += path[i].toCaseFolded();
    }
    return folded;
}

QString FoldedPath(const QStringList& path)
{
    return FoldedPath(path, path.size());
}

// Wine keeps keys in the order of a depth-first walk with the subkeys of each key sorted without
// regard to case.
int CompareKeyPaths(const QStringList& a, const QStringList& b)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (const int order = QString::compare(a[i], b[i], Qt::CaseInsensitive))
            return order;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool SameName(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

enum class ValueForm
{
    Broken,    // no name or no "=": Wine ignores the line
    Malformed, // Wine makes a value without type or data of it
    Valid,
};

struct ParsedValue
{
    ValueForm form = ValueForm::Broken;
    QString name;
    RegistryValueKind kind = RegistryValueKind::NotString;
    QString data;
    qsizetype end = 0;      // where the lines of the value end
    bool wantsMore = false; // a continued hex value that ends the file
};

// "hex:" or "hex(n):" data, which may go on over lines ending in "\". REG_SZ data in this form
// (Wine writes it so when a string lacks its terminating zero) reads as a string.
void ReadHexData(QByteArrayView text, PhysicalLine line, qsizetype at, int type, ParsedValue& value)
{
    QByteArray bytes;
    for (;;) {
        while (at < line.contentEnd && HexDigitValue(text[at]) >= 0) {
            unsigned byte = 0;
            for (; at < line.contentEnd && HexDigitValue(text[at]) >= 0; ++at)
                byte = std::min(byte * 16 + unsigned(HexDigitValue(text[at])), 0x100u);
            if (byte > 0xFF)
                return;
            bytes += char(byte);
            at = SkipSpaces(text, at, line.contentEnd);
            if (at < line.contentEnd && text[at] == ',')
                ++at;
            at = SkipSpaces(text, at, line.contentEnd);
        }
        at = SkipSpaces(text, at, line.contentEnd);
        if (at >= line.contentEnd)
            break;
        if (text[at] != '\\')
            return;
        if (line.next >= text.size()) {
            value.wantsMore = true;
            return;
        }
        line = LineAt(text, line.next);
        value.end = line.next;
        at = SkipSpaces(text, line.begin, line.contentEnd);
    }
    value.form = ValueForm::Valid;
    if (type != 1)
        return;
    value.kind = RegistryValueKind::String;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        value.data += QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8)));
    if (value.data.endsWith(QChar(0)))
        value.data.chop(1);
}

// Reads the value whose first line starts at `begin` of `text`.
ParsedValue ReadValue(QByteArrayView text, qsizetype begin)
{
    ParsedValue value;
    const PhysicalLine line = LineAt(text, begin);
    value.end = line.next;
    qsizetype at = SkipSpaces(text, line.begin, line.contentEnd);
    if (at >= line.contentEnd)
        return value;
    if (text[at] == '@') {
        ++at;
    } else if (text[at] == '"') {
        std::optional<Unescaped> name = Unescape(text, at + 1, line.contentEnd, '"');
        if (!name)
            return value;
        value.name = std::move(name->text);
        at = name->end;
    } else {
        return value;
    }
    at = SkipSpaces(text, at, line.contentEnd);
    if (at >= line.contentEnd || text[at] != '=')
        return value;
    at = SkipSpaces(text, at + 1, line.contentEnd);
    value.form = ValueForm::Malformed;

    const QByteArrayView data = text.sliced(at, line.contentEnd - at);
    const auto readString = [&](qsizetype skip, RegistryValueKind kind) {
        std::optional<Unescaped> string = Unescape(text, at + skip, line.contentEnd, '"');
        if (!string)
            return;
        value.form = ValueForm::Valid;
        value.kind = kind;
        if (kind == RegistryValueKind::String)
            value.data = std::move(string->text);
    };
    if (data.startsWith('"')) {
        readString(1, RegistryValueKind::String);
    } else if (data.startsWith("str:\"")) {
        readString(5, RegistryValueKind::String);
    } else if (data.startsWith("str(2):\"") || data.startsWith("str(7):\"")) {
        readString(8, RegistryValueKind::NotString);
    } else if (data.startsWith("hex:")) {
        ReadHexData(text, line, at + 4, 3, value);
    } else if (data.startsWith("dword:")) {
        value.form = ValueForm::Valid;
    } else if (data.startsWith("hex(")) {
        qsizetype typeEnd = at + 4;
        unsigned type = 0;
        for (; typeEnd < line.contentEnd && HexDigitValue(text[typeEnd]) >= 0; ++typeEnd)
            type = std::min(type * 16 + unsigned(HexDigitValue(text[typeEnd])), 0x10000u);
        if (text.sliced(typeEnd, line.contentEnd - typeEnd).startsWith("):"))
            ReadHexData(text, line, typeEnd + 2, int(type), value);
    }
    return value;
}

} // namespace

enum class UserRegFile::LineKind
{
    Other,
    Blank,
    Comment,
    Header,
    Time,
    Option,
    Value,
    Broken
};

struct UserRegFile::Line
{
    qsizetype begin = 0; // the bytes of the file, line ends included
    qsizetype end = 0;
    QByteArray written; // the bytes instead, once this program has written the line
    bool isWritten = false;
    LineKind kind = LineKind::Other;
    bool wantsMore = false;

    QByteArrayView Bytes(const QByteArray& source) const
    {
        if (isWritten)
            return written;
        return QByteArrayView(source).sliced(begin, end - begin);
    }
};

struct UserRegFile::Section
{
    bool isKey = false; // false for the file's header and for a key line Wine cannot read
    QStringList path;
    QString folded;
    qsizetype headerPathEnd = 0; // in the key line, just after its "]"
    std::vector<Line> lines;     // for a key, the key line comes first

    // The values of the lines, read at the first look and forgotten when a line changes.
    mutable std::mutex valuesMutex;
    mutable bool valuesRead = false;
    mutable std::vector<std::pair<std::size_t, ParsedValue>> values;

    void LinesChanged()
    {
        valuesRead = false;
        values.clear();
    }

    const std::vector<std::pair<std::size_t, ParsedValue>>& Values(const QByteArray& source) const
    {
        const std::lock_guard lock(valuesMutex);
        if (!valuesRead) {
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (lines[i].kind != LineKind::Value)
                    continue;
                ParsedValue value = ReadValue(lines[i].Bytes(source), 0);
                if (value.form != ValueForm::Broken)
                    values.emplace_back(i, std::move(value));
            }
            valuesRead = true;
        }
        return values;
    }
};

struct UserRegFile::Lookup
{
    RegistryValueKind kind = RegistryValueKind::Missing;
    QString data;
    QString name;               // as the file spells it
    Section* section = nullptr; // the section and line that last set the value
    std::size_t line = 0;
};

RegistryTime CurrentRegistryTime()
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto ticks =
        std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count() / 100;
    return kUnixEpoch + RegistryTime(std::max<std::int64_t>(ticks, 0));
}

QByteArray NewUserRegHeader()
{
    return QByteArrayLiteral("WINE REGISTRY Version 2\n"
                             ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
                             "\n"
                             "#arch=win64\n");
}

UserRegFile::UserRegFile() = default;
UserRegFile::UserRegFile(UserRegFile&& other) noexcept = default;
UserRegFile& UserRegFile::operator=(UserRegFile&& other) noexcept = default;
UserRegFile::~UserRegFile() = default;

UserRegFile UserRegFile::Empty()
{
    return std::move(*Parse(NewUserRegHeader()));
}

std::optional<UserRegFile> UserRegFile::Parse(QByteArray bytes)
{
    UserRegFile file;
    file.source_ = std::move(bytes);
    const QByteArrayView text(file.source_);
    const qsizetype start = text.startsWith(kByteOrderMark) ? kByteOrderMark.size() : 0;
    const PhysicalLine first = LineAt(text, start);
    if (text.sliced(start, first.contentEnd - start) != kHeaderLine)
        return std::nullopt;
    file.lineEnd_ = first.next - first.contentEnd == 2 ? QByteArray("\r\n") : QByteArray("\n");

    auto section = std::make_unique<Section>();
    section->lines.push_back({0, first.next, {}, false, LineKind::Other, false});
    for (qsizetype at = first.next; at < text.size();) {
        const PhysicalLine physical = LineAt(text, at);
        const qsizetype lead = SkipSpaces(text, physical.begin, physical.contentEnd);
        Line line{at, physical.next, {}, false, LineKind::Broken, false};
        switch (lead < physical.contentEnd ? text[lead] : '\0') {
        case '[': {
            file.AddSection(std::move(section));
            section = std::make_unique<Section>();
            if (std::optional<Unescaped> name =
                    Unescape(text, lead + 1, physical.contentEnd, ']')) {
                section->isKey = true;
                section->path = name->text.split(u'\\', Qt::SkipEmptyParts);
                section->headerPathEnd = name->end - at;
            }
            line.kind = LineKind::Header;
            break;
        }
        case '@':
        case '"':
            line.kind = LineKind::Value;
            // Only hex data goes on over several lines, and only after a "\".
            if (const QByteArrayView content = text.sliced(lead, physical.contentEnd - lead);
                content.contains('\\') && content.contains("hex")) {
                const ParsedValue value = ReadValue(text, at);
                line.end = value.end;
                line.wantsMore = value.wantsMore;
            }
            break;
        case '#':
            line.kind = text.sliced(lead).startsWith("#time=") ? LineKind::Time : LineKind::Option;
            break;
        case ';':
            line.kind = LineKind::Comment;
            break;
        case '\0':
            line.kind = LineKind::Blank;
            break;
        default:
            break;
        }
        section->lines.push_back(line);
        at = line.end;
    }
    file.AddSection(std::move(section));
    return file;
}

void UserRegFile::AddSection(std::unique_ptr<Section> section)
{
    if (section->isKey)
        Index(*section);
    sections_.push_back(std::move(section));
}

void UserRegFile::Index(Section& section)
{
    section.folded = FoldedPath(section.path);
    sectionsByKey_[section.folded].push_back(&section);
    // A known key has its parents known too, so the walk up stops at the first known one.
    QString folded = section.folded;
    for (qsizetype count = section.path.size(); count > 0; --count) {
        if (keys_.contains(folded))
            break;
        keys_.insert(folded, &section);
        if (count > 1)
            folded.truncate(folded.lastIndexOf(u'\\'));
    }
}

QByteArrayView UserRegFile::Bytes(const Line& line) const
{
    return line.Bytes(source_);
}

bool UserRegFile::KeyExists(const QStringList& keyPath) const
{
    const QStringList path = NormalizedPath(keyPath);
    return path.isEmpty() || keys_.contains(FoldedPath(path));
}

UserRegFile::Lookup UserRegFile::Find(const QStringList& keyPath, const QString& name) const
{
    Lookup found;
    const auto sections = sectionsByKey_.constFind(FoldedPath(NormalizedPath(keyPath)));
    if (sections == sectionsByKey_.cend())
        return found;
    // Like Wine, a later line for the same name replaces the data of an earlier one but keeps
    // the name as first spelled; a later line with malformed data leaves the value without type
    // or data, whatever it held before.
    for (Section* section : *sections) {
        for (const auto& [line, value] : section->Values(source_)) {
            if (!SameName(value.name, name))
                continue;
            if (found.kind == RegistryValueKind::Missing)
                found.name = value.name;
            const bool valid = value.form == ValueForm::Valid;
            found.kind = valid ? value.kind : RegistryValueKind::NotString;
            found.data = valid ? value.data : QString();
            found.section = section;
            found.line = line;
        }
    }
    return found;
}

RegistryValueKind UserRegFile::ValueKind(const QStringList& keyPath, const QString& name) const
{
    return Find(keyPath, name).kind;
}

QString UserRegFile::StringValue(const QStringList& keyPath, const QString& name) const
{
    Lookup found = Find(keyPath, name);
    return found.kind == RegistryValueKind::String ? std::move(found.data) : QString();
}

std::vector<QStringList> UserRegFile::Keys() const
{
    std::vector<QStringList> keys;
    QSet<QString> seen;
    for (const auto& section : sections_) {
        if (section->isKey && !seen.contains(section->folded)) {
            seen.insert(section->folded);
            keys.push_back(section->path);
        }
    }
    return keys;
}

QStringList UserRegFile::ValueNames(const QStringList& keyPath) const
{
    QStringList names;
    QSet<QString> seen;
    const auto sections = sectionsByKey_.constFind(FoldedPath(NormalizedPath(keyPath)));
    if (sections == sectionsByKey_.cend())
        return names;
    for (const Section* section : *sections) {
        for (const auto& [line, value] : section->Values(source_)) {
            const QString folded = value.name.toCaseFolded();
            if (!seen.contains(folded)) {
                seen.insert(folded);
                names += value.name;
            }
        }
    }
    return names;
}

bool UserRegFile::CreateKey(const QStringList& keyPath, RegistryTime now)
{
    const QStringList path = NormalizedPath(keyPath);
    if (KeyExists(path))
        return false;
    InsertSection(path, now);
    return true;
}

bool UserRegFile::SetString(const QStringList& keyPath, const QString& name, const QString& data,
                            RegistryTime now)
{
    const QStringList path = NormalizedPath(keyPath);
    const Lookup found = Find(path, name);
    if (found.kind == RegistryValueKind::String && found.data == data)
        return false;

    const QByteArray content = ValueLine(found.name.isNull() ? name : found.name, data);
    if (found.section) {
        Line& line = found.section->lines[found.line];
        QByteArray bytes = content + LineEndOf(Bytes(line));
        line.written = std::move(bytes);
        line.isWritten = true;
        line.wantsMore = false;
        found.section->LinesChanged();
        Touch(*found.section, now);
        return true;
    }

    const auto sections = sectionsByKey_.constFind(FoldedPath(path));
    Section& section =
        sections != sectionsByKey_.cend() ? *sections->back() : InsertSection(path, now);
    std::size_t after = 0;
    for (std::size_t i = 0; i < section.lines.size(); ++i) {
        const LineKind kind = section.lines[i].kind;
        if (kind == LineKind::Header || kind == LineKind::Time || kind == LineKind::Option ||
            kind == LineKind::Value)
            after = i;
    }
    InsertLine(section, after, content, LineKind::Value);
    Touch(section, now);
    return true;
}

bool UserRegFile::Apply(const RegistryChange& change, RegistryTime now)
{
    if (change.valueName.isNull())
        return CreateKey(change.keyPath, now);
    return SetString(change.keyPath, change.valueName, change.data, now);
}

void UserRegFile::PrepareToFollow(Line& line)
{
    // Only the last line of the file can lack a line end or wait for more hex data. Wine would
    // take the next line for that data and fail on it, so a comment line is given to it instead,
    // which it rejects the same way.
    QByteArray bytes = Bytes(line).toByteArray();
    if (LineEndOf(bytes).isEmpty())
        bytes += lineEnd_;
    if (line.wantsMore) {
        bytes += ';' + lineEnd_;
        line.wantsMore = false;
    }
    if (bytes.size() != Bytes(line).size()) {
        line.written = std::move(bytes);
        line.isWritten = true;
    }
}

void UserRegFile::InsertLine(Section& section, std::size_t after, const QByteArray& content,
                             LineKind kind)
{
    PrepareToFollow(section.lines[after]);
    Line line;
    line.written = content + lineEnd_;
    line.isWritten = true;
    line.kind = kind;
    section.lines.insert(section.lines.begin() + qsizetype(after) + 1, std::move(line));
    section.LinesChanged();
}

UserRegFile::Section& UserRegFile::InsertSection(const QStringList& path, RegistryTime now)
{
    // Existing keys on the way keep the spelling the file gives them.
    QStringList spelled = path;
    for (qsizetype count = path.size() - 1; count > 0; --count) {
        const auto known = keys_.constFind(FoldedPath(path, count));
        if (known != keys_.cend()) {
            spelled = (*known)->path.first(count) + path.mid(count);
            break;
        }
    }

    // After the key that sorts last among those sorting before the new one, as Wine would.
    std::size_t before = 0;
    for (std::size_t i = 1; i < sections_.size(); ++i) {
        const Section& candidate = *sections_[i];
        if (candidate.isKey && CompareKeyPaths(candidate.path, spelled) < 0 &&
            (before == 0 || CompareKeyPaths(candidate.path, sections_[before]->path) >= 0))
            before = i;
    }
    Section& previous = *sections_[before];

    // The blank lines that end the previous section move behind the new one; a new blank line
    // separates the new section from the previous one, as in the rest of the file.
    std::size_t keep = previous.lines.size();
    while (keep > 1 && previous.lines[keep - 1].kind == LineKind::Blank)
        --keep;
    std::vector<Line> trailing(std::make_move_iterator(previous.lines.begin() + qsizetype(keep)),
                               std::make_move_iterator(previous.lines.end()));
    previous.lines.resize(keep);
    InsertLine(previous, keep - 1, QByteArray(), LineKind::Blank);

    auto section = std::make_unique<Section>();
    section->isKey = true;
    section->path = spelled;
    const QByteArray header = '[' + EscapeKeyPath(spelled) + ']';
    section->headerPathEnd = header.size();
    Line headerLine;
    headerLine.written = header + ' ' + HeaderTime(now) + lineEnd_;
    headerLine.isWritten = true;
    headerLine.kind = LineKind::Header;
    section->lines.push_back(std::move(headerLine));
    Line timeLine;
    timeLine.written = TimeOption(now) + lineEnd_;
    timeLine.isWritten = true;
    timeLine.kind = LineKind::Time;
    section->lines.push_back(std::move(timeLine));
    for (Line& line : trailing)
        section->lines.push_back(std::move(line));

    Section& inserted = *section;
    sections_.insert(sections_.begin() + qsizetype(before) + 1, std::move(section));
    Index(inserted);
    return inserted;
}

void UserRegFile::Touch(Section& section, RegistryTime now)
{
    Line& header = section.lines.front();
    const QByteArrayView bytes = Bytes(header);
    QByteArray updated =
        bytes.first(section.headerPathEnd).toByteArray() + ' ' + HeaderTime(now) + LineEndOf(bytes);
    header.written = std::move(updated);
    header.isWritten = true;

    bool hasTime = false;
    for (Line& line : section.lines) {
        if (line.kind != LineKind::Time)
            continue;
        QByteArray time = TimeOption(now) + LineEndOf(Bytes(line));
        line.written = std::move(time);
        line.isWritten = true;
        hasTime = true;
    }
    if (!hasTime)
        InsertLine(section, 0, TimeOption(now), LineKind::Time);
}

QByteArray UserRegFile::Serialize() const
{
    qsizetype size = 0;
    for (const auto& section : sections_) {
        for (const Line& line : section->lines)
            size += Bytes(line).size();
    }
    QByteArray out;
    out.reserve(size);
    for (const auto& section : sections_) {
        for (const Line& line : section->lines)
            out += Bytes(line);
    }
    return out;
}

} // namespace velmr::platform
