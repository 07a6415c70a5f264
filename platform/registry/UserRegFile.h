#pragma once

#include "platform/registry/RegistryAccessor.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace velmr::platform {

// A moment as the registry records it: 100 ns ticks since 1601-01-01 UTC (a Windows FILETIME).
using RegistryTime = std::uint64_t;
RegistryTime CurrentRegistryTime();

// The first lines of a user.reg that Wine would write for a new prefix.
QByteArray NewUserRegHeader();

// A user.reg file in Wine's text format, read the way Wine's server reads it and kept line by
// line: a change replaces or adds only the lines it concerns, every other byte of the file
// (comments, odd escapes, line ends, lines Wine would reject) is written back unchanged.
//
// Key paths are relative to HKEY_CURRENT_USER, one component per element; a component holding
// "\" counts as several and empty components are skipped. Key and value names compare without
// regard to case. The default value of a key has the empty name.
class UserRegFile final : public RegistrySnapshot
{
public:
    // A file without keys, made of NewUserRegHeader().
    static UserRegFile Empty();
    // `bytes` as a registry file; nothing when its first line (after an optional UTF-8 byte
    // order mark) is not "WINE REGISTRY Version 2".
    static std::optional<UserRegFile> Parse(QByteArray bytes);

    UserRegFile(UserRegFile&& other) noexcept;
    UserRegFile& operator=(UserRegFile&& other) noexcept;
    ~UserRegFile() override;

    // A key exists when it has a section of its own or a section lies below it.
    bool KeyExists(const QStringList& keyPath) const override;
    RegistryValueKind ValueKind(const QStringList& keyPath, const QString& name) const override;
    QString StringValue(const QStringList& keyPath, const QString& name) const override;

    // The keys that have a section of their own, in the order of the file, each once.
    std::vector<QStringList> Keys() const;
    // The names of the values of a key, in the order of the file, each once.
    QStringList ValueNames(const QStringList& keyPath) const;

    // Adds a section for `keyPath` unless the key exists. True when the file changed.
    bool CreateKey(const QStringList& keyPath, RegistryTime now);
    // Sets the string value `name` of `keyPath`, creating the key when needed; the key's time
    // stamps become `now`. True when the file changed (not when the value already held `data`).
    bool SetString(const QStringList& keyPath, const QString& name, const QString& data,
                   RegistryTime now);
    // CreateKey or SetString, as the change says.
    bool Apply(const RegistryChange& change, RegistryTime now);

    // The bytes of the file with all changes.
    QByteArray Serialize() const;

private:
    enum class LineKind;
    struct Line;
    struct Section;
    struct Lookup;

    UserRegFile();
    void AddSection(std::unique_ptr<Section> section);
    void Index(Section& section);
    QByteArrayView Bytes(const Line& line) const;
    Lookup Find(const QStringList& keyPath, const QString& name) const;
    Section& InsertSection(const QStringList& keyPath, RegistryTime now);
    void PrepareToFollow(Line& line);
    void InsertLine(Section& section, std::size_t after, const QByteArray& content, LineKind kind);
    void Touch(Section& section, RegistryTime now);

    QByteArray source_;
    QByteArray lineEnd_;
    std::vector<std::unique_ptr<Section>> sections_; // the first one holds the file's header
    // Folded key path -> the sections of the key, in file order.
    QHash<QString, std::vector<Section*>> sectionsByKey_;
    // Folded key path -> the first section at or below the key, for every key that exists; its
    // path spells the key as the file does.
    QHash<QString, const Section*> keys_;
};

} // namespace velmr::platform
