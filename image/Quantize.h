#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

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
// their masks (5-5-5 when there are none), 32-bit pixels without their fourth byte.
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
    void AddRow(const std::uint8_t* bgr, int width);

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
    std::uint64_t PixelCount() const { return pixels_; }

private:
    bool Remember(std::uint32_t colour);

    std::vector<Cell> cells_;
    std::uint64_t pixels_ = 0;
    int exactLimit_;
    bool exact_ = true;
    std::uint32_t last_ = 0xFFFFFFFFu;
    std::vector<std::uint32_t> seen_; // open addressing, 0 empty, colour + 1 otherwise
    int seenCount_ = 0;
};

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

// Receives each finished row of palette indices, the top row first; false stops the mapping.
using IndexRowSink = std::function<bool(int y, const std::uint8_t* indices)>;

// Maps each pixel to its nearest palette entry. False when the sink stopped it.
bool MapNearest(RowSource& source, const Palette& palette, const IndexRowSink& sink);

// Floyd–Steinberg error diffusion in serpentine order (left to right on even rows, right to left
// on odd ones); a pixel plus the error it received is clamped to 0..255 before it is matched.
// False when the sink stopped it.
bool MapFloydSteinberg(RowSource& source, const Palette& palette, const IndexRowSink& sink);

// Black (0) and white (1) by luminance: error diffusion as above when `diffuse`, otherwise
// white from mid grey (128) up. False when the sink stopped it.
bool MapBlackWhite(RowSource& source, bool diffuse, const IndexRowSink& sink);

} // namespace velmr::image
