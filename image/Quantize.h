#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The colour machinery behind colour reduction and scaling: pixel rows, histograms, palettes,
// nearest-colour search and the mapping of true-colour rows to palette indices.
namespace velmr::image {

struct DibLayout;

struct Rgb
{
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(Rgb, Rgb) = default;
};
using Palette = std::vector<Rgb>;

// Squared distance between two colours in RGB.
inline int Distance2(Rgb a, Rgb b)
{
    const int dr = int(a.r) - int(b.r);
    const int dg = int(a.g) - int(b.g);
    const int db = int(a.b) - int(b.b);
    return dr * dr + dg * dg + db * db;
}

// Luminance 0..255 with the ITU-R BT.601 weights (0.299, 0.587, 0.114), rounded.
inline int Luminance(int r, int g, int b)
{
    return (19595 * r + 38470 * g + 7471 * b + 32768) >> 16;
}

// A picture read row by row, each row `Width()` pixels of B, G, R bytes, the top row first.
class RowSource
{
public:
    virtual ~RowSource() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Row `y`; the bytes stay valid until the next call.
    virtual const std::uint8_t* Row(int y) = 0;
};

// Rows of B, G, R bytes in memory, `stride` bytes apart (negative for bottom-up storage).
class BgrRows final : public RowSource
{
public:
    BgrRows(const std::uint8_t* top, std::ptrdiff_t stride, int width, int height)
        : top_(top), stride_(stride), width_(width), height_(height)
    {}
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    const std::uint8_t* Row(int y) override { return top_ + y * stride_; }

private:
    const std::uint8_t* top_;
    std::ptrdiff_t stride_;
    int width_;
    int height_;
};

// The rows of a packed bitmap of any depth the library holds, widened to B, G, R: indexed
// pixels through the colour table (indices past its end read as black), 16-bit pixels through
// their masks (5-5-5 when there are none), 32-bit pixels without their fourth byte, and pixels
// with alpha as they look laid over white paper.
class DibRowReader final : public RowSource
{
public:
    DibRowReader(std::span<const std::uint8_t> dib, const DibLayout& layout);
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    const std::uint8_t* Row(int y) override;

private:
    struct Channel
    {
        std::uint32_t mask = 0;
        int shift = 0;                          // of the mask's lowest bit
        int drop = 0;                           // low bits dropped from fields wider than 8 bits
        std::array<std::uint8_t, 256> expand{}; // field value → 0..255
    };
    static Channel ChannelOf(std::uint32_t mask);

    const std::uint8_t* bits_;
    std::uint32_t rowBytes_;
    int width_;
    int height_;
    int bitCount_;
    bool alpha_;
    std::array<Rgb, 256> table_{};
    std::array<Channel, 3> channels_{}; // red, green, blue
    std::vector<std::uint8_t> row_;
};

// The colours of a picture counted in cells of 5 bits a channel, and, while there are at most
// `exactLimit` of them, the distinct colours themselves.
class ColorHistogram
{
public:
    static constexpr int kBits = 5;
    static constexpr int kSide = 1 << kBits;

    explicit ColorHistogram(int exactLimit);
    // Counts every pixel of the row.
    void AddRow(const std::uint8_t* bgr, int width) { AddRow(bgr, width, 1, 0); }
    // Counts every `step`-th pixel of the row from `first` on (a sample of a big picture). The
    // exact colours still see every pixel, as long as there are few enough of them.
    void AddRow(const std::uint8_t* bgr, int width, int step, int first);

    // The picture's distinct colours in ascending order, when there are at most `exactLimit`.
    std::optional<Palette> ExactColors() const;

    struct Cell
    {
        std::uint64_t count = 0;
        std::uint64_t sumR = 0;
        std::uint64_t sumG = 0;
        std::uint64_t sumB = 0;
        std::uint64_t sumSquares = 0; // r² + g² + b² over the cell's pixels
    };
    // Cells by index (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3).
    const std::vector<Cell>& Cells() const { return cells_; }
    // Pixels counted in the cells.
    std::uint64_t PixelCount() const { return pixels_; }

private:
    bool Remember(std::uint32_t colour);
    void RememberRow(const std::uint8_t* bgr, int width);

    std::vector<Cell> cells_;
    std::uint64_t pixels_ = 0;
    int exactLimit_;
    bool exact_ = true;
    std::uint32_t last_ = 0xFFFFFFFFu;
    std::vector<std::uint32_t> seen_; // open addressing, 0 empty, colour + 1 otherwise
    int seenCount_ = 0;
};

// How many pixels of a row to skip between the ones counted in the histogram of a picture of
// `pixels` pixels: 1 (every pixel) up to about two million pixels, so that the palette of a big
// photograph is found from a sample of that size.
int HistogramStep(std::uint64_t pixels);

// A palette of at most `colours` entries for the picture counted in `histogram`: its exact colours
// when there are that few, otherwise Wu's variance-minimising box cuts refined by a few k-means
// passes over the histogram cells. Entries are distinct.
Palette OptimisedPalette(const ColorHistogram& histogram, int colours);

// The 256 colours of the Windows system palette: the 20 static colours at 0–9 and 246–255, the
// 6 × 6 × 6 colour cube without the colours already there, then a ramp of greys.
Palette StandardPalette256();
// The 16 VGA colours in the Windows order.
Palette StandardPalette16();
// Black, white.
Palette BlackWhitePalette();

// Exact nearest palette entry (least squared RGB distance, the lowest index on ties) of a palette
// of at most 256 entries, without a scan of the whole palette: each cell of 8 × 8 × 8 colours
// keeps, built on first use, the few entries that can be nearest to some colour of the cell,
// sorted by their least distance to it. The cells pick theirs from the entries of blocks of
// 32 × 32 × 32 colours, found the same way.
class NearestColor
{
public:
    explicit NearestColor(const Palette& palette);

    int Find(int r, int g, int b)
    {
        const std::size_t cell = std::size_t((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
        std::uint32_t slot = cells_[cell];
        if (slot == kUnbuilt)
            slot = BuildCell(cell);
        const Candidate* c = candidates_.data() + (slot >> 8);
        if ((slot & 0xFF) == 0)
            return c->index; // the only one
        const Candidate* end = c + (slot & 0xFF) + 1;
        int best = 1 << 30;
        int bestIndex = 0;
        for (; c != end && c->bound <= best; ++c) {
            const int dr = r - c->r, dg = g - c->g, db = b - c->b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < best || (d == best && c->index < bestIndex)) {
                best = d;
                bestIndex = c->index;
            }
        }
        return bestIndex;
    }

private:
    struct Candidate
    {
        std::int32_t bound; // least squared distance from the cell to the entry
        std::uint8_t r, g, b, index;
    };
    static constexpr std::uint32_t kUnbuilt = 0xFFFFFFFFu;
    // Builds the list of `cell`; returns its slot: first candidate << 8 | (count - 1).
    std::uint32_t BuildCell(std::size_t cell);
    // Appends to `into` the entries among `from` that can be nearest to some colour of the cube
    // of `side` levels from `lo`.
    void Reachable(const std::uint8_t* from, std::size_t n, const int (&lo)[3], int side,
                   std::vector<Candidate>& into) const;

    Palette palette_;
    std::vector<std::uint8_t> everyEntry_;
    std::vector<std::uint32_t> cells_;
    std::vector<Candidate> candidates_;
    std::vector<std::int32_t> blockStart_; // -1 until built
    std::vector<std::uint16_t> blockCount_;
    std::vector<std::uint8_t> blockEntries_;
    std::vector<Candidate> scratch_;
};

// The palette entry for a colour during error diffusion: nearly always the nearest, found in a
// few steps whatever the palette. A table of 32 × 32 × 32 cells of 8 × 8 × 8 colours holds,
// filled on first use, the four entries nearest to each cell's centre; the answer is the nearest
// of these four, compared at once (the lowest index on ties). It misses the nearest entry only
// where that is none of the four, which the error diffusion makes up for; NearestColor is the
// exact search. A cell's four are picked from the entries that can be nearest to some colour of
// its block of 32 × 32 × 32 colours, which are found once for each block that is used.
class DiffusionColorMap
{
public:
    explicit DiffusionColorMap(const Palette& palette);

    int Find(int r, int g, int b)
    {
#if defined(__SSE2__)
        return FindLevels(_mm_setr_epi16(short(b), short(g), short(r), 0, 0, 0, 0, 0));
#else
        const std::size_t cell = std::size_t((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
        std::uint16_t entry = cells_[cell];
        if (entry == kUnbuilt)
            entry = Fill(cell);
        const Group& group = groups_[entry];
        return group.index[Least(group, b, g, r) & 3];
#endif
    }

#if defined(__SSE2__)
    // The same for the levels in the low three 16-bit lanes of `levels` (blue, green, red; the
    // fourth lane 0).
    int FindLevels(__m128i levels)
    {
        // The cell number (r >> 3) << 10 | (g >> 3) << 5 | b >> 3, from the three lanes at once.
        const __m128i parts =
            _mm_madd_epi16(_mm_srli_epi16(levels, 3), _mm_setr_epi16(1, 32, 1024, 0, 0, 0, 0, 0));
        const std::size_t cell =
            std::size_t(_mm_cvtsi128_si32(_mm_add_epi32(parts, _mm_srli_epi64(parts, 32))));
        std::uint16_t entry = cells_[cell];
        if (entry == kUnbuilt)
            entry = Fill(cell);
        const Group& group = groups_[entry];
        return group.index[Least(group, _mm_unpacklo_epi64(levels, levels)) & 3];
    }
#endif

private:
    static constexpr std::uint16_t kUnbuilt = 0xFFFF;
    // Four entries, blue, green, red and 0 each, in index order.
    struct alignas(16) Group
    {
        std::int16_t bgr0[16];
        std::uint8_t index[4];
    };

#if defined(__SSE2__)
    // Distance × 4 + place of the member nearest to the colour in `twice` (its blue, green, red,
    // 0 in both halves); of equal distances the first place, which holds the lowest index.
    static int Least(const Group& group, __m128i twice)
    {
        const auto load = [&group](int at) {
            return _mm_load_si128(reinterpret_cast<const __m128i*>(group.bgr0 + at));
        };
        const __m128i d01 = _mm_sub_epi16(load(0), twice), d23 = _mm_sub_epi16(load(8), twice);
        // Blue² + green² and red² of each member, then their sums in the even lanes.
        __m128i s01 = _mm_madd_epi16(d01, d01), s23 = _mm_madd_epi16(d23, d23);
        s01 = _mm_add_epi32(s01, _mm_srli_epi64(s01, 32));
        s23 = _mm_add_epi32(s23, _mm_srli_epi64(s23, 32));
        __m128i d = _mm_castps_si128(
            _mm_shuffle_ps(_mm_castsi128_ps(s01), _mm_castsi128_ps(s23), _MM_SHUFFLE(2, 0, 2, 0)));
        d = _mm_or_si128(_mm_slli_epi32(d, 2), _mm_setr_epi32(0, 1, 2, 3));
        // The least of the four as floats, which hold these values (below 2^20) exactly.
        __m128 f = _mm_cvtepi32_ps(d);
        f = _mm_min_ps(f, _mm_shuffle_ps(f, f, _MM_SHUFFLE(1, 0, 3, 2)));
        f = _mm_min_ps(f, _mm_shuffle_ps(f, f, _MM_SHUFFLE(2, 3, 0, 1)));
        return _mm_cvttss_si32(f);
    }
#else
    static int Least(const Group& group, int b, int g, int r)
    {
        int best = INT32_MAX;
        for (int i = 0; i < 4; ++i) {
            const std::int16_t* m = group.bgr0 + 4 * i;
            const int db = m[0] - b, dg = m[1] - g, dr = m[2] - r;
            best = std::min(best, (db * db + dg * dg + dr * dr) << 2 | i);
        }
        return best;
    }
#endif
    std::uint16_t Fill(std::size_t cell);
    void Put(Group& group, std::size_t place, std::size_t entry) const;

    // The entries that can be nearest to some colour of block `block` (32 × 32 × 32 colours), in
    // index order; found on first use.
    std::span<const std::uint8_t> BlockEntries(std::size_t block);

    Palette palette_;
    std::vector<Group> groups_; // the four entries of each cell filled, by its number in cells_
    std::vector<std::uint16_t> cells_;
    std::vector<std::int32_t> blockStart_; // where each block's entries begin, -1 unbuilt
    std::vector<std::int32_t> blockEnd_;
    std::vector<std::uint8_t> blockEntries_;
};

// Receives each finished row of palette indices, the top row first; false stops the mapping.
using IndexRowSink = std::function<bool(int y, const std::uint8_t* indices)>;

// Maps each pixel to its nearest palette entry (NearestColor). False when the sink stopped it.
bool MapNearest(RowSource& source, const Palette& palette, const IndexRowSink& sink);

// How much of each pixel's error is passed on.
struct Diffusion
{
    // 0: all of it, everywhere (classic Floyd–Steinberg). Otherwise the share passed on falls
    // where the picture itself varies, as `texture` / (`texture` + a), a being the change of the
    // pixel against its left and upper neighbours (for each channel half the two differences
    // together, summed over the channels): on flat areas every error is still passed on, so
    // their mean colour holds, while the grain and texture of a photograph, which already mix the
    // palette entries near it, are not covered with extra dithering noise.
    int texture = 0;
};

// The texture setting for optimised palettes: they follow the picture's own colours closely.
inline constexpr int kOptimisedPaletteTexture = 32;

// Floyd–Steinberg error diffusion in serpentine order (left to right on even rows, right to left
// on odd ones); a pixel plus the error it received is clamped to 0..255 before it is matched
// (DiffusionColorMap). Rows of 256 pixels or more are walked as two or four side-by-side strips
// taken in turn, the error passed downwards crossing the strips' borders as anywhere else. False
// when the sink stopped it.
bool MapFloydSteinberg(RowSource& source, const Palette& palette, const IndexRowSink& sink,
                       Diffusion diffusion = {});

// Black (0) and white (1) by luminance: error diffusion as above when `diffuse`, otherwise
// white from mid grey (128) up. False when the sink stopped it.
bool MapBlackWhite(RowSource& source, bool diffuse, const IndexRowSink& sink);

} // namespace velmr::image
