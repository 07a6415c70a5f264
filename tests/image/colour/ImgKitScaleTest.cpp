#include "image/ImgKit.h"
#include "tests/image/colour/ColourPictures.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <random>

using namespace velmr::image;
using namespace velmr::test;

namespace {

std::uint32_t Key(Rgb c)
{
    return std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b;
}

Rgb Grey(int v)
{
    return {std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)};
}

class ImgKitScaleTest : public ::testing::Test
{
protected:
    void SetUp() override { ImgKitLoadLibrary(); }
    void TearDown() override
    {
        EXPECT_EQ(ImgKitLiveImageCount(), 0u) << "every picture freed";
        ImgKitUnloadLibrary();
    }

    // Scales, checks the result is a new 24-bit picture of that size and the input is untouched.
    static ImgKitImage Scale(ImgKitImage input, int width, int height)
    {
        const std::vector<std::uint8_t> before(ImgKitLock(input).begin(), ImgKitLock(input).end());
        const ImgKitImage result = ImgKitImageSize(input, QStringLiteral("サイズ変更"),
                                                   QStringLiteral("処理中"), width, height);
        EXPECT_NE(result, 0u);
        EXPECT_NE(result, input);
        const auto after = ImgKitLock(input);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin(), after.end()));
        ImageInfoRecord info;
        EXPECT_TRUE(ImgKitImageInfo(result, info));
        EXPECT_EQ(info.Width, width);
        EXPECT_EQ(info.Height, height);
        EXPECT_EQ(info.ColorType, kColorType24Bit);
        return result;
    }

    ScriptedDialogs dialogs;
};

TEST_F(ImgKitScaleTest, ConstantColourStaysConstant)
{
    struct Case
    {
        int fromWidth, fromHeight, width, height;
    };
    const Case cases[] = {{10, 7, 3, 2},    {10, 7, 23, 19},  {5, 5, 5, 12},  {9, 4, 2, 40},
                          {1, 1, 300, 200}, {17, 13, 16, 14}, {640, 3, 1, 1}, {3, 640, 7, 1000}};
    for (const Rgb colour :
         {Rgb{37, 201, 128}, Rgb{255, 255, 255}, Rgb{0, 0, 0}, Rgb{1, 254, 127}}) {
        for (const Case& c : cases) {
            const ImgKitImage input = DibBuilder(c.fromWidth, c.fromHeight, 24)
                                          .Fill([&](int, int) { return colour; })
                                          .Make();
            const ImgKitImage result = Scale(input, c.width, c.height);
            const DibView view = View(result);
            int wrong = 0;
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x)
                    wrong += Key(view.At(x, y)) != Key(colour);
            EXPECT_EQ(wrong, 0) << c.fromWidth << "x" << c.fromHeight << " to " << c.width << "x"
                                << c.height;
            ImgKitMemFree(result);
            ImgKitMemFree(input);
        }
    }
}

TEST_F(ImgKitScaleTest, ShrinkingByWholeFactorsAveragesBlocksExactly)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<int> level(0, 255);
    for (const int factor : {2, 3, 4}) {
        const int width = 5 * factor, height = 3 * factor;
        std::vector<Rgb> pixels;
        for (int i = 0; i < width * height; ++i)
            pixels.push_back({std::uint8_t(level(random)), std::uint8_t(level(random)),
                              std::uint8_t(level(random))});
        const auto at = [&](int x, int y) { return pixels[std::size_t(y * width + x)]; };
        const ImgKitImage input = DibBuilder(width, height, 24).Fill(at).Make();
        const ImgKitImage result = Scale(input, 5, 3);
        const DibView view = View(result);
        const int n = factor * factor;
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                int sum[3] = {0, 0, 0};
                for (int dy = 0; dy < factor; ++dy) {
                    for (int dx = 0; dx < factor; ++dx) {
                        const Rgb p = at(x * factor + dx, y * factor + dy);
                        sum[0] += p.r;
                        sum[1] += p.g;
                        sum[2] += p.b;
                    }
                }
                const Rgb expected{std::uint8_t((sum[0] + n / 2) / n),
                                   std::uint8_t((sum[1] + n / 2) / n),
                                   std::uint8_t((sum[2] + n / 2) / n)};
                EXPECT_EQ(Key(view.At(x, y)), Key(expected))
                    << "factor " << factor << " at " << x << "," << y;
            }
        }
        ImgKitMemFree(result);
        ImgKitMemFree(input);
    }
}

// Seven pixels to three: each output pixel covers 7/3 source pixels, so the middle one takes
// 2/3 of pixel 2, all of 3 and 2/3 of 4: (2 p2 + 3 p3 + 2 p4) / 7; the outer ones
// (3 p0 + 3 p1 + p2) / 7 and (p4 + 3 p5 + 3 p6) / 7.
TEST_F(ImgKitScaleTest, ShrinkingByFractionsCountsPartlyCoveredPixels)
{
    const int red[7] = {10, 20, 30, 40, 50, 60, 70};
    const int green[7] = {0, 255, 0, 255, 0, 255, 0};
    const int blue[7] = {7, 0, 0, 0, 0, 0, 14};
    const auto at = [&](int x, int) {
        return Rgb{std::uint8_t(red[x]), std::uint8_t(green[x]), std::uint8_t(blue[x])};
    };
    const Rgb expected[3] = {{17, 109, 3}, {40, 109, 0}, {63, 109, 6}};
    const ImgKitImage across = DibBuilder(7, 1, 24).Fill(at).Make();
    const ImgKitImage down = DibBuilder(1, 7, 24).Fill([&](int, int y) { return at(y, 0); }).Make();
    const ImgKitImage wide = Scale(across, 3, 1);
    const ImgKitImage tall = Scale(down, 1, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Key(View(wide).At(i, 0)), Key(expected[i])) << "across, pixel " << i;
        EXPECT_EQ(Key(View(tall).At(0, i)), Key(expected[i])) << "down, pixel " << i;
    }

    // Three to two both ways on a ramp 10 x + 50 y: weights 2/3 and 1/3 give 10/3 + 50/3 = 20,
    // 50/3 + 10·5/3 ≈ 33.3, 10/3 + 50·5/3 ≈ 86.7 and 100.
    const ImgKitImage ramp =
        DibBuilder(3, 3, 24).Fill([](int x, int y) { return Grey(10 * x + 50 * y); }).Make();
    const ImgKitImage small = Scale(ramp, 2, 2);
    const int levels[2][2] = {{20, 33}, {87, 100}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(Key(View(small).At(x, y)), Key(Grey(levels[y][x]))) << x << "," << y;
    for (const ImgKitImage image : {across, down, wide, tall, ramp, small})
        ImgKitMemFree(image);
}

TEST_F(ImgKitScaleTest, EnlargingKeepsTheEndsAndClampsTheOvershoot)
{
    struct Case
    {
        std::vector<int> levels;
        int to;
    };
    // Ramps and steps: the cubic reproduces the ramp and rises monotonically across a step once its
    // overshoot beside the step is clamped (unclamped, it would wrap round to the other extreme).
    const Case cases[] = {
        {{0, 85, 170, 255}, 37},
        {{0, 0, 0, 0, 255, 255, 255, 255}, 40}, // a hard edge: the cubic's overshoot is clamped
        {{200, 10}, 9},
        {{0, 0, 255, 255}, 1000},
    };
    for (const Case& c : cases) {
        const int n = int(c.levels.size());
        const ImgKitImage across =
            DibBuilder(n, 2, 24)
                .Fill([&](int x, int) { return Grey(c.levels[std::size_t(x)]); })
                .Make();
        const ImgKitImage down =
            DibBuilder(3, n, 24)
                .Fill([&](int, int y) { return Grey(c.levels[std::size_t(y)]); })
                .Make();
        const ImgKitImage wide = Scale(across, c.to, 5);
        const ImgKitImage tall = Scale(down, 4, c.to);
        const bool rising = c.levels.back() > c.levels.front();
        for (const auto& [image, isAcross] : {std::pair{wide, true}, std::pair{tall, false}}) {
            const DibView view = View(image);
            const auto level = [&](int i) {
                return int((isAcross ? view.At(i, 2) : view.At(2, i)).g);
            };
            EXPECT_EQ(level(0), c.levels.front()) << n << " to " << c.to;
            EXPECT_EQ(level(c.to - 1), c.levels.back()) << n << " to " << c.to;
            for (int i = 1; i < c.to; ++i) {
                if (rising)
                    ASSERT_GE(level(i), level(i - 1)) << n << " to " << c.to << " at " << i;
                else
                    ASSERT_LE(level(i), level(i - 1)) << n << " to " << c.to << " at " << i;
            }
        }
        for (const ImgKitImage image : {across, down, wide, tall})
            ImgKitMemFree(image);
    }
}

TEST_F(ImgKitScaleTest, OnePixelToThreeHundredByTwoHundred)
{
    const ImgKitImage input = DibBuilder(1, 1, 24).SetRgb(0, 0, {12, 34, 56}).Make();
    const ImgKitImage result = Scale(input, 300, 200);
    const DibView view = View(result);
    int wrong = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            wrong += Key(view.At(x, y)) != 0x0C2238u;
    EXPECT_EQ(wrong, 0);
    const ImgKitImage back = Scale(result, 1, 1);
    EXPECT_EQ(Key(View(back).At(0, 0)), 0x0C2238u);
    for (const ImgKitImage image : {input, result, back})
        ImgKitMemFree(image);
}

TEST_F(ImgKitScaleTest, RefusesImpossibleSizesBeforeAnyWork)
{
    const ImgKitImage input = DibBuilder(4, 4, 24).Make();
    const std::pair<int, int> sizes[] = {{20001, 1}, {1, 20001}, {0, 5},         {5, 0},
                                         {-1, 10},   {10, -1},   {20000, 20000}, {20000, 4474}};
    for (const auto& [width, height] : sizes)
        EXPECT_EQ(ImgKitImageSize(input, {}, {}, width, height), 0u) << width << "x" << height;
    EXPECT_EQ(ImgKitImageSize(input + 77, {}, {}, 2, 2), 0u) << "unknown handle";
    EXPECT_EQ(ImgKitImageSize(0, {}, {}, 2, 2), 0u);
    EXPECT_TRUE(dialogs.progress.empty()) << "refused before the work began";
    EXPECT_EQ(ImgKitLiveImageCount(), 1u);
    ImgKitMemFree(input);
}

TEST_F(ImgKitScaleTest, SameSizeIsTheInputOnlyForTrueColour)
{
    const ImgKitImage deep =
        DibBuilder(6, 4, 24).Fill([](int x, int y) { return Grey(x * 40 + y); }).Make();
    EXPECT_EQ(ImgKitImageSize(deep, {}, {}, 6, 4), deep);
    EXPECT_TRUE(dialogs.progress.empty());
    EXPECT_EQ(ImgKitLiveImageCount(), 1u);
    ImgKitMemFree(deep);

    const std::vector<Rgb> table = {{255, 0, 0}, {0, 0, 255}, {9, 8, 7}};
    DibBuilder builder(6, 4, 8, table);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            builder.Set(x, y, std::uint32_t(x + y) % 3);
    const ImgKitImage indexed = builder.Make();
    const ImgKitImage wide = Scale(indexed, 6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(Key(View(wide).At(x, y)), Key(table[std::size_t(x + y) % 3]));
    ImgKitMemFree(wide);
    ImgKitMemFree(indexed);
}

TEST_F(ImgKitScaleTest, IndexedAndPackedSourcesScaleThroughTheirColours)
{
    struct Case
    {
        int bits;
        std::vector<Rgb> table;
        std::uint32_t compression;
        std::vector<std::uint32_t> masks;
        std::uint32_t raw[4]; // the 2 × 2 block, row by row
        Rgb mean;
    };
    const Case cases[] = {
        {1, {{0, 0, 0}, {255, 255, 255}}, 0, {}, {0, 1, 1, 1}, {191, 191, 191}},
        {4,
         {{100, 0, 0}, {0, 100, 0}, {0, 0, 100}, {40, 40, 40}},
         0,
         {},
         {0, 1, 2, 3},
         {35, 35, 35}},
        {8, {{255, 0, 0}, {0, 0, 255}}, 0, {}, {0, 0, 1, 1}, {128, 0, 128}},
        {16, {}, 0, {}, {0x7C00, 0x7C00, 0x001F, 0x001F}, {128, 0, 128}},
        {32,
         {},
         3,
         {0x00FF0000, 0x0000FF00, 0x000000FF},
         {0x102030, 0x102030, 0x302010, 0x302010},
         {32, 32, 32}},
    };
    for (const Case& c : cases) {
        DibBuilder builder(4, 2, c.bits, c.table, c.compression, c.masks);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                builder.Set(x, y, c.raw[y * 2 + x % 2]);
        const ImgKitImage input = builder.Make();
        ASSERT_NE(input, 0u) << c.bits;
        const ImgKitImage result = Scale(input, 2, 1);
        EXPECT_EQ(Key(View(result).At(0, 0)), Key(c.mean)) << c.bits << " bits";
        EXPECT_EQ(Key(View(result).At(1, 0)), Key(c.mean)) << c.bits << " bits";
        ImgKitMemFree(result);
        ImgKitMemFree(input);
    }
}

TEST_F(ImgKitScaleTest, ReportsProgressAndStopsWhenCancelled)
{
    const ImgKitImage input = DibBuilder(200, 150, 24)
                                  .Fill([](int x, int y) { return PhotoLike(x, y, 200, 150); })
                                  .Make();
    const std::vector<std::uint8_t> before(ImgKitLock(input).begin(), ImgKitLock(input).end());
    const std::pair<int, int> sizes[] = {{97, 61}, {300, 200}, {1, 1}, {400, 20}};
    for (const auto& [width, height] : sizes) {
        dialogs.progress.clear();
        dialogs.cancelProgressAfter = -1;
        const ImgKitImage done = Scale(input, width, height);
        ImgKitMemFree(done);
        ASSERT_EQ(dialogs.progress.size(), 1u);
        EXPECT_EQ(dialogs.progress[0].title, QStringLiteral("サイズ変更"));
        EXPECT_EQ(dialogs.progress[0].message, QStringLiteral("処理中"));
        EXPECT_TRUE(dialogs.progress[0].cancellable);
        EXPECT_GE(dialogs.progress[0].reports, 50) << width << "x" << height;
        EXPECT_LE(dialogs.progress[0].reports, 110) << "not every pixel";

        dialogs.progress.clear();
        dialogs.cancelProgressAfter = 2;
        EXPECT_EQ(ImgKitImageSize(input, {}, {}, width, height), 0u) << width << "x" << height;
        ASSERT_EQ(dialogs.progress.size(), 1u);
        EXPECT_EQ(dialogs.progress[0].reports, 3);
        EXPECT_TRUE(dialogs.progress[0].finished);
        EXPECT_EQ(ImgKitLiveImageCount(), 1u);
        const auto after = ImgKitLock(input);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin(), after.end()));
    }
    ImgKitMemFree(input);
}

} // namespace
