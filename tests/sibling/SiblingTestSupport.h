#pragma once

#include "platform/Cp932.h"
#include "platform/registry/RegistryAccessor.h"
#include "platform/registry/RegistryLocation.h"
#include "platform/registry/UserRegBackend.h"
#include "platform/registry/UserRegFile.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WineTestSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

namespace velmr::test {

inline const QStringList kVelmorPath = Key(u"Software\\Zeb\\Velmor");
inline const QStringList kNameStampPath = Key(u"Software\\Zeb\\Velmor\\NameStamp");
inline const QStringList kDateStampPath = Key(u"Software\\Zeb\\Velmor\\DateStamp");

// The program's own store in the private HOME (no WINEPREFIX, no ~/.wine).
inline QString StorePath()
{
    return platform::FindRegistryLocation().userRegPath;
}

// Replaces the store with a file as Wine writes it, followed by `body` (user.reg lines).
inline void WriteStore(const QByteArray& body)
{
    WriteFile(StorePath(), platform::NewUserRegHeader() + body);
}

// Removes the store (a file, or whatever a test left in its place) and any Wine prefix that an
// earlier test had the program remember.
inline void ResetStore()
{
    QFile::remove(platform::SettingsFilePath());
    QDir(StorePath()).removeRecursively();
    QFile::remove(StorePath());
}

inline platform::UserRegFile ReadStore()
{
    return platform::UserRegBackend(StorePath()).Read();
}

inline QByteArray StoreBytes()
{
    return ReadFile(StorePath());
}

// The Shift-JIS bytes of program text.
inline std::string Sjis(QStringView text)
{
    return *platform::cp932::Encode(text);
}

// A store that reads the program's own store but refuses every commit, as a full disk or a
// read-only folder would.
class RefusingStore final : public platform::RegistryBackend
{
public:
    std::unique_ptr<platform::RegistrySnapshot> Load() override
    {
        return platform::UserRegBackend(StorePath()).Load();
    }
    void Commit(const std::vector<platform::RegistryChange>& changes) override
    {
        ++commits;
        refused += changes.size();
        throw platform::RegistryError(QStringLiteral("ディスクがいっぱいです"));
    }
    int commits = 0;
    std::size_t refused = 0;
};

// Installs a store for the current user for the lifetime of the object.
class StoreOverride
{
public:
    explicit StoreOverride(std::shared_ptr<platform::RegistryBackend> backend)
    {
        platform::SetCurrentUserRegistry(std::move(backend));
    }
    ~StoreOverride() { platform::SetCurrentUserRegistry(nullptr); }
    StoreOverride(const StoreOverride&) = delete;
    StoreOverride& operator=(const StoreOverride&) = delete;
};

} // namespace velmr::test

namespace velmr::test {

// A folder laid out like a Wine prefix without Wine: drive_c, and dosdevices with c: and z:.
inline QString MakeFakePrefix(bool withZ = true)
{
    const QString prefix = MakeTempFolder(QStringLiteral("prefix"));
    QDir().mkpath(prefix + QStringLiteral("/drive_c/Program Files/Velmor"));
    QDir().mkpath(prefix + QStringLiteral("/dosdevices"));
    QFile::link(QStringLiteral("../drive_c"), prefix + QStringLiteral("/dosdevices/c:"));
    if (withZ)
        QFile::link(QStringLiteral("/"), prefix + QStringLiteral("/dosdevices/z:"));
    return prefix;
}

} // namespace velmr::test
