// The PDF document window: the stamps' model, the page geometry on screen, the window's commands,
// the password question, the ink multiplied into the page, saving. The PDF files are written by
// Qt's own PDF writer and reshaped by qpdf, never by the library that stamps them.
#include "app/Application.h"
#include "app/MainForm.h"
#include "panel/ControlForm.h"
#include "stamp/window/PdfOpen.h"
#include "stamp/window/PdfView.h"
#include "stamp/window/PdfWindow.h"
#include "stamp/window/StampModel.h"
#include "stamp/window/StampPanel.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <poppler-qt6.h>

using namespace velmr;
using stamp::PageLayout;
using stamp::Stamp;
using stamp::StampModel;

namespace {

constexpr double kUnitsPerMm = 720 / 25.4; // the writer's resolution below

// A PDF of pages `pagesPt` (whole points, as PDF writers size pages) written by Qt's PDF writer,
// with a black square `blackMm` (mm from the top-left) on the first page.
QString WritePdf(const QString& path, const std::vector<QSizeF>& pagesPt, QRectF blackMm = {})
{
    QPdfWriter writer(path);
    writer.setResolution(720);
    writer.setCreator(QStringLiteral("Qt PDF writer test"));
    const auto layout = [](QSizeF points) {
        return QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
                           QPageLayout::Portrait, QMarginsF());
    };
    writer.setPageLayout(layout(pagesPt.front()));
    QPainter painter(&writer);
    for (std::size_t i = 0; i < pagesPt.size(); ++i) {
        if (i > 0) {
            writer.setPageLayout(layout(pagesPt[i]));
            writer.newPage();
        }
        painter.setPen(Qt::black);
        painter.drawText(QPointF(200, 400), QStringLiteral("page %1").arg(i + 1));
        if (i == 0 && !blackMm.isEmpty())
            painter.fillRect(QRectF(blackMm.topLeft() * kUnitsPerMm, blackMm.size() * kUnitsPerMm),
                             Qt::black);
    }
    painter.end();
    return path;
}

void Qpdf(const QStringList& arguments)
{
    QProcess qpdf;
    qpdf.start(QStringLiteral("qpdf"), arguments);
    ASSERT_TRUE(qpdf.waitForFinished(30000));
    // 3: warnings only.
    ASSERT_TRUE(qpdf.exitCode() == 0 || qpdf.exitCode() == 3) << qpdf.readAllStandardError().data();
}

// A seal of solid red, `side` pixels at 260 pixels per cm.
std::shared_ptr<const output::SealArtwork> RedSquareSeal(int side)
{
    QImage red(side, side, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    return std::make_shared<const output::SealArtwork>(output::BitmapSeal{red, 0});
}

// ---- The model.

TEST(StampModelTest, EachActionIsOneUndoStepAndUndoRedoWalksThemBack)
{
    StampModel model;
    const auto seal = RedSquareSeal(100);
    const std::size_t index = model.AddSeal(seal);
    EXPECT_EQ(model.AddSeal(seal), index) << "the same artwork is the same seal";

    struct Step
    {
        const char* action;
        std::function<void()> act;
        std::size_t stamps;
        std::optional<std::size_t> selection;
        QPointF firstCentre;
        double firstRotation;
    };
    const Step steps[] = {
        {"place",
         [&] {
             model.Place({0, {30, 40}, 0, index});
         },
         1,
         0,
         {30, 40},
         0},
        {"place on page 2",
         [&] {
             model.Place({1, {10, 10}, 370, index});
         },
         2,
         1,
         {30, 40},
         0},
        {"move the first",
         [&] {
             model.Move(0, {50, 60});
         },
         2,
         0,
         {50, 60},
         0},
        {"turn the first", [&] { model.Rotate(0, -90); }, 2, 0, {50, 60}, 270},
        {"remove the first", [&] { model.Remove(0); }, 1, std::nullopt, {10, 10}, 10},
        {"every page",
         [&] {
             model.PlaceOnEveryPage({2, {5, 5}, 0, index}, 3);
         },
         4,
         3,
         {10, 10},
         10},
    };
    std::vector<std::vector<Stamp>> states{model.Stamps()};
    for (const Step& step : steps) {
        step.act();
        SCOPED_TRACE(step.action);
        ASSERT_EQ(model.Stamps().size(), step.stamps);
        EXPECT_EQ(model.Selection(), step.selection);
        EXPECT_EQ(model.Stamps()[0].centreMm, step.firstCentre);
        EXPECT_DOUBLE_EQ(model.Stamps()[0].rotationDeg, step.firstRotation);
        states.push_back(model.Stamps());
    }
    EXPECT_EQ(model.Stamps()[3].page, 2) << "the page clicked is selected";
    for (auto state = states.rbegin() + 1; state != states.rend(); ++state) {
        ASSERT_TRUE(model.CanUndo());
        model.Undo();
        EXPECT_EQ(model.Stamps().size(), state->size());
    }
    EXPECT_FALSE(model.CanUndo());
    EXPECT_FALSE(model.IsModified());
    model.Redo();
    model.Redo();
    EXPECT_EQ(model.Stamps().size(), 2u);
    model.Move(0, {1, 2});
    EXPECT_FALSE(model.CanRedo()) << "a new action drops what could be redone";
}

TEST(StampModelTest, HitTestFollowsTheTurnAndTheRequestCarriesOnlyTheSealsUsed)
{
    StampModel model;
    const auto unused = RedSquareSeal(50);
    model.AddSeal(unused);
    // 260 × 52 pixels at 260 px/cm: 10 × 2 mm.
    QImage bar(260, 52, QImage::Format_RGB32);
    bar.fill(Qt::red);
    const std::size_t seal =
        model.AddSeal(std::make_shared<const output::SealArtwork>(output::BitmapSeal{bar, 0}));
    model.Place({0, {50, 50}, 90, seal});
    EXPECT_EQ(model.StampAt(0, {50, 54}), 0u) << "turned upright, the bar spans 45..55 in y";
    EXPECT_FALSE(model.StampAt(0, {54, 50})) << "and only 49..51 in x";
    EXPECT_FALSE(model.StampAt(1, {50, 50})) << "another page";
    const stamp::StampRequest request = model.Request();
    ASSERT_EQ(request.seals.size(), 1u);
    EXPECT_EQ(request.stamps[0].seal, 0u);
    EXPECT_EQ(request.seals[0]->SizeMm().toSize(), QSize(10, 2));
}

// ---- Millimetres on screen.

TEST(PageLayoutTest, MillimetresMapToPixelsAtEveryZoomAndPagesCentreInTheColumn)
{
    // A4 portrait and A5 landscape, in points.
    const PageLayout base({QSizeF(595, 842), QSizeF(595, 420)}, 96.0);
    for (double zoom : {0.5, 1.0, 1.25, 2.0, 4.0}) {
        SCOPED_TRACE(zoom);
        PageLayout layout = base;
        layout.SetZoom(zoom);
        EXPECT_DOUBLE_EQ(layout.PixelsPerMm(), zoom * 96.0 / 25.4);
        for (int page : {0, 1}) {
            const QPointF content = layout.ToContent(page, QPointF(30, 40));
            EXPECT_NEAR(content.x() - layout.PageRect(page).left(), 30 * zoom * 96 / 25.4, 1e-9);
            EXPECT_EQ(layout.PageAt(content), page);
            const QPointF back = layout.ToMm(page, content);
            EXPECT_NEAR(back.x(), 30, 1e-9);
            EXPECT_NEAR(back.y(), 40, 1e-9);
        }
        EXPECT_GT(layout.PageRect(1).top(), layout.PageRect(0).bottom());
        EXPECT_EQ(layout.PageAt(QPointF(1, layout.PageRect(0).center().y())), -1) << "beside";
    }
    PageLayout layout = base;
    layout.SetZoom(9.0);
    EXPECT_EQ(layout.Zoom(), stamp::kMaxZoom);
    layout.SetZoom(0.1);
    EXPECT_EQ(layout.Zoom(), stamp::kMinZoom);
    EXPECT_EQ(stamp::SteppedZoom(1.0, +1), 1.25);
    EXPECT_EQ(stamp::SteppedZoom(0.9, -1), 0.75);
}

// ---- The window.

class StampWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        windows = std::make_unique<app::ProgramWindows>();
        main = windows->mainForm.get();
        main->resize(1000, 800);
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        folder = test::MakeTempFolder(QStringLiteral("pdf"));
    }
    void TearDown() override { windows.reset(); }

    stamp::PdfWindow* Open(const QString& path)
    {
        main->OpenFiles({path});
        QCoreApplication::processEvents();
        return main->ActivePdfWindow();
    }

    // Clicks the view where `mm` of `page` is shown.
    static void ClickAt(stamp::PdfWindow& window, int page, QPointF mm)
    {
        stamp::PdfView& view = window.View();
        view.GoToPage(page);
        // Scrolled across so that the spot is in sight, as the user would.
        const double x = view.Layout().ToContent(page, mm).x();
        view.horizontalScrollBar()->setValue(int(x) - view.viewport()->width() / 2);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.ViewportPointOf(page, mm));
    }

    QAction* Command(const char* name) const
    {
        return main->findChild<QAction*>(QLatin1String(name));
    }

    test::ScriptedDialogs dialogs;
    std::unique_ptr<app::ProgramWindows> windows;
    app::TMainForm* main = nullptr;
    QString folder;
};

TEST_F(StampWindowTest, AClickOnATurnedPagePlacesTheSealWhereItWasShownAtAnyZoom)
{
    const QString upright = WritePdf(folder + QStringLiteral("/upright.pdf"), {QSizeF(567, 283)});
    const QString turned = folder + QStringLiteral("/turned.pdf");
    Qpdf({QStringLiteral("--rotate=+90"), upright, turned});
    stamp::PdfWindow* window = Open(turned);
    ASSERT_NE(window, nullptr);
    const QSizeF shown = window->View().Layout().PageSizeMm(0);
    EXPECT_NEAR(shown.width(), 283 * 25.4 / 72, 0.01) << "the page is shown turned";
    EXPECT_NEAR(shown.height(), 567 * 25.4 / 72, 0.01);
    window->SetTool({RedSquareSeal(130), 0, false});
    // A spot of its own at each zoom, clear of the stamps placed before.
    const struct
    {
        double zoom;
        QPointF mm;
    } clicks[] = {{0.5, {20, 30}}, {1.0, {70, 150}}, {3.0, {40, 100}}};
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.zoom);
        window->View().SetZoom(click.zoom);
        ClickAt(*window, 0, click.mm);
        ASSERT_TRUE(window->Model().Selection());
        const Stamp& placed = window->Model().Stamps()[*window->Model().Selection()];
        const double pixelMm = 1 / window->View().Layout().PixelsPerMm();
        EXPECT_NEAR(placed.centreMm.x(), click.mm.x(), pixelMm);
        EXPECT_NEAR(placed.centreMm.y(), click.mm.y(), pixelMm);
    }
    EXPECT_EQ(window->Model().Stamps().size(), 3u);
    EXPECT_EQ(window->Model().Seals()[0]->SizeMm(), QSizeF(5, 5)) << "true size at any zoom";
}

TEST_F(StampWindowTest, APdfWindowTakesTheFileCommandsAndShowsTheStampingPanel)
{
    const QString path = WritePdf(folder + QStringLiteral("/doc.pdf"), {QSizeF(595, 842)});
    main->sbNewName->trigger();
    stamp::PdfWindow* window = Open(path);
    ASSERT_NE(window, nullptr);
    panel::TControlForm& form = *windows->controlForm;
    stamp::StampPanel& panel = *main->StampingPanel();
    for (const char* name : {"FileSaveItem", "FileSaveAsItem", "SaveBtn", "FileCloseItem",
                             "WindowTileItem", "FilePdfItem", "PdfStampBtn"})
        EXPECT_TRUE(Command(name)->isEnabled()) << name;
    for (const char* name : {"FileExportItem", "ExportBtn", "mCopyPicture", "CopyItem", "mReplica",
                             "PasteBtn", "UndoItem"})
        EXPECT_FALSE(Command(name)->isEnabled()) << name;
    EXPECT_TRUE(panel.isVisibleTo(&form));
    EXPECT_FALSE(form.Panel1()->isVisibleTo(&form));
    EXPECT_EQ(form.size(), QSize(stamp::StampPanel::kWidth + 4, stamp::StampPanel::kHeight + 4));
    ASSERT_EQ(panel.SealList()->count(), 1);
    EXPECT_EQ(panel.SealList()->item(0)->text(), QStringLiteral("新規認印"));
    EXPECT_EQ(panel.SizeLabel()->text(), QStringLiteral("印の大きさ： 9.0 mm"));

    ClickAt(*window, 0, QPointF(100, 100));
    EXPECT_TRUE(Command("UndoItem")->isEnabled());
    EXPECT_TRUE(panel.RemoveButton()->isEnabled());
    Command("UndoItem")->trigger();
    EXPECT_TRUE(window->Model().Stamps().empty());

    // Back to the seal: its panel and its commands.
    main->ClientArea()->setActiveSubWindow(main->ClientArea()->subWindowList().first());
    EXPECT_TRUE(form.Panel1()->isVisibleTo(&form));
    EXPECT_FALSE(panel.isVisibleTo(&form));
    EXPECT_TRUE(Command("mReplica")->isEnabled());
}

TEST_F(StampWindowTest, ALockedDocumentAsksForItsPasswordAndBadFilesAreToldWithoutAWindow)
{
    const QString plain = WritePdf(folder + QStringLiteral("/plain.pdf"), {QSizeF(595, 842)});
    const QString locked = folder + QStringLiteral("/locked.pdf");
    Qpdf({QStringLiteral("--encrypt"), QStringLiteral("ひみつ"), QStringLiteral("owner"),
          QStringLiteral("256"), QStringLiteral("--"), plain, locked});
    dialogs.passwordAnswers = {QStringLiteral("wrong"), QStringLiteral("ひみつ")};
    ASSERT_NE(Open(locked), nullptr);
    ASSERT_EQ(dialogs.passwordQuestions.size(), 2u);
    EXPECT_TRUE(dialogs.passwordQuestions[0].text.contains(QStringLiteral("locked.pdf")));
    EXPECT_TRUE(
        dialogs.passwordQuestions[1].text.startsWith(QStringLiteral("パスワードが違います")));
    main->FileCloseItemClick();

    dialogs.passwordAnswers = {std::nullopt};
    EXPECT_EQ(Open(locked), nullptr) << "cancelled";

    QByteArray whole = test::ReadFile(plain);
    const QString truncated = folder + QStringLiteral("/truncated.pdf");
    test::WriteFile(truncated, whole.left(whole.size() / 2));
    const QString text = folder + QStringLiteral("/text.pdf");
    test::WriteFile(text, "just some words\n");
    const QString damaged = folder + QStringLiteral("/damaged.pdf");
    test::WriteFile(damaged, "%PDF-1.4\nnothing here at all\n%%EOF\n");
    const struct
    {
        QString path;
        QString told;
    } bad[] = {{truncated, QStringLiteral("途中で切れています")},
               {text, QStringLiteral("PDF ファイルではありません")},
               {damaged, QStringLiteral("壊れているため開けません")}};
    for (const auto& file : bad) {
        SCOPED_TRACE(file.path.toStdString());
        dialogs.messages.clear();
        EXPECT_EQ(Open(file.path), nullptr);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_TRUE(dialogs.messages[0].text.contains(file.told))
            << dialogs.messages[0].text.toStdString();
    }
    EXPECT_TRUE(main->PdfWindows().isEmpty());
    EXPECT_EQ(dialogs.messages.size(), 1u) << "a cancelled password is told nothing";
}

TEST(StampPreviewTest, TheInkMultipliesSoABlackGlyphUnderTheSealStaysDark)
{
    const QString path = WritePdf(test::MakeTempFolder() + QStringLiteral("/glyph.pdf"),
                                  {QSizeF(595, 842)}, QRectF(40, 40, 10, 10));
    const std::unique_ptr<Poppler::Document> document = stamp::ReopenPdf(path, {});
    ASSERT_NE(document, nullptr);
    StampModel model;
    stamp::PdfView view(*document, model);
    view.resize(800, 1000);
    view.SetZoom(1.0);
    const std::size_t seal = model.AddSeal(RedSquareSeal(260)); // 10 mm
    model.Place({0, {45, 45}, 0, seal});                        // over the black square
    model.Place({0, {100, 100}, 0, seal});                      // over white paper
    const QImage shown = view.viewport()->grab().toImage();
    const QColor overGlyph = shown.pixelColor(view.ViewportPointOf(0, {45, 45}));
    const QColor overPaper = shown.pixelColor(view.ViewportPointOf(0, {100, 100}));
    EXPECT_LT(overGlyph.red(), 60) << "black stays black under red ink";
    EXPECT_GT(overPaper.red(), 200);
    EXPECT_LT(overPaper.green(), 60);
}

TEST(StampViewTest, DraggingMovesTheStampAndItsHandleTurnsItOneStepEach)
{
    const QString path =
        WritePdf(test::MakeTempFolder() + QStringLiteral("/drag.pdf"), {QSizeF(595, 842)});
    const std::unique_ptr<Poppler::Document> document = stamp::ReopenPdf(path, {});
    ASSERT_NE(document, nullptr);
    StampModel model;
    stamp::PdfView view(*document, model);
    view.resize(800, 1000);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.SetZoom(2.0);
    view.SetTool({RedSquareSeal(260), 0, false}); // 10 mm
    QWidget* area = view.viewport();
    const auto drag = [area](QPoint from, QPoint to) {
        QTest::mousePress(area, Qt::LeftButton, {}, from);
        QTest::mouseMove(area, (from + to) / 2);
        QTest::mouseMove(area, to);
        QTest::mouseRelease(area, Qt::LeftButton, {}, to);
    };
    const double perMm = view.Layout().PixelsPerMm();

    QTest::mouseClick(area, Qt::LeftButton, {}, view.ViewportPointOf(0, {50, 50}));
    ASSERT_EQ(model.Stamps().size(), 1u);
    const QPoint centre = view.ViewportPointOf(0, model.Stamps()[0].centreMm);
    drag(centre, centre + QPoint(int(std::lround(20 * perMm)), 0));
    ASSERT_EQ(model.Stamps().size(), 1u) << "a drag on a stamp moves it, placing nothing";
    EXPECT_NEAR(model.Stamps()[0].centreMm.x(), 70, 0.1);
    EXPECT_NEAR(model.Stamps()[0].centreMm.y(), 50, 0.1);

    // The rotate handle above the selected stamp, dragged round to its right: a quarter turn.
    const QPoint moved = view.ViewportPointOf(0, model.Stamps()[0].centreMm);
    const int above = int(std::lround(5 * perMm)) + 2 + 18;
    drag(moved - QPoint(0, above), moved + QPoint(above, 0));
    EXPECT_DOUBLE_EQ(model.Stamps()[0].rotationDeg, 90);

    model.Undo();
    EXPECT_DOUBLE_EQ(model.Stamps()[0].rotationDeg, 0);
    EXPECT_NEAR(model.Stamps()[0].centreMm.x(), 70, 0.1);
    model.Undo();
    EXPECT_NEAR(model.Stamps()[0].centreMm.x(), 50, 0.3);
    // Still selected as it was then: Delete removes it, and that is undone too.
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_TRUE(model.Stamps().empty());
    model.Undo();
    EXPECT_EQ(model.Stamps().size(), 1u);
}

TEST_F(StampWindowTest, SavingWritesTheStampedCopyBesideTheOriginalAndShowsIt)
{
    const QString path = WritePdf(folder + QStringLiteral("/見積書.pdf"), {QSizeF(595, 842)});
    const QByteArray original = test::ReadFile(path);
    stamp::PdfWindow* window = Open(path);
    ASSERT_NE(window, nullptr);
    window->SetTool({RedSquareSeal(130), 0, false});
    ClickAt(*window, 0, QPointF(150, 200));
    ASSERT_TRUE(window->IsModified());

    // Closing asks first; cancelled, the window stays.
    window->parentWidget()->close();
    ASSERT_EQ(dialogs.saveChangesQuestions.size(), 1u);
    EXPECT_EQ(dialogs.saveChangesQuestions[0].text, QStringLiteral("変更を保存しますか？"));
    ASSERT_EQ(main->PdfWindows().size(), 1);

    // The original itself: asked before, refused, nothing written.
    dialogs.saveAnswers = {platform::FileDialogChoice{path, 0}};
    dialogs.messageAnswers = {platform::MessageResult::Cancel};
    Command("FileSaveItem")->trigger();
    EXPECT_EQ(test::ReadFile(path), original);
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].fileName, QStringLiteral("見積書_押印.pdf"));
    EXPECT_EQ(dialogs.saveRequests[0].directory, folder);
    EXPECT_TRUE(window->IsModified());

    const QString stamped = folder + QStringLiteral("/見積書_押印.pdf");
    dialogs.saveAnswers = {platform::FileDialogChoice{stamped, 0}};
    Command("FileSaveItem")->trigger();
    const QByteArray written = test::ReadFile(stamped);
    ASSERT_GT(written.size(), original.size());
    EXPECT_EQ(written.left(original.size()), original) << "an incremental update";
    EXPECT_EQ(window->Caption(), stamped);
    EXPECT_FALSE(window->IsModified()) << "the window shows the written file";
    EXPECT_TRUE(window->Model().Stamps().empty());
    // The stamp is in the page now: red where it was placed.
    const QImage page = stamp::RenderPage(window->Document(), 0, 72);
    const QColor ink = page.pixelColor(QPointF(150, 200).toPoint() * 72 / 25.4);
    EXPECT_GT(ink.red(), 200);
    EXPECT_LT(ink.green(), 80);
}

} // namespace
