// Reads arbitrary bytes as a user.reg, checks that an untouched file is written back byte for
// byte, makes the edits the program makes (a string value, a new key) and checks that they read
// back and that every other key and value reads exactly as before.

#include "platform/registry/UserRegFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using velmr::platform::RegistryValueKind;
using velmr::platform::UserRegFile;

constexpr velmr::platform::RegistryTime kNow = 133780000000000000ULL;

[[noreturn]] void Fail(const char* what, const QByteArray& bytes)
{
    std::fprintf(stderr, "fuzz_user_reg: %s\n--- file ---\n%s\n---\n", what, bytes.constData());
    std::abort();
}

void Check(bool condition, const char* what, const QByteArray& bytes)
{
    if (!condition)
        Fail(what, bytes);
}

bool SameName(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

bool SameKey(const QStringList& a, const QStringList& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!SameName(a[i], b[i]))
            return false;
    }
    return true;
}

struct SeenValue
{
    QStringList key;
    QString name;
    RegistryValueKind kind;
    QString data;
};

// Text for the edit made from a few input bytes, with characters from all the escape classes.
QString TextFrom(const std::uint8_t* data, std::size_t size, std::uint8_t choice)
{
    QString text;
    for (std::size_t i = 0; i < size && i < 12; ++i) {
        const std::uint8_t byte = data[size - 1 - i];
        text += QChar(char16_t(byte & 0x80 ? 0x3000 + byte : byte));
    }
    if (choice & 0x10)
        text += QString::fromUtf16(u"\U0001F600");
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t choice = data[0];
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    std::optional<UserRegFile> parsed = UserRegFile::Parse(bytes);
    if (!parsed)
        return 0;
    UserRegFile& file = *parsed;
    Check(file.Serialize() == bytes, "an untouched file is not written back as it was", bytes);

    const std::vector<QStringList> keys = file.Keys();
    std::vector<SeenValue> seen;
    for (const QStringList& key : keys) {
        Check(file.KeyExists(key), "a key of the file does not exist", bytes);
        for (const QString& name : file.ValueNames(key)) {
            const RegistryValueKind kind = file.ValueKind(key, name);
            Check(kind != RegistryValueKind::Missing, "a listed value is missing", bytes);
            seen.push_back({key, name, kind, file.StringValue(key, name)});
        }
    }

    QStringList target = {QStringLiteral("Software"), QStringLiteral("Zeb"),
                          QStringLiteral("Velmor"), QStringLiteral("NameStamp")};
    if (!keys.empty() && (choice & 1))
        target = keys[(choice >> 1) % keys.size()];
    QString name = QStringLiteral("Fuzz\"\\Name");
    if (choice & 0x20) {
        for (const SeenValue& value : seen) {
            if (SameKey(value.key, target)) {
                name = value.name.toUpper();
                break;
            }
        }
    } else if (choice & 0x40) {
        name = QString(); // the default value
    }
    const QString text = TextFrom(data, size, choice);
    const QStringList newKey = target + QStringList{QStringLiteral("[New\\Key]")};

    const bool keyExisted = file.KeyExists(newKey);
    file.SetString(target, name, text, kNow);
    Check(!file.SetString(target, name, text, kNow), "writing the same value again changed it",
          bytes);
    Check(file.CreateKey(newKey, kNow) != keyExisted, "creating a key went wrong", bytes);
    const QByteArray written = file.Serialize();

    const std::optional<UserRegFile> reread = UserRegFile::Parse(written);
    Check(reread.has_value(), "the written file is not a registry file", written);
    Check(reread->Serialize() == written, "the written file does not read back as it is", written);
    Check(reread->ValueKind(target, name) == RegistryValueKind::String, "written value lost",
          written);
    Check(reread->StringValue(target, name) == text, "written value reads back differently",
          written);
    Check(reread->KeyExists(newKey), "the new key is lost", written);
    for (const QStringList& key : keys)
        Check(reread->KeyExists(key), "a key was lost", written);
    for (const SeenValue& value : seen) {
        if (SameKey(value.key, target) && SameName(value.name, name))
            continue;
        Check(reread->ValueKind(value.key, value.name) == value.kind, "another value changed type",
              written);
        Check(reread->StringValue(value.key, value.name) == value.data,
              "another value changed data", written);
    }
    return 0;
}
