#include "image/ImgKit.h"
#include "tests/image/BmpBytes.h"
#include "tests/support/Pictures.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <gtest/gtest.h>

using namespace velmr::image;
using namespace velmr::test;

namespace {

class ImgKitClipboardTest : public ::testing::Test
{
protected:
    void SetUp() override { ImgKitLoadLibrary(); }
    void TearDown() override
    {
        ImgKitUnloadLibrary();
        QGuiApplication::clipboard()->clear();
    }
};

QImage Indexed(int colours, QImage::Format format = QImage::Format_Indexed8)
{
    QImage image(9, 5, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i)
        table.push_back(qRgb(i, 255 - i, i * 7 % 256));
    image.setColorTable(table);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x)
            image.setPixel(x, y, uint((x + 2 * y) % colours));
    return format == QImage::Format_Indexed8 ? image : image.convertToFormat(format);
}

TEST_F(ImgKitClipboardTest, QImagesBecomePicturesOfTheRightDepth)
{
    QImage translucent(3, 2, QImage::Format_ARGB32);
    translucent.fill(qRgba(200, 100, 0, 255));
    translucent.setPixel(1, 1, qRgba(0, 0, 0, 0));
    translucent.setPixel(2, 1, qRgba(100, 50, 0, 128));
    QImage grey(4, 3, QImage::Format_Grayscale8);
    grey.fill(77);
    struct Case
    {
        const char* name;
        QImage image;
        std::int32_t colorType;
        std::uint32_t colours;
    };
    const Case cases[] = {
        {"mono", Indexed(2, QImage::Format_Mono), kColorType1Bit, 2},
        {"mono LSB first", Indexed(2, QImage::Format_MonoLSB), kColorType1Bit, 2},
        {"12 colours", Indexed(12), kColorType4BitColor, 12},
        {"200 colours", Indexed(200), kColorType8BitColor, 200},
        {"RGB32", Indexed(200).convertToFormat(QImage::Format_RGB32), kColorType24Bit, 0},
        {"grey", grey, kColorType24Bit, 0},
        {"alpha", translucent, kColorType24Bit, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ImgKitImage image = ImgKitFromQImage(c.image);
        ASSERT_NE(image, 0u);
        const auto dib = ImgKitLock(image);
        EXPECT_EQ(ColorTypeOf(dib), c.colorType);
        EXPECT_EQ(Le32(dib, 32), c.colours);
        for (int y = 0; y < c.image.height(); ++y)
            for (int x = 0; x < c.image.width(); ++x) {
                const QRgb source = c.image.pixel(x, y);
                const int a = qAlpha(source);
                const auto onWhite = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
                ASSERT_EQ(DibPixel(dib, x, y), qRgb(onWhite(qRed(source)), onWhite(qGreen(source)),
                                                    onWhite(qBlue(source))))
                    << x << "," << y;
            }
    }
    EXPECT_EQ(DibPixel(ImgKitLock(ImgKitFromQImage(translucent)), 1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(ImgKitFromQImage(QImage()), 0u);

    // Indices beyond a short colour table still get a colour of their own.
    QImage beyond = Indexed(3);
    beyond.scanLine(0)[0] = 7; // setPixel() would refuse it
    const auto dib = ImgKitLock(ImgKitFromQImage(beyond));
    EXPECT_EQ(Le32(dib, 32), 8u);
    EXPECT_EQ(DibIndex(dib, 0, 0), 7);
}

TEST_F(ImgKitClipboardTest, PicturesBecomeQImagesWithTheirColours)
{
    const auto word = [](int x, int y) { return std::uint32_t(x * 2654435761u + y * 977u); };
    const std::vector<QRgb> four = {qRgb(1, 2, 3), qRgb(40, 50, 60), qRgb(200, 0, 9),
                                    qRgb(7, 7, 7)};
    const std::vector<std::vector<std::uint8_t>> dibs = {
        PackedDib(11, 4, 1, {qRgb(0, 0, 0), qRgb(255, 0, 0)},
                  [](int x, int y) { return (x + y) % 2; }),
        PackedDib(11, 4, 4, four, [](int x, int y) { return (x * y) % 4; }),
        PackedDib(11, 4, 8, four, [](int x, int) { return x % 4; }),
        PackedDib24(11, 4, [](int x, int y) { return qRgb(x * 20, y * 60, 5); }),
        DeepDib(11, 4, 16, {}, word),
        DeepDib(11, 4, 16, {0xF800, 0x7E0, 0x1F}, word),
        DeepDib(11, 4, 32, {}, word),
        DeepDib(11, 4, 32, {0xFF, 0xFF00, 0xFF0000}, word),
    };
    for (const auto& dib : dibs) {
        SCOPED_TRACE(int(dib[14]));
        const QImage image = ImgKitToQImage(ImgKitFromPackedDib(dib));
        ASSERT_EQ(image.size(), QSize(11, 4));
        EXPECT_EQ(image.format(), dib[14] == 1   ? QImage::Format_Mono
                                  : dib[14] <= 8 ? QImage::Format_Indexed8
                                                 : QImage::Format_RGB32);
        if (dib[14] <= 8) {
            EXPECT_EQ(image.colorCount(), int(Le32(dib, 32)));
        }
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 11; ++x)
                ASSERT_EQ(image.pixel(x, y), DibPixel(dib, x, y)) << x << "," << y;
    }
    EXPECT_TRUE(ImgKitToQImage(0).isNull());
}

// Five- and six-bit channels of 16-bit pictures widen to the nearest 8-bit level, as everywhere
// in the library: v × 255 / 31 (or 63), rounded.
TEST_F(ImgKitClipboardTest, SixteenBitChannelsRoundToTheNearestLevel)
{
    struct Case
    {
        std::vector<std::uint32_t> masks; // none: 5-5-5
        int shift;                        // of the channel looked at
        int (*channel)(QRgb);
        std::vector<std::pair<std::uint32_t, int>> levels; // field value, 8-bit level
    };
    const std::vector<std::pair<std::uint32_t, int>> five = {{0, 0},    {1, 8},    {3, 25},
                                                             {16, 132}, {30, 247}, {31, 255}};
    const std::vector<std::pair<std::uint32_t, int>> six = {{0, 0},    {1, 4},    {3, 12},
                                                            {32, 130}, {62, 251}, {63, 255}};
    const Case cases[] = {
        {{}, 10, qRed, five},
        {{}, 0, qBlue, five},
        {{0xF800, 0x7E0, 0x1F}, 11, qRed, five},
        {{0xF800, 0x7E0, 0x1F}, 5, qGreen, six},
    };
    for (const Case& c : cases) {
        const int width = int(c.levels.size());
        const ImgKitImage image =
            ImgKitFromPackedDib(DeepDib(width, 1, 16, c.masks, [&](int x, int) {
                return c.levels[std::size_t(x)].first << c.shift;
            }));
        const QImage converted = ImgKitToQImage(image);
        ASSERT_EQ(converted.width(), width);
        for (int x = 0; x < width; ++x)
            EXPECT_EQ(c.channel(converted.pixel(x, 0)), c.levels[std::size_t(x)].second)
                << "field " << c.levels[std::size_t(x)].first << " at bit " << c.shift;
        ImgKitMemFree(image);
    }
}

TEST_F(ImgKitClipboardTest, PicturesGoToTheClipboardAndBack)
{
    const std::vector<std::vector<std::uint8_t>> dibs = {
        PackedDib24(13, 6, [](int x, int y) { return qRgb(x * 19, y * 40, 200); }),
        PackedDib(13, 6, 4, {qRgb(9, 9, 9), qRgb(250, 0, 0), qRgb(0, 0, 250)},
                  [](int x, int y) { return (x + y) % 3; }),
    };
    for (const auto& dib : dibs) {
        const ImgKitImage image = ImgKitFromPackedDib(dib);
        ASSERT_EQ(ImgKitSetToClipBrd(nullptr, image), 1);
        EXPECT_TRUE(ImgKitClipboardHasBitmap());
        const ImgKitImage pasted = ImgKitGetFromClipBrd(nullptr);
        ASSERT_NE(pasted, 0u);
        const auto back = ImgKitLock(pasted);
        EXPECT_EQ(ColorTypeOf(back), ColorTypeOf(dib));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(DibPixel(back, x, y), DibPixel(dib, x, y)) << x << "," << y;
    }
    EXPECT_EQ(ImgKitSetToClipBrd(nullptr, 0), 0);

    QGuiApplication::clipboard()->setText(QStringLiteral("only words"));
    EXPECT_FALSE(ImgKitClipboardHasBitmap());
    EXPECT_EQ(ImgKitGetFromClipBrd(nullptr), 0u);
}

TEST_F(ImgKitClipboardTest, DeepScreensNeedNoSystemPalette)
{
    ASSERT_GT(QGuiApplication::primaryScreen()->depth(), 8);
    EXPECT_EQ(ImgKitSystemPalette(), 0);
}

} // namespace
