#pragma once

#include "platform/registry/RegistryAccessor.h"
#include "platform/registry/UserRegFile.h"

#include <QString>

#include <functional>

namespace velmr::platform {

// The store kept in a user.reg file, edited directly while no Wine server holds the prefix's
// registry. Every commit takes an exclusive lock on the file's folder, which all instances of the
// program take, reads the file afresh (Wine or another instance may have changed it since the
// last look), applies the changes and replaces the file atomically, and only when its bytes
// change. A missing file is an empty store; the first commit creates it and its folder.
class UserRegBackend final : public RegistryBackend
{
public:
    using Clock = std::function<RegistryTime()>;

    explicit UserRegBackend(QString filePath, Clock clock = CurrentRegistryTime);

    const QString& FilePath() const { return path_; }

    // The file as it is now (the empty store when it does not exist). Throws RegistryError when
    // it exists but cannot be read or is not a registry file.
    UserRegFile Read() const;

    std::unique_ptr<RegistrySnapshot> Load() override;
    void Commit(const std::vector<RegistryChange>& changes) override;

private:
    std::optional<QByteArray> ReadBytes() const;
    UserRegFile ParseBytes(const QByteArray& bytes) const;

    QString path_;
    Clock clock_;
};

} // namespace velmr::platform
