#include "app/MainForm.h"

#include "app/AboutBox.h"
#include "app/Application.h"
#include "calendar/CalendarDate.h"
#include "image/DitherForm.h"
#include "image/ImgKit.h"
#include "image/ResizeForm.h"
#include "panel/ControlForm.h"
#include "seal/MdiChild.h"
#include "seal/PictureControl.h"
#include "sibling/MessageForm.h"
#include "tests/support/ScriptedDialogs.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace velmr;
using app::TMainForm;

namespace {

class MainFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        windows = std::make_unique<app::ProgramWindows>();
        main = windows->mainForm.get();
    }
    void TearDown() override { windows.reset(); }

    QAction* Command(const char* name) const
    {
        QAction* action = main->findChild<QAction*>(QLatin1String(name));
        EXPECT_NE(action, nullptr) << name;
        return action;
    }

    void ShowMain()
    {
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        QCoreApplication::processEvents();
    }

    seal::TMDIChild* NewNameSeal()
    {
        main->sbNewName->trigger();
        return main->ActiveDocument();
    }

    test::ScriptedDialogs dialogs;
    std::unique_ptr<app::ProgramWindows> windows;
    TMainForm* main = nullptr;
};

TEST_F(MainFormTest, TheSixWindowsExistHiddenWithTheirCaptionsAndSizes)
{
    EXPECT_EQ(main->windowTitle(), QStringLiteral("瑠環印影マネージャー"));
    struct Form
    {
        QWidget* window;
        QString caption;
        QSize size;
    };
    const Form forms[] = {
        {windows->aboutBox.get(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"), QSize(317, 218)},
        {windows->controlForm.get(), QStringLiteral("印影編集"), QSize(173, 560)},
        {windows->messageForm.get(), QStringLiteral("瑠環印影マネージャー"), QSize(278, 102)},
        {windows->ditherForm.get(), QStringLiteral("減色処理"), QSize()},
        {windows->resizeForm.get(), QStringLiteral("KORVAN 縮小／拡大"), QSize()},
    };
    for (const Form& form : forms) {
        EXPECT_EQ(form.window->windowTitle(), form.caption);
        EXPECT_FALSE(form.window->isVisible()) << form.caption.toStdString();
        if (form.size.isValid()) {
            EXPECT_EQ(form.window->size(), form.size) << form.caption.toStdString();
        }
    }
    EXPECT_FALSE(main->isVisible());
    const Qt::WindowFlags flags = windows->controlForm->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(image::ImgKitLibraryLoaded()) << "creating the main window loads the library";
    EXPECT_EQ(app::Windows(), windows.get());
}

TEST_F(MainFormTest, MenuItemsHaveTheirCaptionsHintsAndStates)
{
    struct Item
    {
        const char* name;
        const char16_t* caption;
        const char16_t* statusTip;
        bool enabled;
        bool visible;
    };
    const Item items[] = {
        {"File1", u"ﾌｧｲﾙ(&F)", u"ﾌｧｲﾙ操作に関するｺﾏﾝﾄﾞ", true, true},
        {"FileNewItem", u"新規作成(&N)", u"新規ﾌｧｲﾙの作成", true, true},
        {"mNewName", u"認印の作成", u"", true, true},
        {"mNewDate", u"日付印の作成", u"", true, true},
        {"FileOpenItem", u"開く(&O)", u"既存のﾌｧｲﾙを開く", true, true},
        {"FileCloseItem", u"閉じる(&C)", u"ﾌｧｲﾙを閉じる", true, true},
        {"FileSaveItem", u"上書き保存(&S)", u"ﾌｧｲﾙを保存する", false, true},
        {"FileSaveAsItem", u"名前を付けて保存(&A)...", u"ﾌｧｲﾙに別の名前を付けて保存", false, true},
        {"FileExportItem", u"書き出し(&E)...", u"印影を実物大の PNG・SVG・PDF ﾌｧｲﾙに書き出す",
         false, true},
        {"FileExitItem", u"終了(&X)", u"ｱﾌﾟﾘｹｰｼｮﾝの終了", true, true},
        {"Edit1", u"編集(&E)", u"", true, true},
        {"CutItem", u"切り取り(&T)", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞへ切り取り", false, false},
        {"CopyItem", u"ｺﾋﾟｰ(&C)", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ", false, true},
        {"mCopyPicture", u"透過画像としてコピー", u"印影を背景の透明な画像としてｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ",
         false, true},
        {"PasteItem", u"貼り付け(&P)", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞから貼り付け", true, true},
        {"mReplica", u"認印・日付印を複製", u"", false, true},
        {"mVelmor", u"瑠環印鑑(&M)", u"", true, true},
        {"mRegist", u"この印鑑を瑠環印鑑へ登録する(&R)", u"", false, true},
        {"mCurrent", u"現在の瑠環印鑑のﾃﾞｰﾀを取込む(&G)", u"", false, true},
        {"mCurName", u"認印の取込み", u"", true, true},
        {"mCurDate", u"日付印の取込み", u"", true, true},
        {"mCurBitmap", u"ﾋﾞｯﾄﾏｯﾌﾟ印の取込み", u"", true, true},
        {"m083", u"瑠環印鑑０．８３ﾃﾞｰﾀの取込み(&C)", u"", false, true},
        {"m08Name", u"認印の取込み", u"", true, true},
        {"m08Date", u"日付印の取込み", u"", true, true},
        {"Window1", u"ｳｨﾝﾄﾞｳ(&W)", u"ｳｨﾝﾄﾞｳ操作に関するｺﾏﾝﾄﾞ", true, true},
        {"WindowCascadeItem", u"重ねて表示(&C)", u"ｳｨﾝﾄﾞｳを重なりあうように並べ直す", true, true},
        {"WindowTileItem", u"並べて表示(&T)", u"ｳｨﾝﾄﾞｳを重ならないように並べ直す", true, true},
        {"WindowArrangeItem", u"ｱｲｺﾝの整列(&A)", u"ｱｲｺﾝをｳｨﾝﾄﾞｳの下に並べ直す", true, true},
        {"WindowMinimizeItem", u"すべてをｱｲｺﾝ化(&M)", u"すべてのｳｨﾝﾄﾞｳをｱｲｺﾝ状態にする", true,
         true},
        {"Help1", u"ﾍﾙﾌﾟ(&H)", u"ﾄﾋﾟｯｸの検索", true, true},
        {"mHelp", u"瑠環印影ﾏﾈｰｼﾞｬｰのﾍﾙﾌﾟ(&H)", u"", true, true},
        {"HelpAboutItem", u"ﾊﾞｰｼﾞｮﾝ情報(&A)", u"", true, true},
    };
    for (const Item& item : items) {
        QAction* action = Command(item.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), QString::fromUtf16(item.caption)) << item.name;
        EXPECT_EQ(action->statusTip(), QString::fromUtf16(item.statusTip)) << item.name;
        EXPECT_EQ(action->isEnabled(), item.enabled) << item.name;
        EXPECT_EQ(action->isVisible(), item.visible) << item.name;
    }
}

TEST_F(MainFormTest, ToolButtonsSitOnTheSpeedPanel)
{
    struct Button
    {
        const char* name;
        int left;
        const char16_t* toolTip;
        bool enabled;
        bool visible;
    };
    const Button buttons[] = {
        {"sbNewName", 4, u"認印新規作成", true, true},
        {"sbNewDate", 28, u"日付印新規作成", true, true},
        {"OpenBtn", 51, u"開く", true, true},
        {"SaveBtn", 75, u"上書き保存", false, true},
        {"PasteBtn", 104, u"認印・日付印の複製", false, true},
        {"sbToVelmor", 132, u"瑠環印鑑へ登録", false, true},
        {"ExitBtn", 168, u"終了", true, true},
        {"ExportBtn", 200, u"書き出し", false, true},
        {"CutBtn", 244, u"切り取り", false, false},
        {"CopyBtn", 292, u"ｺﾋﾟｰ", false, false},
    };
    ShowMain();
    EXPECT_EQ(main->SpeedPanel()->height(), 30);
    for (const Button& b : buttons) {
        auto* button = main->SpeedPanel()->findChild<QToolButton*>(QLatin1String(b.name) +
                                                                   QStringLiteral("Button"));
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->geometry(), QRect(b.left, 2, 25, 25)) << b.name;
        EXPECT_EQ(button->toolTip(), QString::fromUtf16(b.toolTip)) << b.name;
        EXPECT_EQ(button->isEnabled(), b.enabled) << b.name;
        EXPECT_EQ(button->isVisible(), b.visible) << b.name;
        EXPECT_TRUE(button->statusTip().isEmpty()) << b.name;
        if (b.visible) {
            EXPECT_FALSE(button->icon().isNull()) << b.name;
        }
    }
}

TEST_F(MainFormTest, StatusBarShowsTheLongPartOfTheHint)
{
    ShowMain();
    main->FileOpenItem->showStatusText(main);
    EXPECT_EQ(main->StatusBar()->currentMessage(), QStringLiteral("既存のﾌｧｲﾙを開く"));
    EXPECT_EQ(main->ApplicationHint(), QStringLiteral("既存のﾌｧｲﾙを開く"));
    // A tool button's hint ends in "|": pointing at it clears the status bar.
    auto* button = main->SpeedPanel()->findChild<QToolButton*>(QStringLiteral("sbNewNameButton"));
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_TRUE(main->StatusBar()->currentMessage().isEmpty());
    // A menu item without a hint clears it too.
    main->FileExitItem->showStatusText(main);
    main->mNewName->showStatusText(main);
    EXPECT_TRUE(main->StatusBar()->currentMessage().isEmpty());
    EXPECT_EQ(app::LongHint(QStringLiteral("a|b")), QStringLiteral("b"));
    EXPECT_EQ(app::LongHint(QStringLiteral("whole")), QStringLiteral("whole"));
    EXPECT_EQ(app::ShortHint(QStringLiteral("開く|")), QStringLiteral("開く"));
}

TEST_F(MainFormTest, FirstShowPlacesTheCollapsedPanelAtTheTopRight)
{
    ShowMain();
    panel::TControlForm* panel = windows->controlForm.get();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->size(), QSize(173, 2)) << "only the caption bar shows";
    const QRect outer = main->frameGeometry();
    EXPECT_EQ(panel->frameGeometry().top(), outer.top() + 75);
    EXPECT_EQ(panel->frameGeometry().right(), outer.right() - 7);
}

TEST_F(MainFormTest, NewNameSealIsDrawnAtOnce)
{
    ShowMain();
    seal::TMDIChild* document = NewNameSeal();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(main->Documents().size(), 1);
    EXPECT_EQ(document->Caption(), QStringLiteral("新規認印"));
    EXPECT_EQ(document->Kind, seal::kNameSeal);
    EXPECT_EQ(document->NameStamp, seal::NewNameStamp());
    EXPECT_EQ(document->NameStampEx, seal::NewNameStampEx());
    EXPECT_EQ(document->DateStamp, seal::DateStampRecord{});
    EXPECT_EQ(document->BitmapResolution, 0);
    EXPECT_FALSE(document->PanelLoading);
    EXPECT_EQ(document->ViewWidth, 297);
    EXPECT_EQ(document->size(), QSize(297, 297)) << "the client area";
    EXPECT_EQ(document->Image1()->size(), QSize(297, 297));
    EXPECT_EQ(QColor(document->Image1()->Picture().pixel(31, 148)), QColor(255, 0, 0));
    EXPECT_EQ(document->parentWidget()->windowTitle(), QStringLiteral("新規認印"));

    // The panel follows the active document and shows the name seal page.
    panel::TControlForm* panel = windows->controlForm.get();
    EXPECT_EQ(panel->ActiveChild(), document);
    EXPECT_TRUE(panel->Panel1()->isVisibleTo(panel));
    EXPECT_FALSE(panel->Panel2()->isVisibleTo(panel));
    EXPECT_EQ(panel->size(), QSize(173, 560));
    EXPECT_EQ(panel->Panel1()->pos(), QPoint(2, 2));

    // Command state with an open name seal.
    EXPECT_TRUE(main->FileCloseItem->isEnabled());
    EXPECT_TRUE(main->WindowCascadeItem->isEnabled());
    EXPECT_TRUE(main->mReplica->isEnabled());
    EXPECT_TRUE(main->PasteBtn->isEnabled());
    EXPECT_FALSE(main->CopyItem->isEnabled());
    EXPECT_FALSE(main->mRegist->isEnabled()) << "the Velmor program was not found";

    main->mNewName->trigger();
    EXPECT_EQ(main->Documents().size(), 2);
    EXPECT_EQ(main->Documents().back()->NameStamp, document->NameStamp);
}

TEST_F(MainFormTest, NewDateSealFromMenuOrToolButtonIsTheSame)
{
    calendar::SetClock([] { return calendar::LocalDate{2026, 12, 8}; });
    ShowMain();
    main->sbNewDate->trigger();
    seal::TMDIChild* fromButton = main->ActiveDocument();
    main->mNewDate->trigger();
    seal::TMDIChild* fromMenu = main->ActiveDocument();
    calendar::SetClock({});
    ASSERT_NE(fromButton, fromMenu);
    for (seal::TMDIChild* document : {fromButton, fromMenu}) {
        EXPECT_EQ(document->Caption(), QStringLiteral("新規日付印"));
        EXPECT_EQ(document->Kind, seal::kDateSeal);
        EXPECT_EQ(document->DateStamp, seal::NewDateStamp());
        EXPECT_EQ(document->DateStampEx, seal::DateStampExRecord{});
        EXPECT_EQ(document->NameStamp, seal::NameStampRecord{});
        EXPECT_EQ(document->size(), QSize(350, 350));
        EXPECT_EQ(QColor(document->Image1()->Picture().pixel(90, 139)), QColor(255, 0, 0));
    }
    EXPECT_EQ(fromButton->Image1()->Picture(), fromMenu->Image1()->Picture());
    EXPECT_EQ(windows->controlForm->size(), QSize(173, 649));
    EXPECT_TRUE(windows->controlForm->Panel2()->isVisibleTo(windows->controlForm.get()));
}

TEST_F(MainFormTest, ClosingTheLastDocumentCollapsesThePanelAndKeepsDuplicate)
{
    ShowMain();
    NewNameSeal();
    main->FileCloseItem->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(main->Documents().isEmpty());
    EXPECT_FALSE(main->FileCloseItem->isEnabled());
    EXPECT_FALSE(main->WindowCascadeItem->isEnabled());
    EXPECT_TRUE(main->mReplica->isEnabled()) << "keeps its last state without documents";
    EXPECT_EQ(windows->controlForm->size(), QSize(173, 2));
    main->mReplica->trigger(); // does nothing without a document
    EXPECT_TRUE(main->Documents().isEmpty());
    EXPECT_TRUE(main->isVisible());
}

TEST_F(MainFormTest, DuplicateCopiesKindAndAllFourRecords)
{
    ShowMain();
    seal::TMDIChild* source = NewNameSeal();
    source->NameStampEx.UseNameEX = 1;
    source->NameStampEx.ExText1.Assign(seal::Sjis(u"鈴"));
    source->NameStamp.StampSize = 130;
    source->DateStampEx.Reserved[10] = 7; // carried unchanged, whatever it holds
    source->SetCaption(QStringLiteral("/tmp/seal1.mkn"));
    source->Draw();
    main->PasteBtn->trigger();
    seal::TMDIChild* copy = main->ActiveDocument();
    ASSERT_NE(copy, source);
    EXPECT_EQ(copy->Caption(), QStringLiteral("新規認印"));
    EXPECT_EQ(copy->Kind, seal::kNameSeal);
    EXPECT_EQ(seal::ToBytes(copy->NameStamp), seal::ToBytes(source->NameStamp));
    EXPECT_EQ(seal::ToBytes(copy->NameStampEx), seal::ToBytes(source->NameStampEx));
    EXPECT_EQ(seal::ToBytes(copy->DateStamp), seal::ToBytes(source->DateStamp));
    EXPECT_EQ(seal::ToBytes(copy->DateStampEx), seal::ToBytes(source->DateStampEx));
    EXPECT_TRUE(copy->FileName.isEmpty());
    EXPECT_EQ(copy->Image1()->Picture(), source->Image1()->Picture())
        << "the copy shows the second name too";
}

TEST_F(MainFormTest, WindowCommandsArrangeTheDocuments)
{
    ShowMain();
    NewNameSeal();
    NewNameSeal();
    main->WindowCascadeItem->trigger();
    const QList<QMdiSubWindow*> windowsList = main->ClientArea()->subWindowList();
    ASSERT_EQ(windowsList.size(), 2);
    EXPECT_NE(windowsList[0]->pos(), windowsList[1]->pos());
    main->WindowMinimizeItem->trigger();
    for (QMdiSubWindow* window : windowsList)
        EXPECT_TRUE(window->isMinimized());
}

TEST_F(MainFormTest, VersionBox)
{
    main->HelpAboutItem->trigger();
    ASSERT_EQ(dialogs.modalForms.size(), 1u);
    EXPECT_EQ(dialogs.modalForms[0], QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    app::TAboutBox* box = windows->aboutBox.get();
    EXPECT_EQ(box->ProductName()->text(), QStringLiteral("瑠環印影マネージャー"));
    EXPECT_EQ(box->Version()->text(), QStringLiteral("Version\u30001.33C"));
    EXPECT_EQ(box->ProductName()->font().pixelSize(), 19);
    EXPECT_EQ(box->Version()->font().pixelSize(), 16);
    EXPECT_TRUE(box->ProductName()->font().bold());
    EXPECT_EQ(box->ProductName()->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_TRUE(box->OKButton()->isDefault());
    EXPECT_EQ(box->OKButton()->text(), QStringLiteral("OK"));
}

TEST_F(MainFormTest, NoticeWindowLayout)
{
    sibling::TMessageForm* notice = windows->messageForm.get();
    EXPECT_FALSE(notice->Panel1()->isVisibleTo(notice)) << "hidden until the check shows it";
    EXPECT_EQ(notice->Panel1()->geometry(), QRect(8, 8, 261, 61));
    EXPECT_EQ(notice->Label1()->text(), QStringLiteral("瑠環印鑑が見つかりませんので、瑠環印鑑"));
    EXPECT_EQ(notice->Label2()->text(), QStringLiteral("の機能を利用する操作は行えません。"));
    EXPECT_EQ(notice->Label1()->pos(), QPoint(16, 16));
    EXPECT_EQ(notice->Label2()->pos(), QPoint(16, 36));
    EXPECT_EQ(notice->Button1()->geometry(), QRect(108, 76, 69, 21));
    EXPECT_EQ(notice->font().pixelSize(), 12);
}

TEST_F(MainFormTest, ExitClosesTheMainWindowAndShutdownReleasesEverything)
{
    ShowMain();
    seal::TMDIChild* document = NewNameSeal();
    std::vector<std::uint8_t> dib(40 + 4, 0);
    dib[0] = 40, dib[4] = 1, dib[8] = 1, dib[12] = 1, dib[14] = 24;
    document->ImageHandle = image::ImgKitFromPackedDib(dib);
    ASSERT_NE(document->ImageHandle, 0u);
    main->ExitBtn->trigger();
    EXPECT_FALSE(main->isVisible());
    windows.reset();
    EXPECT_EQ(image::ImgKitLiveImageCount(), 0u);
    EXPECT_FALSE(image::ImgKitLibraryLoaded());
    EXPECT_EQ(app::Windows(), nullptr);
}

} // namespace
