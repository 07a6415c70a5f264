#include "image/JpegFile.h"

#include "image/ImgKit.h"
#include "tests/image/BmpBytes.h"
#include "tests/support/Pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <turbojpeg.h>

using namespace velmr::image;
using namespace velmr::test;

namespace {

// Peak signal-to-noise ratio of `b` against `a`, both 24-bit packed bitmaps of one size.
double Psnr(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b, int width, int height)
{
    double squares = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb p = DibPixel(a, x, y);
            const QRgb q = DibPixel(b, x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                squares += double(d) * d;
        }
    const double mean = squares / (3.0 * width * height);
    return mean == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mean);
}

std::vector<std::uint8_t> Smooth24(int width, int height)
{
    return PackedDib24(width, height, [](int x, int y) {
        return qRgb(x * 4, y * 5, 128 + int(60 * std::sin((x + y) / 9.0)));
    });
}

// The offset of the first FF `marker` in `file` (its size when there is none).
std::size_t Marker(const std::vector<std::uint8_t>& file, std::uint8_t marker)
{
    for (std::size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == marker)
            return i;
    return file.size();
}

int Colourspace(const std::vector<std::uint8_t>& jpeg)
{
    tjhandle handle = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = -1;
    tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &w, &h, &sub, &space);
    tjDestroy(handle);
    return space;
}

TEST(JpegFile, ColourRoundTripAtQuality90)
{
    const std::vector<std::uint8_t> dib = Smooth24(61, 47);
    const auto jpeg = JpegFileBytes(dib, 90);
    ASSERT_TRUE(jpeg);
    EXPECT_TRUE(LooksLikeJpeg(*jpeg));
    const auto back = ReadJpeg(*jpeg);
    ASSERT_TRUE(back);
    EXPECT_EQ(ColorTypeOf(*back), kColorType24Bit);
    EXPECT_EQ(Le32(*back, 4), 61u);
    EXPECT_EQ(Le32(*back, 8), 47u);
    EXPECT_GT(Psnr(dib, *back, 61, 47), 38.0);
    // Bottom-up decoding: the top-left corner is dark, the bottom-right one bright.
    EXPECT_LT(qRed(DibPixel(*back, 0, 0)), 10);
    EXPECT_GT(qGreen(DibPixel(*back, 60, 46)), 220);
}

TEST(JpegFile, GreyPicturesWriteGreyJpegsAndReadBackGrey)
{
    struct Case
    {
        const char* name;
        int colours; // a grey table of this many even steps
    };
    for (const Case c : {Case{"256-step ramp", 256}, Case{"16 levels in 8 bits", 16}}) {
        SCOPED_TRACE(c.name);
        std::vector<QRgb> table;
        for (int i = 0; i < c.colours; ++i) {
            const int level = i * 255 / (c.colours - 1);
            table.push_back(qRgb(level, level, level));
        }
        std::vector<std::uint8_t> dib =
            PackedDib(40, 30, 8, table, [&](int x, int y) { return (x / 4 + y / 10) % c.colours; });
        ASSERT_EQ(ColorTypeOf(dib), kColorType8BitGrey);
        const auto jpeg = JpegFileBytes(dib, 95);
        ASSERT_TRUE(jpeg);
        EXPECT_EQ(Colourspace(*jpeg), TJCS_GRAY);
        const auto back = ReadJpeg(*jpeg);
        ASSERT_TRUE(back);
        EXPECT_EQ(ColorTypeOf(*back), kColorType8BitGrey);
        EXPECT_EQ(Le32(*back, 32), 256u);
        int worst = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                worst = std::max(worst,
                                 std::abs(qRed(DibPixel(*back, x, y)) - qRed(DibPixel(dib, x, y))));
        EXPECT_LE(worst, 12);
    }
}

TEST(JpegFile, OtherDepthsAreNotWritten)
{
    std::vector<QRgb> two = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    std::vector<QRgb> colour(16, qRgb(200, 10, 10));
    const auto any = [](int x, int) { return x % 2; };
    const std::vector<std::vector<std::uint8_t>> refused = {
        PackedDib(8, 8, 1, two, any),
        PackedDib(8, 8, 4, two, any), // 4-bit grey
        PackedDib(8, 8, 8, colour, any),
        {},
    };
    for (const auto& dib : refused)
        EXPECT_FALSE(JpegFileBytes(dib, 80));
}

TEST(JpegFile, DamagedCutShortAndOversizedFilesAreRefused)
{
    const std::vector<std::uint8_t> jpeg = *JpegFileBytes(Smooth24(64, 48), 85);
    // The frame header: FF C0, length, precision, height, width.
    const std::size_t sof = Marker(jpeg, 0xC0);
    ASSERT_LT(sof, jpeg.size());
    const auto withSize = [&](int width, int height) {
        std::vector<std::uint8_t> file = jpeg;
        file[sof + 5] = std::uint8_t(height >> 8);
        file[sof + 6] = std::uint8_t(height);
        file[sof + 7] = std::uint8_t(width >> 8);
        file[sof + 8] = std::uint8_t(width);
        return file;
    };
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> bad = {
        {"empty", {}},
        {"start marker only", {0xFF, 0xD8, 0xFF}},
        {"headers only", std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + sof + 12)},
        {"cut in half", std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() / 2)},
        {"end marker missing", std::vector<std::uint8_t>(jpeg.begin(), jpeg.end() - 2)},
        {"width 0", withSize(0, 48)},
        {"width 20001", withSize(20001, 48)},
        {"20000 x 20000", withSize(20000, 20000)},
    };
    for (const auto& [name, file] : bad)
        EXPECT_FALSE(ReadJpeg(file)) << name;
    EXPECT_FALSE(ReadJpeg(jpeg, 64 * 3 * 48 - 1)) << "over the pixel limit";
    EXPECT_TRUE(ReadJpeg(jpeg, 64 * 3 * 48));

    // Stray bytes between two markers only draw a warning; the picture is whole.
    std::vector<std::uint8_t> stray = jpeg;
    stray.insert(stray.begin() + std::ptrdiff_t(Marker(stray, 0xDA)), {0x12, 0x34, 0x56});
    const auto clean = ReadJpeg(jpeg);
    const auto tolerated = ReadJpeg(stray);
    ASSERT_TRUE(tolerated);
    EXPECT_EQ(*tolerated, *clean);
}

TEST(JpegFile, CmykIsConvertedAsAdobeInvertedInks)
{
    // Four flat 16 × 16 patches of inverted CMYK (255 is no ink).
    const std::uint8_t inks[4][4] = {
        {255, 255, 255, 255}, {0, 255, 255, 255}, {255, 255, 255, 0}, {200, 100, 50, 128}};
    std::vector<std::uint8_t> cmyk(64 * 16 * 4);
    for (int x = 0; x < 64; ++x)
        for (int y = 0; y < 16; ++y)
            std::copy_n(inks[x / 16], 4, cmyk.begin() + (y * 64 + x) * 4);
    tjhandle handle = tjInitCompress();
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(
        tjCompress2(handle, cmyk.data(), 64, 0, 16, TJPF_CMYK, &buffer, &size, TJSAMP_444, 100, 0),
        0);
    const std::vector<std::uint8_t> jpeg(buffer, buffer + size);
    tjFree(buffer);
    tjDestroy(handle);

    const auto dib = ReadJpeg(jpeg);
    ASSERT_TRUE(dib);
    EXPECT_EQ(ColorTypeOf(*dib), kColorType24Bit);
    const QRgb expected[4] = {qRgb(255, 255, 255), qRgb(0, 255, 255), qRgb(0, 0, 0),
                              qRgb(100, 50, 25)};
    for (int patch = 0; patch < 4; ++patch) {
        const QRgb got = DibPixel(*dib, patch * 16 + 8, 8);
        EXPECT_NEAR(qRed(got), qRed(expected[patch]), 3) << patch;
        EXPECT_NEAR(qGreen(got), qGreen(expected[patch]), 3) << patch;
        EXPECT_NEAR(qBlue(got), qBlue(expected[patch]), 3) << patch;
    }
}

} // namespace
