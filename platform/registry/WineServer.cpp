#include "platform/registry/WineServer.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmr::platform {
namespace {

// The name of the per-prefix server folder, as Wine prints it: device and inode of the prefix
// folder in lower-case hex.
QString ServerFolderName(const struct stat& info)
{
    return QStringLiteral("server-%1-%2")
        .arg(QString::number(static_cast<unsigned long long>(info.st_dev), 16),
             QString::number(static_cast<unsigned long long>(info.st_ino), 16));
}

// The folder name some Wine builds keep in the prefix's "wineserver" file ("wine-XXXXXX"); empty
// when there is none or it is not a plain name.
QString PrivateTempName(const QString& prefix)
{
    QFile file(prefix + QStringLiteral("/wineserver"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString name = QString::fromLocal8Bit(file.read(256)).trimmed();
    if (name.isEmpty() || name.contains(u'/') || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return {};
    return name;
}

} // namespace

std::vector<WineServerCandidate> WineServerCandidates(const QString& prefix)
{
    std::vector<WineServerCandidate> candidates;
    struct stat info = {};
    if (::stat(QFile::encodeName(prefix).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return candidates;
    const QString serverName = ServerFolderName(info);

    if (const QString name = PrivateTempName(prefix); !name.isEmpty()) {
        QStringList bases;
        const QString temp = qEnvironmentVariable("TMPDIR");
        if (!temp.isEmpty() && QDir::isAbsolutePath(temp))
            bases << QDir::cleanPath(temp);
        if (!bases.contains(QStringLiteral("/tmp")))
            bases << QStringLiteral("/tmp");
        for (const QString& base : std::as_const(bases))
            candidates.push_back({base + u'/' + name + u'/' + serverName, base});
    }
    candidates.push_back(
        {QStringLiteral("/tmp/.wine-%1/%2").arg(QString::number(::getuid()), serverName), {}});
    return candidates;
}

bool LockFileIsHeld(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1; // the server locks the first byte
    int result = 0;
    do {
        result = ::fcntl(fd, F_GETLK, &lock);
    } while (result != 0 && errno == EINTR);
    ::close(fd);
    return result == 0 && lock.l_type != F_UNLCK;
}

WineServerState ProbeWineServer(const QString& prefix)
{
    WineServerState state;
    for (const WineServerCandidate& candidate : WineServerCandidates(prefix)) {
        if (LockFileIsHeld(candidate.folder + QStringLiteral("/lock"))) {
            state.running = true;
            state.serverFolder = candidate.folder;
            state.tempBase = candidate.tempBase;
            return state;
        }
    }
    return state;
}

} // namespace velmr::platform
