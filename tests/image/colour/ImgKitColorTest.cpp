#include "image/ImgKit.h"
#include "image/Quantize.h"
#include "tests/image/colour/ColourPictures.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace velmr::image;
using namespace velmr::test;

namespace {

std::uint32_t Key(Rgb c)
{
    return std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b;
}

class ImgKitColorTest : public ::testing::Test
{
protected:
    void SetUp() override { ImgKitLoadLibrary(); }
    void TearDown() override
    {
        EXPECT_EQ(ImgKitLiveImageCount(), 0u) << "every picture freed";
        ImgKitUnloadLibrary();
    }

    // Converts, checks the result is a new picture and the input is untouched.
    ImgKitImage Convert(ImgKitImage input, int bits, int palette, int dither)
    {
        const std::vector<std::uint8_t> before(ImgKitLock(input).begin(), ImgKitLock(input).end());
        const ImgKitImage result = ImgKitConvertColor(
            input, bits, palette, dither, QStringLiteral("減色"), QStringLiteral("処理中"));
        EXPECT_NE(result, 0u);
        EXPECT_NE(result, input);
        const auto after = ImgKitLock(input);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin(), after.end()));
        if (result != 0) {
            EXPECT_EQ(View(result).Bits(), bits);
        }
        return result;
    }

    static std::int32_t ColorType(ImgKitImage image)
    {
        ImageInfoRecord info;
        EXPECT_TRUE(ImgKitImageInfo(image, info));
        return info.ColorType;
    }

    ScriptedDialogs dialogs;
};

TEST_F(ImgKitColorTest, WidensEveryDepthTo24BitsExactly)
{
    struct Pixel
    {
        std::uint32_t raw;
        Rgb expected;
    };
    struct Case
    {
        const char* name;
        int bits;
        std::vector<Rgb> table;
        std::uint32_t compression;
        std::vector<std::uint32_t> masks;
        std::vector<Pixel> pixels;
    };
    const std::vector<Case> cases = {
        {"1 bit",
         1,
         {{10, 20, 30}, {200, 150, 100}},
         0,
         {},
         {{0, {10, 20, 30}}, {1, {200, 150, 100}}}},
        {"4 bits, 3 colours",
         4,
         {{1, 2, 3}, {250, 0, 7}, {9, 99, 199}},
         0,
         {},
         {{0, {1, 2, 3}}, {1, {250, 0, 7}}, {2, {9, 99, 199}}, {7, {0, 0, 0}}, {15, {0, 0, 0}}}},
        {"8 bits",
         8,
         {{0, 0, 0}, {255, 255, 255}, {17, 34, 51}, {128, 64, 32}},
         0,
         {},
         {{3, {128, 64, 32}}, {2, {17, 34, 51}}, {1, {255, 255, 255}}, {200, {0, 0, 0}}}},
        {"16 bits 5-5-5",
         16,
         {},
         0,
         {},
         {{0x7C00, {255, 0, 0}},
          {0x03E0, {0, 255, 0}},
          {0x001F, {0, 0, 255}},
          {0x4210, {132, 132, 132}},
          {0x0421, {8, 8, 8}},
          {0x8000, {0, 0, 0}},
          {0x7FFF, {255, 255, 255}}}},
        {"16 bits 5-6-5 fields",
         16,
         {},
         3,
         {0xF800, 0x07E0, 0x001F},
         {{0xF800, {255, 0, 0}},
          {0x07E0, {0, 255, 0}},
          {0x0020, {0, 4, 0}},
          {0x0800, {8, 0, 0}},
          {0x8410, {132, 130, 132}}}},
        {"32 bits",
         32,
         {},
         0,
         {},
         {{0xFF112233, {0x11, 0x22, 0x33}}, {0x00FEDCBA, {0xFE, 0xDC, 0xBA}}}},
        {"32 bits, red in the low byte",
         32,
         {},
         3,
         {0x000000FF, 0x0000FF00, 0x00FF0000},
         {{0xAA332211, {0x11, 0x22, 0x33}}}},
        {"32 bits 10-10-10 fields",
         32,
         {},
         3,
         {0x3FF00000, 0x000FFC00, 0x000003FF},
         {{0x3FF00000, {255, 0, 0}}, {0x00080003, {0, 128, 0}}, {0x3FFFFFFF, {255, 255, 255}}}},
    };
    for (const Case& c : cases) {
        const int width = int(c.pixels.size()) + 2; // odd and even widths, padded rows
        DibBuilder builder(width, 3, c.bits, c.table, c.compression, c.masks);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                builder.Set(x, y, c.pixels[std::size_t(x + y) % c.pixels.size()].raw);
        const ImgKitImage input = builder.Make();
        ASSERT_NE(input, 0u) << c.name;
        const ImgKitImage result = Convert(input, 24, 0, 0);
        ASSERT_NE(result, 0u) << c.name;
        EXPECT_EQ(ColorType(result), kColorType24Bit);
        const DibView view = View(result);
        ASSERT_EQ(view.Width(), width);
        ASSERT_EQ(view.Height(), 3);
        EXPECT_EQ(Get32(view.bytes, 24), 3780u) << "resolution kept";
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < width; ++x) {
                const Pixel& p = c.pixels[std::size_t(x + y) % c.pixels.size()];
                EXPECT_EQ(Key(view.At(x, y)), Key(p.expected))
                    << c.name << " raw " << std::hex << p.raw << " at " << std::dec << x << ","
                    << y;
            }
        }
        ImgKitMemFree(result);
        ImgKitMemFree(input);
    }
}

TEST_F(ImgKitColorTest, ReturnsTheInputWhenNothingChanges)
{
    struct Case
    {
        int sourceBits;
        int bits, palette, dither;
    };
    const Case cases[] = {
        {24, 24, 0, 0}, {24, 24, 1, 1}, {8, 8, 0, 1}, {8, 8, 1, 0},
        {4, 4, 0, 0},   {4, 4, 1, 1},   {1, 1, 0, 1}, {1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        const std::size_t entries = c.sourceBits <= 8 ? std::size_t(1) << c.sourceBits : 0;
        const ImgKitImage input =
            DibBuilder(9, 4, c.sourceBits, std::vector<Rgb>(entries, Rgb{40, 80, 120})).Make();
        ASSERT_NE(input, 0u);
        EXPECT_EQ(ImgKitConvertColor(input, c.bits, c.palette, c.dither, {}, {}), input)
            << c.sourceBits << " to " << c.bits;
        EXPECT_EQ(ImgKitLiveImageCount(), 1u);
        ImgKitMemFree(input);
    }
    EXPECT_TRUE(dialogs.progress.empty()) << "no work, no progress display";
}

TEST_F(ImgKitColorTest, RefusesWhatItCannotDo)
{
    const ImgKitImage input = DibBuilder(8, 8, 24).Make();
    struct Case
    {
        int bits, palette, dither;
    };
    const Case cases[] = {{0, 0, 0}, {2, 0, 0},  {16, 0, 0}, {32, 0, 0}, {-8, 0, 0},
                          {8, 2, 0}, {8, -1, 1}, {4, 3, 0},  {8, 0, 2},  {1, 0, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(ImgKitConvertColor(input, c.bits, c.palette, c.dither, {}, {}), 0u)
            << c.bits << " bits, palette " << c.palette << ", dither " << c.dither;
    EXPECT_EQ(ImgKitConvertColor(input + 999, 8, 0, 0, {}, {}), 0u) << "unknown handle";
    EXPECT_EQ(ImgKitConvertColor(0, 24, 0, 0, {}, {}), 0u);
    EXPECT_EQ(ImgKitLiveImageCount(), 1u);
    ImgKitMemFree(input);
}

TEST_F(ImgKitColorTest, OnePixelPictures)
{
    const ImgKitImage input = DibBuilder(1, 1, 24).SetRgb(0, 0, {200, 30, 90}).Make();
    struct Case
    {
        int bits, palette, dither;
        Rgb expected;
        std::size_t tableEntries;
    };
    const Case cases[] = {
        {8, 0, 1, {200, 30, 90}, 1},    {8, 0, 0, {200, 30, 90}, 1},
        {4, 0, 1, {200, 30, 90}, 1},    {8, 1, 0, {204, 51, 102}, 256},
        {8, 1, 1, {204, 51, 102}, 256}, {4, 1, 0, {128, 0, 128}, 16},
        {1, 0, 1, {0, 0, 0}, 2},        {1, 0, 0, {0, 0, 0}, 2},
    };
    for (const Case& c : cases) {
        const ImgKitImage result = Convert(input, c.bits, c.palette, c.dither);
        ASSERT_NE(result, 0u);
        const DibView view = View(result);
        EXPECT_EQ(view.ColoursUsed(), c.tableEntries) << c.bits << "/" << c.palette;
        EXPECT_EQ(Key(view.At(0, 0)), Key(c.expected)) << c.bits << "/" << c.palette;
        // And back to 24 bits.
        const ImgKitImage wide = Convert(result, 24, 0, 0);
        EXPECT_EQ(Key(View(wide).At(0, 0)), Key(c.expected));
        ImgKitMemFree(wide);
        ImgKitMemFree(result);
    }
    ImgKitMemFree(input);
}

TEST_F(ImgKitColorTest, OptimisedPaletteHoldsExactlyThePicturesColours)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> level(0, 255);
    std::vector<Rgb> colours;
    std::set<std::uint32_t> keys;
    while (colours.size() < 256) {
        const Rgb c{std::uint8_t(level(random)), std::uint8_t(level(random)),
                    std::uint8_t(level(random))};
        if (keys.insert(Key(c)).second)
            colours.push_back(c);
    }
    struct Case
    {
        int bits;
        std::size_t used;
        int width;
    };
    const Case cases[] = {{8, 256, 40}, {8, 200, 33}, {8, 2, 3}, {4, 16, 7}, {4, 11, 5}, {4, 3, 6}};
    for (const Case& c : cases) {
        const auto colourAt = [&](int x, int y) {
            return colours[std::size_t(x + 17 * y) % c.used];
        };
        const ImgKitImage input = DibBuilder(c.width, 19, 24).Fill(colourAt).Make();
        for (const int dither : {0, 1}) {
            const ImgKitImage result = Convert(input, c.bits, 0, dither);
            ASSERT_NE(result, 0u);
            const DibView view = View(result);
            EXPECT_EQ(view.ColoursUsed(), c.used) << c.bits << " bits, " << c.used << " colours";
            std::set<std::uint32_t> table;
            for (const Rgb t : view.table)
                table.insert(Key(t));
            EXPECT_EQ(table.size(), c.used) << "each colour once";
            for (int y = 0; y < 19; ++y)
                for (int x = 0; x < c.width; ++x)
                    ASSERT_EQ(Key(view.At(x, y)), Key(colourAt(x, y)))
                        << c.bits << " bits, " << c.used << " colours at " << x << "," << y;
            // Bits past the last pixel of a row stay clear.
            if (c.bits == 4 && c.width % 2) {
                EXPECT_EQ(view.Row(0)[c.width / 2] & 0x0F, 0);
            }
            ImgKitMemFree(result);
        }
        ImgKitMemFree(input);
    }
}

TEST_F(ImgKitColorTest, GreyPicturesGetGreyPalettes)
{
    const ImgKitImage input =
        DibBuilder(64, 8, 24)
            .Fill([](int x, int) {
                return Rgb{std::uint8_t(x * 4), std::uint8_t(x * 4), std::uint8_t(x * 4)};
            })
            .Make();
    const ImgKitImage eight = Convert(input, 8, 0, 1);
    EXPECT_EQ(ColorType(eight), kColorType8BitGrey);
    const ImgKitImage four = Convert(input, 4, 0, 1);
    EXPECT_EQ(ColorType(four), kColorType4BitGrey);
    const ImgKitImage vga = Convert(input, 4, 1, 1);
    EXPECT_EQ(ColorType(vga), kColorType4BitColor);
    for (const ImgKitImage image : {eight, four, vga, input})
        ImgKitMemFree(image);
}

TEST_F(ImgKitColorTest, FixedPalettesAreWrittenWhole)
{
    const Palette vga = StandardPalette16();
    // A picture of VGA colours keeps them under either palette and either method.
    const auto vgaAt = [&](int x, int y) { return vga[std::size_t(x * 3 + y) % 16]; };
    const ImgKitImage input = DibBuilder(21, 9, 24).Fill(vgaAt).Make();
    struct Case
    {
        int bits;
        Palette table;
    };
    const Case cases[] = {{8, StandardPalette256()}, {4, vga}};
    for (const Case& c : cases) {
        for (const int dither : {0, 1}) {
            const ImgKitImage result = Convert(input, c.bits, 1, dither);
            ASSERT_NE(result, 0u);
            const DibView view = View(result);
            EXPECT_EQ(view.ColoursUsed(), c.table.size());
            EXPECT_EQ(view.table, c.table) << c.bits << " bits";
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 21; ++x)
                    EXPECT_EQ(Key(view.At(x, y)), Key(vgaAt(x, y))) << x << "," << y;
            ImgKitMemFree(result);
        }
    }
    ImgKitMemFree(input);
}

TEST_F(ImgKitColorTest, BlackAndWhite)
{
    // Threshold on luminance: 127 stays black, 128 turns white; red 76, green 150, blue 29.
    const Rgb colours[] = {{127, 127, 127}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
                           {0, 0, 255},     {255, 255, 0},   {0, 0, 0},     {255, 255, 255},
                           {150, 120, 90},  {160, 120, 90},  {30, 200, 80}, {250, 60, 250},
                           {10, 10, 10}};
    const int expected[] = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0};
    const ImgKitImage input =
        DibBuilder(13, 2, 24).Fill([&](int x, int) { return colours[x]; }).Make();
    const ImgKitImage result = Convert(input, 1, 0, 0);
    ASSERT_NE(result, 0u);
    const DibView view = View(result);
    EXPECT_EQ(ColorType(result), kColorType1Bit);
    EXPECT_EQ(view.ColoursUsed(), 2u);
    EXPECT_EQ(view.table, BlackWhitePalette());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 13; ++x)
            EXPECT_EQ(view.Index(x, y), expected[x]) << x;
    EXPECT_EQ(view.Row(0)[1] & 0x07, 0) << "bits past the row's end stay clear";
    ImgKitMemFree(result);
    ImgKitMemFree(input);

    // Diffused, 50 % grey comes out half white, evenly over the picture.
    const ImgKitImage grey = DibBuilder(100, 80, 24)
                                 .Fill([](int, int) {
                                     return Rgb{128, 128, 128};
                                 })
                                 .Make();
    const ImgKitImage halftone = Convert(grey, 1, 0, 1);
    const DibView bits = View(halftone);
    int white = 0, topWhite = 0;
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 100; ++x) {
            white += bits.Index(x, y);
            topWhite += y < 40 ? bits.Index(x, y) : 0;
        }
    }
    EXPECT_NEAR(white / 8000.0, 0.5, 0.01);
    EXPECT_NEAR(topWhite / 4000.0, 0.5, 0.015);
    ImgKitMemFree(halftone);
    ImgKitMemFree(grey);
}

TEST_F(ImgKitColorTest, PhotoLikePictureReducesWell)
{
    const ImgKitImage input = DibBuilder(200, 150, 24)
                                  .Fill([](int x, int y) { return PhotoLike(x, y, 200, 150); })
                                  .Make();
    const DibView original = View(input);
    struct Case
    {
        int bits, palette, dither;
        double bound; // mean squared error per channel
    };
    // Bounds a little above what the palettes give (see QuantizeTest); diffusion doubles the
    // squared error or more for the shades it mixes; black and white of a mid-toned picture errs
    // by about v (255 - v) for each level v, ≈ 16000 around mid grey.
    const Case cases[] = {{8, 0, 0, 18},  {8, 0, 1, 45},  {4, 0, 0, 140},
                          {4, 0, 1, 420}, {8, 1, 1, 480}, {1, 0, 1, 20000}};
    double previous = 0;
    for (const Case& c : cases) {
        const ImgKitImage result = Convert(input, c.bits, c.palette, c.dither);
        ASSERT_NE(result, 0u);
        const double error = MeanSquaredError(original, View(result));
        EXPECT_LT(error, c.bound) << c.bits << " bits, palette " << c.palette << ", dither "
                                  << c.dither;
        EXPECT_GT(error, previous) << "fewer or worse colours, more error";
        previous = error;
        ImgKitMemFree(result);
    }
    ImgKitMemFree(input);
}

TEST_F(ImgKitColorTest, ReportsProgressAndStopsWhenCancelled)
{
    struct Case
    {
        int sourceBits;
        int bits, palette, dither;
    };
    const Case cases[] = {{8, 24, 0, 0}, {16, 24, 0, 0}, {24, 8, 0, 1}, {24, 8, 0, 0},
                          {24, 8, 1, 1}, {24, 4, 0, 1},  {24, 4, 1, 0}, {24, 1, 0, 1},
                          {24, 1, 0, 0}, {8, 4, 0, 1}};
    std::vector<Rgb> table;
    for (int i = 0; i < 256; ++i)
        table.push_back({std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7)});
    for (const Case& c : cases) {
        DibBuilder builder(64, 48, c.sourceBits, c.sourceBits == 8 ? table : std::vector<Rgb>{});
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                builder.Set(x, y, std::uint32_t(x * 40503u + y * 9973u) & 0xFFFFFFu);
        const ImgKitImage input = builder.Make();
        const std::vector<std::uint8_t> before = builder.Bytes();

        dialogs.progress.clear();
        dialogs.cancelProgressAfter = -1;
        const ImgKitImage done = ImgKitConvertColor(
            input, c.bits, c.palette, c.dither, QStringLiteral("減色"), QStringLiteral("処理中"));
        ASSERT_NE(done, 0u);
        ImgKitMemFree(done);
        ASSERT_EQ(dialogs.progress.size(), 1u);
        EXPECT_EQ(dialogs.progress[0].title, QStringLiteral("減色"));
        EXPECT_EQ(dialogs.progress[0].message, QStringLiteral("処理中"));
        EXPECT_TRUE(dialogs.progress[0].cancellable);
        EXPECT_GE(dialogs.progress[0].reports, 10) << "regular reports";
        EXPECT_TRUE(dialogs.progress[0].finished);

        dialogs.progress.clear();
        dialogs.cancelProgressAfter = 2;
        EXPECT_EQ(ImgKitConvertColor(input, c.bits, c.palette, c.dither, {}, {}), 0u)
            << c.sourceBits << " to " << c.bits;
        ASSERT_EQ(dialogs.progress.size(), 1u);
        EXPECT_EQ(dialogs.progress[0].reports, 3) << "stops at the first refusal";
        EXPECT_TRUE(dialogs.progress[0].finished);
        EXPECT_EQ(ImgKitLiveImageCount(), 1u) << "nothing left behind";
        const auto after = ImgKitLock(input);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin(), after.end()));
        ImgKitMemFree(input);
    }
}

TEST_F(ImgKitColorTest, WideResultsBeyondTheLimitAreRefused)
{
    // One bit a pixel at 20000 × 4500 is 11 MB; at 24 bits it would pass 256 MiB.
    const ImgKitImage input = DibBuilder(20000, 4500, 1, std::vector<Rgb>(2)).Make();
    ASSERT_NE(input, 0u);
    EXPECT_EQ(ImgKitConvertColor(input, 24, 0, 0, {}, {}), 0u);
    EXPECT_TRUE(dialogs.progress.empty()) << "refused before any work";
    ImgKitMemFree(input);
}

} // namespace
