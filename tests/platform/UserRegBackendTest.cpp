#include "platform/registry/UserRegBackend.h"

#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

namespace velmr::platform {
namespace {

using namespace Qt::StringLiterals;
using test::Key;
using test::kFixedSeconds;
using test::kFixedTimeLine;
using test::ReadFile;
using test::WineFile;
using test::WriteFile;

const QStringList kNameStamp = Key(u"Software\\Zeb\\Velmor\\NameStamp");

RegistryChange SetValue(const QStringList& key, const QString& name, const QString& data)
{
    return {key, name, data};
}

RegistryChange MakeKey(const QStringList& key)
{
    return {key, QString(), QString()};
}

struct stat StatOf(const QString& path)
{
    struct stat info = {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(UserRegBackend, FirstCommitCreatesTheFileAndItsFolders)
{
    const QString path = test::MakeTempFolder() + u"/new/prefix/user.reg"_s;
    UserRegBackend backend(path, test::FixedClock);
    EXPECT_FALSE(backend.Load()->KeyExists(kNameStamp));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(path).absolutePath())) << "loading creates nothing";

    backend.Commit(
        {SetValue(kNameStamp, u"Name"_s, u"瑠環"_s), SetValue(kNameStamp, u"Kind"_s, u"_"_s)});
    EXPECT_EQ(ReadFile(path).toStdString(),
              WineFile("\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] " + kFixedSeconds + "\n" +
                       kFixedTimeLine + "\n\"Name\"=\"\\x7460\\x74b0\"\n\"Kind\"=\"_\"\n")
                  .toStdString());
    EXPECT_EQ(StatOf(path).st_mode & 07777, 0644u);
    EXPECT_EQ(FolderEntries(QFileInfo(path).absolutePath()), QStringList{u"user.reg"_s});
    EXPECT_EQ(backend.Load()->StringValue(kNameStamp, u"name"_s), u"瑠環"_s);
}

TEST(UserRegBackend, NothingIsWrittenWhenNothingChanges)
{
    const QString path = test::MakeTempFolder() + u"/user.reg"_s;
    const QByteArray original = WineFile("\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\n"
                                         "\"Name\"=\"\\x7460\"\n");
    WriteFile(path, original);
    const utimbuf old = {1000000000, 1000000000};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &old), 0);
    const struct stat before = StatOf(path);

    UserRegBackend backend(path);
    backend.Commit({MakeKey(kNameStamp), MakeKey(Key(u"software\\ZEB")),
                    SetValue(Key(u"SOFTWARE\\zeb\\velmor\\namestamp"), u"NAME"_s, u"瑠"_s)});
    backend.Commit({});

    const struct stat after = StatOf(path);
    EXPECT_EQ(ReadFile(path).toStdString(), original.toStdString());
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtime, before.st_mtime);
}

// A store that is there but cannot be used is never mistaken for an empty one.
TEST(UserRegBackend, UnreadableStoreFailsAndStaysUntouched)
{
    struct Case
    {
        const char* what;
        bool folder; // a folder takes the place of the file
        QByteArray contents;
        QString reason;
    };
    const Case cases[] = {
        {"folder instead of file", true, {}, qt_error_string(EISDIR)},
        {"empty file", false, "", u"WINE REGISTRY Version 2"_s},
        {"other format", false, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n",
         u"WINE REGISTRY Version 2"_s},
        {"registry export", false, "Windows Registry Editor Version 5.00\r\n",
         u"WINE REGISTRY Version 2"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = test::MakeTempFolder();
        const QString path = folder + u"/user.reg"_s;
        if (c.folder) {
            ASSERT_TRUE(QDir().mkpath(path + u"/inside"_s));
        } else {
            WriteFile(path, c.contents);
        }

        UserRegBackend backend(path);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                if (attempt == 0)
                    backend.Load();
                else
                    backend.Commit({SetValue(kNameStamp, u"Name"_s, u"x"_s)});
                ADD_FAILURE() << "no RegistryError";
            } catch (const RegistryError& error) {
                EXPECT_TRUE(error.Message().contains(path)) << error.what();
                EXPECT_TRUE(error.Message().contains(c.reason)) << error.what();
            }
        }
        if (c.folder) {
            EXPECT_EQ(FolderEntries(path), QStringList{u"inside"_s});
        } else {
            EXPECT_EQ(ReadFile(path).toStdString(), c.contents.toStdString());
        }
        EXPECT_EQ(FolderEntries(folder), QStringList{u"user.reg"_s});
    }
}

TEST(UserRegBackend, FileWithoutReadPermissionFails)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, where permission bits do not deny reading";
    const QString path = test::MakeTempFolder() + u"/user.reg"_s;
    const QByteArray original = WineFile("\n[A] 1\n");
    WriteFile(path, original);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    UserRegBackend backend(path);
    EXPECT_THROW(backend.Load(), RegistryError);
    EXPECT_THROW(backend.Commit({MakeKey(Key(u"B"))}), RegistryError);
    ::chmod(QFile::encodeName(path).constData(), 0644);
    EXPECT_EQ(ReadFile(path).toStdString(), original.toStdString());
}

TEST(UserRegBackend, FolderThatCannotBeMadeFails)
{
    const QString blocker = test::MakeTempFolder() + u"/plain-file"_s;
    WriteFile(blocker, "not a folder");
    const QString path = blocker + u"/prefix/user.reg"_s;
    UserRegBackend backend(path);
    try {
        backend.Commit({MakeKey(kNameStamp)});
        ADD_FAILURE() << "no RegistryError";
    } catch (const RegistryError& error) {
        EXPECT_TRUE(
            error.Message().startsWith(u"レジストリ ファイルのフォルダーを作成できません"_s))
            << error.what();
        EXPECT_TRUE(error.Message().contains(path)) << error.what();
    }
    EXPECT_EQ(ReadFile(blocker), QByteArray("not a folder"));
}

// A file size limit makes writing fail part way even for root, like a full disk does.
TEST(UserRegBackend, FailedWriteLeavesTheOldFile)
{
    const QString folder = test::MakeTempFolder();
    const QString path = folder + u"/user.reg"_s;
    const QByteArray original = WineFile("\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\n"
                                         "\"Name\"=\"old\"\n");
    WriteFile(path, original);

    rlimit saved = {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    UserRegBackend backend(path);
    bool failed = false;
    QString message;
    try {
        backend.Commit({SetValue(kNameStamp, u"Name"_s, QString(8000, u'印'))});
    } catch (const RegistryError& error) {
        failed = true;
        message = error.Message();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);

    ASSERT_TRUE(failed);
    EXPECT_TRUE(
        message.startsWith(u"レジストリ ファイルに書き込めませんでした。\n"_s + path + u"\n"_s))
        << message.toStdString();
    EXPECT_TRUE(message.contains(qt_error_string(EFBIG))) << message.toStdString();
    EXPECT_EQ(ReadFile(path).toStdString(), original.toStdString());
    EXPECT_EQ(FolderEntries(folder), QStringList{u"user.reg"_s});
    EXPECT_EQ(backend.Load()->StringValue(kNameStamp, u"Name"_s), u"old"_s);
}

// Another instance, or Wine, may change the file between this instance's look and its commit.
TEST(UserRegBackend, CommitAppliesChangesToTheFileAsItIsNow)
{
    const QString path = test::MakeTempFolder() + u"/user.reg"_s;
    UserRegBackend mine(path);
    UserRegBackend theirs(path);
    const std::unique_ptr<RegistrySnapshot> seen = mine.Load();
    theirs.Commit({SetValue(kNameStamp, u"Theirs"_s, u"1"_s)});
    mine.Commit({SetValue(kNameStamp, u"Mine"_s, u"2"_s)});
    EXPECT_FALSE(seen->KeyExists(kNameStamp));

    const std::unique_ptr<RegistrySnapshot> now = mine.Load();
    EXPECT_EQ(now->StringValue(kNameStamp, u"Theirs"_s), u"1"_s);
    EXPECT_EQ(now->StringValue(kNameStamp, u"Mine"_s), u"2"_s);
}

TEST(UserRegBackend, ConcurrentCommitsAllSurvive)
{
    const QString path = test::MakeTempFolder() + u"/user.reg"_s;
    constexpr int kWriters = 4;
    constexpr int kCommits = 25;
    std::vector<std::thread> writers;
    for (int writer = 0; writer < kWriters; ++writer) {
        writers.emplace_back([&, writer] {
            UserRegBackend backend(path); // each with its own lock, like separate processes
            for (int i = 0; i < kCommits; ++i) {
                const QString name = u"w%1-%2"_s.arg(writer).arg(i);
                backend.Commit(
                    {SetValue(kNameStamp + QStringList{QString::number(writer)}, name, name),
                     SetValue(kNameStamp, name, QString::number(i))});
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();

    const UserRegFile file = UserRegBackend(path).Read();
    EXPECT_EQ(file.ValueNames(kNameStamp).size(), kWriters * kCommits);
    for (int writer = 0; writer < kWriters; ++writer) {
        for (int i = 0; i < kCommits; ++i) {
            const QString name = u"w%1-%2"_s.arg(writer).arg(i);
            EXPECT_EQ(file.StringValue(kNameStamp, name), QString::number(i)) << name.toStdString();
            EXPECT_EQ(file.StringValue(kNameStamp + QStringList{QString::number(writer)}, name),
                      name);
        }
    }
    EXPECT_EQ(FolderEntries(QFileInfo(path).absolutePath()), QStringList{u"user.reg"_s});
}

} // namespace
} // namespace velmr::platform
