#include "image/Dib.h"

#include "tests/support/Pictures.h"

#include <gtest/gtest.h>

using namespace velmr::image;
using velmr::test::Picture24;
using velmr::test::PicturePalette;

namespace {

class DibTest : public ::testing::Test
{
protected:
    void SetUp() override { ImgKitLoadLibrary(); }
    void TearDown() override { ImgKitUnloadLibrary(); }
};

TEST_F(DibTest, RowBytesAndColourCodes)
{
    struct Case
    {
        int width, bits;
        std::uint32_t rowBytes;
        int colorCode;
        std::uint32_t colours;
    };
    const Case cases[] = {
        {33, 1, 8, 1, 2}, {32, 1, 4, 1, 2},  {9, 4, 8, 2, 16},
        {8, 4, 4, 2, 16}, {5, 8, 8, 3, 256}, {5, 24, 16, 6, 0},
    };
    for (const Case& c : cases) {
        const std::vector<QRgb> palette(c.bits <= 8 ? std::size_t(1) << c.bits : 0, qRgb(1, 2, 3));
        const ImgKitImage image =
            c.bits == 24 ? Picture24(c.width, 3, [](int, int) { return qRgb(0, 0, 0); })
                         : PicturePalette(c.width, 3, c.bits, palette, [](int, int) { return 0; });
        TDib dib(image);
        ASSERT_TRUE(dib.IsValid());
        EXPECT_EQ(dib.RowBytes, c.rowBytes) << c.width << " × " << c.bits;
        EXPECT_EQ(dib.ColorCode, c.colorCode);
        EXPECT_EQ(dib.NumColors(), c.colours);
        EXPECT_EQ(dib.ColorTableSize, c.colours * 4);
        EXPECT_EQ(dib.PixelCount, c.width * 3);
        ImgKitMemFree(image);
    }
}

TEST_F(DibTest, PalettesFromTheColourTableOrFixedForDeepPictures)
{
    const ImgKitImage two = PicturePalette(4, 4, 1, {qRgb(255, 0, 0), qRgb(0, 0, 255)},
                                           [](int x, int) { return x % 2; });
    const TDib dib(two);
    EXPECT_EQ(dib.CreateDibPalette(), (QList<QRgb>{qRgb(255, 0, 0), qRgb(0, 0, 255)}));

    const ImgKitImage deep = Picture24(2, 2, [](int, int) { return qRgb(9, 9, 9); });
    const QList<QRgb> fixed = TDib(deep).CreateDibPalette();
    ASSERT_EQ(fixed.size(), 256);
    for (int i : {0, 1, 8, 63, 64, 200, 255})
        EXPECT_EQ(fixed[i], qRgb(32 * (i % 8), 32 * ((i / 8) % 8), 64 * (i / 64))) << i;
    ImgKitMemFree(two);
    ImgKitMemFree(deep);
}

TEST_F(DibTest, RowsComeOutTopRowFirst)
{
    const auto colour = [](int x, int y) { return qRgb(x * 40, y * 60, 7); };
    const ImgKitImage deep = Picture24(5, 4, colour);
    QImage shown = TDib(deep).DrawTo();
    ASSERT_EQ(shown.size(), QSize(5, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(shown.pixel(x, y), colour(x, y)) << x << "," << y;

    const std::vector<QRgb> palette = {qRgb(0, 0, 0),   qRgb(255, 0, 0), qRgb(0, 255, 0),
                                       qRgb(0, 0, 255), qRgb(9, 9, 9),   qRgb(200, 100, 0)};
    for (const int bits : {1, 4, 8}) {
        const int colours = bits == 1 ? 2 : int(palette.size());
        const auto index = [colours](int x, int y) { return (x + 2 * y) % colours; };
        const ImgKitImage indexed = PicturePalette(
            7, 3, bits, std::vector<QRgb>(palette.begin(), palette.begin() + colours), index);
        TDib dib(indexed);
        shown = dib.DrawTo();
        ASSERT_FALSE(shown.isNull()) << bits;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(shown.pixel(x, y), palette[index(x, y)]) << bits << ": " << x << "," << y;
        EXPECT_TRUE(dib.DrawTo().isNull()) << "a buffer is drawn once";
        ImgKitMemFree(indexed);
    }
    ImgKitMemFree(deep);
    EXPECT_FALSE(TDib(12345).IsValid());
}

} // namespace
