#include "seal/PictureControl.h"
#include "tests/panel/PanelTestSupport.h"
#include "tests/support/Pictures.h"

#include <QPushButton>

#include <cmath>
#include <functional>

using namespace velmr;
using namespace Qt::StringLiterals;

namespace {

class BitmapPanelTest : public test::PanelTest
{
protected:
    seal::TMDIChild& Picture(int width, int height)
    {
        seal::TMDIChild& document = NewDocument();
        document.ImageHandle = test::Picture24(
            width, height, [](int x, int y) { return qRgb(x % 256, y % 256, (x + y) % 256); });
        image::ImgKitImageInfo(document.ImageHandle, document.ImageInfo);
        document.LayOutPicture(u"/tmp/picture.bmp"_s);
        return document;
    }
    QPushButton* Undo() const { return Control<QPushButton>("btUndo"); }
};

TEST_F(BitmapPanelTest, CropSquareGrowsAndShrinksWithinItsLimits)
{
    seal::TMDIChild& document = Picture(640, 480);
    EXPECT_EQ(document.RectShape(), QRect(195, 115, 250, 250));
    EXPECT_EQ(Text("StaticText1"), u"9.65"_s);
    struct Case
    {
        int from;
        const char* button;
        int to;
    };
    const Case cases[] = {{448, "Button11", 450}, {450, "Button11", 450}, {102, "Button12", 100},
                          {100, "Button12", 100}, {250, "Button11", 254}, {250, "Button12", 246}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " " << c.button);
        document.SetRectShape(QRect(10, 20, c.from, c.from));
        Click(c.button);
        EXPECT_EQ(document.RectShape(), QRect(10, 20, c.to, c.to)) << "the position stays";
    }
}

TEST_F(BitmapPanelTest, PrintedSizeFollowsTheResolutionChoice)
{
    seal::TMDIChild& document = Picture(640, 480);
    const struct
    {
        int side;
        const char16_t* at260;
        const char16_t* at153;
    } cases[] = {{250, u"9.65", u"16.41"}, {100, u"3.88", u"6.60"}, {450, u"17.35", u"29.48"}};
    for (const auto& c : cases) {
        document.SetRectShape(QRect(0, 0, c.side, c.side));
        ClickItem("RadioGroup9", 0);
        EXPECT_EQ(Text("StaticText1"), QString::fromUtf16(c.at260));
        EXPECT_EQ(document.BitmapResolution, 0);
        ClickItem("RadioGroup9", 1);
        EXPECT_EQ(Text("StaticText1"), QString::fromUtf16(c.at153));
        EXPECT_EQ(document.BitmapResolution, 1);
    }
}

TEST_F(BitmapPanelTest, CutKeepsTheSquareAndOneUndo)
{
    seal::TMDIChild& document = Picture(300, 200);
    EXPECT_EQ(document.RectShape(), QRect(50, 0, 200, 200));
    EXPECT_FALSE(Undo()->isEnabled());
    ClickItem("RadioGroup9", 1);
    Click("Button15");
    EXPECT_EQ(document.ImageInfo.Width, 200);
    EXPECT_EQ(document.ImageInfo.Height, 200);
    EXPECT_EQ(document.ViewWidth, 200);
    EXPECT_EQ(document.BitmapResolution, 1) << "the cut keeps the resolution";
    EXPECT_EQ(document.RectShape(), QRect(0, 0, 200, 200));
    EXPECT_TRUE(Undo()->isEnabled());
    // The picture is the part that was inside the square.
    const QImage cut = image::ImgKitToQImage(document.ImageHandle);
    EXPECT_EQ(cut.pixel(0, 0), qRgb(50, 0, 50));
    EXPECT_EQ(cut.pixel(199, 199), qRgb(249, 199, (249 + 199) % 256));

    Click(Undo());
    EXPECT_EQ(document.ImageInfo.Width, 300);
    EXPECT_EQ(document.BitmapResolution, 0);
    EXPECT_FALSE(Undo()->isEnabled());
    EXPECT_EQ(Group("RadioGroup9")->ItemIndex(), 0);
    document.RestoreUndoCopy(); // a second undo does nothing
    EXPECT_EQ(document.ImageInfo.Width, 300);
}

TEST_F(BitmapPanelTest, CutOfASquareBeyondThePictureIsClipped)
{
    seal::TMDIChild& document = Picture(80, 60);
    EXPECT_EQ(document.RectShape(), QRect(10, 0, 60, 60));
    Click("Button11"); // 64, still inside the width
    Click("Button11");
    Click("Button11");
    Click("Button11"); // 76
    document.SetRectShape(QRect(10, 0, 100, 100));
    Click("Button15");
    EXPECT_EQ(document.ImageInfo.Width, 70);
    EXPECT_EQ(document.ImageInfo.Height, 60);
    EXPECT_EQ(image::ImgKitToQImage(document.ImageHandle).pixel(0, 0), qRgb(10, 0, 10));
}

TEST_F(BitmapPanelTest, PictureDialogsRunAndTheSquareIsResetAfterResize)
{
    seal::TMDIChild& document = Picture(640, 480);
    int reductions = 0;
    int resizes = 0;
    form->SetPictureDialogs(
        [&](seal::TMDIChild& target) {
            EXPECT_EQ(&target, &document);
            ++reductions;
        },
        [&](seal::TMDIChild& target) {
            EXPECT_EQ(&target, &document);
            ++resizes; // cancelled: nothing changes
        });
    document.SetRectShape(QRect(3, 4, 120, 120));
    Click("Button16");
    EXPECT_EQ(reductions, 1);
    EXPECT_EQ(document.RectShape(), QRect(3, 4, 120, 120));
    Click("Button13");
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(document.RectShape(), QRect(195, 115, 250, 250)) << "reset even when cancelled";
}

TEST_F(BitmapPanelTest, LoadingTheBitmapPanelWritesNothing)
{
    seal::TMDIChild& document = Picture(640, 480);
    ClickItem("RadioGroup9", 1);
    document.BitmapResolution = 1;
    seal::TMDIChild& other = Picture(100, 100);
    EXPECT_EQ(Group("RadioGroup9")->ItemIndex(), 0);
    form->ShowEditPanel(document);
    EXPECT_EQ(Group("RadioGroup9")->ItemIndex(), 1);
    EXPECT_EQ(document.BitmapResolution, 1);
    EXPECT_EQ(other.BitmapResolution, 0);
    document.BitmapResolution = 7; // from outside: shown at the nearest item, kept
    form->ShowEditPanel(document);
    EXPECT_EQ(Group("RadioGroup9")->ItemIndex(), 1);
    EXPECT_EQ(document.BitmapResolution, 7);
}

// "印影抽出" takes the seal out of a photo in the chosen ink, with the undo copy; a picture with no
// seal in it is told through a message and kept, and no undo step is taken.
TEST_F(BitmapPanelTest, ExtractionTakesTheSealOrTellsWhyNot)
{
    // A red ring on off-white paper that darkens to the right, as a photo shows it.
    const auto photo = [](int x, int y) {
        const int paper = 240 - x / 20;
        const double r = std::hypot(x - 200.0, y - 150.0);
        return r > 80 && r < 92 ? qRgb(200, 40, 40) : qRgb(paper, paper - 4, paper - 10);
    };
    struct Case
    {
        const char* what;
        QSize size;
        std::function<QRgb(int, int)> colour;
        int ink; // the item of RadioGroupInk
        bool taken;
    };
    const Case cases[] = {
        {"blank paper", {300, 200}, [](int, int) { return qRgb(250, 250, 248); }, 0, false},
        {"all red", {300, 200}, [](int, int) { return qRgb(220, 30, 30); }, 0, false},
        {"one pixel", {1, 1}, [](int, int) { return qRgb(220, 30, 30); }, 0, false},
        {"a ring in black ink", {400, 300}, photo, 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.messages.clear();
        seal::TMDIChild& document = NewDocument();
        document.ImageHandle = test::Picture24(c.size.width(), c.size.height(), c.colour);
        image::ImgKitImageInfo(document.ImageHandle, document.ImageInfo);
        document.LayOutPicture(u"/tmp/photo.png"_s);
        const QImage before = image::ImgKitToQImage(document.ImageHandle);
        ClickItem("RadioGroupInk", c.ink);
        Click("btExtract");
        if (!c.taken) {
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].caption, u"瑠環印影ＭＧＲ"_s);
            EXPECT_FALSE(dialogs.messages[0].text.isEmpty());
            EXPECT_EQ(image::ImgKitToQImage(document.ImageHandle), before) << "the picture stays";
            EXPECT_EQ(document.UndoAvailable, 0) << "no undo step";
            EXPECT_FALSE(Undo()->isEnabled());
            continue;
        }
        EXPECT_TRUE(dialogs.messages.empty());
        ASSERT_TRUE(image::ImgKitHasAlpha(document.ImageHandle));
        const QImage seal = image::ImgKitToQImage(document.ImageHandle);
        EXPECT_EQ(seal.width(), seal.height()) << "cut to a square";
        EXPECT_EQ(qAlpha(seal.pixel(0, 0)), 0) << "the paper is gone";
        EXPECT_EQ(document.ImageInfo.Width, seal.width());
        EXPECT_EQ(document.Image1()->Picture().pixel(0, 0), qRgb(255, 255, 255)) << "on white";
        int inked = 0;
        for (int y = 0; y < seal.height(); ++y)
            for (int x = 0; x < seal.width(); ++x)
                if (qAlpha(seal.pixel(x, y)) == 255) {
                    ++inked;
                    EXPECT_EQ(qRed(seal.pixel(x, y)) + qGreen(seal.pixel(x, y)), 0) << "black ink";
                }
        EXPECT_GT(inked, 1000);
        EXPECT_TRUE(Undo()->isEnabled());
        Click(Undo());
        EXPECT_EQ(image::ImgKitToQImage(document.ImageHandle), before) << "undo returns the photo";
    }
}

} // namespace
