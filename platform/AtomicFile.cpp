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

constexpr mode_t kNewFileMode = 0644;

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
    const mode_t mode = replacing ? (old.st_mode & 07777) : kNewFileMode;

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
