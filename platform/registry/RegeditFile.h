#pragma once

#include "platform/registry/RegistryAccessor.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The .reg files of Wine's regedit: what "regedit /E" writes when it exports a key, and what
// "regedit /S" reads when it imports one. Used while a Wine server holds the registry.
namespace velmr::platform {

// The keys and values of an exported .reg file below HKEY_CURRENT_USER, as regedit would import
// them: a later line for the same value replaces an earlier one; sections of other root keys and
// deletions are passed over. Key and value names compare without regard to case.
class RegeditExport final : public RegistrySnapshot
{
public:
    // The file's bytes: UTF-16LE with its byte order mark, as Wine exports, or UTF-8 (also the
    // ANSI "REGEDIT4" form). Nothing when the first line is neither "Windows Registry Editor
    // Version 5.00" nor "REGEDIT4".
    static std::optional<RegeditExport> Parse(QByteArrayView bytes);

    bool KeyExists(const QStringList& keyPath) const override;
    RegistryValueKind ValueKind(const QStringList& keyPath, const QString& name) const override;
    QString StringValue(const QStringList& keyPath, const QString& name) const override;

    // The keys that have a section, in the order of the file, each once.
    const std::vector<QStringList>& Keys() const { return keys_; }
    // The names of a key's values, in the order of the file, each once.
    QStringList ValueNames(const QStringList& keyPath) const;

    // Adds the keys and values of `other` (later ones win).
    void Merge(const RegeditExport& other);
    // Records that the key exists (with its parents), also when it has no section.
    void AddKey(const QStringList& path) { KeyFor(path); }

private:
    struct Value
    {
        QString name;
        RegistryValueKind kind = RegistryValueKind::NotString;
        QString data;
    };
    struct Key
    {
        QStringList path;
        std::vector<Value> values;
        QHash<QString, std::size_t> byName; // folded name -> index in values
    };

    Key& KeyFor(const QStringList& path);
    void SetValue(Key& key, Value value);
    const Value* Find(const QStringList& keyPath, const QString& name) const;

    std::vector<QStringList> keys_;
    QHash<QString, Key> byPath_;    // folded path -> key
    QHash<QString, bool> existing_; // folded path of every key and every parent of one
};

// A file for "regedit /S" that makes `changes`, in order: UTF-16LE with a byte order mark and
// CRLF line ends, one section for each run of changes to the same key. Strings that a quoted
// string cannot carry (a NUL) are written as REG_SZ in hex(1) form. Throws RegistryError for a
// key name that no section line can carry (line breaks, "]").
QByteArray RegeditImportFile(const std::vector<RegistryChange>& changes);

// The section line of a key below HKEY_CURRENT_USER, without its brackets.
QString RegeditKeyName(const QStringList& keyPath);

} // namespace velmr::platform
