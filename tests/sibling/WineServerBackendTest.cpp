// Finding a running Wine server and going through it, with a stand-in for wine that keeps the
// "server's" registry in one .reg file. The real Wine is used by the Wine tests.

#include "platform/registry/RegeditFile.h"
#include "platform/registry/WineRegistryBackend.h"
#include "platform/registry/WineServer.h"
#include "tests/sibling/SiblingTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmr::platform {
namespace {

using namespace Qt::StringLiterals;
using test::Key;

const QStringList kNameStamp = Key(u"Software\\Zeb\\Velmor\\NameStamp");

// A process that holds a write lock on the first byte of `path`, as a Wine server holds its lock
// file, until it is released.
class LockHolder
{
public:
    explicit LockHolder(const QString& path)
    {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        EXPECT_EQ(::pipe(release_), 0);
        const QByteArray file = QFile::encodeName(path);
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls in the child.
            const int fd = ::open(file.constData(), O_RDWR | O_CREAT, 0600);
            struct flock lock = {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_len = 1;
            const char status = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
            (void)!::write(ready[1], &status, 1);
            char ignored;
            (void)!::read(release_[0], &ignored, 1);
            ::_exit(0);
        }
        char status = 'n';
        EXPECT_EQ(::read(ready[0], &status, 1), 1);
        EXPECT_EQ(status, 'y');
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~LockHolder() { Release(); }
    void Release()
    {
        if (pid_ <= 0)
            return;
        (void)!::write(release_[1], "x", 1);
        ::waitpid(pid_, nullptr, 0);
        ::close(release_[0]);
        ::close(release_[1]);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_[2] = {-1, -1};
};

TEST(WineServerProbe, ARunningServerIsTheOneHoldingItsLock)
{
    const QString prefix = test::MakeFakePrefix();
    EXPECT_FALSE(ProbeWineServer(prefix).running);
    EXPECT_FALSE(ProbeWineServer(prefix + u"/missing"_s).running);

    struct stat info = {};
    ASSERT_EQ(::stat(QFile::encodeName(prefix).constData(), &info), 0);
    const QString serverName =
        u"server-%1-%2"_s.arg(QString::number(info.st_dev, 16), QString::number(info.st_ino, 16));
    // Upstream Wine's folder is always a candidate; Wine builds with a private folder name in
    // the prefix look under TMPDIR and /tmp as well.
    std::vector<WineServerCandidate> candidates = WineServerCandidates(prefix);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].folder, u"/tmp/.wine-%1/%2"_s.arg(::getuid()).arg(serverName));

    test::WriteFile(prefix + u"/wineserver"_s, "wine-Ab12Cd");
    candidates = WineServerCandidates(prefix);
    ASSERT_EQ(candidates.size(), 3u);
    const QString temp = QDir::cleanPath(qEnvironmentVariable("TMPDIR"));
    EXPECT_EQ(candidates[0].folder, temp + u"/wine-Ab12Cd/"_s + serverName);
    EXPECT_EQ(candidates[0].tempBase, temp);
    EXPECT_EQ(candidates[1].folder, u"/tmp/wine-Ab12Cd/"_s + serverName);

    const QString folder = candidates[0].folder;
    QDir().mkpath(folder);
    test::WriteFile(folder + u"/lock"_s, "");
    EXPECT_FALSE(ProbeWineServer(prefix).running) << "a lock file that nobody holds";
    {
        LockHolder server(folder + u"/lock"_s);
        const WineServerState state = ProbeWineServer(prefix);
        EXPECT_TRUE(state.running);
        EXPECT_EQ(state.serverFolder, folder);
        EXPECT_EQ(state.tempBase, temp);
        server.Release();
        EXPECT_FALSE(ProbeWineServer(prefix).running) << "the lock goes with the server";
    }
    test::WriteFile(prefix + u"/wineserver"_s, "../escape");
    EXPECT_EQ(WineServerCandidates(prefix).size(), 1u) << "only a plain folder name is used";
}

// A stand-in for wine: regedit /S replaces the "server's" registry with the imported file, regedit
// /E writes it out, reg query tells whether it has anything. Every call is logged.
class FakeWine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        prefix = test::MakeFakePrefix();
        folder = test::MakeTempFolder(u"fakewine"_s);
        const QString script = folder + u"/wine"_s;
        test::WriteFile(script, R"(#!/bin/sh
echo "$* | WINEPREFIX=$WINEPREFIX TMPDIR=$TMPDIR" >>"$FAKE_WINE/log"
if [ -f "$FAKE_WINE/fail-once" ]; then
    rm -f "$FAKE_WINE/fail-once"
    echo "ShellExecuteEx failed: Internal error."; exit 1
fi
case "$1 $2" in
"regedit /E") [ -f "$FAKE_WINE/state.reg" ] && cp "$FAKE_WINE/state.reg" "$3"; exit 0 ;;
"regedit /S") cp "$3" "$FAKE_WINE/last-import.reg"
              [ -f "$FAKE_WINE/drop" ] || cp "$3" "$FAKE_WINE/state.reg"; exit 0 ;;
"reg query") [ -f "$FAKE_WINE/state.reg" ] && exit 0; exit 1 ;;
esac
exit 3
)");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        wine = std::make_unique<test::ScopedVariable>("VELMR_WINE", script);
        fake = std::make_unique<test::ScopedVariable>("FAKE_WINE", folder);
        userReg = prefix + u"/user.reg"_s;
        test::WriteFile(userReg, NewUserRegHeader() + "\n[Software\\\\Zeb\\\\Velmor] 1\n"
                                                      "\"SetupRoot\"=\"C:\\\\from the file\"\n");
    }

    void ServerHolds(const QString& regText)
    {
        QByteArray bytes("\xFF\xFE", 2);
        const QString text = QString(regText).replace(u"\n"_s, u"\r\n"_s);
        for (const QChar c : text)
            bytes += char(c.unicode() & 0xFF), bytes += char(c.unicode() >> 8);
        test::WriteFile(folder + u"/state.reg"_s, bytes);
    }
    QStringList Log() const
    {
        return QString::fromLocal8Bit(test::ReadFile(folder + u"/log"_s))
            .split(u'\n', Qt::SkipEmptyParts);
    }
    // A probe that answers from `running` and counts its calls.
    WinePrefixBackend::Probe Probe()
    {
        return [this](const QString& probed) {
            EXPECT_EQ(probed, prefix);
            ++probes;
            WineServerState state;
            state.running = running.empty() ? false : running.front();
            if (!running.empty() && running.size() > 1)
                running.erase(running.begin());
            state.tempBase = u"/tmp/server-base"_s;
            return state;
        };
    }

    QString prefix, folder, userReg;
    std::unique_ptr<test::ScopedVariable> wine, fake;
    std::vector<bool> running;
    int probes = 0;
};

TEST_F(FakeWine, ReadsGoThroughTheServerWhileItRuns)
{
    ServerHolds(uR"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Zeb\Velmor]
"SetupRoot"="C:\\from the server"

[HKEY_CURRENT_USER\Software\Zeb\Velmor\NameStamp]
"Text1"="山"
"FontSize"=dword:00000010
)"_s);
    running = {true};
    WinePrefixBackend backend(prefix, userReg, Probe());
    const std::unique_ptr<RegistrySnapshot> snapshot = backend.Load();
    EXPECT_EQ(backend.LastRoute(), WinePrefixBackend::Route::WineServer);
    EXPECT_TRUE(snapshot->KeyExists(Key(u"Software")));
    EXPECT_TRUE(snapshot->KeyExists(Key(u"Software\\Zeb\\Velmor")));
    EXPECT_EQ(snapshot->StringValue(Key(u"Software\\Zeb\\Velmor"), u"SetupRoot"_s),
              u"C:\\from the server"_s);
    EXPECT_EQ(snapshot->StringValue(kNameStamp, u"Text1"_s), u"山"_s);
    EXPECT_EQ(snapshot->ValueKind(kNameStamp, u"FontSize"_s), RegistryValueKind::NotString);
    const QStringList log = Log();
    ASSERT_EQ(log.size(), 1) << "one export of Software\\Zeb";
    EXPECT_TRUE(log[0].startsWith(u"regedit /E "_s));
    EXPECT_TRUE(log[0].contains(u"HKEY_CURRENT_USER\\Software\\Zeb | "_s)) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(u"WINEPREFIX=%1 TMPDIR=/tmp/server-base"_s.arg(prefix)))
        << "wine is started for the server that runs";

    running = {false};
    const std::unique_ptr<RegistrySnapshot> fromFile = backend.Load();
    EXPECT_EQ(backend.LastRoute(), WinePrefixBackend::Route::File);
    EXPECT_EQ(fromFile->StringValue(Key(u"Software\\Zeb\\Velmor"), u"SetupRoot"_s),
              u"C:\\from the file"_s);
    EXPECT_EQ(Log().size(), 1);
}

TEST_F(FakeWine, AMissingKeyIsAskedForWithRegQuery)
{
    running = {true};
    WinePrefixBackend backend(prefix, userReg, Probe());
    const std::unique_ptr<RegistrySnapshot> snapshot = backend.Load();
    EXPECT_FALSE(snapshot->KeyExists(Key(u"Software\\Zeb\\Velmor")));
    EXPECT_FALSE(snapshot->KeyExists(Key(u"Software")));
    EXPECT_FALSE(snapshot->KeyExists(Key(u"Software"))) << "asked once";
    const QStringList log = Log();
    ASSERT_EQ(log.size(), 3);
    EXPECT_TRUE(log[1].startsWith(u"reg query HKEY_CURRENT_USER\\Software\\Zeb "_s));
    EXPECT_TRUE(log[2].startsWith(u"reg query HKEY_CURRENT_USER\\Software "_s));
}

TEST_F(FakeWine, WritesGoThroughTheServerAndTheFileIsLeftAlone)
{
    const QByteArray fileBefore = test::ReadFile(userReg);
    running = {true};
    WinePrefixBackend backend(prefix, userReg, Probe());
    RegistryAccessor registry(std::shared_ptr<RegistryBackend>(&backend, [](RegistryBackend*) {}));
    ServerHolds(u"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Zeb]\n"_s);
    ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb\\Velmor\\NameStamp"_s, true));
    registry.WriteString(u"Text1"_s, u"瑠環"_s);
    registry.WriteString(u"Text2"_s, u"_"_s);
    registry.Close();
    EXPECT_EQ(backend.LastRoute(), WinePrefixBackend::Route::WineServer);
    EXPECT_EQ(test::ReadFile(userReg), fileBefore) << "the server saves it, not this program";

    const std::optional<RegeditExport> imported =
        RegeditExport::Parse(test::ReadFile(folder + u"/last-import.reg"_s));
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->StringValue(kNameStamp, u"Text1"_s), u"瑠環"_s);
    EXPECT_EQ(imported->StringValue(kNameStamp, u"Text2"_s), u"_"_s);
    const QStringList log = Log();
    ASSERT_EQ(log.size(), 3) << "load, import, check";
    EXPECT_TRUE(log[1].startsWith(u"regedit /S "_s));
    EXPECT_TRUE(log[2].startsWith(u"regedit /E "_s));
    EXPECT_TRUE(QDir(QDir::tempPath()).entryList({u"velmrmgr-*"_s}).isEmpty())
        << "no .reg file is left behind";
}

TEST_F(FakeWine, AWriteThatDoesNotArriveIsAnError)
{
    test::WriteFile(folder + u"/drop"_s, "");
    running = {true};
    WinePrefixBackend backend(prefix, userReg, Probe());
    const std::vector<RegistryChange> changes = {{kNameStamp, u"Text1"_s, u"x"_s}};
    try {
        backend.Commit(changes);
        ADD_FAILURE() << "the commit did not fail";
    } catch (const RegistryError& error) {
        EXPECT_TRUE(error.Message().startsWith(u"Wine のレジストリに書き込めませんでした。"_s))
            << error.Message().toStdString();
    }
    // wine that cannot be run while a server holds the registry: the file is not touched.
    const QByteArray fileBefore = test::ReadFile(userReg);
    const test::ScopedVariable broken("VELMR_WINE", folder + u"/no-such-wine"_s);
    EXPECT_THROW(backend.Commit(changes), RegistryError);
    EXPECT_EQ(test::ReadFile(userReg), fileBefore);
    EXPECT_NO_THROW(backend.Load()) << "reading the file is still possible";
    EXPECT_EQ(backend.LastRoute(), WinePrefixBackend::Route::File);
}

TEST_F(FakeWine, ARunThatFailsAsTheServerEndsIsTriedAgain)
{
    ServerHolds(uR"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Zeb\Velmor\NameStamp]
"Text1"="山"
)"_s);
    running = {true};
    WinePrefixBackend backend(prefix, userReg, Probe());
    test::WriteFile(folder + u"/fail-once"_s, "");
    const std::unique_ptr<RegistrySnapshot> snapshot = backend.Load();
    EXPECT_EQ(snapshot->StringValue(kNameStamp, u"Text1"_s), u"山"_s);
    EXPECT_EQ(probes, 2) << "a new look before the second try";

    test::WriteFile(folder + u"/fail-once"_s, "");
    backend.Commit({{kNameStamp, u"Text2"_s, u"田"_s}});
    const std::optional<RegeditExport> imported =
        RegeditExport::Parse(test::ReadFile(folder + u"/state.reg"_s));
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->StringValue(kNameStamp, u"Text2"_s), u"田"_s);

    // The server has gone by the second look: the file is read instead.
    running = {true, false};
    test::WriteFile(folder + u"/fail-once"_s, "");
    const std::unique_ptr<RegistrySnapshot> fromFile = backend.Load();
    EXPECT_EQ(backend.LastRoute(), WinePrefixBackend::Route::File);
    EXPECT_EQ(fromFile->StringValue(Key(u"Software\\Zeb\\Velmor"), u"SetupRoot"_s),
              u"C:\\from the file"_s);
}

TEST_F(FakeWine, AServerThatStartsDuringADirectWriteGetsTheChangesToo)
{
    ServerHolds(u"Windows Registry Editor Version 5.00\n"_s);
    running = {false, true};
    WinePrefixBackend backend(prefix, userReg, Probe());
    const std::vector<RegistryChange> changes = {{kNameStamp, u"Text1"_s, u"山"_s}};
    backend.Commit(changes);
    EXPECT_EQ(probes, 2);
    EXPECT_EQ(backend.LastRoute(), WinePrefixBackend::Route::WineServer);
    EXPECT_EQ(UserRegBackend(userReg).Read().StringValue(kNameStamp, u"Text1"_s), u"山"_s);
    const std::optional<RegeditExport> imported =
        RegeditExport::Parse(test::ReadFile(folder + u"/last-import.reg"_s));
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->StringValue(kNameStamp, u"Text1"_s), u"山"_s);

    // Without a server the file alone is written, and wine is never started.
    running = {false};
    QFile::remove(folder + u"/log"_s);
    backend.Commit({{kNameStamp, u"Text2"_s, u"田"_s}});
    EXPECT_EQ(backend.LastRoute(), WinePrefixBackend::Route::File);
    EXPECT_TRUE(Log().isEmpty());
    EXPECT_EQ(UserRegBackend(userReg).Read().StringValue(kNameStamp, u"Text2"_s), u"田"_s);
}

TEST_F(FakeWine, TheProgramStoreIsChosenOnlyWithoutAPrefix)
{
    {
        const test::ScopedVariable noPrefix("WINEPREFIX", QString());
        EXPECT_EQ(dynamic_cast<WinePrefixBackend*>(CurrentUserRegistry().get()), nullptr);
    }
    const test::ScopedVariable withPrefix("WINEPREFIX", prefix);
    EXPECT_NE(dynamic_cast<WinePrefixBackend*>(CurrentUserRegistry().get()), nullptr);
    RegistryAccessor registry;
    ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb\\Velmor"_s, false));
    EXPECT_EQ(registry.ReadString(u"SetupRoot"_s), u"C:\\from the file"_s);
    EXPECT_TRUE(Log().isEmpty()) << "no server runs for the prefix: wine is not started";
}

} // namespace
} // namespace velmr::platform
