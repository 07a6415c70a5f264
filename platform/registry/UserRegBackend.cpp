#include "platform/registry/UserRegBackend.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace velmr::platform {
namespace {

// How long a commit waits for another instance to finish its own.
constexpr auto kLockPatience = std::chrono::seconds(30);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

[[noreturn]] void Fail(const QString& what, const QString& path, const QString& reason)
{
    throw RegistryError(QStringLiteral("%1\n%2\n%3").arg(what, path, reason));
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// An exclusive lock on the folder of the store, held while a commit reads and replaces the file.
// The folder rather than a lock file is locked so that nothing is left behind in a Wine prefix.
class FolderLock
{
public:
    FolderLock(const QString& folder, const QString& filePath)
        : fd_(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        const int openError = errno;
        const QString what = QStringLiteral("レジストリ ファイルをロックできませんでした。");
        if (fd_.get() < 0)
            Fail(what, filePath, qt_error_string(openError));
        const auto giveUp = std::chrono::steady_clock::now() + kLockPatience;
        while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            if (errno != EWOULDBLOCK)
                Fail(what, filePath, qt_error_string(errno));
            if (std::chrono::steady_clock::now() > giveUp) {
                Fail(what, filePath,
                     QStringLiteral(
                         "別の velmrmgr がレジストリ ファイルを使用したまま応答しません。"));
            }
            std::this_thread::sleep_for(kLockRetry);
        }
    }

private:
    FileDescriptor fd_; // closing it releases the lock
};

void MakeFolder(const QString& folder, const QString& filePath)
{
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error) {
        Fail(QStringLiteral("レジストリ ファイルのフォルダーを作成できませんでした。"), filePath,
             qt_error_string(error.value()));
    }
}

} // namespace

UserRegBackend::UserRegBackend(QString filePath, Clock clock)
    : path_(std::move(filePath)), clock_(std::move(clock))
{}

std::optional<QByteArray> UserRegBackend::ReadBytes() const
{
    const QString what = QStringLiteral("レジストリ ファイルを読み込めませんでした。");
    FileDescriptor fd(::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        Fail(what, path_, qt_error_string(errno));
    }
    struct stat info = {};
    if (::fstat(fd.get(), &info) != 0)
        Fail(what, path_, qt_error_string(errno));
    if (S_ISDIR(info.st_mode))
        Fail(what, path_, qt_error_string(EISDIR));

    QByteArray bytes;
    if (info.st_size > 0)
        bytes.reserve(qsizetype(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            Fail(what, path_, qt_error_string(errno));
        }
        if (count == 0)
            return bytes;
        bytes.append(buffer, qsizetype(count));
    }
}

UserRegFile UserRegBackend::ParseBytes(const QByteArray& bytes) const
{
    std::optional<UserRegFile> file = UserRegFile::Parse(bytes);
    if (!file) {
        Fail(QStringLiteral("レジストリ ファイルとして読み込めませんでした。"), path_,
             QStringLiteral("先頭の行が「WINE REGISTRY Version 2」ではありません。"));
    }
    return std::move(*file);
}

UserRegFile UserRegBackend::Read() const
{
    const std::optional<QByteArray> bytes = ReadBytes();
    return bytes ? ParseBytes(*bytes) : UserRegFile::Empty();
}

std::unique_ptr<RegistrySnapshot> UserRegBackend::Load()
{
    return std::make_unique<UserRegFile>(Read());
}

void UserRegBackend::Commit(const std::vector<RegistryChange>& changes)
{
    if (changes.empty())
        return;
    const QString folder = QFileInfo(path_).absolutePath();
    MakeFolder(folder, path_);
    const FolderLock lock(folder, path_);

    const std::optional<QByteArray> old = ReadBytes();
    UserRegFile file = old ? ParseBytes(*old) : UserRegFile::Empty();
    const RegistryTime now = clock_();
    bool changed = false;
    for (const RegistryChange& change : changes)
        changed = file.Apply(change, now) || changed;
    if (!changed)
        return;
    const QByteArray bytes = file.Serialize();
    if (old && bytes == *old)
        return;
    if (const std::optional<FileWriteFailure> failure = TryWriteFileAtomically(path_, bytes))
        Fail(QStringLiteral("レジストリ ファイルに書き込めませんでした。"), path_, failure->reason);
}

} // namespace velmr::platform
