#include "image/ImgKit.h"
#include "tests/image/BmpBytes.h"
#include "tests/support/Pictures.h"

#include <gtest/gtest.h>

using namespace velmr::image;
using namespace velmr::test;

namespace {

class ImgKitCutTest : public ::testing::Test
{
protected:
    void SetUp() override { ImgKitLoadLibrary(); }
    void TearDown() override { ImgKitUnloadLibrary(); }
};

std::vector<QRgb> Palette(int count)
{
    std::vector<QRgb> colours;
    for (int i = 0; i < count; ++i)
        colours.push_back(qRgb(i * 9 % 256, i * 5 % 256, 255 - i));
    return colours;
}

// A picture of every depth whose pixels all differ from their neighbours.
std::vector<std::uint8_t> Sample(int bits, int width, int height)
{
    const auto index = [bits](int x, int y) { return (x * 5 + y * 3 + x * y) % (1 << bits); };
    const auto word = [](int x, int y) { return std::uint32_t(x * 2654435761u + y * 97u); };
    switch (bits) {
    case 24:
        return PackedDib24(width, height, [](int x, int y) { return qRgb(x * 7, y * 11, x ^ y); });
    case 16:
        return DeepDib(width, height, 16, {0xF800, 0x7E0, 0x1F}, word);
    case 32:
        return DeepDib(width, height, 32, {}, word);
    default:
        return PackedDib(width, height, bits, Palette(1 << bits), index);
    }
}

// Checks that `cut` is the part of `source` from (left, top), `width` × `height` pixels, with
// the same header fields, table and (for palette pictures) indices.
void ExpectPart(std::span<const std::uint8_t> source, std::span<const std::uint8_t> cut, int left,
                int top, int width, int height)
{
    ASSERT_GE(cut.size(), 40u);
    EXPECT_EQ(int(Le32(cut, 4)), width);
    EXPECT_EQ(int(Le32(cut, 8)), height);
    EXPECT_EQ(ColorTypeOf(cut), ColorTypeOf(source));
    const int bits = source[14];
    const std::size_t table = bits <= 8               ? 4 * (std::size_t(1) << bits)
                              : Le32(source, 16) == 3 ? 12
                                                      : 0;
    EXPECT_TRUE(std::equal(source.begin() + 40, source.begin() + 40 + std::ptrdiff_t(table),
                           cut.begin() + 40));
    const std::size_t row = ((std::size_t(width) * bits + 31) / 32) * 4;
    EXPECT_EQ(cut.size(), 40 + table + row * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(DibPixel(cut, x, y), DibPixel(source, left + x, top + y)) << x << "," << y;
            if (bits <= 8) {
                ASSERT_EQ(DibIndex(cut, x, y), DibIndex(source, left + x, top + y));
            }
        }
        if (bits < 8 && width * bits % 8 != 0) {
            // The bits after the last pixel of a row are clear.
            const std::uint8_t last = cut[40 + table + row * std::size_t(y) + width * bits / 8];
            EXPECT_EQ(last & (0xFF >> (width * bits % 8)), 0) << "row " << y;
        }
    }
}

TEST_F(ImgKitCutTest, CutsKeepDepthPaletteAndPixelsAtEveryAlignment)
{
    for (const int bits : {1, 4, 8, 16, 24, 32}) {
        const std::vector<std::uint8_t> dib = Sample(bits, 37, 11);
        const ImgKitImage image = ImgKitFromPackedDib(dib);
        ASSERT_NE(image, 0u);
        // Every start within a byte, and widths that end inside one.
        for (int left = 0; left < 10; ++left) {
            SCOPED_TRACE(testing::Message() << bits << " bits, left " << left);
            const int right = 36 - left * 2;
            const ImgKitImage cut = ImgKitRectCut(image, {}, {}, left, 2, right, 8);
            ASSERT_NE(cut, 0u);
            ASSERT_NE(cut, image);
            ExpectPart(dib, ImgKitLock(cut), left, 2, right - left + 1, 7);
            ImgKitMemFree(cut);
        }
        ImgKitMemFree(image);
    }
}

TEST_F(ImgKitCutTest, RectanglesPartlyOutsideAreClipped)
{
    const std::vector<std::uint8_t> dib = Sample(4, 20, 10);
    const ImgKitImage image = ImgKitFromPackedDib(dib);
    struct Case
    {
        int left, top, right, bottom;
        int x, y, width, height; // what remains
    };
    const Case cases[] = {
        {-5, -3, 6, 4, 0, 0, 7, 5},     {15, 6, 100, 100, 15, 6, 5, 4}, {-1, 3, 25, 3, 0, 3, 20, 1},
        {7, -100, 7, 100, 7, 0, 1, 10}, {19, 9, 19, 9, 19, 9, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.left << "," << c.top << "," << c.right << "," << c.bottom);
        const ImgKitImage cut = ImgKitRectCut(image, {}, {}, c.left, c.top, c.right, c.bottom);
        ASSERT_NE(cut, image);
        ExpectPart(dib, ImgKitLock(cut), c.x, c.y, c.width, c.height);
        ImgKitMemFree(cut);
    }
}

TEST_F(ImgKitCutTest, NothingInsideOrNothingCutGivesTheSamePicture)
{
    const ImgKitImage image = ImgKitFromPackedDib(Sample(1, 16, 8));
    const int rectangles[][4] = {
        {16, 0, 30, 7},
        {-10, 0, -1, 7},
        {0, 8, 15, 20},
        {0, -9, 15, -1}, // wholly outside
        {9, 2, 3, 5},
        {2, 6, 9, 1}, // inverted
        {0, 0, 15, 7},
        {-4, -4, 40, 40}, // all of it
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
    };
    for (const auto& r : rectangles)
        EXPECT_EQ(ImgKitRectCut(image, {}, {}, r[0], r[1], r[2], r[3]), image)
            << r[0] << "," << r[1] << "," << r[2] << "," << r[3];
    EXPECT_EQ(ImgKitLiveImageCount(), 1u);
    EXPECT_EQ(ImgKitRectCut(image + 1, {}, {}, 0, 0, 1, 1), 0u) << "unknown handle";
}

// The picture operations on a seal with alpha: the cut and the resize keep the alpha (the resize
// weighting colours by it, so that no dark fringe comes from the transparent pixels), colour
// reduction gives the picture laid over white.
TEST_F(ImgKitCutTest, PictureOperationsOnASealWithAlpha)
{
    // Red ink, opaque on the left half, nothing on the right, whose pixels hold black.
    QImage seal(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            seal.setPixel(x, y, x < 4 ? qRgba(255, 0, 0, 255) : qRgba(0, 0, 0, 0));
    const ImgKitImage image = ImgKitFromQImageWithAlpha(seal);
    ASSERT_TRUE(ImgKitHasAlpha(image));

    const ImgKitImage cut = ImgKitRectCut(image, {}, {}, 2, 1, 5, 4);
    EXPECT_TRUE(ImgKitHasAlpha(cut));
    EXPECT_EQ(ImgKitToQImage(cut), seal.copy(2, 1, 4, 4));

    const ImgKitImage half = ImgKitImageSize(image, {}, {}, 4, 4);
    ASSERT_TRUE(ImgKitHasAlpha(half));
    const QImage halved = ImgKitToQImage(half);
    EXPECT_EQ(halved.pixel(0, 0), qRgba(255, 0, 0, 255));
    EXPECT_EQ(qAlpha(halved.pixel(3, 0)), 0);
    for (int x = 0; x < 4; ++x) {
        if (qAlpha(halved.pixel(x, 2)) > 0) {
            EXPECT_EQ(qRed(halved.pixel(x, 2)), 255) << x << ": the ink's colour at its edge too";
        }
    }

    const ImgKitImage reduced = ImgKitConvertColor(image, 8, 0, 1, {}, {});
    ImageInfoRecord info;
    ASSERT_TRUE(ImgKitImageInfo(reduced, info));
    EXPECT_EQ(info.ColorType, kColorType8BitColor);
    EXPECT_EQ(ImgKitToQImage(reduced).pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(ImgKitToQImage(reduced).pixel(7, 7), qRgb(255, 255, 255)) << "laid over white";
    for (const ImgKitImage made : {image, cut, half, reduced})
        ImgKitMemFree(made);
}

} // namespace
