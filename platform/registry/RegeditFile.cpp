#include "platform/registry/RegeditFile.h"

#include <QStringView>

namespace velmr::platform {
namespace {

constexpr QStringView kVersion5 = u"Windows Registry Editor Version 5.00";
constexpr QStringView kVersion4 = u"REGEDIT4";
constexpr QStringView kCurrentUser = u"HKEY_CURRENT_USER";
constexpr QStringView kCurrentUserShort = u"HKCU";
constexpr int kHexBytesPerLine = 25;

QString Folded(const QStringList& path)
{
    return path.join(u'\\').toCaseFolded();
}

// The text of the file: UTF-16LE after its byte order mark, otherwise UTF-8.
QString FileText(QByteArrayView bytes)
{
    if (bytes.size() >= 2 && quint8(bytes[0]) == 0xFF && quint8(bytes[1]) == 0xFE) {
        QString text;
        text.reserve((bytes.size() - 2) / 2);
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2)
            text += QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8)));
        return text;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    return QString::fromUtf8(bytes);
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView Trimmed(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && IsBlank(line[begin]))
        ++begin;
    while (end > begin && IsBlank(line[end - 1]))
        --end;
    return line.sliced(begin, end - begin);
}

int HexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A quoted name or string from just after its opening quote, read the way regedit reads it:
// "\\", "\"", "\n" and "\r" stand for their characters, any other escaped character for itself,
// "\0" makes the line invalid. Returns the text and where the closing quote is, or nothing.
std::optional<std::pair<QString, qsizetype>> Unquote(QStringView line, qsizetype at)
{
    QString text;
    while (at < line.size() && line[at] != u'"') {
        if (line[at] == u'\\') {
            if (++at >= line.size())
                return std::nullopt;
            const QChar escaped = line[at];
            if (escaped == u'n')
                text += u'\n';
            else if (escaped == u'r')
                text += u'\r';
            else if (escaped == u'0')
                return std::nullopt;
            else
                text += escaped;
        } else {
            text += line[at];
        }
        ++at;
    }
    if (at >= line.size())
        return std::nullopt;
    return std::pair(std::move(text), at);
}

// The path of a section line's key below HKEY_CURRENT_USER; nothing for another root.
std::optional<QStringList> SectionPath(QStringView name)
{
    const QStringList components = name.toString().split(u'\\', Qt::SkipEmptyParts);
    if (components.isEmpty())
        return std::nullopt;
    const QString& root = components.front();
    if (root.compare(kCurrentUser, Qt::CaseInsensitive) != 0 &&
        root.compare(kCurrentUserShort, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return components.mid(1);
}

QString EscapeString(QStringView text)
{
    QString out;
    out.reserve(text.size() + 4);
    for (const QChar c : text) {
        if (c == u'\\' || c == u'"') {
            out += u'\\';
            out += c;
        } else if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c == u'\r') {
            out += QStringLiteral("\\r");
        } else {
            out += c;
        }
    }
    return out;
}

// REG_SZ as hex(1): the UTF-16LE code units and a terminating NUL, in lines as regedit writes
// them.
QString HexString(QStringView text)
{
    QString out = QStringLiteral("hex(1):");
    int onLine = 0;
    const auto byte = [&](unsigned value, bool last) {
        out += QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0'));
        if (last)
            return;
        out += u',';
        if (++onLine == kHexBytesPerLine) {
            out += QStringLiteral("\\\r\n  ");
            onLine = 0;
        }
    };
    for (const QChar c : text) {
        byte(c.unicode() & 0xFF, false);
        byte(c.unicode() >> 8, false);
    }
    byte(0, false);
    byte(0, true);
    return out;
}

void AppendUtf16(QByteArray& out, QStringView text)
{
    for (const QChar c : text) {
        out += char(c.unicode() & 0xFF);
        out += char(c.unicode() >> 8);
    }
}

} // namespace

std::optional<RegeditExport> RegeditExport::Parse(QByteArrayView bytes)
{
    const QString text = FileText(bytes);
    QList<QStringView> lines;
    for (qsizetype begin = 0; begin <= text.size();) {
        qsizetype end = text.indexOf(u'\n', begin);
        if (end < 0)
            end = text.size();
        QStringView line = QStringView(text).sliced(begin, end - begin);
        if (line.endsWith(u'\r'))
            line.chop(1);
        lines << line;
        begin = end + 1;
    }

    qsizetype index = 0;
    while (index < lines.size() && Trimmed(lines[index]).isEmpty())
        ++index;
    if (index >= lines.size())
        return std::nullopt;
    const QStringView header = Trimmed(lines[index]);
    if (header != kVersion5 && header != kVersion4)
        return std::nullopt;

    RegeditExport file;
    Key* current = nullptr;
    for (++index; index < lines.size(); ++index) {
        const QStringView line = Trimmed(lines[index]);
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            current = nullptr;
            const qsizetype close = line.lastIndexOf(u']');
            if (close < 0 || line.startsWith(u"[-"))
                continue;
            if (const std::optional<QStringList> path = SectionPath(line.sliced(1, close - 1)))
                current = &file.KeyFor(*path);
            continue;
        }

        Value value;
        qsizetype at = 0;
        if (line.startsWith(u'@')) {
            at = 1;
        } else if (line.startsWith(u'"')) {
            const auto name = Unquote(line, 1);
            if (!name)
                continue;
            value.name = name->first;
            at = name->second + 1;
        } else {
            continue;
        }
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        if (at >= line.size() || line[at] != u'=')
            continue;
        ++at;
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        const QStringView data = line.sliced(at);

        if (data.startsWith(u'"')) {
            const auto string = Unquote(data, 1);
            if (!string)
                continue;
            value.kind = RegistryValueKind::String;
            value.data = string->first;
        } else if (data.startsWith(u"hex")) {
            // hex:..., hex(n):..., going on over lines that end in "\".
            int type = 3;
            qsizetype from = 3;
            if (data.sliced(from).startsWith(u'(')) {
                const qsizetype close = data.indexOf(u')', from);
                if (close < 0)
                    continue;
                bool ok = false;
                type = data.sliced(from + 1, close - from - 1).toInt(&ok, 16);
                if (!ok)
                    continue;
                from = close + 1;
            }
            if (!data.sliced(from).startsWith(u':'))
                continue;
            QByteArray raw;
            QStringView rest = data.sliced(from + 1);
            bool valid = true;
            for (;;) {
                qsizetype i = 0;
                while (i < rest.size()) {
                    if (IsBlank(rest[i]) || rest[i] == u',') {
                        ++i;
                        continue;
                    }
                    if (rest[i] == u'\\' && Trimmed(rest.sliced(i + 1)).isEmpty())
                        break;
                    const int high = HexValue(rest[i]);
                    const int low = i + 1 < rest.size() ? HexValue(rest[i + 1]) : -1;
                    if (high < 0 || low < 0) {
                        valid = false;
                        break;
                    }
                    raw += char(high * 16 + low);
                    i += 2;
                }
                if (!valid || i >= rest.size() || index + 1 >= lines.size())
                    break;
                rest = Trimmed(lines[++index]); // the line after a "\"
            }
            if (!valid)
                continue;
            if (type == 1) {
                value.kind = RegistryValueKind::String;
                for (qsizetype i = 0; i + 1 < raw.size(); i += 2)
                    value.data += QChar(char16_t(quint8(raw[i]) | (quint8(raw[i + 1]) << 8)));
                if (value.data.endsWith(QChar(0)))
                    value.data.chop(1);
            }
        } else if (data.startsWith(u'-')) {
            continue; // a deletion
        } else if (!data.startsWith(u"dword:") && !data.startsWith(u"str")) {
            continue;
        }
        if (current)
            file.SetValue(*current, std::move(value));
    }
    return file;
}

RegeditExport::Key& RegeditExport::KeyFor(const QStringList& path)
{
    const QString folded = Folded(path);
    auto found = byPath_.find(folded);
    if (found != byPath_.end())
        return *found;
    keys_.push_back(path);
    for (qsizetype count = path.size(); count >= 0; --count) {
        const QString parent = Folded(path.first(count));
        if (existing_.contains(parent))
            break;
        existing_.insert(parent, true);
    }
    Key& key = byPath_[folded];
    key.path = path;
    return key;
}

void RegeditExport::SetValue(Key& key, Value value)
{
    const QString folded = value.name.toCaseFolded();
    const auto known = key.byName.constFind(folded);
    if (known != key.byName.cend()) {
        Value& old = key.values[*known];
        old.kind = value.kind;
        old.data = std::move(value.data);
        return;
    }
    key.byName.insert(folded, key.values.size());
    key.values.push_back(std::move(value));
}

const RegeditExport::Value* RegeditExport::Find(const QStringList& keyPath,
                                                const QString& name) const
{
    const auto key = byPath_.constFind(Folded(keyPath));
    if (key == byPath_.cend())
        return nullptr;
    const auto index = key->byName.constFind(name.toCaseFolded());
    return index == key->byName.cend() ? nullptr : &key->values[*index];
}

bool RegeditExport::KeyExists(const QStringList& keyPath) const
{
    return keyPath.isEmpty() || existing_.contains(Folded(keyPath));
}

RegistryValueKind RegeditExport::ValueKind(const QStringList& keyPath, const QString& name) const
{
    const Value* value = Find(keyPath, name);
    return value ? value->kind : RegistryValueKind::Missing;
}

QString RegeditExport::StringValue(const QStringList& keyPath, const QString& name) const
{
    const Value* value = Find(keyPath, name);
    return value && value->kind == RegistryValueKind::String ? value->data : QString();
}

QStringList RegeditExport::ValueNames(const QStringList& keyPath) const
{
    QStringList names;
    const auto key = byPath_.constFind(Folded(keyPath));
    if (key != byPath_.cend()) {
        for (const Value& value : key->values)
            names << value.name;
    }
    return names;
}

void RegeditExport::Merge(const RegeditExport& other)
{
    for (const QStringList& path : other.keys_) {
        const Key& source = other.byPath_[Folded(path)];
        Key& target = KeyFor(path);
        for (const Value& value : source.values)
            SetValue(target, value);
    }
}

QString RegeditKeyName(const QStringList& keyPath)
{
    QString name = kCurrentUser.toString();
    for (const QString& component : keyPath) {
        for (const QString& part : component.split(u'\\', Qt::SkipEmptyParts))
            name += u'\\' + part;
    }
    return name;
}

QByteArray RegeditImportFile(const std::vector<RegistryChange>& changes)
{
    QString text = kVersion5.toString() + QStringLiteral("\r\n");
    QString section;
    bool first = true;
    for (const RegistryChange& change : changes) {
        const QString key = RegeditKeyName(change.keyPath);
        if (first || key.compare(section, Qt::CaseInsensitive) != 0) {
            for (const QChar c : key) {
                if (c == u'\r' || c == u'\n' || c == u']' || c == QChar(0))
                    throw RegistryError(
                        QStringLiteral("レジストリ キーの名前を Wine に渡せません。\n%1").arg(key));
            }
            text += QStringLiteral("\r\n[") + key + QStringLiteral("]\r\n");
            section = key;
            first = false;
        }
        if (change.valueName.isNull())
            continue;
        if (change.valueName.contains(QChar(0)))
            throw RegistryError(QStringLiteral("レジストリ値の名前を Wine に渡せません。\n%1")
                                    .arg(change.valueName));
        text += change.valueName.isEmpty()
                    ? QStringLiteral("@=")
                    : QStringLiteral("\"") + EscapeString(change.valueName) + QStringLiteral("\"=");
        if (change.data.contains(QChar(0)))
            text += HexString(change.data);
        else
            text += QStringLiteral("\"") + EscapeString(change.data) + QStringLiteral("\"");
        text += QStringLiteral("\r\n");
    }
    text += QStringLiteral("\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    bytes.reserve(2 + text.size() * 2);
    AppendUtf16(bytes, text);
    return bytes;
}

} // namespace velmr::platform
