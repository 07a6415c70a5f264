// The Velmor check at the main window's first show.

#include "sibling/VelmorCheck.h"

#include "platform/registry/RegistryLocation.h"
#include "sibling/MessageForm.h"
#include "tests/sibling/SiblingFixture.h"

#include <QDir>
#include <QFrame>

namespace velmr::test {
namespace {

using namespace Qt::StringLiterals;
using platform::FileDialogChoice;

const QString kAsk = u"瑠環印鑑のｾｯﾄｱｯﾌﾟﾌｫﾙﾀﾞｰを探します"_s;
const QString kGivenUp = u"今回は瑠環印鑑機能は使用できません"_s;

class VelmorCheck : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetStore();
        windows = std::make_unique<app::ProgramWindows>();
        main = windows->mainForm.get();
    }
    void TearDown() override
    {
        windows.reset();
        QDir::setCurrent(startFolder);
    }
    // The check as at a new start of the program.
    void Start()
    {
        windows.reset();
        windows = std::make_unique<app::ProgramWindows>();
        main = windows->mainForm.get();
        main->CheckVelmor();
    }
    QString SetupRoot() const { return ReadStore().StringValue(kVelmorPath, u"SetupRoot"_s); }
    void ExpectCommands(bool imports, bool registers)
    {
        EXPECT_EQ(main->mCurrent->isEnabled(), imports);
        EXPECT_EQ(main->m083->isEnabled(), imports);
        main->sbNewName->trigger();
        main->UpdateMenuItems();
        EXPECT_EQ(main->mRegist->isEnabled(), registers);
        EXPECT_EQ(main->sbToVelmor->isEnabled(), registers);
    }

    ScriptedDialogs dialogs;
    std::unique_ptr<app::ProgramWindows> windows;
    app::TMainForm* main = nullptr;
    const QString startFolder = QDir::currentPath();
};

TEST_F(VelmorCheck, WithoutTheKeyTheNoticeIsShownOnceAndEveryCommandStaysOff)
{
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    QCoreApplication::processEvents(); // the first show runs the check
    ASSERT_EQ(dialogs.modalForms.size(), 1u);
    EXPECT_EQ(dialogs.modalForms[0], u"瑠環印影マネージャー"_s);
    EXPECT_TRUE(windows->messageForm->Panel1()->isVisibleTo(windows->messageForm.get()));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(main->VelmorPresent);
    EXPECT_TRUE(main->SetupRootPath.isEmpty());
    ExpectCommands(false, false);
    EXPECT_FALSE(QFileInfo::exists(StorePath())) << "nothing is written";
    EXPECT_TRUE(dialogs.openRequests.empty()) << "no folder is searched";
    // A second show does not check again.
    main->hide();
    main->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.modalForms.size(), 1u);
}

TEST_F(VelmorCheck, VelmorExeInTheCurrentFolderIsTakenWithoutAsking)
{
    const struct
    {
        const char16_t* name;
        bool isFile;
        bool taken;
    } cases[] = {
        {u"velmor.exe", true, true},      {u"VELMOR.EXE", true, true},
        {u"Velmor.Exe", true, true},      {u"velmor.exe", false, false}, // a folder of that name
        {u"velmor.exe.bak", true, false},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromUtf16(c.name);
        SCOPED_TRACE(name.toStdString() + (c.isFile ? " file" : " folder"));
        WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n");
        dialogs.messages.clear();
        dialogs.openRequests.clear();
        const QString folder = MakeTempFolder(u"here"_s);
        if (c.isFile)
            WriteFile(folder + u'/' + name, "MZ");
        else
            QDir(folder).mkdir(name);
        ASSERT_TRUE(QDir::setCurrent(folder));
        Start();
        EXPECT_EQ(dialogs.openRequests.empty(), c.taken);
        if (!c.taken)
            continue;
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_TRUE(main->VelmorPresent);
        EXPECT_EQ(main->SetupRootPath, QDir::currentPath());
        EXPECT_EQ(SetupRoot(), QDir::currentPath());
        ExpectCommands(true, true);
    }
}

TEST_F(VelmorCheck, TheChosenFolderIsRememberedAndNotAskedAgain)
{
    const struct
    {
        const char16_t* chosen;
        const char16_t* folder;
    } cases[] = {
        {u"D:\\TOOLS\\VELMOR\\velmor.exe", u"D:\\TOOLS\\VELMOR"},
        {u"D:\\velmor.exe", u"D:\\"},
        {u"C:\\ソフト\\velmor.exe", u"C:\\ソフト"},
        {u"C:\\表\\VELMOR.EXE", u"C:\\表"},
        {u"/opt/velmor/velmor.exe", u"/opt/velmor"},
        {u"/opt/ve\\lmor/velmor.exe", u"/opt/ve\\lmor"}, // a Unix name may hold "\\"
    };
    for (const auto& c : cases) {
        WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"SetupRoot\"=\"\"\n");
        dialogs.messages.clear();
        dialogs.openRequests.clear();
        dialogs.openAnswers.push_back(FileDialogChoice{QString::fromUtf16(c.chosen), 0});
        Start();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, kAsk);
        EXPECT_EQ(dialogs.messages[0].caption, u"瑠環印影MGR"_s);
        ASSERT_EQ(dialogs.openRequests.size(), 1u);
        EXPECT_EQ(dialogs.openRequests[0].fileName, u"velmor.exe"_s);
        EXPECT_EQ(dialogs.openRequests[0].filter, u"瑠環印鑑 (velmor.exe)|velmor.exe"_s);
        EXPECT_TRUE(dialogs.openRequests[0].mustExist);
        const QString folder = QString::fromUtf16(c.folder);
        EXPECT_EQ(main->SetupRootPath, folder);
        EXPECT_EQ(SetupRoot(), folder);
        EXPECT_TRUE(main->VelmorPresent);

        // The next start asks nothing and tests nothing.
        dialogs.messages.clear();
        dialogs.openRequests.clear();
        Start();
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_TRUE(dialogs.openRequests.empty());
        EXPECT_EQ(main->SetupRootPath, folder);
    }
}

TEST_F(VelmorCheck, CancellingTheSearchKeepsImportsAndAsksAgainNextTime)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n");
    main->CheckVelmor();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, kAsk);
    EXPECT_EQ(dialogs.messages[1].text, kGivenUp);
    EXPECT_EQ(dialogs.messages[1].caption, u"瑠環印影MGR"_s);
    EXPECT_FALSE(main->VelmorPresent);
    EXPECT_TRUE(main->SetupRootPath.isEmpty());
    const platform::UserRegFile store = ReadStore();
    EXPECT_EQ(store.ValueKind(kVelmorPath, u"SetupRoot"_s), platform::RegistryValueKind::String);
    EXPECT_EQ(SetupRoot(), QString());
    ExpectCommands(true, false);

    dialogs.messages.clear();
    Start();
    EXPECT_EQ(dialogs.messages.size(), 2u) << "asked again";
}

TEST_F(VelmorCheck, AnyStoredFolderIsTakenAsItIsButCutToItsLength)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"SetupRoot\"=\"Q:\\\\no such folder\"\n");
    main->CheckVelmor();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(main->SetupRootPath, u"Q:\\no such folder"_s);
    EXPECT_TRUE(main->VelmorPresent);

    // 600 double-byte characters (1200 bytes) keep 511 of them (1022 bytes).
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"SetupRoot\"=\"a" +
               QByteArray("\\x7460").repeated(600) + "\"\n");
    Start();
    EXPECT_EQ(main->SetupRootPath, u"a"_s + QString(511, u'瑠'));
}

TEST_F(VelmorCheck, OpeningAndClosingDocumentsSwitchRegistering)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"SetupRoot\"=\"/opt/velmor\"\n");
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    QCoreApplication::processEvents();
    ASSERT_TRUE(main->VelmorPresent);
    EXPECT_FALSE(main->mRegist->isEnabled());
    main->sbNewName->trigger();
    EXPECT_TRUE(main->mRegist->isEnabled());
    EXPECT_TRUE(main->sbToVelmor->isEnabled());
    main->FileCloseItem->trigger();
    QCoreApplication::processEvents();
    EXPECT_FALSE(main->mRegist->isEnabled());
    EXPECT_FALSE(main->sbToVelmor->isEnabled());
    EXPECT_TRUE(main->mCurrent->isEnabled()) << "imports stay available";
}

TEST_F(VelmorCheck, AStoreThatCannotRememberTheFolderIsToldAndTheRunGoesOn)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n");
    const StoreOverride override(std::make_shared<RefusingStore>());
    dialogs.openAnswers.push_back(FileDialogChoice{u"/opt/velmor/velmor.exe"_s, 0});
    main->CheckVelmor();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(
        dialogs.messages[1].text.startsWith(u"瑠環印鑑のｾｯﾄｱｯﾌﾟﾌｫﾙﾀﾞｰを記録できませんでした。"_s));
    EXPECT_TRUE(main->VelmorPresent);
    EXPECT_EQ(main->SetupRootPath, u"/opt/velmor"_s);
}

TEST_F(VelmorCheck, AnUnreadableStoreIsToldAndLeavesTheCommandsOff)
{
    QDir().mkpath(StorePath());
    main->CheckVelmor();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(u"瑠環印鑑の設定を読み込めませんでした。"_s));
    EXPECT_TRUE(dialogs.messages[0].text.contains(StorePath())) << "the file is named";
    EXPECT_FALSE(main->VelmorPresent);
    ExpectCommands(false, false);
}

// In a Wine prefix the folder is written as a Windows path through the prefix's drives; the
// prefix's Program Files folders are looked through before the user is asked.
TEST_F(VelmorCheck, InAPrefixTheFolderIsFoundInProgramFilesOrWrittenThroughItsDrives)
{
    const QString prefix = MakeFakePrefix();
    const ScopedVariable wine("WINEPREFIX", prefix);
    const auto emptyKey = [&] {
        WriteFile(prefix + u"/user.reg"_s,
                  platform::NewUserRegHeader() + "\n[Software\\\\Zeb\\\\Velmor] 1\n");
    };
    const auto setupRoot = [&] {
        return platform::UserRegBackend(prefix + u"/user.reg"_s)
            .Read()
            .StringValue(kVelmorPath, u"SetupRoot"_s);
    };

    // Found without a question, in any letter case, a folder of that name passed over.
    QDir().mkpath(prefix + u"/drive_c/Program Files/Common Files/velmor.exe"_s);
    WriteFile(prefix + u"/drive_c/Program Files (x86)/Zeb/Velmor/VELMOR.EXE"_s, "MZ");
    emptyKey();
    Start();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.openRequests.empty());
    EXPECT_TRUE(main->VelmorPresent);
    EXPECT_EQ(main->SetupRootPath, u"C:\\Program Files (x86)\\Zeb\\Velmor"_s);
    EXPECT_EQ(setupRoot(), u"C:\\Program Files (x86)\\Zeb\\Velmor"_s);
    QDir(prefix + u"/drive_c/Program Files (x86)"_s).removeRecursively();

    // Elsewhere the user is asked.
    WriteFile(prefix + u"/drive_c/Tools/velmor.exe"_s, "MZ");
    WriteFile(prefix + u"/drive_c/velmor.exe"_s, "MZ");
    const QString outside = MakeTempFolder(u"outside"_s);
    WriteFile(outside + u"/velmor.exe"_s, "MZ");
    const struct
    {
        QString chosen;
        QString folder;
    } cases[] = {
        {prefix + u"/drive_c/Tools/velmor.exe"_s, u"C:\\Tools"_s},
        {prefix + u"/drive_c/velmor.exe"_s, u"C:\\"_s},
        {outside + u"/velmor.exe"_s, u"Z:"_s + QString(outside).replace(u'/', u'\\')},
    };
    for (const auto& c : cases) {
        emptyKey();
        dialogs.openAnswers.push_back(FileDialogChoice{c.chosen, 0});
        dialogs.openRequests.clear();
        Start();
        ASSERT_EQ(dialogs.openRequests.size(), 1u);
        EXPECT_EQ(dialogs.openRequests[0].directory, prefix + u"/drive_c"_s)
            << "the search starts on drive C:";
        EXPECT_EQ(main->SetupRootPath, c.folder);
        EXPECT_EQ(setupRoot(), c.folder);
    }

    // Without a drive for the root folder, a folder outside drive C: cannot be named.
    const QString bare = MakeFakePrefix(/*withZ=*/false);
    const ScopedVariable bareWine("WINEPREFIX", bare);
    WriteFile(bare + u"/user.reg"_s,
              platform::NewUserRegHeader() + "\n[Software\\\\Zeb\\\\Velmor] 1\n");
    dialogs.messages.clear();
    dialogs.openAnswers.push_back(FileDialogChoice{outside + u"/velmor.exe"_s, 0});
    Start();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(dialogs.messages[1].text.contains(u"Wine のドライブの外"_s));
    EXPECT_FALSE(main->VelmorPresent);
    EXPECT_TRUE(platform::UserRegBackend(bare + u"/user.reg"_s)
                    .Read()
                    .StringValue(kVelmorPath, u"SetupRoot"_s)
                    .isEmpty());
}

// Without WINEPREFIX, a velmor.exe chosen inside a Wine prefix makes that prefix the registry,
// for this run and, remembered, for the next ones; the program's own store is left as it was.
TEST_F(VelmorCheck, AProgramChosenInsideAPrefixMakesItTheRegistry)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n");
    const QString ownStore = StorePath();
    const QByteArray ownBytes = StoreBytes();
    const QString prefix = MakeFakePrefix();
    WriteFile(prefix + u"/drive_c/Tools/Velmor/velmor.exe"_s, "MZ");
    dialogs.openAnswers.push_back(
        FileDialogChoice{prefix + u"/dosdevices/c:/Tools/Velmor/velmor.exe"_s, 0});
    Start();
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_TRUE(main->VelmorPresent);
    EXPECT_EQ(main->SetupRootPath, u"C:\\Tools\\Velmor"_s);
    ExpectCommands(true, true);

    const platform::RegistryLocation location = platform::FindRegistryLocation();
    EXPECT_EQ(location.kind, platform::RegistryStoreKind::RememberedPrefix);
    EXPECT_EQ(location.prefix, QFileInfo(prefix).canonicalFilePath());
    const QString prefixStore = prefix + u"/user.reg"_s;
    const auto inPrefix = [&](const QStringList& key, const QString& name) {
        return platform::UserRegBackend(prefixStore).Read().StringValue(key, name);
    };
    EXPECT_EQ(inPrefix(kVelmorPath, u"SetupRoot"_s), u"C:\\Tools\\Velmor"_s);
    EXPECT_EQ(ReadFile(ownStore), ownBytes) << "nothing goes into the program's own store";

    // Registering goes into the prefix.
    main->mRegist->trigger();
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages.back().text, u"認印を登録しました"_s);
    EXPECT_EQ(inPrefix(kNameStampPath, u"Text1"_s), u"名"_s);

    // The next start, still without WINEPREFIX, asks nothing.
    dialogs.messages.clear();
    dialogs.openRequests.clear();
    Start();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.openRequests.empty());
    EXPECT_EQ(main->SetupRootPath, u"C:\\Tools\\Velmor"_s);
}

} // namespace
} // namespace velmr::test
