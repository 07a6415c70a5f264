// The exchange with the Velmor program through a real Wine prefix, made by
// scripts/make-velmor-prefix.sh with Wine's own tools. One prefix serves every test of this
// program; without Wine the tests are skipped.

#include "image/ImgKit.h"
#include "platform/registry/RegeditFile.h"
#include "platform/registry/WineRegistryBackend.h"
#include "platform/registry/WineServer.h"
#include "sibling/ImportSeals.h"
#include "sibling/RegisterSeals.h"
#include "tests/sibling/SiblingFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QThread>

#include <cstdio>

namespace velmr::test {
namespace {

using namespace Qt::StringLiterals;
using platform::RegistryValueKind;
using platform::WinePrefixBackend;
using Route = WinePrefixBackend::Route;

constexpr int kUnrelatedKeys = 3000;

using test::ProcessRun;

// The prefix shared by the tests, made once for the process.
class VelmorPrefix final : public ::testing::Environment
{
public:
    static inline QString prefix;
    static inline QString problem;   // why the tests cannot run
    static inline bool skip = false; // Wine is not installed

    static ProcessRun Execute(const QString& program, const QStringList& arguments, int timeoutMs)
    {
        return RunForPrefix(prefix, program, arguments, timeoutMs);
    }
    static ProcessRun Wine(const QStringList& arguments)
    {
        return Execute(u"wine"_s, arguments, 120000);
    }

    static bool ServerRuns() { return platform::ProbeWineServer(prefix).running; }
    static void StartServer()
    {
        Execute(u"wineserver"_s, {u"-p"_s}, 30000);
        // A first client waits until the server answers.
        Wine({u"reg"_s, u"query"_s, u"HKCU\\Software\\Zeb"_s});
    }
    static void StopServer() { StopWineServer(prefix); }

    void SetUp() override
    {
        if (!WineInstalled()) {
            skip = true;
            problem = u"wine is not installed"_s;
            return;
        }
        prefix = PrivateTemp() + u"/velmor-prefix"_s;
        QElapsedTimer timer;
        timer.start();
        const ProcessRun made =
            Execute(u"bash"_s,
                    {QStringLiteral(VELMR_SOURCE_DIR "/scripts/make-velmor-prefix.sh"), prefix,
                     u"--keys"_s, QString::number(kUnrelatedKeys)},
                    600000);
        std::printf("[ wine     ] make-velmor-prefix.sh took %lld ms\n",
                    static_cast<long long>(timer.elapsed()));
        if (made.finished && made.exitCode == 77) {
            skip = true;
            problem = QString::fromLocal8Bit(made.output).trimmed();
        } else if (!made.finished || made.exitCode != 0) {
            problem = u"the prefix could not be made: "_s + QString::fromLocal8Bit(made.output);
        }
    }
    void TearDown() override
    {
        if (!prefix.isEmpty())
            StopServer();
    }
};

#define REQUIRE_PREFIX()                                                                           \
    do {                                                                                           \
        if (VelmorPrefix::skip)                                                                    \
            GTEST_SKIP() << VelmorPrefix::problem.toStdString();                                   \
        ASSERT_TRUE(VelmorPrefix::problem.isEmpty()) << VelmorPrefix::problem.toStdString();       \
    } while (false)

// What Wine itself exports of a key, as text.
QString WineExport(const QString& key)
{
    const QString text = test::WineExport(VelmorPrefix::prefix, key);
    EXPECT_FALSE(text.isEmpty()) << key.toStdString();
    return text;
}

// The seals that make-velmor-prefix.sh writes.
seal::NameStampRecord ScriptNameSeal()
{
    seal::NameStampRecord record{};
    record.Text1.Assign(Sjis(u"山"));
    record.Text2.Assign(Sjis(u"田"));
    record.FontName.Assign(Sjis(u"ＭＳ 明朝"));
    record.FontStyle = seal::kStyleBold;
    record.FontSize = 60;
    record.StampSize = 104;
    record.TextSpace = -5;
    record.StampColor = seal::kColorBlue;
    record.LineWidth = 6;
    record.CircleParameter = 80;
    record.OffsetX = 3;
    record.OffsetY = -15;
    record.Resolution = 1;
    return record;
}

seal::NameStampExRecord ScriptNameSealEx()
{
    seal::NameStampExRecord ex{};
    ex.UseNameEX = 1;
    ex.ExText1.Assign(Sjis(u"鈴"));
    ex.ExFontName.Assign(Sjis(u"ＭＳ ゴシック"));
    ex.ExFontStyle = seal::kStyleItalic;
    ex.ExFontSize = 40;
    ex.ExOffsetX = 50;
    ex.ExOffsetY = -4;
    return ex;
}

// Each test starts with no server and the program's registry in the prefix.
class WinePrefix : public SiblingCommands
{
protected:
    void SetUp() override
    {
        if (VelmorPrefix::skip || !VelmorPrefix::problem.isEmpty())
            return;
        VelmorPrefix::StopServer();
        SiblingCommands::SetUp(); // in the private HOME, before the prefix is named
        environment = std::make_unique<ScopedVariable>("WINEPREFIX", VelmorPrefix::prefix);
        main->SetupRootPath = u"C:\\Program Files\\Velmor"_s;
    }
    void TearDown() override
    {
        SiblingCommands::TearDown();
        environment.reset();
    }
    std::shared_ptr<WinePrefixBackend> Backend() const
    {
        return std::make_shared<WinePrefixBackend>(VelmorPrefix::prefix,
                                                   VelmorPrefix::prefix + u"/user.reg"_s);
    }
    platform::UserRegFile SavedRegistry() const
    {
        return platform::UserRegBackend(VelmorPrefix::prefix + u"/user.reg"_s).Read();
    }
    std::unique_ptr<ScopedVariable> environment;
};

TEST_F(WinePrefix, TheSealsWineWroteAreImportedWithAndWithoutAServer)
{
    REQUIRE_PREFIX();
    for (const bool server : {false, true}) {
        if (server)
            VelmorPrefix::StartServer();
        ASSERT_EQ(VelmorPrefix::ServerRuns(), server);
        const auto backend = Backend();
        seal::NameStampRecord record;
        seal::NameStampExRecord ex;
        sibling::LoadNameSeal(record, ex, backend);
        EXPECT_EQ(backend->LastRoute(), server ? Route::WineServer : Route::File);
        EXPECT_EQ(seal::ToBytes(record), seal::ToBytes(ScriptNameSeal())) << server;
        EXPECT_EQ(seal::ToBytes(ex), seal::ToBytes(ScriptNameSealEx())) << server;
    }

    // Values that reg add writes into the running server are seen at once.
    const ProcessRun add =
        VelmorPrefix::Wine({u"reg"_s, u"add"_s, u"HKCU\\Software\\Zeb\\Velmor\\NameStamp"_s,
                            u"/v"_s, u"OffsetX"_s, u"/d"_s, u"-77"_s, u"/f"_s});
    ASSERT_EQ(add.exitCode, 0) << add.output.toStdString();
    VelmorPrefix::Wine({u"reg"_s, u"add"_s, u"HKCU\\Software\\Zeb\\Velmor\\NameStamp"_s, u"/v"_s,
                        u"FontSize"_s, u"/t"_s, u"REG_DWORD"_s, u"/d"_s, u"9"_s, u"/f"_s});
    main->mCurName->trigger();
    seal::TMDIChild* imported = main->ActiveDocument();
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(imported->NameStamp.OffsetX, -77);
    EXPECT_EQ(imported->NameStamp.FontSize, 0) << "a value of another type reads as missing";
    EXPECT_EQ(imported->NameStamp.Text1.ToUnicode(), u"山"_s);

    // The date seal of an older Velmor program gets its later values, through the server.
    main->mCurDate->trigger();
    seal::TMDIChild* date = main->ActiveDocument();
    ASSERT_NE(date, imported);
    EXPECT_EQ(date->DateStamp.Text1.ToUnicode(), u"総務"_s);
    EXPECT_EQ(date->DateStamp.FontNameL.ToUnicode(), u"ＭＳ Ｐ明朝"_s);
    EXPECT_EQ(date->DateStamp.PositionL, -3);
    EXPECT_EQ(date->DateStamp.FontStyleL, 0x03);
    EXPECT_EQ(date->DateStamp.Header.ToUnicode(), u"No."_s);
    EXPECT_EQ(date->DateStampEx, seal::DateStampExRecord{});
    const QString exported = WineExport(u"HKEY_CURRENT_USER\\Software\\Zeb\\Velmor\\DateStamp"_s);
    for (const QString& line : {u"\"Text3\"=\"_\""_s, u"\"Text5\"=\"_\""_s, u"\"DateNZ\"=\"0\""_s,
                                u"\"L_T3Space\"=\"0\""_s})
        EXPECT_TRUE(exported.contains(line)) << line.toStdString();
    VelmorPrefix::StopServer();
    EXPECT_EQ(SavedRegistry().StringValue(kDateStampPath, u"U_T2Space"_s), u"0"_s)
        << "the server saved what was written through it";
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(WinePrefix, WhatIsRegisteredWithoutAServerWineReadsBack)
{
    REQUIRE_PREFIX();
    ASSERT_FALSE(VelmorPrefix::ServerRuns());
    seal::TMDIChild* document = NewNameSeal();
    document->NameStamp.Text1.Assign(Sjis(u"瑠環"));
    document->NameStamp.Text3.Assign(Sjis(u"ソ表"));
    document->NameStamp.OffsetY = -12;
    document->NameStampEx.ExFontStyle = seal::kStyleBold | seal::kStyleItalic;
    const auto backend = Backend();
    sibling::StoreNameSeal(document->NameStamp, document->NameStampEx, backend);
    EXPECT_EQ(backend->LastRoute(), Route::File);

    const QString exported = WineExport(u"HKEY_CURRENT_USER\\Software\\Zeb\\Velmor\\NameStamp"_s);
    for (const QString& line :
         {u"\"Text1\"=\"瑠環\""_s, u"\"Text2\"=\"字\""_s, u"\"Text3\"=\"ソ表\""_s,
          u"\"Text4\"=\"_\""_s, u"\"FontName\"=\"ＭＳ 明朝\""_s, u"\"OffsetY\"=\"-12\""_s,
          u"\"StampColor\"=\"255\""_s, u"\"ExFontStyleBold\"=\"1\""_s,
          u"\"ExFontStyleItalic\"=\"1\""_s})
        EXPECT_TRUE(exported.contains(line)) << line.toStdString() << "\n"
                                             << exported.toStdString();
    // ASCII values through reg query as well.
    const ProcessRun query =
        VelmorPrefix::Wine({u"reg"_s, u"query"_s, u"HKCU\\Software\\Zeb\\Velmor\\NameStamp"_s,
                            u"/v"_s, u"StampSize"_s});
    EXPECT_TRUE(query.output.contains("StampSize    REG_SZ    117")) << query.output.toStdString();
}

TEST_F(WinePrefix, ASealRegisteredWhileTheServerRunsSurvivesItsShutdown)
{
    REQUIRE_PREFIX();
    VelmorPrefix::StartServer();
    ASSERT_TRUE(VelmorPrefix::ServerRuns());
    seal::TMDIChild* document = NewDateSeal();
    document->DateStamp.Text1.Assign(Sjis(u"経理部"));
    document->DateStamp.PositionL = -9;
    Register();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, u"日付印を登録しました"_s);
    // The server has changes of its own to save as well.
    VelmorPrefix::Wine({u"reg"_s, u"add"_s, u"HKCU\\Software\\Zeb\\Other"_s, u"/v"_s, u"X"_s,
                        u"/d"_s, u"Y"_s, u"/f"_s});
    VelmorPrefix::StopServer();
    ASSERT_FALSE(VelmorPrefix::ServerRuns());
    const platform::UserRegFile saved = SavedRegistry();
    EXPECT_EQ(saved.StringValue(kDateStampPath, u"Text1"_s), u"経理部"_s);
    EXPECT_EQ(saved.StringValue(kDateStampPath, u"PositionL"_s), u"-9"_s);
    EXPECT_EQ(saved.StringValue(kDateStampPath, u"Header"_s), u""_s);
    EXPECT_EQ(saved.ValueKind(kDateStampPath, u"Header"_s), RegistryValueKind::String);
    EXPECT_EQ(saved.StringValue(Key(u"Software\\Zeb\\Other"), u"X"_s), u"Y"_s);
}

TEST_F(WinePrefix, AServerThatStartsOrStopsBetweenTwoOperations)
{
    REQUIRE_PREFIX();
    const auto backend = Backend();
    {
        // Read from the file, written through the server that started in between.
        platform::RegistryAccessor registry(backend);
        ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb\\Velmor\\NameStamp"_s, false));
        EXPECT_EQ(backend->LastRoute(), Route::File);
        EXPECT_FALSE(registry.ReadString(u"Text1"_s).isEmpty());
        VelmorPrefix::StartServer();
        registry.WriteString(u"Between1"_s, u"起動後"_s);
        registry.Close();
        EXPECT_EQ(backend->LastRoute(), Route::WineServer);
    }
    {
        // Read through the server, written into the file after it stopped.
        platform::RegistryAccessor registry(backend);
        ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb\\Velmor\\NameStamp"_s, false));
        EXPECT_EQ(backend->LastRoute(), Route::WineServer);
        EXPECT_EQ(registry.ReadString(u"Between1"_s), u"起動後"_s);
        VelmorPrefix::StopServer();
        registry.WriteString(u"Between2"_s, u"停止後"_s);
        registry.Close();
        EXPECT_EQ(backend->LastRoute(), Route::File);
    }
    const platform::UserRegFile saved = SavedRegistry();
    EXPECT_EQ(saved.StringValue(kNameStampPath, u"Between1"_s), u"起動後"_s);
    EXPECT_EQ(saved.StringValue(kNameStampPath, u"Between2"_s), u"停止後"_s);
    const QString exported = WineExport(u"HKEY_CURRENT_USER\\Software\\Zeb\\Velmor\\NameStamp"_s);
    EXPECT_TRUE(exported.contains(u"\"Between2\"=\"停止後\""_s));
}

// The sections of a user.reg, each with its lines, by key.
std::vector<std::pair<QByteArray, QByteArray>> Sections(const QByteArray& file)
{
    std::vector<std::pair<QByteArray, QByteArray>> sections;
    for (const QByteArray& line : file.split('\n')) {
        if (line.startsWith('['))
            sections.emplace_back(line.left(line.indexOf(']') + 1), QByteArray());
        if (!sections.empty())
            sections.back().second += line + '\n';
    }
    return sections;
}

TEST_F(WinePrefix, ThousandsOfUnrelatedKeysAreKeptByteForByte)
{
    REQUIRE_PREFIX();
    const QString userReg = VelmorPrefix::prefix + u"/user.reg"_s;
    const QByteArray before = ReadFile(userReg);
    ASSERT_GT(before.count("[Software\\\\Vendor"), kUnrelatedKeys - 1);
    NewNameSeal();
    Register();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, u"認印を登録しました"_s);
    const QByteArray after = ReadFile(userReg);
    ASSERT_NE(after, before);

    const auto isVelmor = [](const QByteArray& header) {
        return header.startsWith("[Software\\\\Zeb\\\\Velmor");
    };
    std::vector<std::pair<QByteArray, QByteArray>> old = Sections(before);
    std::vector<std::pair<QByteArray, QByteArray>> now = Sections(after);
    std::erase_if(old, [&](const auto& section) { return isVelmor(section.first); });
    std::erase_if(now, [&](const auto& section) { return isVelmor(section.first); });
    ASSERT_EQ(now.size(), old.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < old.size(); ++i)
        differing += old[i] != now[i] ? 1 : 0;
    EXPECT_EQ(differing, 0u) << "every other section, in order, byte for byte";
    EXPECT_EQ(after.left(before.indexOf('[')), before.left(before.indexOf('[')));

    // And Wine still reads all of them.
    const QString vendor = WineExport(u"HKEY_CURRENT_USER\\Software\\Vendor2999\\App\\Settings"_s);
    EXPECT_TRUE(vendor.contains(u"\"Title\"=\"設定 2999\""_s)) << vendor.toStdString();
}

TEST_F(WinePrefix, SealsGoThereAndBackByteForByte)
{
    REQUIRE_PREFIX();
    for (const bool server : {false, true}) {
        if (server)
            VelmorPrefix::StartServer();
        ASSERT_EQ(VelmorPrefix::ServerRuns(), server);
        dialogs.messages.clear();

        seal::TMDIChild* name = NewNameSeal();
        name->NameStamp = ScriptNameSeal();
        name->NameStamp.Text4.Assign(Sjis(server ? u"印" : u"表示"));
        name->NameStampEx = ScriptNameSealEx();
        Register();
        main->mCurName->trigger();
        seal::TMDIChild* nameBack = main->ActiveDocument();
        EXPECT_EQ(seal::ToBytes(nameBack->NameStamp), seal::ToBytes(name->NameStamp)) << server;
        EXPECT_EQ(seal::ToBytes(nameBack->NameStampEx), seal::ToBytes(name->NameStampEx));

        seal::TMDIChild* date = NewDateSeal();
        date->DateStamp.Text2.Assign(std::string());
        date->DateStamp.Header.Assign("No.");
        date->DateStamp.FontStyleU = 0x02;
        date->DateStamp.SpaceM = -5;
        date->DateStampEx.Text3.Assign(Sjis(u"二行目"));
        date->DateStampEx.L_T2FontSize = -50;
        date->DateStampEx.DateNZ = 1;
        Register();
        main->mCurDate->trigger();
        seal::TMDIChild* dateBack = main->ActiveDocument();
        EXPECT_EQ(seal::ToBytes(dateBack->DateStamp), seal::ToBytes(date->DateStamp)) << server;
        EXPECT_EQ(seal::ToBytes(dateBack->DateStampEx), seal::ToBytes(date->DateStampEx));

        seal::TMDIChild* bitmap = NewBitmap(300, 300);
        bitmap->BitmapResolution = 1;
        const QString typed = server ? u"印影"_s : u"hanko"_s;
        dialogs.modalAnswers.push_back([typed](QDialog& form) {
            form.findChild<QLineEdit*>(u"Edit"_s)->setText(typed);
            return int(QDialog::Accepted);
        });
        Register();
        main->mCurBitmap->trigger();
        seal::TMDIChild* bitmapBack = main->ActiveDocument();
        ASSERT_NE(bitmapBack, bitmap);
        const QString file =
            VelmorPrefix::prefix + u"/drive_c/Program Files/Velmor/"_s + typed + u".bmp"_s;
        EXPECT_EQ(bitmapBack->Caption(), file) << "the Unix path, so that Save writes back to it";
        EXPECT_EQ(bitmapBack->Kind, seal::kBitmapSeal);
        EXPECT_EQ(image::ImgKitToQImage(bitmapBack->ImageHandle),
                  image::ImgKitToQImage(bitmap->ImageHandle));

        const QStringList texts = dialogs.MessageTexts();
        EXPECT_EQ(texts, (QStringList{u"認印を登録しました"_s, u"日付印を登録しました"_s,
                                      u"ビットマップ印を登録完了しました"_s}))
            << texts.join(u" / "_s).toStdString();
        if (server)
            VelmorPrefix::StopServer();
        const platform::UserRegFile saved = SavedRegistry();
        EXPECT_EQ(saved.StringValue(kVelmorPath, u"Bitmap1"_s), typed + u".bmp"_s);
        EXPECT_EQ(saved.StringValue(kVelmorPath, u"Bitmap1Resolution"_s), u"15294"_s);
    }
}

TEST_F(WinePrefix, TheInstallFolderIsFoundThroughTheDrivesWhateverItsCase)
{
    REQUIRE_PREFIX();
    const QString folder = VelmorPrefix::prefix + u"/drive_c/Program Files/Velmor"_s;
    WriteFile(folder + u"/Found.bmp"_s,
              ReadFile(QStringLiteral(VELMR_SOURCE_DIR "/fuzz/corpus/bmp/core_8bit.bmp")));
    ASSERT_EQ(VelmorPrefix::Wine({u"reg"_s, u"add"_s, u"HKCU\\Software\\Zeb\\Velmor"_s, u"/v"_s,
                                  u"Bitmap1"_s, u"/d"_s, u"FOUND.BMP"_s, u"/f"_s})
                  .exitCode,
              0);
    VelmorPrefix::StopServer();
    main->SetupRootPath = u"c:\\PROGRAM FILES\\velmor"_s;
    main->mCurBitmap->trigger();
    seal::TMDIChild* document = main->ActiveDocument();
    ASSERT_NE(document, nullptr) << dialogs.MessageTexts().join(u" / "_s).toStdString();
    EXPECT_EQ(document->Caption(), folder + u"/Found.bmp"_s);

    // The start check in the prefix: an empty SetupRoot, the user picks velmor.exe.
    ASSERT_EQ(VelmorPrefix::Wine({u"reg"_s, u"add"_s, u"HKCU\\Software\\Zeb\\Velmor"_s, u"/v"_s,
                                  u"SetupRoot"_s, u"/d"_s, u""_s, u"/f"_s})
                  .exitCode,
              0);
    VelmorPrefix::StopServer();
    dialogs.openAnswers.push_back(platform::FileDialogChoice{folder + u"/velmor.exe"_s, 0});
    main->CheckVelmor();
    EXPECT_TRUE(main->VelmorPresent);
    EXPECT_EQ(main->SetupRootPath, u"C:\\Program Files\\Velmor"_s);
    const ProcessRun query = VelmorPrefix::Wine(
        {u"reg"_s, u"query"_s, u"HKCU\\Software\\Zeb\\Velmor"_s, u"/v"_s, u"SetupRoot"_s});
    EXPECT_TRUE(query.output.contains("SetupRoot    REG_SZ    C:\\Program Files\\Velmor"))
        << query.output.toStdString();

    // A drive without a link: the folder cannot be found, so the file cannot be saved.
    main->SetupRootPath = u"Q:\\Velmor"_s;
    dialogs.messages.clear();
    NewBitmap(200, 200);
    dialogs.modalAnswers.push_back([](QDialog&) { return int(QDialog::Accepted); });
    Register();
    EXPECT_EQ(dialogs.MessageTexts(), QStringList{u"ファイル保存に失敗しました"_s});
    main->mCurBitmap->trigger();
    EXPECT_EQ(dialogs.MessageTexts().back(), u"ビットマップ印は登録されていません"_s);
}

} // namespace
} // namespace velmr::test

namespace {
// Set up once, before the first test, by RUN_ALL_TESTS in the shared test main.
const auto* const kPrefixEnvironment =
    ::testing::AddGlobalTestEnvironment(new velmr::test::VelmorPrefix);
} // namespace
