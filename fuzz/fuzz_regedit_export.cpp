// Reads arbitrary bytes as a file that "wine regedit /E" wrote, checks that every key and value
// it lists reads back, and that its string values, written into an import file for
// "wine regedit /S" and read again, come back unchanged.
//   build-fuzz/fuzz/fuzz_regedit_export -max_total_time=600 fuzz/corpus/regedit

#include "platform/registry/RegeditFile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using velmr::platform::RegeditExport;
using velmr::platform::RegistryChange;
using velmr::platform::RegistryError;
using velmr::platform::RegistryValueKind;

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_regedit_export: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the form: the rest as it is, or as UTF-16LE text after a byte
    // order mark (what Wine writes), or with the header of version 5 in front.
    const std::uint8_t choice = data[0];
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (choice & 1)
        bytes.prepend("\xFF\xFE", 2);
    if (choice & 2) {
        const QString header = QStringLiteral("Windows Registry Editor Version 5.00\r\n");
        const QByteArray encoded =
            (choice & 1)
                ? QByteArray(reinterpret_cast<const char*>(header.utf16()), header.size() * 2)
                : header.toLatin1();
        bytes.insert((choice & 1) ? 2 : 0, encoded);
    }
    const std::optional<RegeditExport> file = RegeditExport::Parse(bytes);
    if (!file)
        return 0;

    std::vector<RegistryChange> changes;
    for (const QStringList& key : file->Keys()) {
        Check(file->KeyExists(key), "a key of the file does not exist");
        for (qsizetype count = 0; count <= key.size(); ++count)
            Check(file->KeyExists(key.first(count)), "a parent of a key does not exist");
        changes.push_back({key, QString(), QString()});
        for (const QString& name : file->ValueNames(key)) {
            const RegistryValueKind kind = file->ValueKind(key, name);
            Check(kind != RegistryValueKind::Missing, "a listed value is missing");
            if (kind == RegistryValueKind::String)
                changes.push_back({key, name, file->StringValue(key, name)});
            else
                Check(file->StringValue(key, name).isEmpty(), "a value of another type has text");
        }
    }

    QByteArray import;
    try {
        import = velmr::platform::RegeditImportFile(changes);
    } catch (const RegistryError&) {
        return 0; // a key or value name that no .reg line can carry
    }
    const std::optional<RegeditExport> back = RegeditExport::Parse(import);
    Check(back.has_value(), "the import file does not read");
    for (const RegistryChange& change : changes) {
        Check(back->KeyExists(change.keyPath), "a key is lost");
        if (change.valueName.isNull())
            continue;
        Check(back->ValueKind(change.keyPath, change.valueName) == RegistryValueKind::String,
              "a string value is lost");
        Check(back->StringValue(change.keyPath, change.valueName) == change.data,
              "a string value reads back differently");
    }
    return 0;
}
