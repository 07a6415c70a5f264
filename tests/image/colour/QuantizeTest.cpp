#include "image/Quantize.h"

#include "tests/image/colour/ColourPictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <tuple>

using namespace velmr::image;
using velmr::test::PhotoLike;

namespace {

std::uint32_t Key(Rgb c)
{
    return std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b;
}

// A true-colour picture in memory, B, G, R rows top-down.
struct Pixels
{
    int width;
    int height;
    std::vector<std::uint8_t> bgr;

    Pixels(int w, int h, const std::function<Rgb(int, int)>& colour)
        : width(w), height(h), bgr(3 * std::size_t(w) * std::size_t(h))
    {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const Rgb c = colour(x, y);
                std::uint8_t* p =
                    bgr.data() + 3 * (std::size_t(y) * std::size_t(w) + std::size_t(x));
                p[0] = c.b;
                p[1] = c.g;
                p[2] = c.r;
            }
        }
    }
    Rgb At(int x, int y) const
    {
        const std::uint8_t* p =
            bgr.data() + 3 * (std::size_t(y) * std::size_t(width) + std::size_t(x));
        return {p[2], p[1], p[0]};
    }
    BgrRows Rows() const { return BgrRows(bgr.data(), 3 * std::ptrdiff_t(width), width, height); }
};

using Mapper = std::function<bool(RowSource&, const IndexRowSink&)>;

// The indices of every pixel, top-down, as the mapping delivered them.
std::vector<std::uint8_t> MapAll(const Pixels& pixels, const Mapper& map)
{
    std::vector<std::uint8_t> indices;
    int expectedRow = 0;
    BgrRows rows = pixels.Rows();
    const bool finished = map(rows, [&](int y, const std::uint8_t* row) {
        EXPECT_EQ(y, expectedRow++);
        indices.insert(indices.end(), row, row + pixels.width);
        return true;
    });
    EXPECT_TRUE(finished);
    return indices;
}

Mapper Nearest(const Palette& palette)
{
    return
        [palette](RowSource& s, const IndexRowSink& sink) { return MapNearest(s, palette, sink); };
}

Mapper Diffused(const Palette& palette)
{
    return [palette](RowSource& s, const IndexRowSink& sink) {
        return MapFloydSteinberg(s, palette, sink);
    };
}

// Mean squared error per channel of a mapping against the picture.
double MappingError(const Pixels& pixels, const Palette& palette, const Mapper& map)
{
    const std::vector<std::uint8_t> indices = MapAll(pixels, map);
    double sum = 0;
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x)
            sum += Distance2(
                pixels.At(x, y),
                palette[indices[std::size_t(y) * std::size_t(pixels.width) + std::size_t(x)]]);
    return sum / (3.0 * pixels.width * pixels.height);
}

Palette PaletteFor(const Pixels& pixels, int colours)
{
    ColorHistogram histogram(colours);
    BgrRows rows = pixels.Rows();
    for (int y = 0; y < pixels.height; ++y)
        histogram.AddRow(rows.Row(y), pixels.width);
    return OptimisedPalette(histogram, colours);
}

Pixels Photo(int w, int h)
{
    return Pixels(w, h, [w, h](int x, int y) { return PhotoLike(x, y, w, h); });
}

Pixels Flat(int w, int h, Rgb c)
{
    return Pixels(w, h, [c](int, int) { return c; });
}

TEST(StandardPalettes, SystemPaletteHasTheTwentyStaticColoursInPlace)
{
    const Palette palette = StandardPalette256();
    ASSERT_EQ(palette.size(), 256u);
    const std::pair<int, std::uint32_t> statics[] = {
        {0, 0x000000},   {1, 0x800000},   {2, 0x008000},   {3, 0x808000},   {4, 0x000080},
        {5, 0x800080},   {6, 0x008080},   {7, 0xC0C0C0},   {8, 0xC0DCC0},   {9, 0xA6CAF0},
        {246, 0xFFFBF0}, {247, 0xA0A0A4}, {248, 0x808080}, {249, 0xFF0000}, {250, 0x00FF00},
        {251, 0xFFFF00}, {252, 0x0000FF}, {253, 0xFF00FF}, {254, 0x00FFFF}, {255, 0xFFFFFF},
    };
    for (const auto& [index, rgb] : statics)
        EXPECT_EQ(Key(palette[std::size_t(index)]), rgb) << "entry " << index;
}

TEST(StandardPalettes, SystemPaletteIsDistinctAndHoldsTheWholeCube)
{
    const Palette palette = StandardPalette256();
    std::set<std::uint32_t> keys;
    for (const Rgb c : palette)
        keys.insert(Key(c));
    EXPECT_EQ(keys.size(), 256u) << "no colour twice";
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) {
                EXPECT_TRUE(keys.count(std::uint32_t(51 * r) << 16 | std::uint32_t(51 * g) << 8 |
                                       std::uint32_t(51 * b)))
                    << r << g << b;
            }
    // What the cube and the static colours leave is greys.
    int greys = 0;
    for (std::size_t i = 10; i < 246; ++i) {
        const Rgb c = palette[i];
        const bool cube = c.r % 51 == 0 && c.g % 51 == 0 && c.b % 51 == 0;
        EXPECT_TRUE(cube || (c.r == c.g && c.g == c.b)) << "entry " << i;
        greys += cube ? 0 : 1;
    }
    EXPECT_EQ(greys, 28);
}

TEST(StandardPalettes, VgaColoursInTheWindowsOrderAndBlackWhite)
{
    const std::uint32_t vga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    const Palette palette = StandardPalette16();
    ASSERT_EQ(palette.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(Key(palette[i]), vga[i]) << "entry " << i;
    const Palette bw = BlackWhitePalette();
    ASSERT_EQ(bw.size(), 2u);
    EXPECT_EQ(Key(bw[0]), 0x000000u);
    EXPECT_EQ(Key(bw[1]), 0xFFFFFFu);
}

TEST(NearestColor, MatchesABruteForceSearch)
{
    std::mt19937 random(7);
    const auto randomPalette = [&](int n, int spread) {
        Palette p;
        std::uniform_int_distribution<int> level(0, spread);
        for (int i = 0; i < n; ++i)
            p.push_back({std::uint8_t(level(random)), std::uint8_t(level(random)),
                         std::uint8_t(level(random))});
        return p;
    };
    Palette twice = randomPalette(40, 255); // equal entries: the lowest index must win
    twice.insert(twice.end(), twice.begin(), twice.end());
    const std::pair<const char*, Palette> palettes[] = {
        {"system", StandardPalette256()},
        {"vga", StandardPalette16()},
        {"black and white", BlackWhitePalette()},
        {"random 256", randomPalette(256, 255)},
        {"random 7", randomPalette(7, 255)},
        {"dark cluster", randomPalette(64, 40)},
        {"duplicates", twice},
        {"one colour", randomPalette(1, 255)},
    };
    std::vector<Rgb> probes;
    std::uniform_int_distribution<int> level(0, 255);
    for (int i = 0; i < 20000; ++i)
        probes.push_back({std::uint8_t(level(random)), std::uint8_t(level(random)),
                          std::uint8_t(level(random))});
    for (int v = 0; v < 256; ++v)
        probes.push_back({std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)});
    for (int corner = 0; corner < 8; ++corner)
        probes.push_back({std::uint8_t(corner & 1 ? 255 : 0), std::uint8_t(corner & 2 ? 255 : 0),
                          std::uint8_t(corner & 4 ? 255 : 0)});

    for (const auto& [name, palette] : palettes) {
        NearestColor nearest(palette);
        int mismatches = 0;
        for (const Rgb c : probes) {
            std::size_t best = 0;
            for (std::size_t i = 1; i < palette.size(); ++i)
                if (Distance2(c, palette[i]) < Distance2(c, palette[best]))
                    best = i;
            if (nearest.Find(c.r, c.g, c.b) != int(best) && ++mismatches <= 3)
                ADD_FAILURE() << name << ": " << int(c.r) << "," << int(c.g) << "," << int(c.b)
                              << " gave " << nearest.Find(c.r, c.g, c.b) << ", nearest is " << best;
        }
        EXPECT_EQ(mismatches, 0) << name;
    }
}

TEST(ColorHistogram, KnowsTheExactColoursUpToItsLimit)
{
    struct Case
    {
        int distinct;
        int limit;
        bool exact;
    };
    const Case cases[] = {{1, 256, true},   {16, 16, true},    {17, 16, false},
                          {256, 256, true}, {257, 256, false}, {3000, 256, false}};
    for (const Case& c : cases) {
        // Colours one apart in red share cells of the histogram but stay apart in the list.
        std::vector<std::uint8_t> row;
        for (int i = 0; i < c.distinct; ++i) {
            const Rgb colour{std::uint8_t(i % 256), std::uint8_t(i / 256 * 7), 9};
            for (int repeat = 0; repeat < 1 + i % 3; ++repeat)
                row.insert(row.end(), {colour.b, colour.g, colour.r});
        }
        ColorHistogram histogram(c.limit);
        histogram.AddRow(row.data(), int(row.size() / 3));
        EXPECT_EQ(histogram.PixelCount(), row.size() / 3);
        const std::optional<Palette> exact = histogram.ExactColors();
        ASSERT_EQ(exact.has_value(), c.exact) << c.distinct << " colours, limit " << c.limit;
        if (!exact)
            continue;
        ASSERT_EQ(int(exact->size()), c.distinct);
        for (int i = 0; i < c.distinct; ++i)
            EXPECT_EQ(Key((*exact)[std::size_t(i)]), std::uint32_t(i) << 16 | 9u) << "ascending";
    }
}

TEST(OptimisedPalette, KeepsPicturesOfFewColoursExactly)
{
    // Neighbouring colours that a 5-bit histogram cannot tell apart, and scattered ones.
    std::vector<Rgb> colours = {{10, 10, 10}, {11, 10, 10}, {10, 11, 10}, {10, 10, 11}};
    std::mt19937 random(3);
    std::uniform_int_distribution<int> level(0, 255);
    while (colours.size() < 16)
        colours.push_back({std::uint8_t(level(random)), std::uint8_t(level(random)),
                           std::uint8_t(level(random))});
    const std::size_t sizes[] = {1, 2, 4, 16};
    for (const int wanted : {16, 256}) {
        for (const std::size_t n : sizes) {
            const Pixels pixels(23, 9,
                                [&](int x, int y) { return colours[std::size_t(x * 7 + y) % n]; });
            const Palette palette = PaletteFor(pixels, wanted);
            ASSERT_EQ(palette.size(), n) << "exactly the colours used";
            for (const Mapper& map : {Nearest(palette), Diffused(palette)})
                EXPECT_EQ(MappingError(pixels, palette, map), 0.0) << n << " colours of " << wanted;
        }
    }
}

// The optimised palette on a photograph-like picture. Its grain alone, uniform over 13 levels, has
// a variance of (13² - 1) / 12 = 14 per channel, which no palette of 256 colours can follow
// everywhere along the smooth parts, so the error of the nearest colours stays near that: it must
// stay below 18 (a plain octree reduction gives about 19 on this picture). The fixed palette
// steps by 51 levels, 51² / 12 ≈ 217 where the cube is all there is; the optimised one must be
// several times better. Sixteen colours: cells of about 60 levels a side, ≈ 300 if the colours
// filled the box; the picture's thin colour surface allows well under half of that.
TEST(OptimisedPalette, PhotoLikePictureQuality)
{
    const Pixels photo = Photo(320, 240);
    struct Case
    {
        int colours;
        Palette fixed;
        double bound; // mean squared error per channel, nearest colour
    };
    const Case cases[] = {{256, StandardPalette256(), 18.0}, {16, StandardPalette16(), 140.0}};
    for (const Case& c : cases) {
        const Palette palette = PaletteFor(photo, c.colours);
        EXPECT_EQ(int(palette.size()), c.colours);
        std::set<std::uint32_t> keys;
        for (const Rgb colour : palette)
            keys.insert(Key(colour));
        EXPECT_EQ(keys.size(), palette.size()) << "distinct entries";

        const double optimised = MappingError(photo, palette, Nearest(palette));
        const double fixed = MappingError(photo, c.fixed, Nearest(c.fixed));
        EXPECT_LT(optimised, c.bound) << c.colours << " colours";
        EXPECT_LT(optimised * 4, fixed)
            << c.colours << " colours: optimised " << optimised << ", fixed " << fixed;
        // Diffusion trades a little squared error for the lost shades, but not much.
        const double diffused = MappingError(photo, palette, Diffused(palette));
        EXPECT_LT(diffused, 3.5 * optimised) << c.colours << " colours";
    }
}

// Colours well inside what their palette can mix: near its gamut's edge the clamping trims
// errors on purpose, and the mean drifts a little towards the palette.
TEST(FloydSteinberg, FlatPatchesKeepTheirMean)
{
    struct Case
    {
        Rgb colour;
        Palette palette;
    };
    const Palette bw = BlackWhitePalette();
    const Case cases[] = {
        {{20, 20, 20}, bw},
        {{64, 64, 64}, bw},
        {{100, 100, 100}, bw},
        {{128, 128, 128}, bw},
        {{200, 200, 200}, bw},
        {{240, 240, 240}, bw},
        {{200, 100, 50}, StandardPalette256()},
        {{90, 170, 30}, StandardPalette256()},
        {{250, 240, 10}, StandardPalette256()},
        {{100, 110, 120}, StandardPalette16()},
        {{120, 60, 200}, StandardPalette256()},
    };
    for (const Case& c : cases) {
        const Pixels patch = Flat(64, 64, c.colour);
        const std::vector<std::uint8_t> indices = MapAll(patch, Diffused(c.palette));
        double sum[3] = {0, 0, 0};
        for (const std::uint8_t i : indices) {
            sum[0] += c.palette[i].r;
            sum[1] += c.palette[i].g;
            sum[2] += c.palette[i].b;
        }
        const double n = double(indices.size());
        EXPECT_NEAR(sum[0] / n, c.colour.r, 1.5) << int(c.colour.r);
        EXPECT_NEAR(sum[1] / n, c.colour.g, 1.5) << int(c.colour.g);
        EXPECT_NEAR(sum[2] / n, c.colour.b, 1.5) << int(c.colour.b);
    }
}

// Worked by hand: row 0 = 0, 100; row 1 = 100, 60 (greys) against black and white. Row 1 runs
// from the right: 60 + 31 (5/16 of row 0's error 100) stays black, and its error makes the left
// pixel 100 + 19 + 40 → white. In raster order the left pixel (119) would stay black and the right
// one (60 + 83) turn white.
TEST(FloydSteinberg, OddRowsRunRightToLeft)
{
    const Pixels pixels(2, 2, [](int x, int y) {
        const std::uint8_t v[2][2] = {{0, 100}, {100, 60}};
        return Rgb{v[y][x], v[y][x], v[y][x]};
    });
    const std::vector<std::uint8_t> expected = {0, 0, 1, 0};
    EXPECT_EQ(MapAll(pixels, Diffused(BlackWhitePalette())), expected);
    EXPECT_EQ(MapAll(pixels, [](RowSource& s,
                                const IndexRowSink& sink) { return MapBlackWhite(s, true, sink); }),
              expected);
}

// White beside black with a palette that has no white: every white pixel leaves an error of 127,
// which unclamped would pile up and spill over into the black; clamped, it stays at the border.
TEST(FloydSteinberg, ClampedErrorsDoNotBleed)
{
    const Pixels pixels(32, 32, [](int x, int) {
        return x < 16 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
    });
    const Palette palette = {{0, 0, 0}, {128, 128, 128}};
    const std::vector<std::uint8_t> indices = MapAll(pixels, Diffused(palette));
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int index = indices[std::size_t(y * 32 + x)];
            if (x < 16) {
                EXPECT_EQ(index, 1) << x << "," << y;
            } else if (x >= 18) {
                EXPECT_EQ(index, 0) << x << "," << y;
            }
        }
    }
}

TEST(BlackWhite, ThresholdOnBt601Luminance)
{
    struct Case
    {
        Rgb colour;
        int luminance;
        int white;
    };
    const Case cases[] = {
        {{0, 0, 0}, 0, 0},         {{255, 255, 255}, 255, 1}, {{127, 127, 127}, 127, 0},
        {{128, 128, 128}, 128, 1}, {{255, 0, 0}, 76, 0},      {{0, 255, 0}, 150, 1},
        {{0, 0, 255}, 29, 0},      {{255, 255, 0}, 226, 1},   {{0, 255, 255}, 179, 1},
        {{255, 0, 255}, 105, 0},   {{160, 120, 90}, 129, 1},  {{150, 120, 90}, 126, 0},
    };
    std::vector<std::uint8_t> expected;
    for (const Case& c : cases) {
        EXPECT_EQ(Luminance(c.colour.r, c.colour.g, c.colour.b), c.luminance)
            << int(c.colour.r) << "," << int(c.colour.g) << "," << int(c.colour.b);
        expected.push_back(std::uint8_t(c.white));
    }
    const Pixels row(int(std::size(cases)), 1, [&](int x, int) { return cases[x].colour; });
    EXPECT_EQ(MapAll(row, [](RowSource& s,
                             const IndexRowSink& sink) { return MapBlackWhite(s, false, sink); }),
              expected);
}

TEST(BlackWhite, DiffusedGreysGiveTheirShareOfWhite)
{
    for (const int level : {32, 64, 128, 192}) {
        const Pixels patch =
            Flat(80, 60, {std::uint8_t(level), std::uint8_t(level), std::uint8_t(level)});
        const std::vector<std::uint8_t> bits =
            MapAll(patch, [](RowSource& s, const IndexRowSink& sink) {
                return MapBlackWhite(s, true, sink);
            });
        const double white = double(std::count(bits.begin(), bits.end(), 1)) / double(bits.size());
        EXPECT_NEAR(white, level / 255.0, 0.01) << level;
    }
}

TEST(Mapping, StopsWhenTheSinkSaysSo)
{
    const Pixels photo = Photo(16, 10);
    const Palette palette = StandardPalette16();
    const Mapper mappers[] = {
        Nearest(palette),
        Diffused(palette),
        [](RowSource& s, const IndexRowSink& sink) { return MapBlackWhite(s, true, sink); },
        [](RowSource& s, const IndexRowSink& sink) { return MapBlackWhite(s, false, sink); },
    };
    for (const Mapper& map : mappers) {
        int rows = 0;
        BgrRows source = photo.Rows();
        EXPECT_FALSE(map(source, [&](int y, const std::uint8_t*) {
            ++rows;
            return y < 2;
        }));
        EXPECT_EQ(rows, 3);
    }
}

// The diffusion's quick match: exact for palettes of up to four entries; on full palettes it
// misses the nearest entry for very few colours, and then by little.
TEST(DiffusionColorMap, NearlyAlwaysTheNearestEntry)
{
    std::mt19937 random(11);
    const auto randomPalette = [&](int n, int spread) {
        Palette p;
        std::uniform_int_distribution<int> level(0, spread);
        for (int i = 0; i < n; ++i)
            p.push_back({std::uint8_t(level(random)), std::uint8_t(level(random)),
                         std::uint8_t(level(random))});
        return p;
    };
    struct Case
    {
        const char* name;
        Palette palette;
        double missShare; // of the probes
        double meanExtra; // extra distance of a miss, levels
    };
    const Case cases[] = {
        {"black and white", BlackWhitePalette(), 0, 0},
        {"one colour", randomPalette(1, 255), 0, 0},
        {"four colours", randomPalette(4, 255), 0, 0},
        {"vga", StandardPalette16(), 0.002, 2},
        {"system", StandardPalette256(), 0.004, 2},
        {"random 256", randomPalette(256, 255), 0.004, 2},
        {"dark cluster", randomPalette(64, 40), 0.004, 2},
    };
    std::uniform_int_distribution<int> level(0, 255);
    for (const Case& c : cases) {
        DiffusionColorMap quick(c.palette);
        NearestColor exact(c.palette);
        int misses = 0;
        double extra = 0;
        constexpr int kProbes = 30000;
        for (int i = 0; i < kProbes; ++i) {
            const Rgb colour{std::uint8_t(level(random)), std::uint8_t(level(random)),
                             std::uint8_t(level(random))};
            const int got = quick.Find(colour.r, colour.g, colour.b);
            ASSERT_GE(got, 0);
            ASSERT_LT(got, int(c.palette.size()));
            const int want = exact.Find(colour.r, colour.g, colour.b);
            const int dGot = Distance2(colour, c.palette[std::size_t(got)]);
            const int dWant = Distance2(colour, c.palette[std::size_t(want)]);
            ASSERT_GE(dGot, dWant);
            if (dGot > dWant) {
                ++misses;
                extra += std::sqrt(double(dGot)) - std::sqrt(double(dWant));
            }
        }
        EXPECT_LE(double(misses) / kProbes, c.missShare) << c.name;
        if (misses > 0) {
            EXPECT_LE(extra / misses, c.meanExtra) << c.name;
        }
        // Every entry's own colour finds an entry of that colour.
        for (const Rgb entry : c.palette)
            EXPECT_EQ(c.palette[std::size_t(quick.Find(entry.r, entry.g, entry.b))], entry)
                << c.name;
    }
}

// Lessened diffusion passes every error on where the picture is flat, so flat patches come out
// exactly as with the classic diffusion.
TEST(FloydSteinberg, LessenedDiffusionIsClassicOnFlatAreas)
{
    const Palette bw = BlackWhitePalette();
    const std::pair<Rgb, Palette> cases[] = {
        {{64, 64, 64}, bw},
        {{200, 200, 200}, bw},
        {{200, 100, 50}, StandardPalette256()},
        {{100, 110, 120}, StandardPalette16()},
    };
    for (const auto& [colour, palette] : cases) {
        const Pixels patch = Flat(70, 40, colour);
        const Mapper lessened = [palette](RowSource& s, const IndexRowSink& sink) {
            return MapFloydSteinberg(s, palette, sink, {kOptimisedPaletteTexture});
        };
        EXPECT_EQ(MapAll(patch, lessened), MapAll(patch, Diffused(palette))) << int(colour.r);
    }
}

// On a grainy photograph-like picture the lessened diffusion leaves less noise than the classic
// one with the same palette, and still less error than no diffusion where seen from afar.
TEST(FloydSteinberg, LessenedDiffusionLeavesLessNoiseOnGrain)
{
    const Pixels photo = Photo(320, 240);
    for (const int colours : {256, 16}) {
        const Palette palette = PaletteFor(photo, colours);
        const Mapper lessened = [palette](RowSource& s, const IndexRowSink& sink) {
            return MapFloydSteinberg(s, palette, sink, {kOptimisedPaletteTexture});
        };
        const double classic = MappingError(photo, palette, Diffused(palette));
        const double less = MappingError(photo, palette, lessened);
        const double nearest = MappingError(photo, palette, Nearest(palette));
        EXPECT_LT(less, classic) << colours;
        EXPECT_GE(less, nearest) << colours;
    }
}

// Wide rows are diffused as side-by-side strips; the strips leave no trace: a flat grey against
// black and white has its share of white in every band of columns, the strips' borders included.
TEST(FloydSteinberg, WideRowsShowNoStripBorders)
{
    for (const int width : {255, 256, 511, 512, 1201}) {
        const Pixels patch = Flat(width, 64, {100, 100, 100});
        const std::vector<std::uint8_t> bits = MapAll(patch, Diffused(BlackWhitePalette()));
        constexpr int kBand = 16;
        for (int from = 0; from + kBand <= width; from += kBand) {
            int white = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = from; x < from + kBand; ++x)
                    white += bits[std::size_t(y * width + x)];
            EXPECT_NEAR(double(white) / (64 * kBand), 100.0 / 255, 0.04)
                << "width " << width << ", columns from " << from;
        }
    }
}

TEST(ColorHistogram, BigPicturesAreSampledButTheirExactColoursAreNot)
{
    EXPECT_EQ(HistogramStep(0), 1);
    EXPECT_EQ(HistogramStep(2'000'000), 1);
    EXPECT_EQ(HistogramStep(2'000'001), 2);
    EXPECT_EQ(HistogramStep(12'000'000), 6);
    EXPECT_EQ(HistogramStep(89'478'485), 45);
    // A colour only at odd places is left out of the sampled cells but kept among the colours.
    std::vector<std::uint8_t> row;
    for (int x = 0; x < 10; ++x) {
        const Rgb c = x % 2 ? Rgb{200, 10, 10} : Rgb{10, 10, 200};
        row.insert(row.end(), {c.b, c.g, c.r});
    }
    ColorHistogram histogram(16);
    histogram.AddRow(row.data(), 10, 2, 0);
    EXPECT_EQ(histogram.PixelCount(), 5u);
    const auto& cell = histogram.Cells()[std::size_t((200 >> 3) << 10 | (10 >> 3) << 5 | 10 >> 3)];
    EXPECT_EQ(cell.count, 0u);
    const std::optional<Palette> exact = histogram.ExactColors();
    ASSERT_TRUE(exact.has_value());
    EXPECT_EQ(exact->size(), 2u);
    histogram.AddRow(row.data(), 10, 2, 1);
    EXPECT_EQ(histogram.PixelCount(), 10u);
    EXPECT_EQ(cell.count, 5u);
}

} // namespace
