#include "app/Application.h"
#include "app/MainForm.h"
#include "image/ImgKit.h"
#include "panel/ControlForm.h"
#include "seal/MdiChild.h"
#include "seal/PictureControl.h"
#include "seal/SealFile.h"
#include "tests/support/Pictures.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProxyStyle>
#include <QPushButton>
#include <QStatusBar>
#include <QStyleOptionTitleBar>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace velmr;
using platform::FileDialogChoice;

namespace {

// Little-endian bytes of a record made by hand from the layout, independent of the program's
// own writer.
struct Bytes
{
    QByteArray data;
    explicit Bytes(qsizetype size) : data(size, '\0') {}
    void Text(qsizetype at, const QByteArray& sjis) { data.replace(at, sjis.size(), sjis); }
    void Int(qsizetype at, std::int32_t value)
    {
        for (int i = 0; i < 4; ++i)
            data[at + i] = char((std::uint32_t(value) >> (8 * i)) & 0xFF);
    }
};

QByteArray HandMadeNameSealFile()
{
    Bytes file(1312);
    file.Text(0, "\x8E\x52");                                              // 山
    file.Text(20, "\x93\x63");                                             // 田
    file.Text(80, "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E"); // ＭＳ ゴシック
    file.data[120] = 0x01;
    const std::int32_t ints[] = {60, 104, -5, 0xFF0000, 6, 80, 3, -4, 1};
    for (int i = 0; i < 9; ++i)
        file.Int(124 + 4 * i, ints[i]);
    file.Int(168 + 0, 1);           // UseNameEX
    file.Text(168 + 4, "\x97\xE9"); // 鈴 in ExText1
    file.Text(168 + 84, "\x82\x6C\x82\x72\x20\x96\xBE\x92\xA9");
    file.data[168 + 124] = 0x03;
    file.Int(168 + 128, 40);
    file.Int(168 + 136, 50);
    return file.data;
}

QByteArray HandMadeDateSealFile()
{
    Bytes file(4320);
    file.Text(0, "\x91\x8D\x96\xB1");  // 総務
    file.Text(20, "\x8D\xB2\x93\xA1"); // 佐藤
    for (qsizetype face : {40, 80, 120})
        file.Text(face, "\x82\x6C\x82\x72\x20\x96\xBE\x92\xA9");
    file.data[160] = 1, file.data[161] = 0, file.data[162] = 2;
    const std::int32_t ints[] = {40, 30, 44, 120, 0, 3, 2, 4, -3, 1};
    for (int i = 0; i < 10; ++i)
        file.Int(164 + 4 * i, ints[i]);
    file.Text(204, "No.");
    file.Int(212, 1);
    file.Int(224 + 76, 1); // DateNZ
    return file.data;
}

// Records the text that document title bars are drawn with: what the user reads.
class TitleBarStyle final : public QProxyStyle
{
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override
    {
        if (control == CC_TitleBar)
            shown = static_cast<const QStyleOptionTitleBar*>(option)->text;
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
    mutable QString shown;
};

class FileCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = test::MakeTempFolder(QStringLiteral("files"));
        windows = std::make_unique<app::ProgramWindows>();
        main = windows->mainForm.get();
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        QCoreApplication::processEvents();
    }
    void TearDown() override { windows.reset(); }

    QString Path(const QString& name) const { return folder + QLatin1Char('/') + name; }

    seal::TMDIChild* Open(const QString& path)
    {
        dialogs.openAnswers.push_back(FileDialogChoice{path, 0});
        main->FileOpenItem->trigger();
        return main->ActiveDocument();
    }

    seal::TMDIChild* NewBitmap(int bits)
    {
        seal::TMDIChild* document = main->NewChildWindow(seal::kNewBitmapSealCaption);
        if (bits == 24)
            document->ImageHandle =
                test::Picture24(40, 30, [](int x, int y) { return qRgb(x, y, 9); });
        else
            document->ImageHandle = test::PicturePalette(
                40, 30, bits, std::vector<QRgb>(std::size_t(1) << bits, qRgb(0, 0, 0)),
                [](int, int) { return 0; });
        image::ImgKitImageInfo(document->ImageHandle, document->ImageInfo);
        document->LayOutPicture(seal::kNewBitmapSealCaption);
        main->UpdateMenuItems();
        return document;
    }

    // Types into the panel's first text box, as the user changes a name seal.
    void TypeIntoEdit1(const QString& text)
    {
        auto* edit = windows->controlForm->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        ASSERT_NE(edit, nullptr);
        QTest::keyClicks(edit, text);
    }

    test::ScriptedDialogs dialogs;
    QString folder;
    std::unique_ptr<app::ProgramWindows> windows;
    app::TMainForm* main = nullptr;
};

TEST_F(FileCommandsTest, HandMadeFormatFilesOpenAndSaveBackTheSameBytes)
{
    struct Case
    {
        const char* name;
        QByteArray bytes;
        seal::SealKind kind;
        QSize size;
    };
    const Case cases[] = {
        {"hand.mkn", HandMadeNameSealFile(), seal::kNameSeal, {297, 297}},
        {"HAND2.MKD", HandMadeDateSealFile(), seal::kDateSeal, {350, 350}},
    };
    for (const Case& c : cases) {
        const QString path = Path(QString::fromLatin1(c.name));
        test::WriteFile(path, c.bytes);
        seal::TMDIChild* document = Open(path);
        ASSERT_NE(document, nullptr) << c.name;
        EXPECT_EQ(document->Caption(), path);
        EXPECT_EQ(document->FileName, path);
        EXPECT_EQ(document->Kind, c.kind);
        EXPECT_EQ(document->size(), c.size);
        EXPECT_TRUE(dialogs.messages.empty());
        if (c.kind == seal::kNameSeal) {
            EXPECT_EQ(document->NameStamp.Text1.ToUnicode(), QStringLiteral("山"));
            EXPECT_EQ(document->NameStamp.StampColor, 0xFF0000);
            EXPECT_EQ(document->NameStamp.OffsetY, -4);
            EXPECT_EQ(document->NameStampEx.ExText1.ToUnicode(), QStringLiteral("鈴"));
            // A blue oval: the frame is drawn in the record's colour.
            EXPECT_EQ(QColor(document->Image1()->Picture().pixel(148, 148 - 104)),
                      QColor(0, 0, 255));
        } else {
            EXPECT_EQ(document->DateStamp.Text2.ToUnicode(), QStringLiteral("佐藤"));
            EXPECT_EQ(document->DateStamp.TwinRing, 1);
            EXPECT_EQ(document->DateStampEx.DateNZ, 1);
        }
        // Save writes back to the same path, without a dialog, the same bytes.
        test::WriteFile(path, QByteArray("overwritten"));
        main->SaveBtn->trigger();
        EXPECT_TRUE(dialogs.saveRequests.empty());
        EXPECT_EQ(test::ReadFile(path), c.bytes) << c.name;
        main->FileCloseItem->trigger();
    }
}

TEST_F(FileCommandsTest, OlderShortFilesAndBrokenFiles)
{
    const QByteArray full = HandMadeNameSealFile();
    test::WriteFile(Path(QStringLiteral("old.mkn")), full.left(168));
    seal::TMDIChild* old = Open(Path(QStringLiteral("old.mkn")));
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->NameStampEx.UseNameEX, 0);
    EXPECT_EQ(seal::ToBytes(old->NameStampEx), std::string(1144, '\0'));

    const struct
    {
        const char* name;
        QByteArray bytes;
        const char16_t* message;
    } broken[] = {
        {"short.mkn", full.left(100), u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"},
        {"empty.mkd", QByteArray(), u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"},
        {"short.mkd", QByteArray(223, 'x'), u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"},
        {"broken.bmp", QByteArray("BM not really"), u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"},
        {"broken.jpg", QByteArray("\xFF\xD8\xFF garbage"), u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"},
        {"broken.png", QByteArray("\x89PNG\r\n\x1a\n garbage"), u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"},
        {"picture.gif", QByteArray("GIF89a"), u"ｻﾎﾟｰﾄされていないﾌｧｲﾙの種類です"},
        {"noextension", QByteArray("x"), u"ｻﾎﾟｰﾄされていないﾌｧｲﾙの種類です"},
    };
    for (const auto& b : broken) {
        dialogs.messages.clear();
        test::WriteFile(Path(QString::fromLatin1(b.name)), b.bytes);
        const int before = int(main->Documents().size());
        Open(Path(QString::fromLatin1(b.name)));
        EXPECT_EQ(main->Documents().size(), before) << "no half-made window remains: " << b.name;
        ASSERT_EQ(dialogs.messages.size(), 1u) << b.name;
        EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("瑠環印影ＭＧＲ"));
        EXPECT_EQ(dialogs.messages[0].text, QString::fromUtf16(b.message)) << b.name;
    }
    main->FileCloseItem->trigger();
    QCoreApplication::processEvents();
    Open(Path(QStringLiteral("short.mkn")));
    EXPECT_FALSE(main->FileCloseItem->isEnabled()) << "commands that need a document are off again";
}

TEST_F(FileCommandsTest, SaveOfANewSealAsksForANameAndAddsTheExtension)
{
    main->sbNewName->trigger();
    seal::TMDIChild* document = main->ActiveDocument();
    dialogs.saveAnswers.push_back(FileDialogChoice{Path(QStringLiteral("seal1")), 0});
    main->SaveBtn->trigger();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].filter, QStringLiteral("認印書式ﾌｧｲﾙ (*.mkn)|*.mkn"));
    EXPECT_TRUE(dialogs.saveRequests[0].fileName.isEmpty());
    EXPECT_EQ(document->Caption(), Path(QStringLiteral("seal1.mkn")));
    EXPECT_EQ(test::ReadFile(Path(QStringLiteral("seal1.mkn"))),
              seal::NameSealFileBytes(seal::NewNameStamp(), seal::NewNameStampEx()));

    // Cancelling Save as changes nothing.
    main->FileSaveAsItem->trigger();
    EXPECT_EQ(document->Caption(), Path(QStringLiteral("seal1.mkn")));

    // A date seal under a name seal's extension is refused; the caption stays.
    main->sbNewDate->trigger();
    seal::TMDIChild* date = main->ActiveDocument();
    dialogs.saveAnswers.push_back(FileDialogChoice{Path(QStringLiteral("wrong.mkn")), 0});
    main->FileSaveAsItem->trigger();
    EXPECT_EQ(dialogs.saveRequests.back().filter, QStringLiteral("日付印書式ﾌｧｲﾙ (*.mkd)|*.mkd"));
    EXPECT_EQ(dialogs.MessageTexts(), QStringList{QStringLiteral("保存形式が違います")});
    EXPECT_EQ(date->Caption(), QStringLiteral("新規日付印"));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("wrong.mkn"))));
}

TEST_F(FileCommandsTest, BitmapSaveAsChoosesTheExtensionByTheFilter)
{
    struct Case
    {
        const char* typed;
        int filter;
        int bits;
        const char* saved;
        QStringList messages;
    };
    const Case cases[] = {
        {"a", 1, 24, "a.jpg", {}},
        {"b", 0, 24, "b.bmp", {}},
        {"c.png", 0, 24, nullptr, {QStringLiteral("保存形式が違います")}},
        {"d",
         1,
         4,
         nullptr,
         {QStringLiteral("JPEG保存は24ﾋﾞｯﾄｶﾗｰまたは8ﾋﾞｯﾄｸﾞﾚｰ画像のみ可能です"),
          QStringLiteral("ﾌｧｲﾙ保存時にｴﾗｰが発生しました")}},
        {"e.BMP", 1, 4, "e.BMP", {}},
    };
    for (const Case& c : cases) {
        dialogs.messages.clear();
        seal::TMDIChild* document = NewBitmap(c.bits);
        dialogs.saveAnswers.push_back(
            FileDialogChoice{Path(QString::fromLatin1(c.typed)), c.filter});
        main->FileSaveAsItem->trigger();
        EXPECT_EQ(dialogs.saveRequests.back().filter,
                  QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|JPEGﾌｧｲﾙ (*.jpg)|*.jpg"));
        EXPECT_EQ(dialogs.MessageTexts(), c.messages) << c.typed;
        if (c.saved) {
            EXPECT_EQ(document->Caption(), Path(QString::fromLatin1(c.saved))) << c.typed;
            EXPECT_TRUE(QFileInfo::exists(Path(QString::fromLatin1(c.saved))));
        } else {
            EXPECT_EQ(document->Caption(), QStringLiteral("新規ビットマップ印")) << c.typed;
        }
    }
}

TEST_F(FileCommandsTest, AFailedSaveLeavesTheOldFileAsItWas)
{
    main->sbNewName->trigger();
    seal::TMDIChild* document = main->ActiveDocument();
    const QString path = Path(QStringLiteral("kept.mkn"));
    const QByteArray old = HandMadeNameSealFile();
    test::WriteFile(path, old);
    document->SetCaption(path);

    // A disk that takes no more than 100 bytes a file.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    main->FileSaveItem->trigger();
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(dialogs.MessageTexts(), QStringList{QStringLiteral("ﾌｧｲﾙ保存時にｴﾗｰが発生しました")});
    EXPECT_EQ(test::ReadFile(path), old);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("kept.mkn")})
        << "no temporary file is left behind";

    // A folder that is gone.
    dialogs.messages.clear();
    document->SetCaption(Path(QStringLiteral("gone/seal.mkn")));
    main->FileSaveItem->trigger();
    EXPECT_EQ(dialogs.MessageTexts(), QStringList{QStringLiteral("ﾌｧｲﾙ保存時にｴﾗｰが発生しました")});
    EXPECT_EQ(document->Caption(), Path(QStringLiteral("gone/seal.mkn")));
}

TEST_F(FileCommandsTest, PicturesOpenWhateverTheirExtensionsCase)
{
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(qRgb(200, 30, 40));
    ASSERT_TRUE(picture.save(Path(QStringLiteral("photo.jpeg")), "JPEG", 95));
    ASSERT_TRUE(picture.save(Path(QStringLiteral("PHOTO.JPG")), "JPEG", 95));
    ASSERT_TRUE(picture.save(Path(QStringLiteral("picture.Bmp")), "BMP"));
    for (const char* name : {"photo.jpeg", "PHOTO.JPG", "picture.Bmp"}) {
        seal::TMDIChild* document = Open(Path(QString::fromLatin1(name)));
        ASSERT_NE(document, nullptr) << name;
        EXPECT_EQ(document->Kind, seal::kBitmapSeal) << name;
        EXPECT_EQ(document->size(), QSize(64, 48));
        EXPECT_EQ(document->Caption(), Path(QString::fromLatin1(name)));
        EXPECT_EQ(main->StatusBar()->currentMessage(),
                  QStringLiteral("画像情報 ： 横[64], 縦[48], 色数[1600000]"));
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FileCommandsTest, CommandStateFollowsTheActiveDocument)
{
    struct Case
    {
        const char* active; // none, name, date, bitmap
        bool velmor;
        bool document, copy, replica;
    };
    const Case cases[] = {
        {"none", false, false, false, false}, {"name", false, true, false, true},
        {"date", false, true, false, true},   {"bitmap", false, true, true, false},
        {"name", true, true, false, true},    {"bitmap", true, true, true, false},
    };
    for (const Case& c : cases) {
        windows.reset();
        windows = std::make_unique<app::ProgramWindows>();
        main = windows->mainForm.get();
        main->VelmorPresent = c.velmor;
        main->show();
        if (std::string(c.active) == "name")
            main->sbNewName->trigger();
        else if (std::string(c.active) == "date")
            main->sbNewDate->trigger();
        else if (std::string(c.active) == "bitmap")
            NewBitmap(8);
        main->UpdateMenuItems();
        for (QAction* command : {main->FileCloseItem, main->FileSaveItem, main->FileSaveAsItem,
                                 main->SaveBtn, main->WindowCascadeItem, main->WindowTileItem,
                                 main->WindowArrangeItem, main->WindowMinimizeItem})
            EXPECT_EQ(command->isEnabled(), c.document)
                << c.active << " " << command->objectName().toStdString();
        EXPECT_EQ(main->CopyItem->isEnabled(), c.copy) << c.active;
        EXPECT_EQ(main->mReplica->isEnabled(), c.replica) << c.active;
        EXPECT_EQ(main->PasteBtn->isEnabled(), c.replica) << c.active;
        for (QAction* always : {main->mNewName, main->mNewDate, main->sbNewName, main->sbNewDate,
                                main->FileOpenItem, main->OpenBtn, main->FileExitItem,
                                main->ExitBtn, main->PasteItem, main->mHelp, main->HelpAboutItem})
            EXPECT_TRUE(always->isEnabled()) << always->objectName().toStdString();
        EXPECT_FALSE(main->CutItem->isVisible());
    }
    // The status line of a 300 × 200 picture of 256 colours.
    seal::TMDIChild* document = main->NewChildWindow(seal::kNewBitmapSealCaption);
    document->ImageHandle = test::PicturePalette(300, 200, 8, std::vector<QRgb>(256, qRgb(1, 2, 3)),
                                                 [](int, int) { return 0; });
    image::ImgKitImageInfo(document->ImageHandle, document->ImageInfo);
    document->LayOutPicture(seal::kNewBitmapSealCaption);
    main->UpdateMenuItems();
    EXPECT_EQ(main->StatusBar()->currentMessage(),
              QStringLiteral("画像情報 ： 横[300], 縦[200], 色数[256]"));
    // Switching to a name seal keeps the status line until a hint replaces it.
    main->sbNewName->trigger();
    EXPECT_FALSE(main->CopyItem->isEnabled());
    EXPECT_TRUE(main->mReplica->isEnabled());
    EXPECT_EQ(main->StatusBar()->currentMessage(),
              QStringLiteral("画像情報 ： 横[300], 縦[200], 色数[256]"));
    // Closing the last documents keeps Copy and duplicate as they were.
    NewBitmap(24);
    EXPECT_TRUE(main->CopyItem->isEnabled());
    for (QMdiSubWindow* window : main->ClientArea()->subWindowList())
        delete window;
    main->UpdateMenuItems();
    EXPECT_TRUE(main->CopyItem->isEnabled());
    EXPECT_FALSE(main->mReplica->isEnabled());
}

TEST_F(FileCommandsTest, WindowListTileAndArrange)
{
    main->sbNewName->trigger();
    main->sbNewDate->trigger();
    main->sbNewName->trigger();
    const QList<QMdiSubWindow*> windows =
        main->ClientArea()->subWindowList(QMdiArea::CreationOrder);
    main->ClientArea()->setActiveSubWindow(windows[1]);
    QMenu* menu = main->Window1->menu();
    Q_EMIT menu->aboutToShow();
    QStringList captions;
    QAction* checked = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->isCheckable()) {
            captions << action->text();
            if (action->isChecked())
                checked = action;
        }
    }
    EXPECT_EQ(captions, (QStringList{QStringLiteral("&1 新規認印"), QStringLiteral("&2 新規日付印"),
                                     QStringLiteral("&3 新規認印")}));
    ASSERT_NE(checked, nullptr);
    EXPECT_EQ(checked->text(), QStringLiteral("&2 新規日付印"));
    menu->actions().back()->trigger();
    EXPECT_EQ(main->ClientArea()->activeSubWindow(), windows[2]);

    main->WindowTileItem->trigger();
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(windows[i]->x(), 0);
        EXPECT_EQ(windows[i]->y(), windows[i - 1]->geometry().bottom() + 1)
            << "rows, one above the other";
    }

    main->WindowMinimizeItem->trigger();
    main->WindowArrangeItem->trigger();
    const int bottom = main->ClientArea()->viewport()->height();
    for (QMdiSubWindow* window : windows) {
        EXPECT_TRUE(window->isMinimized());
        EXPECT_EQ(window->geometry().bottom() + 1, bottom) << "icons line the bottom edge";
    }
    EXPECT_LT(windows[0]->x(), windows[1]->x());
}

TEST_F(FileCommandsTest, SaveAsAsksAboutTheNameThatIsWritten)
{
    const QString existing = Path(QStringLiteral("seal1.mkn"));
    const QByteArray old = HandMadeNameSealFile();
    test::WriteFile(existing, old);
    main->sbNewName->trigger();
    seal::TMDIChild* document = main->ActiveDocument();

    // "seal1" becomes seal1.mkn, which is there: asked, and Cancel keeps everything.
    dialogs.saveAnswers.push_back(FileDialogChoice{Path(QStringLiteral("seal1")), 0});
    dialogs.messageAnswers.push_back(platform::MessageResult::Cancel);
    main->FileSaveAsItem->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("瑠環印影ＭＧＲ"));
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("%1 は既に存在します。\n上書きしますか？").arg(existing));
    EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(test::ReadFile(existing), old);
    EXPECT_EQ(document->Caption(), QStringLiteral("新規認印"));

    // OK overwrites it.
    dialogs.saveAnswers.push_back(FileDialogChoice{Path(QStringLiteral("seal1")), 0});
    main->FileSaveAsItem->trigger();
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(test::ReadFile(existing),
              seal::NameSealFileBytes(seal::NewNameStamp(), seal::NewNameStampEx()));
    EXPECT_EQ(document->Caption(), existing);

    // A name that is not there is not asked about.
    dialogs.saveAnswers.push_back(FileDialogChoice{Path(QStringLiteral("seal2")), 0});
    main->FileSaveAsItem->trigger();
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(document->Caption(), Path(QStringLiteral("seal2.mkn")));
}

TEST_F(FileCommandsTest, AReadOnlyFileIsNotReplaced)
{
    const QString path = Path(QStringLiteral("protected.mkn"));
    const QByteArray old = HandMadeNameSealFile();
    test::WriteFile(path, old);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    seal::TMDIChild* document = Open(path);
    ASSERT_NE(document, nullptr);
    TypeIntoEdit1(QStringLiteral("x"));
    main->SaveBtn->trigger();
    EXPECT_EQ(dialogs.MessageTexts(), QStringList{QStringLiteral("ﾌｧｲﾙ保存時にｴﾗｰが発生しました")});
    EXPECT_EQ(test::ReadFile(path), old);
    EXPECT_TRUE(document->IsModified());
}

TEST_F(FileCommandsTest, JpegNamesSaveAsJpeg)
{
    for (const char* name : {"photo.jpeg", "PHOTO2.JPEG", "photo3.jpg"}) {
        seal::TMDIChild* document = NewBitmap(24);
        dialogs.saveAnswers.push_back(FileDialogChoice{Path(QString::fromLatin1(name)), 0});
        main->FileSaveAsItem->trigger();
        EXPECT_TRUE(dialogs.messages.empty()) << name;
        EXPECT_EQ(document->Caption(), Path(QString::fromLatin1(name)));
        EXPECT_TRUE(test::ReadFile(Path(QString::fromLatin1(name))).startsWith("\xFF\xD8\xFF"))
            << name << " is a JPEG file";
    }
}

// A change: text typed into the panel, a picture operation; loading the panel, opening and saving
// are none.
TEST_F(FileCommandsTest, ChangesAreWhatThePanelAndThePictureOperationsDo)
{
    main->sbNewName->trigger();
    seal::TMDIChild* name = main->ActiveDocument();
    EXPECT_FALSE(name->IsModified()) << "a new seal";
    main->sbNewDate->trigger();
    main->ClientArea()->setActiveSubWindow(
        qobject_cast<QMdiSubWindow*>(name->parentWidget())); // the panel is loaded again
    windows->controlForm->ShowEditPanel(*name);
    EXPECT_FALSE(name->IsModified()) << "loading the panel";
    TypeIntoEdit1(QStringLiteral("x"));
    EXPECT_TRUE(name->IsModified()) << "typing";
    dialogs.saveAnswers.push_back(FileDialogChoice{Path(QStringLiteral("typed")), 0});
    main->SaveBtn->trigger();
    EXPECT_FALSE(name->IsModified()) << "saved";

    seal::TMDIChild* bitmap = NewBitmap(24);
    EXPECT_FALSE(bitmap->IsModified()) << "a pasted picture";
    windows->controlForm->findChild<QPushButton*>(QStringLiteral("Button15"))->click(); // cut
    EXPECT_TRUE(bitmap->IsModified()) << "cut";
    dialogs.saveAnswers.push_back(FileDialogChoice{Path(QStringLiteral("cut.bmp")), 0});
    main->SaveBtn->trigger();
    EXPECT_FALSE(bitmap->IsModified()) << "saved";
    windows->controlForm->findChild<QPushButton*>(QStringLiteral("btUndo"))->click();
    EXPECT_TRUE(bitmap->IsModified()) << "undo";
}

TEST_F(FileCommandsTest, ClosingAChangedSealAsksWhetherToSaveIt)
{
    using platform::SaveChangesAnswer;
    // A new seal that was not changed closes without a question.
    main->sbNewName->trigger();
    main->FileCloseItem->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(main->Documents().isEmpty());
    EXPECT_TRUE(dialogs.saveChangesQuestions.empty());

    main->sbNewName->trigger();
    TypeIntoEdit1(QStringLiteral("x"));
    struct Step
    {
        SaveChangesAnswer answer;
        std::optional<FileDialogChoice> saveAs;
        bool closed;
    };
    const Step steps[] = {
        {SaveChangesAnswer::Cancel, std::nullopt, false},
        {SaveChangesAnswer::Save, std::nullopt, false}, // Save as cancelled
        {SaveChangesAnswer::Save, FileDialogChoice{Path(QStringLiteral("kept")), 0}, true},
    };
    for (const Step& step : steps) {
        dialogs.saveChangesAnswers.push_back(step.answer);
        if (step.answer == SaveChangesAnswer::Save)
            dialogs.saveAnswers.push_back(step.saveAs);
        main->FileCloseItem->trigger();
        QCoreApplication::processEvents();
        EXPECT_EQ(main->Documents().isEmpty(), step.closed);
    }
    ASSERT_EQ(dialogs.saveChangesQuestions.size(), 3u);
    EXPECT_EQ(dialogs.saveChangesQuestions[0].caption, QStringLiteral("瑠環印影ＭＧＲ"));
    EXPECT_EQ(dialogs.saveChangesQuestions[0].text, QStringLiteral("変更を保存しますか？"));
    EXPECT_EQ(seal::ParseNameSealFile(test::ReadFile(Path(QStringLiteral("kept.mkn"))))
                  ->record.Text1.ToUnicode(),
              QStringLiteral("名x"));

    // Ending the program: キャンセル keeps it running, 保存しない ends it without writing.
    main->sbNewName->trigger();
    TypeIntoEdit1(QStringLiteral("y"));
    dialogs.saveChangesAnswers.push_back(SaveChangesAnswer::Cancel);
    EXPECT_FALSE(main->close());
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->Documents().size(), 1);
    dialogs.saveChangesAnswers.push_back(SaveChangesAnswer::Discard);
    EXPECT_TRUE(main->close());
    EXPECT_EQ(dialogs.saveChangesQuestions.size(), 5u);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("kept.mkn")});
}

TEST_F(FileCommandsTest, TheTitleBarShowsTheWholeNameAndTheModifiedMark)
{
    auto* style = new TitleBarStyle;
    style->setParent(main);
    struct Case
    {
        const char16_t* name;
        bool change;
        const char16_t* shown;
    };
    // Names short enough for the title bar of a name seal's window.
    const Case cases[] = {
        {u"印[*].mkn", false, u"印[*].mkn"},
        {u"印[*].mkn", true, u"印[*].mkn*"},
        {u"[*][*]", true, u"[*][*]*"},
        {u"plain.mkn", true, u"plain.mkn*"},
    };
    for (const Case& c : cases) {
        main->sbNewName->trigger();
        seal::TMDIChild* document = main->ActiveDocument();
        document->SetCaption(QString::fromUtf16(c.name));
        if (c.change)
            TypeIntoEdit1(QStringLiteral("x"));
        EXPECT_EQ(document->Caption(), QString::fromUtf16(c.name));
        EXPECT_EQ(document->isWindowModified(), c.change);
        auto* frame = qobject_cast<QMdiSubWindow*>(document->parentWidget());
        frame->setStyle(style);
        style->shown.clear();
        QImage picture(frame->size(), QImage::Format_RGB32);
        frame->render(&picture);
        EXPECT_EQ(style->shown.toStdString(), QString::fromUtf16(c.shown).toStdString());
    }
}

// Focus moving between the windows leaves the panel as it is: a text box keeps its selection and
// its undo; another document coming to the front fills it.
TEST_F(FileCommandsTest, ThePanelIsFilledOnlyWhenTheDocumentChanges)
{
    main->sbNewName->trigger();
    seal::TMDIChild* first = main->ActiveDocument();
    auto* edit = windows->controlForm->findChild<QLineEdit*>(QStringLiteral("Edit2"));
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    main->UpdateMenuItems(); // what every focus change runs
    EXPECT_TRUE(edit->hasSelectedText());
    QTest::keyClicks(edit, QStringLiteral("z"));
    EXPECT_EQ(first->NameStamp.Text2.ToUnicode(), QStringLiteral("z")) << "the selection replaced";
    EXPECT_TRUE(edit->isUndoAvailable());

    main->sbNewName->trigger();
    EXPECT_EQ(edit->text(), QStringLiteral("字")) << "the new document's text";
    main->ClientArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    EXPECT_EQ(edit->text(), QStringLiteral("z")) << "the first document's text again";
}

// Pictures as phones and scanners write them open from the open dialog, which lists them after
// its old entries; such a picture is saved as BMP or JPEG under a name asked for, the BMP proposed.
TEST_F(FileCommandsTest, PhonePicturesOpenAndAreSavedAsBmp)
{
    QImage photo(30, 20, QImage::Format_ARGB32);
    photo.fill(qRgba(200, 0, 0, 128));
    photo.setPixel(0, 0, qRgba(0, 0, 0, 0));
    ASSERT_TRUE(photo.save(Path(QStringLiteral("photo.png")), "PNG"));
    ASSERT_TRUE(photo.save(Path(QStringLiteral("scan.TIFF")), "TIFF"));
    ASSERT_TRUE(photo.save(Path(QStringLiteral("phone.webp")), "WEBP", 100));
    for (const char* name : {"scan.TIFF", "phone.webp", "photo.png"}) {
        SCOPED_TRACE(name);
        seal::TMDIChild* document = Open(Path(QString::fromLatin1(name)));
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(document->Kind, seal::kBitmapSeal);
        EXPECT_TRUE(image::ImgKitHasAlpha(document->ImageHandle));
        EXPECT_EQ(document->Image1()->Picture().pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(main->StatusBar()->currentMessage(),
                  QStringLiteral("画像情報 ： 横[30], 縦[20], 色数[1600000]"));
    }
    EXPECT_EQ(dialogs.openRequests.back().filter,
              QStringLiteral("認印書式ﾌｧｲﾙ (*.mkn)|*.mkn|日付印書式ﾌｧｲﾙ (*.mkd)|*.mkd|"
                             "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|JPEGﾌｧｲﾙ (*.jpg;*.jpeg)|*.jpg;*.jpeg|"
                             "PNGﾌｧｲﾙ (*.png)|*.png|TIFFﾌｧｲﾙ (*.tif;*.tiff)|*.tif;*.tiff|"
                             "WebPﾌｧｲﾙ (*.webp)|*.webp|PDFﾌｧｲﾙ (*.pdf)|*.pdf"));

    dialogs.saveAnswers.push_back(FileDialogChoice{Path(QStringLiteral("photo")), 0});
    main->FileSaveItem->trigger();
    ASSERT_FALSE(dialogs.saveRequests.empty());
    EXPECT_EQ(dialogs.saveRequests.back().fileName, QStringLiteral("photo.bmp"));
    EXPECT_EQ(dialogs.saveRequests.back().directory, folder);
    EXPECT_EQ(main->ActiveDocument()->Caption(), Path(QStringLiteral("photo.bmp")));
    const QImage saved(Path(QStringLiteral("photo.bmp")));
    EXPECT_EQ(saved.pixel(0, 0), qRgb(255, 255, 255)) << "written on white";
    EXPECT_EQ(saved.pixel(1, 0), qRgb(227, 127, 127));
    EXPECT_TRUE(dialogs.messages.empty());
}

} // namespace
