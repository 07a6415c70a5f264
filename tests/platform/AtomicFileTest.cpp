#include "platform/AtomicFile.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace velmr::platform {
namespace {

using namespace Qt::StringLiterals;
using test::ReadFile;
using test::WriteFile;

mode_t ModeOf(const QString& path)
{
    struct stat info = {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_mode;
}

void SetMode(const QString& path, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

class Umask
{
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

private:
    mode_t old_;
};

TEST(AtomicFile, ReplacesContentsAndKeepsPermissionBits)
{
    struct Case
    {
        const char* what;
        bool exists;
        mode_t oldMode;
        mode_t expectedMode;
    };
    const Case cases[] = {
        {"new file", false, 0, 0600},
        {"private file", true, 0600, 0600},
        {"executable file", true, 0755, 0755},
        {"setgid file", true, 02640, 02640},
    };
    const Umask strict(
        077); // a new file gets what the umask leaves, a rewritten one keeps its bits
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = test::MakeTempFolder();
        const QString path = folder + u"/document.dat"_s;
        if (c.exists) {
            WriteFile(path, QByteArray(10000, 'o'));
            SetMode(path, c.oldMode);
        }
        const QByteArray data("new\0contents", 12);
        QString message = u"unchanged"_s;
        ASSERT_TRUE(WriteFileAtomically(path, data, &message));
        EXPECT_EQ(message, u"unchanged"_s);
        EXPECT_EQ(ReadFile(path), data);
        EXPECT_EQ(ModeOf(path) & 07777, c.expectedMode);
        EXPECT_EQ(FolderEntries(folder), QStringList{u"document.dat"_s});
    }
}

TEST(AtomicFile, NewFilesGetThePermissionsTheUmaskLeaves)
{
    const std::pair<mode_t, mode_t> cases[] = {{022, 0644}, {077, 0600}, {002, 0664}, {0, 0666}};
    for (const auto& [mask, expected] : cases) {
        const Umask umask(mask);
        const QString path = test::MakeTempFolder() + u"/new.mkn"_s;
        ASSERT_TRUE(WriteFileAtomically(path, "new", nullptr));
        EXPECT_EQ(ModeOf(path) & 07777, expected) << "umask " << std::oct << mask;
    }
}

// Also for the superuser, whom the permission bits do not stop: a file or folder that nobody may
// write is not written.
TEST(AtomicFile, WritesOnlyWhereTheUserMayWrite)
{
    struct Case
    {
        const char* what;
        bool exists;
        mode_t fileMode;
        mode_t folderMode;
        bool written;
    };
    const Case cases[] = {
        {"read-only file", true, 0444, 0755, false},
        {"writable file in a read-only folder", true, 0640, 0555, true},
        {"new file in a read-only folder", false, 0, 0555, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = test::MakeTempFolder();
        const QString path = folder + u"/seal.mkn"_s;
        const QByteArray old(3000, 'o');
        ino_t inode = 0;
        if (c.exists) {
            WriteFile(path, old);
            SetMode(path, c.fileMode);
            struct stat info = {};
            ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
            inode = info.st_ino;
        }
        SetMode(folder, c.folderMode);
        QString message;
        const bool written = WriteFileAtomically(path, "new", &message);
        const QStringList entries = FolderEntries(folder);
        SetMode(folder, 0755);

        EXPECT_EQ(written, c.written) << message.toStdString();
        EXPECT_EQ(entries, c.exists ? QStringList{u"seal.mkn"_s} : QStringList());
        if (!c.written) {
            EXPECT_TRUE(message.contains(qt_error_string(EACCES))) << message.toStdString();
        }
        if (c.exists) {
            EXPECT_EQ(ReadFile(path), c.written ? QByteArray("new") : old);
            EXPECT_EQ(ModeOf(path) & 07777, c.fileMode);
            struct stat info = {};
            ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
            EXPECT_EQ(info.st_ino, inode) << "rewritten in place";
        }
    }
}

TEST(AtomicFile, WritesEmptyFiles)
{
    const QString path = test::MakeTempFolder() + u"/empty"_s;
    WriteFile(path, "something");
    ASSERT_TRUE(WriteFileAtomically(path, QByteArrayView(), nullptr));
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST(AtomicFile, ReplacesTheTargetOfASymbolicLink)
{
    const QString folder = test::MakeTempFolder();
    const QString target = folder + u"/real/user.reg"_s;
    const QString link = folder + u"/user.reg"_s;
    WriteFile(target, "old");
    SetMode(target, 0600);
    ASSERT_TRUE(QFile::link(target, link));

    ASSERT_TRUE(WriteFileAtomically(link, "new", nullptr));
    EXPECT_TRUE(S_ISLNK(ModeOf(link)));
    EXPECT_EQ(ReadFile(target), QByteArray("new"));
    EXPECT_EQ(ModeOf(target) & 07777, 0600u);
    EXPECT_EQ(FolderEntries(folder), (QStringList{u"real"_s, u"user.reg"_s}));
    EXPECT_EQ(FolderEntries(folder + u"/real"_s), QStringList{u"user.reg"_s});
}

// Each failure leaves the old file as it was, no temporary file behind, and a message naming the
// file and the reason.
TEST(AtomicFile, FailureLeavesTheOldFileAndNoTemporaryFile)
{
    struct Case
    {
        const char* what;
        int error;
    };
    const Case cases[] = {
        {"target is a folder", EISDIR},
        {"folder is missing", ENOENT},
        {"folder is a file", ENOTDIR},
        {"file size limit", EFBIG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = test::MakeTempFolder();
        QString path = folder + u"/target"_s;
        const QByteArray old = "old contents";
        rlimit saved = {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
        switch (c.error) {
        case EISDIR:
            ASSERT_TRUE(QDir(folder).mkpath(u"target/inside"_s));
            break;
        case ENOENT:
            path = folder + u"/missing/target"_s;
            break;
        case ENOTDIR:
            WriteFile(folder + u"/file"_s, old);
            path = folder + u"/file/target"_s;
            break;
        case EFBIG: {
            WriteFile(path, old);
            rlimit limited = saved;
            limited.rlim_cur = 1024;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
            break;
        }
        }
        const QStringList before = FolderEntries(folder);

        QString message;
        const bool written = WriteFileAtomically(path, QByteArray(4096, 'n'), &message);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, savedSignal);

        EXPECT_FALSE(written);
        EXPECT_TRUE(message.startsWith(u"ファイルに書き込めませんでした。\n"_s + path + u"\n"_s))
            << message.toStdString();
        EXPECT_TRUE(message.contains(qt_error_string(c.error))) << message.toStdString();
        EXPECT_EQ(FolderEntries(folder), before);
        if (c.error == EISDIR) {
            EXPECT_EQ(FolderEntries(path), QStringList{u"inside"_s});
        } else if (c.error == EFBIG) {
            EXPECT_EQ(ReadFile(path), old);
        } else if (c.error == ENOTDIR) {
            EXPECT_EQ(ReadFile(folder + u"/file"_s), old);
        }
    }
}

TEST(AtomicFile, FailureIsReportedWithoutAMessageToo)
{
    const QString path = test::MakeTempFolder() + u"/missing/target"_s;
    EXPECT_FALSE(WriteFileAtomically(path, "x", nullptr));
    const std::optional<FileWriteFailure> failure = TryWriteFileAtomically(path, "x");
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->path, path);
    EXPECT_TRUE(failure->reason.contains(qt_error_string(ENOENT)));
}

// A reader never sees a mixture of the old and the new contents, nor a missing file.
TEST(AtomicFile, ReadersSeeEitherTheOldOrTheNewContents)
{
    const QString path = test::MakeTempFolder() + u"/shared"_s;
    const QByteArray first(256 * 1024, 'a');
    const QByteArray second(200 * 1024, 'b');
    WriteFile(path, first);

    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            const QByteArray seen = ReadFile(path);
            if (seen != first && seen != second)
                ++torn;
            ++reads;
        }
    });
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(WriteFileAtomically(path, i % 2 ? first : second, nullptr));
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_GT(reads, 0);
}

} // namespace
} // namespace velmr::platform
