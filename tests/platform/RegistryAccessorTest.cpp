#include "platform/registry/RegistryAccessor.h"

#include "platform/registry/RegistryLocation.h"
#include "platform/registry/UserRegBackend.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace velmr::platform {
namespace {

using namespace Qt::StringLiterals;
using test::Key;
using test::ParseOrFail;
using test::ScopedVariable;
using test::WineFile;

const QStringList kNameStamp = Key(u"Software\\Zeb\\Velmor\\NameStamp");

// A store in memory that records what reaches it.
class MemoryBackend final : public RegistryBackend
{
public:
    explicit MemoryBackend(QByteArray bytes = NewUserRegHeader()) : bytes_(std::move(bytes)) {}

    std::unique_ptr<RegistrySnapshot> Load() override
    {
        ++loads;
        return std::make_unique<UserRegFile>(ParseOrFail(bytes_));
    }
    void Commit(const std::vector<RegistryChange>& changes) override
    {
        commits.push_back(changes);
        if (!failure.isNull())
            throw RegistryError(failure);
        UserRegFile file = ParseOrFail(bytes_);
        for (const RegistryChange& change : changes)
            file.Apply(change, test::kFixedTime);
        bytes_ = file.Serialize();
    }
    const QByteArray& Bytes() const { return bytes_; }

    int loads = 0;
    std::vector<std::vector<RegistryChange>> commits;
    QString failure; // when set, commits fail with it

private:
    QByteArray bytes_;
};

std::shared_ptr<MemoryBackend> StoreWith(const QByteArray& body)
{
    return std::make_shared<MemoryBackend>(WineFile(body));
}

QStringList MessagesWhile(const std::function<void()>& action)
{
    static QStringList* captured = nullptr;
    QStringList messages;
    captured = &messages;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { *captured << message; });
    action();
    qInstallMessageHandler(previous);
    captured = nullptr;
    return messages;
}

TEST(RegistryAccessor, OpenKeyWithoutCreateOpensOnlyExistingKeys)
{
    const auto store = StoreWith("\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\n\"Name\"=\"x\"\n");
    RegistryAccessor registry(store);
    EXPECT_TRUE(registry.OpenKey(u"software\\Zeb"_s, false));
    EXPECT_EQ(registry.CurrentKey(), Key(u"software\\Zeb"));
    EXPECT_FALSE(registry.OpenKey(u"Missing"_s, false));
    EXPECT_FALSE(registry.OpenKey(u"Velmor\\Missing"_s, false));
    EXPECT_EQ(registry.CurrentKey(), Key(u"software\\Zeb"));
    EXPECT_TRUE(registry.OpenKey(u"\\Velmor\\\\NameStamp\\"_s, false));
    EXPECT_EQ(registry.CurrentKey(), Key(u"software\\Zeb\\Velmor\\NameStamp"));
    EXPECT_EQ(registry.ReadString(u"NAME"_s), u"x"_s);
    registry.Close();
    EXPECT_EQ(store->loads, 1);
    EXPECT_TRUE(store->commits.empty());
}

TEST(RegistryAccessor, OpenKeyWithCreateHoldsTheNewKeyBackUntilClose)
{
    const auto store = StoreWith("\n[Software\\\\Zeb] 1\n");
    {
        RegistryAccessor registry(store);
        EXPECT_TRUE(registry.OpenKey(u"Software\\Zeb"_s, true)); // exists: nothing to do
        EXPECT_TRUE(registry.OpenKey(u"Velmor\\NameStamp"_s, true));
        EXPECT_TRUE(registry.OpenKey(QString(), false));
        EXPECT_EQ(registry.ValueKind(u"Name"_s), RegistryValueKind::Missing);
        EXPECT_TRUE(store->commits.empty());
    }
    ASSERT_EQ(store->commits.size(), 1u);
    ASSERT_EQ(store->commits[0].size(), 1u);
    EXPECT_EQ(store->commits[0][0].keyPath, kNameStamp);
    EXPECT_TRUE(store->commits[0][0].valueName.isNull());
    EXPECT_TRUE(ParseOrFail(store->Bytes()).KeyExists(kNameStamp));
}

TEST(RegistryAccessor, ReadsSeeTheAccessorsOwnWritesFirst)
{
    const auto store = StoreWith("\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\n"
                                 "\"Name\"=\"old\"\n\"Size\"=dword:00000010\n\"Other\"=\"kept\"\n");
    RegistryAccessor registry(store);
    ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb\\Velmor\\NameStamp"_s, false));
    registry.WriteString(u"Name"_s, u"first"_s);
    registry.WriteString(u"NAME"_s, u"瑠環"_s);
    registry.WriteString(u"size"_s, u"12"_s);
    EXPECT_EQ(registry.ReadString(u"name"_s), u"瑠環"_s);
    EXPECT_EQ(registry.ValueKind(u"Size"_s), RegistryValueKind::String);
    EXPECT_EQ(registry.ReadString(u"Size"_s), u"12"_s);
    EXPECT_EQ(registry.ReadString(u"Other"_s), u"kept"_s);
    EXPECT_TRUE(store->commits.empty());

    registry.Close();
    ASSERT_EQ(store->commits.size(), 1u);
    ASSERT_EQ(store->commits[0].size(), 3u);
    EXPECT_EQ(store->commits[0][0].data, u"first"_s);
    EXPECT_EQ(store->commits[0][1].data, u"瑠環"_s);
    EXPECT_EQ(store->commits[0][2].valueName, u"size"_s);
    // After the commit the accessor reads the store again.
    EXPECT_EQ(registry.ReadString(u"Name"_s), u"瑠環"_s);
    EXPECT_EQ(store->loads, 2);
}

TEST(RegistryAccessor, PendingWritesBelongToTheirKey)
{
    const auto store = StoreWith("\n[A] 1\n\"v\"=\"a\"\n\n[A\\\\B] 1\n\"v\"=\"b\"\n");
    RegistryAccessor registry(store);
    ASSERT_TRUE(registry.OpenKey(u"A"_s, false));
    registry.WriteString(u"v"_s, u"new a"_s);
    ASSERT_TRUE(registry.OpenKey(u"B"_s, false));
    EXPECT_EQ(registry.ReadString(u"v"_s), u"b"_s);
}

TEST(RegistryAccessor, CloseCommitsOnceAndOnlyWhenSomethingIsPending)
{
    const auto store = StoreWith("");
    {
        RegistryAccessor registry(store);
        registry.Close();
        registry.Close();
    }
    EXPECT_EQ(store->loads, 0);
    EXPECT_TRUE(store->commits.empty());

    {
        RegistryAccessor registry(store);
        ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb\\Velmor\\NameStamp"_s, true));
        registry.WriteString(u"Name"_s, u"x"_s);
        registry.Close();
        registry.Close();
    }
    EXPECT_EQ(store->commits.size(), 1u);
}

TEST(RegistryAccessor, NullNameWritesTheDefaultValue)
{
    const auto store = StoreWith("");
    RegistryAccessor registry(store);
    ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb"_s, true));
    registry.WriteString(QString(), u"default"_s);
    EXPECT_EQ(registry.ReadString(u""_s), u"default"_s);
    registry.Close();
    ASSERT_EQ(store->commits.size(), 1u);
    EXPECT_FALSE(store->commits[0].back().valueName.isNull());
    EXPECT_TRUE(store->Bytes().endsWith("\n@=\"default\"\n")) << store->Bytes().toStdString();
}

TEST(RegistryAccessor, FailedCloseThrowsOnceAndLeavesTheAccessorClosed)
{
    const auto store = StoreWith("");
    store->failure = u"書き込めません"_s;
    const QStringList messages = MessagesWhile([&] {
        RegistryAccessor registry(store);
        ASSERT_TRUE(registry.OpenKey(u"Software"_s, true));
        try {
            registry.Close();
            ADD_FAILURE() << "no RegistryError";
        } catch (const RegistryError& error) {
            EXPECT_EQ(error.Message(), u"書き込めません"_s);
            EXPECT_STREQ(error.what(), "書き込めません");
        }
        registry.Close();
    });
    EXPECT_EQ(store->commits.size(), 1u);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST(RegistryAccessor, DestructorCommitsAndOnlyLogsAFailure)
{
    const auto store = StoreWith("");
    store->failure = u"ディスクがいっぱいです"_s;
    const QStringList messages = MessagesWhile([&] {
        RegistryAccessor registry(store);
        ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb"_s, true));
        registry.WriteString(u"Name"_s, u"x"_s);
    });
    EXPECT_EQ(store->commits.size(), 1u);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(u"ディスクがいっぱいです"_s)) << messages[0].toStdString();
}

TEST(RegistryAccessor, CurrentUserRegistryFollowsTheEnvironmentUnlessReplaced)
{
    const QString first = test::MakeTempFolder(u"prefix"_s);
    const QString second = test::MakeTempFolder(u"prefix"_s);
    {
        const ScopedVariable prefix("WINEPREFIX", first);
        RegistryAccessor registry;
        ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb\\Velmor\\NameStamp"_s, true));
        registry.WriteString(u"Name"_s, u"名字"_s);
        registry.Close();
    }
    EXPECT_EQ(UserRegBackend(first + u"/user.reg"_s).Read().StringValue(kNameStamp, u"Name"_s),
              u"名字"_s);
    {
        const ScopedVariable prefix("WINEPREFIX", second);
        RegistryAccessor registry;
        EXPECT_FALSE(registry.OpenKey(u"Software\\Zeb"_s, false));

        const auto replacement = StoreWith("\n[Software\\\\Zeb] 1\n");
        SetCurrentUserRegistry(replacement);
        EXPECT_TRUE(RegistryAccessor().OpenKey(u"Software\\Zeb"_s, false));
        SetCurrentUserRegistry(nullptr);
        EXPECT_FALSE(RegistryAccessor().OpenKey(u"Software\\Zeb"_s, false));
        EXPECT_EQ(replacement->loads, 1);
    }
    EXPECT_FALSE(QFileInfo::exists(second + u"/user.reg"_s));
}

// A name seal as the editor stores it: the values reach the file together and read back.
TEST(RegistryAccessor, NameSealRoundTripsThroughTheFile)
{
    const QString path = test::MakeTempFolder() + u"/user.reg"_s;
    const auto backend = std::make_shared<UserRegBackend>(path);
    QStringList names;
    for (int i = 0; i < 30; ++i)
        names << u"Line%1"_s.arg(i);
    const auto valueOf = [](int i) {
        return i % 3 == 0 ? u"瑠環印影 %1"_s.arg(i)
                          : (i % 3 == 1 ? u"_"_s : u"C:\\\"%1\""_s.arg(i));
    };
    {
        RegistryAccessor registry(backend);
        ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb\\Velmor\\NameStamp"_s, true));
        for (int i = 0; i < names.size(); ++i)
            registry.WriteString(names[i], valueOf(i));
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    RegistryAccessor registry(backend);
    ASSERT_TRUE(registry.OpenKey(u"SOFTWARE\\zeb\\velmor\\namestamp"_s, false));
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(registry.ReadString(names[i]), valueOf(i));
}

TEST(RegistryLocation, FollowsWinePrefixThenTheRememberedPrefixThenHomeWineThenTheOwnStore)
{
    enum class HomeWine
    {
        None,
        Folder,
        File
    };
    using enum HomeWine;
    struct Case
    {
        const char* what;
        QString winePrefix; // null: unset
        HomeWine homeWine;
        QString dataHome; // null: unset
        RegistryStoreKind kind;
        QString prefix; // "~" stands for the home folder
        QString userReg;
        bool remembered = false; // ~/games/prefix remembered, and made when `kind` says so
    };
    using enum RegistryStoreKind;
    const Case cases[] = {
        {"remembered beats ~/.wine",
         {},
         Folder,
         {},
         RememberedPrefix,
         u"~/games/prefix"_s,
         u"~/games/prefix/user.reg"_s,
         true},
        {"WINEPREFIX beats the remembered",
         u"/srv/prefix"_s,
         None,
         {},
         WinePrefix,
         u"/srv/prefix"_s,
         u"/srv/prefix/user.reg"_s,
         true},
        {"remembered but gone",
         {},
         Folder,
         {},
         DefaultWinePrefix,
         u"~/.wine"_s,
         u"~/.wine/user.reg"_s,
         true},
        {"WINEPREFIX wins", u"/srv/prefix"_s, Folder, u"/data"_s, WinePrefix, u"/srv/prefix"_s,
         u"/srv/prefix/user.reg"_s},
        {"WINEPREFIX cleaned",
         u"/srv//prefix/"_s,
         None,
         {},
         WinePrefix,
         u"/srv/prefix"_s,
         u"/srv/prefix/user.reg"_s},
        {"empty WINEPREFIX", u""_s, Folder, u"/data"_s, DefaultWinePrefix, u"~/.wine"_s,
         u"~/.wine/user.reg"_s},
        {"~/.wine", {}, Folder, {}, DefaultWinePrefix, u"~/.wine"_s, u"~/.wine/user.reg"_s},
        {"~/.wine not a folder",
         {},
         File,
         u"/data"_s,
         ProgramStore,
         u""_s,
         u"/data/velmrmgr/user.reg"_s},
        {"XDG_DATA_HOME", {}, None, u"/data/"_s, ProgramStore, u""_s, u"/data/velmrmgr/user.reg"_s},
        {"XDG_DATA_HOME unset",
         {},
         None,
         {},
         ProgramStore,
         u""_s,
         u"~/.local/share/velmrmgr/user.reg"_s},
        {"XDG_DATA_HOME relative",
         {},
         None,
         u"data"_s,
         ProgramStore,
         u""_s,
         u"~/.local/share/velmrmgr/user.reg"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString home = test::MakeTempFolder(u"home"_s);
        if (c.homeWine == Folder)
            ASSERT_TRUE(QDir(home).mkdir(u".wine"_s));
        else if (c.homeWine == File)
            test::WriteFile(home + u"/.wine"_s, "x");
        const ScopedVariable homeVariable("HOME", home);
        const ScopedVariable prefixVariable("WINEPREFIX", c.winePrefix);
        const ScopedVariable dataVariable("XDG_DATA_HOME", c.dataHome);
        const ScopedVariable configVariable("XDG_CONFIG_HOME", home + u"/.config"_s);
        if (c.remembered) {
            if (c.kind == RememberedPrefix) {
                ASSERT_TRUE(QDir().mkpath(home + u"/games/prefix"_s));
            }
            ASSERT_EQ(RememberWinePrefix(home + u"/games/prefix/"_s), std::nullopt);
            EXPECT_EQ(RememberedWinePrefix(), home + u"/games/prefix"_s);
            EXPECT_TRUE(SettingsFilePath().startsWith(home + u"/.config/velmrmgr/"_s));
        }

        const RegistryLocation location = FindRegistryLocation();
        EXPECT_EQ(location.kind, c.kind);
        EXPECT_EQ(location.prefix, QString(c.prefix).replace(u"~"_s, home));
        EXPECT_EQ(location.userRegPath, QString(c.userReg).replace(u"~"_s, home));
    }
}

TEST(RegistryLocation, TestsUseTheirPrivateHome)
{
    const RegistryLocation location = FindRegistryLocation();
    EXPECT_EQ(location.kind, RegistryStoreKind::ProgramStore);
    EXPECT_EQ(location.userRegPath, test::PrivateHome() + u"/.local/share/velmrmgr/user.reg"_s);
}

} // namespace
} // namespace velmr::platform
