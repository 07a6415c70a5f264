#include "image/ImgKit.h"
#include "seal/MdiChild.h"
#include "seal/PictureControl.h"
#include "tests/support/Pictures.h"
#include "tests/support/ScriptedDialogs.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmr;
using seal::TMDIChild;

namespace {

class BitmapViewTest : public ::testing::Test
{
protected:
    void SetUp() override { image::ImgKitLoadLibrary(); }
    void TearDown() override
    {
        document.reset();
        EXPECT_EQ(image::ImgKitLiveImageCount(), 0u) << "every picture is released";
        image::ImgKitUnloadLibrary();
    }

    TMDIChild& Open(int width, int height)
    {
        document = std::make_unique<TMDIChild>();
        document->ImageHandle = test::Picture24(
            width, height, [](int x, int y) { return qRgb(x % 256, y % 256, 128); });
        image::ImgKitImageInfo(document->ImageHandle, document->ImageInfo);
        document->LayOutPicture(QStringLiteral("/tmp/picture.bmp"));
        document->show();
        return *document;
    }

    // Real mouse events on the picture control, positions in its coordinates.
    void Press(Qt::MouseButton button, QPoint at)
    {
        QTest::mousePress(document->Image1(), button, {}, at);
    }
    void MoveTo(QPoint at) { QTest::mouseMove(document->Image1(), at); }
    void Release(Qt::MouseButton button, QPoint at)
    {
        QTest::mouseRelease(document->Image1(), button, {}, at);
    }

    test::ScriptedDialogs dialogs;
    std::unique_ptr<TMDIChild> document;
};

TEST_F(BitmapViewTest, NewPictureLayout)
{
    struct Case
    {
        QSize picture;
        QRect square;
    };
    const Case cases[] = {
        {{180, 120}, {30, 0, 120, 120}}, {{640, 480}, {195, 115, 250, 250}},
        {{250, 250}, {0, 0, 250, 250}},  {{1, 1}, {0, 0, 1, 1}},
        {{251, 249}, {1, 0, 249, 249}},  {{90, 400}, {0, 155, 90, 90}},
    };
    for (const Case& c : cases) {
        TMDIChild& view = Open(c.picture.width(), c.picture.height());
        EXPECT_EQ(view.size(), c.picture) << "the window fits the picture";
        EXPECT_EQ(view.Image1()->size(), c.picture);
        EXPECT_EQ(view.ViewWidth, c.picture.width());
        EXPECT_EQ(view.RectShape(), c.square) << c.picture.width() << " × " << c.picture.height();
        EXPECT_TRUE(view.RectShapeVisible());
        EXPECT_EQ(view.Kind, seal::kBitmapSeal);
        EXPECT_EQ(view.FileName, QStringLiteral("/tmp/picture.bmp"));
        EXPECT_EQ(view.BitmapResolution, 0);
        EXPECT_EQ(view.Image1()->Picture().pixel(c.picture.width() - 1, 0),
                  qRgb((c.picture.width() - 1) % 256, 0, 128))
            << "shown 1:1, top row first";
    }
}

TEST_F(BitmapViewTest, DraggingKeepsTheSquareInsideTheWindow)
{
    Open(640, 480);
    struct Drag
    {
        QPoint by;
        QPoint topLeft;
    };
    const Drag drags[] = {
        {{-1000, 0}, {0, 115}},  {{1000, 0}, {390, 115}}, {{0, -1000}, {195, 0}},
        {{0, 1000}, {195, 230}}, {{30, -20}, {225, 95}},  {{-1000, -1000}, {0, 0}},
    };
    for (const Drag& d : drags) {
        document->ResetCropRect();
        const QPoint start(300, 300);
        Press(Qt::LeftButton, start);
        MoveTo(start + d.by / 2);
        MoveTo(start + d.by);
        Release(Qt::LeftButton, start + d.by);
        EXPECT_EQ(document->RectShape().topLeft(), d.topLeft) << d.by.x() << "," << d.by.y();
        EXPECT_EQ(document->RectShape().size(), QSize(250, 250));
        EXPECT_FALSE(document->MovingRect);
    }
    // Without a button held nothing moves.
    const QRect before = document->RectShape();
    MoveTo({10, 10});
    EXPECT_EQ(document->RectShape(), before);
}

TEST_F(BitmapViewTest, SizingFollowsHorizontalMovementWithinItsLimits)
{
    Open(640, 480);
    QSignalSpy changes(document.get(), &TMDIChild::CropRectChanged);
    const QPoint start(320, 240);
    Press(Qt::RightButton, start);
    EXPECT_TRUE(document->SizingRect);
    MoveTo(start + QPoint(0, 120));
    EXPECT_EQ(document->RectShape().size(), QSize(250, 250)) << "vertical movement does not size";
    MoveTo(start + QPoint(30, 120));
    EXPECT_EQ(document->RectShape().size(), QSize(280, 280));
    MoveTo(start + QPoint(300, 0));
    // Grows to 450, then the right edge limits it to 640 − 195 and the bottom to 480 − 115.
    EXPECT_EQ(document->RectShape().size(), QSize(365, 365));
    EXPECT_EQ(document->RectShape().topLeft(), QPoint(195, 115)) << "the top-left stays";
    EXPECT_LE(document->RectShape().bottom(), 479);
    MoveTo(start - QPoint(600, 0));
    EXPECT_EQ(document->RectShape().size(), QSize(100, 100));
    Release(Qt::RightButton, start);
    EXPECT_FALSE(document->SizingRect);
    EXPECT_GE(changes.count(), 4);

    // On a big picture the square stops at 450.
    Open(1200, 1000);
    Press(Qt::RightButton, start);
    MoveTo(start + QPoint(400, 0));
    EXPECT_EQ(document->RectShape().size(), QSize(450, 450));
    Release(Qt::RightButton, start);
}

TEST_F(BitmapViewTest, OneLevelOfUndo)
{
    Open(64, 32);
    QSignalSpy undo(document.get(), &TMDIChild::UndoChanged);
    const image::ImgKitImage original = document->ImageHandle;
    document->MakeUndoCopy();
    EXPECT_EQ(document->UndoAvailable, 1);
    // The picture changes (as a cut would): a new, smaller one.
    image::ReplacePicture(document->ImageHandle,
                          test::Picture24(16, 16, [](int, int) { return qRgb(1, 2, 3); }),
                          document->ImageInfo);
    EXPECT_NE(document->ImageHandle, original);
    EXPECT_EQ(document->ImageInfo.Width, 16);
    document->BitmapResolution = 1;

    document->RestoreUndoCopy();
    EXPECT_EQ(document->UndoAvailable, 0);
    EXPECT_EQ(document->ImageInfo.Width, 64);
    EXPECT_EQ(document->size(), QSize(64, 32));
    EXPECT_EQ(document->BitmapResolution, 0);
    EXPECT_EQ(document->FileName, QStringLiteral("/tmp/picture.bmp"));
    EXPECT_EQ(document->Image1()->Picture().pixel(5, 3), qRgb(5, 3, 128));
    EXPECT_EQ(undo.count(), 2);

    const image::ImgKitImage after = document->ImageHandle;
    document->RestoreUndoCopy();
    EXPECT_EQ(document->ImageHandle, after) << "a second undo does nothing";
    EXPECT_EQ(image::ImgKitLiveImageCount(), 1u);

    // Taking a second copy replaces the first.
    document->MakeUndoCopy();
    document->MakeUndoCopy();
    EXPECT_EQ(image::ImgKitLiveImageCount(), 2u);
}

TEST_F(BitmapViewTest, PastingWithoutAPictureFailsWithTheMessage)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("名字"));
    EXPECT_FALSE(image::ImgKitClipboardHasBitmap());
    document = std::make_unique<TMDIChild>();
    EXPECT_FALSE(document->PasteFromClipboard());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("瑠環印影ＭＧＲ"));
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("画像取込時にｴﾗｰが発生しました"));
}

TEST_F(BitmapViewTest, PastedPictureBecomesANewBitmapSeal)
{
    QImage picture(180, 120, QImage::Format_ARGB32);
    picture.fill(qRgb(10, 200, 30));
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    QGuiApplication::clipboard()->setImage(picture);
    ASSERT_TRUE(image::ImgKitClipboardHasBitmap());
    document = std::make_unique<TMDIChild>();
    ASSERT_TRUE(document->PasteFromClipboard());
    EXPECT_EQ(document->Kind, seal::kBitmapSeal);
    EXPECT_EQ(document->FileName, QStringLiteral("新規ビットマップ印"));
    EXPECT_EQ(document->ImageInfo.Width, 180);
    EXPECT_LE(document->ImageInfo.ColorType, image::kColorType24Bit) << "held as 24 bits at most";
    EXPECT_EQ(document->RectShape(), QRect(30, 0, 120, 120));
    EXPECT_EQ(document->Image1()->Picture().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(document->Image1()->Picture().pixel(100, 50), qRgb(10, 200, 30));
}

TEST_F(BitmapViewTest, ScreensWithFewColoursShowAReducedCopy)
{
    std::vector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(qRgb(i, 255 - i, (i * 7) % 256));
    document = std::make_unique<TMDIChild>();
    document->ImageHandle =
        test::PicturePalette(32, 32, 8, palette, [](int x, int y) { return (x * 8 + y) % 256; });
    image::ImgKitImageInfo(document->ImageHandle, document->ImageInfo);
    document->LayOutPicture(QStringLiteral("p.bmp"));
    const auto coloursShown = [&] {
        const QImage shown = document->Image1()->Picture();
        QSet<QRgb> colours;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                colours.insert(shown.pixel(x, y));
        return colours.size();
    };
    document->ShowImageFor(0);
    EXPECT_EQ(coloursShown(), 256);
    document->ShowImageFor(256);
    EXPECT_EQ(coloursShown(), 256) << "a 256-colour picture shows as it is on such a screen";
    document->ShowImageFor(16);
    EXPECT_LE(coloursShown(), 16);
    EXPECT_EQ(document->ImageInfo.ColorType, image::kColorType8BitColor)
        << "the picture itself is never changed by showing it";
}

} // namespace
