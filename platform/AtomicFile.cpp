#include "platform/AtomicFile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmr::platform {
namespace {

// The permissions of a new file: what the umask leaves of 0666, as open(2) would give. The
// umask is read from /proc so that no other thread sees it changed; where that is not possible it
// is set and put back at once.
mode_t NewFileMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        const QByteArrayList lines = status.readAll().split('\n');
        for (const QByteArray& line : lines) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return 0666 & ~mode_t(mask);
            }
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// Whether the user may write the file or folder at `path` (`access` W_OK, or W_OK | X_OK for
// a folder): access(2) says so and at least one write permission bit is set.
bool MayWrite(const QByteArray& path, int access)
{
    struct stat info = {};
    return ::access(path.constData(), access) == 0 && ::stat(path.constData(), &info) == 0 &&
           (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

QString SystemReason(const QString& step, int error)
{
    return QStringLiteral("%1（%2）").arg(step, qt_error_string(error));
}

bool WriteAll(int fd, QByteArrayView data)
{
    const char* next = data.data();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

// Flushes the folder so that the rename itself survives a crash. Some file systems cannot sync a
// folder; the new contents are in place by then, so that is not treated as a failure.
void SyncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// The file that is actually replaced: the target of a symbolic link, so that the link stays.
QString ReplacedFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            return target;
        return info.symLinkTarget();
    }
    return path;
}

// Reads the whole file that `fd` is open on, from its start; nullopt when it cannot.
std::optional<QByteArray> ReadAll(int fd)
{
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, off_t(bytes.size()));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            return bytes;
        bytes.append(buffer, got);
    }
}

bool Rewrite(int fd, QByteArrayView data)
{
    return ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, data) &&
           ::ftruncate(fd, off_t(data.size())) == 0;
}

// Rewrites the target itself, for a folder that takes no temporary file. The old contents are
// kept in memory and written back when the new ones cannot be written whole.
std::optional<QString> WriteInPlace(const QByteArray& target, QByteArrayView data, int* error)
{
    const int fd = ::open(target.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return QStringLiteral("ファイルを開けませんでした");
    }
    const std::optional<QByteArray> old = ReadAll(fd);
    if (!old) {
        *error = errno;
        ::close(fd);
        return QStringLiteral("ファイルを読めませんでした");
    }
    if (!Rewrite(fd, data) || ::fsync(fd) != 0) {
        *error = errno;
        Rewrite(fd, *old);
        ::close(fd);
        return QStringLiteral("ファイルに書き込めませんでした");
    }
    if (::close(fd) != 0) {
        *error = errno;
        return QStringLiteral("ファイルを閉じられませんでした");
    }
    return std::nullopt;
}

// How a file can be written.
enum class WriteRoute
{
    ThroughTemporaryFile, // a temporary file in the same folder is renamed over the target
    InPlace,              // the folder takes no new file, but the target may be written
    Refused,
};

WriteRoute ChooseWriteRoute(bool targetExists, bool targetWritable, bool folderWritable)
{
    if (targetExists && !targetWritable)
        return WriteRoute::Refused;
    if (folderWritable)
        return WriteRoute::ThroughTemporaryFile;
    return targetExists ? WriteRoute::InPlace : WriteRoute::Refused;
}

} // namespace

std::optional<FileWriteFailure> TryWriteFileAtomically(const QString& path, QByteArrayView data)
{
    const QString target = ReplacedFile(path);
    const QFileInfo targetInfo(target);
    const QByteArray targetName = QFile::encodeName(targetInfo.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(targetInfo.absolutePath());
    const auto fail = [&](const QString& step, int error) {
        return FileWriteFailure{target, SystemReason(step, error)};
    };

    struct stat old = {};
    const bool replacing = ::stat(targetName.constData(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode))
        return fail(QStringLiteral("フォルダーには書き込めません"), EISDIR);
    struct stat folderInfo = {};
    if (::stat(folder.constData(), &folderInfo) != 0)
        return fail(QStringLiteral("フォルダーがありません"), errno);
    if (!S_ISDIR(folderInfo.st_mode))
        return fail(QStringLiteral("フォルダーがありません"), ENOTDIR);
    const WriteRoute route = ChooseWriteRoute(replacing, replacing && MayWrite(targetName, W_OK),
                                              MayWrite(folder, W_OK | X_OK));
    if (route == WriteRoute::Refused)
        return fail(QStringLiteral("書き込む許可がありません"), EACCES);
    if (route == WriteRoute::InPlace) {
        int error = 0;
        if (const std::optional<QString> step = WriteInPlace(targetName, data, &error))
            return fail(*step, error);
        return std::nullopt;
    }
    const mode_t mode = replacing ? (old.st_mode & 07777) : NewFileMode();

    QByteArray temporary =
        folder + '/' + '.' + QFile::encodeName(targetInfo.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("一時ファイルを作成できませんでした"), errno);

    const auto discard = [&](const QString& step, int error, bool open) {
        if (open)
            ::close(fd);
        ::unlink(temporary.constData());
        return fail(step, error);
    };

    if (!WriteAll(fd, data))
        return discard(QStringLiteral("一時ファイルに書き込めませんでした"), errno, true);
    if (::fchmod(fd, mode) != 0)
        return discard(QStringLiteral("一時ファイルの許可属性を設定できませんでした"), errno, true);
    if (replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        // Keeps the owner when an administrator saves someone else's file; a plain user cannot
        // give files away, and then the file simply becomes theirs.
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
    }
    if (::fsync(fd) != 0)
        return discard(QStringLiteral("一時ファイルをディスクに書き出せませんでした"), errno, true);
    if (::close(fd) != 0)
        return discard(QStringLiteral("一時ファイルを閉じられませんでした"), errno, false);
    if (::rename(temporary.constData(), targetName.constData()) != 0)
        return discard(QStringLiteral("一時ファイルでファイルを置き換えられませんでした"), errno,
                       false);
    SyncFolder(folder);
    return std::nullopt;
}

bool WriteFileAtomically(const QString& path, QByteArrayView data, QString* errorMessage)
{
    const std::optional<FileWriteFailure> failure = TryWriteFileAtomically(path, data);
    if (!failure)
        return true;
    if (errorMessage) {
        *errorMessage = QStringLiteral("ファイルに書き込めませんでした。\n%1\n%2")
                            .arg(failure->path, failure->reason);
    }
    return false;
}

} // namespace velmr::platform
