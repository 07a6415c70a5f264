#include "image/Quantize.h"

#include "image/PackedDib.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace velmr::image {

// ---- Rows of packed bitmaps

DibRowReader::DibRowReader(std::span<const std::uint8_t> dib, const DibLayout& layout)
    : bits_(dib.data() + layout.bitsOffset), rowBytes_(layout.rowBytes), width_(layout.width),
      height_(layout.height), bitCount_(layout.bitCount), alpha_(layout.alpha)
{
    if (bitCount_ <= 8) {
        for (std::uint32_t i = 0; i < layout.colorCount && i < table_.size(); ++i) {
            const std::size_t entry = kInfoHeaderSize + 4 * std::size_t(i);
            table_[i] = {dib[entry + 2], dib[entry + 1], dib[entry]};
        }
    } else if (bitCount_ == 16 || bitCount_ == 32) {
        std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
        if (layout.compression == kCompressionBitFields) {
            for (int c = 0; c < 3; ++c)
                masks[c] = ReadU32(dib, kInfoHeaderSize + 4 * std::size_t(c));
        } else if (bitCount_ == 32) {
            masks[0] = 0xFF0000;
            masks[1] = 0x00FF00;
            masks[2] = 0x0000FF;
        }
        for (int c = 0; c < 3; ++c)
            channels_[std::size_t(c)] = ChannelOf(masks[c]);
    }
    if (bitCount_ != 24)
        row_.resize(3 * std::size_t(width_));
}

DibRowReader::Channel DibRowReader::ChannelOf(std::uint32_t mask)
{
    Channel channel;
    channel.mask = mask;
    if (mask == 0)
        return channel;
    channel.shift = std::countr_zero(mask);
    const int width = std::bit_width(mask >> channel.shift);
    channel.drop = std::max(0, width - 8);
    const int kept = std::min(width, 8);
    const int top = (1 << kept) - 1;
    for (int v = 0; v <= top; ++v)
        channel.expand[std::size_t(v)] = std::uint8_t((v * 255 + top / 2) / top);
    return channel;
}

const std::uint8_t* DibRowReader::Row(int y)
{
    const std::uint8_t* src = bits_ + std::size_t(height_ - 1 - y) * rowBytes_;
    std::uint8_t* out = row_.data();
    const auto put = [&out](Rgb c) {
        out[0] = c.b;
        out[1] = c.g;
        out[2] = c.r;
        out += 3;
    };
    const auto field = [this](std::uint32_t pixel, int c) {
        const Channel& ch = channels_[std::size_t(c)];
        return ch.expand[((pixel & ch.mask) >> ch.shift) >> ch.drop];
    };
    switch (bitCount_) {
    case 1:
        for (int x = 0; x < width_; ++x)
            put(table_[(src[x >> 3] >> (7 - (x & 7))) & 1]);
        break;
    case 4:
        for (int x = 0; x < width_; ++x)
            put(table_[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]);
        break;
    case 8:
        for (int x = 0; x < width_; ++x)
            put(table_[src[x]]);
        break;
    case 16:
        for (int x = 0; x < width_; ++x) {
            const std::uint32_t pixel = std::uint32_t(src[2 * x]) | std::uint32_t(src[2 * x + 1])
                                                                        << 8;
            out[0] = field(pixel, 2);
            out[1] = field(pixel, 1);
            out[2] = field(pixel, 0);
            out += 3;
        }
        break;
    case 24:
        return src;
    case 32:
        if (alpha_) {
            for (int x = 0; x < width_; ++x, out += 3) {
                const std::uint8_t* p = src + 4 * x;
                out[0] = OnWhite(p[0], p[3]);
                out[1] = OnWhite(p[1], p[3]);
                out[2] = OnWhite(p[2], p[3]);
            }
            break;
        }
        for (int x = 0; x < width_; ++x) {
            const std::uint8_t* p = src + 4 * x;
            const std::uint32_t pixel = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                        std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
            out[0] = field(pixel, 2);
            out[1] = field(pixel, 1);
            out[2] = field(pixel, 0);
            out += 3;
        }
        break;
    default:
        std::fill(row_.begin(), row_.end(), std::uint8_t(0));
        break;
    }
    return row_.data();
}

// ---- Histogram

ColorHistogram::ColorHistogram(int exactLimit)
    : cells_(std::size_t(kSide) * kSide * kSide), exactLimit_(std::max(exactLimit, 0))
{
    std::size_t size = 16;
    while (size < 4 * std::size_t(exactLimit_ + 1))
        size *= 2;
    seen_.assign(size, 0);
}

bool ColorHistogram::Remember(std::uint32_t colour)
{
    const std::size_t mask = seen_.size() - 1;
    std::size_t at = (colour * 0x9E3779B1u) >> 8 & mask;
    while (seen_[at] != 0) {
        if (seen_[at] == colour + 1)
            return true;
        at = (at + 1) & mask;
    }
    if (seenCount_ == exactLimit_)
        return false;
    seen_[at] = colour + 1;
    ++seenCount_;
    return true;
}

void ColorHistogram::RememberRow(const std::uint8_t* bgr, int width)
{
    for (int x = 0; x < width && exact_; ++x, bgr += 3) {
        const std::uint32_t colour =
            std::uint32_t(bgr[2]) << 16 | std::uint32_t(bgr[1]) << 8 | std::uint32_t(bgr[0]);
        if (colour != last_) {
            last_ = colour;
            exact_ = Remember(colour);
        }
    }
}

void ColorHistogram::AddRow(const std::uint8_t* bgr, int width, int step, int first)
{
    if (exact_)
        RememberRow(bgr, width);
    step = std::max(step, 1);
    std::uint64_t counted = 0;
    for (int x = std::max(first, 0); x < width; x += step) {
        const std::uint8_t* p = bgr + 3 * std::size_t(x);
        const std::uint32_t b = p[0], g = p[1], r = p[2];
        Cell& cell = cells_[(r >> 3) << 10 | (g >> 3) << 5 | (b >> 3)];
        ++cell.count;
        cell.sumR += r;
        cell.sumG += g;
        cell.sumB += b;
        cell.sumSquares += r * r + g * g + b * b;
        ++counted;
    }
    pixels_ += counted;
}

int HistogramStep(std::uint64_t pixels)
{
    constexpr std::uint64_t kSample = 2'000'000;
    return pixels <= kSample ? 1 : int((pixels + kSample - 1) / kSample);
}

std::optional<Palette> ColorHistogram::ExactColors() const
{
    if (!exact_)
        return std::nullopt;
    std::vector<std::uint32_t> colours;
    colours.reserve(std::size_t(seenCount_));
    for (const std::uint32_t entry : seen_) {
        if (entry != 0)
            colours.push_back(entry - 1);
    }
    std::sort(colours.begin(), colours.end());
    Palette palette;
    palette.reserve(colours.size());
    for (const std::uint32_t c : colours)
        palette.push_back({std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
    return palette;
}

// ---- Optimised palettes

namespace {

// Moments of a set of pixels: count, sums of each channel and of the squared lengths.
struct Moment
{
    std::int64_t w = 0, r = 0, g = 0, b = 0, q = 0;
    Moment& operator+=(const Moment& o)
    {
        w += o.w, r += o.r, g += o.g, b += o.b, q += o.q;
        return *this;
    }
    Moment& operator-=(const Moment& o)
    {
        w -= o.w, r -= o.r, g -= o.g, b -= o.b, q -= o.q;
        return *this;
    }
    friend Moment operator+(Moment a, const Moment& b) { return a += b; }
    friend Moment operator-(Moment a, const Moment& b) { return a -= b; }
    double SquaredSum() const
    {
        return double(r) * double(r) + double(g) * double(g) + double(b) * double(b);
    }
};

// A box of histogram cells: lower bounds exclusive, upper bounds inclusive, in the cumulative
// table's coordinates (1..32 for the cells, 0 the empty border).
struct Box
{
    int lo[3] = {0, 0, 0};
    int hi[3] = {0, 0, 0};
    int Cells() const { return (hi[0] - lo[0]) * (hi[1] - lo[1]) * (hi[2] - lo[2]); }
};

// Wu's colour quantizer: cumulative moments let the moments of any box be read from its eight
// corners, so each cut is chosen exactly, the one that most reduces the summed variance.
class WuQuantizer
{
public:
    explicit WuQuantizer(const ColorHistogram& histogram) : table_(kN * kN * kN)
    {
        const auto& cells = histogram.Cells();
        constexpr int side = ColorHistogram::kSide;
        for (int r = 0; r < side; ++r) {
            for (int g = 0; g < side; ++g) {
                for (int b = 0; b < side; ++b) {
                    const ColorHistogram::Cell& c = cells[std::size_t(r << 10 | g << 5 | b)];
                    Moment& m = At(r + 1, g + 1, b + 1);
                    m.w = std::int64_t(c.count);
                    m.r = std::int64_t(c.sumR);
                    m.g = std::int64_t(c.sumG);
                    m.b = std::int64_t(c.sumB);
                    m.q = std::int64_t(c.sumSquares);
                }
            }
        }
        // Running sums along each axis in turn give the moments of every box from the origin.
        for (int r = 1; r < kN; ++r)
            for (int g = 1; g < kN; ++g)
                for (int b = 1; b < kN; ++b)
                    At(r, g, b) += At(r, g, b - 1);
        for (int r = 1; r < kN; ++r)
            for (int g = 1; g < kN; ++g)
                for (int b = 1; b < kN; ++b)
                    At(r, g, b) += At(r, g - 1, b);
        for (int r = 1; r < kN; ++r)
            for (int g = 1; g < kN; ++g)
                for (int b = 1; b < kN; ++b)
                    At(r, g, b) += At(r - 1, g, b);
    }

    // The means of at most `colours` boxes; `owner` gets, for each histogram cell, the number of
    // the mean whose box holds it.
    std::vector<std::array<double, 3>> Centres(int colours, std::vector<std::uint16_t>& owner)
    {
        std::vector<Box> boxes;
        std::vector<double> variance;
        boxes.reserve(std::size_t(colours));
        Box whole;
        for (int c = 0; c < 3; ++c)
            whole.hi[c] = kN - 1;
        boxes.push_back(whole);
        variance.push_back(Variance(whole));
        while (int(boxes.size()) < colours) {
            const std::size_t next =
                std::size_t(std::max_element(variance.begin(), variance.end()) - variance.begin());
            if (variance[next] <= 0)
                break;
            Box split;
            if (!Cut(boxes[next], split)) {
                variance[next] = 0;
                continue;
            }
            variance[next] = Variance(boxes[next]);
            boxes.push_back(split);
            variance.push_back(Variance(split));
        }
        std::vector<std::array<double, 3>> centres;
        constexpr int side = ColorHistogram::kSide;
        owner.assign(std::size_t(side) * side * side, 0);
        for (const Box& box : boxes) {
            const Moment m = Volume(box);
            if (m.w == 0)
                continue;
            const std::uint16_t number = std::uint16_t(centres.size());
            centres.push_back(
                {double(m.r) / double(m.w), double(m.g) / double(m.w), double(m.b) / double(m.w)});
            for (int r = box.lo[0]; r < box.hi[0]; ++r)
                for (int g = box.lo[1]; g < box.hi[1]; ++g)
                    for (int b = box.lo[2]; b < box.hi[2]; ++b)
                        owner[std::size_t(r << 10 | g << 5 | b)] = number;
        }
        return centres;
    }

private:
    static constexpr int kN = ColorHistogram::kSide + 1;

    Moment& At(int r, int g, int b) { return table_[std::size_t((r * kN + g) * kN + b)]; }
    const Moment& At(int r, int g, int b) const
    {
        return table_[std::size_t((r * kN + g) * kN + b)];
    }

    Moment Volume(const Box& x) const
    {
        return At(x.hi[0], x.hi[1], x.hi[2]) - At(x.hi[0], x.hi[1], x.lo[2]) -
               At(x.hi[0], x.lo[1], x.hi[2]) + At(x.hi[0], x.lo[1], x.lo[2]) -
               At(x.lo[0], x.hi[1], x.hi[2]) + At(x.lo[0], x.hi[1], x.lo[2]) +
               At(x.lo[0], x.lo[1], x.hi[2]) - At(x.lo[0], x.lo[1], x.lo[2]);
    }

    // Summed squared distance of the box's pixels to their mean; 0 for a box that cannot be cut.
    double Variance(const Box& box) const
    {
        if (box.Cells() <= 1)
            return 0;
        const Moment m = Volume(box);
        if (m.w == 0)
            return 0;
        return double(m.q) - m.SquaredSum() / double(m.w);
    }

    // Cuts `box` in two along the axis and plane that leave the least variance: `box` keeps the
    // lower part, `upper` gets the rest. False when no cut leaves pixels on both sides.
    bool Cut(Box& box, Box& upper) const
    {
        const Moment whole = Volume(box);
        double best = -1;
        int bestAxis = -1;
        int bestAt = 0;
        for (int axis = 0; axis < 3; ++axis) {
            for (int at = box.lo[axis] + 1; at < box.hi[axis]; ++at) {
                Box lower = box;
                lower.hi[axis] = at;
                const Moment a = Volume(lower);
                const Moment b = whole - a;
                if (a.w == 0 || b.w == 0)
                    continue;
                // Minimising the variance left is maximising the sum of |Σ|²/n of the halves.
                const double score = a.SquaredSum() / double(a.w) + b.SquaredSum() / double(b.w);
                if (score > best) {
                    best = score;
                    bestAxis = axis;
                    bestAt = at;
                }
            }
        }
        if (bestAxis < 0)
            return false;
        upper = box;
        upper.lo[bestAxis] = bestAt;
        box.hi[bestAxis] = bestAt;
        return true;
    }

    std::vector<Moment> table_;
};

// Lloyd's k-means over the histogram cells (each cell its pixels' mean, weighted by their
// number), starting from `centres` and the cells' first centres `owner`, those of Wu's boxes; a
// few passes settle the colours that the boxes left near their borders. As the centres move only a
// little, a cell looks for its new centre among its centre's nearest neighbours.
void RefineCentres(const ColorHistogram& histogram, const std::vector<std::uint16_t>& owner,
                   std::vector<std::array<double, 3>>& centres)
{
    struct Point
    {
        int r, g, b;
        std::uint32_t owner;
        double count, sumR, sumG, sumB;
    };
    const std::size_t k = centres.size();
    std::vector<Point> points;
    const auto& cells = histogram.Cells();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const ColorHistogram::Cell& c = cells[i];
        if (c.count == 0)
            continue;
        const double n = double(c.count);
        points.push_back({int(std::lround(double(c.sumR) / n)),
                          int(std::lround(double(c.sumG) / n)),
                          int(std::lround(double(c.sumB) / n)),
                          std::min<std::uint32_t>(owner[i], std::uint32_t(k - 1)), n,
                          double(c.sumR), double(c.sumG), double(c.sumB)});
    }
    if (points.empty() || k == 0)
        return;

    struct Centre
    {
        int r, g, b;
    };
    std::vector<Centre> at(k);
    std::vector<double> sum(4 * k);
    constexpr int kPasses = 8;
    constexpr std::size_t kNeighbours = 10;
    std::vector<std::uint32_t> neighbours(k * kNeighbours);
    std::vector<std::pair<int, std::uint32_t>> byDistance(k);
    for (int pass = 0; pass < kPasses; ++pass) {
        for (std::size_t i = 0; i < k; ++i)
            at[i] = {int(std::lround(centres[i][0])), int(std::lround(centres[i][1])),
                     int(std::lround(centres[i][2]))};
        // Each centre's nearest neighbours, itself first, found again while the centres still
        // move much.
        const std::size_t kept = std::min(kNeighbours, k);
        for (std::size_t i = 0; i < k && (pass == 0 || pass == 2); ++i) {
            for (std::size_t j = 0; j < k; ++j) {
                const int dr = at[i].r - at[j].r, dg = at[i].g - at[j].g, db = at[i].b - at[j].b;
                byDistance[j] = {(dr * dr + dg * dg + db * db) * (j != i), std::uint32_t(j)};
            }
            std::swap(byDistance[0], byDistance[i]);
            std::partial_sort(byDistance.begin() + 1, byDistance.begin() + std::ptrdiff_t(kept),
                              byDistance.end());
            for (std::size_t n = 0; n < kNeighbours; ++n)
                neighbours[i * kNeighbours + n] = byDistance[std::min(n, kept - 1)].second;
        }
        std::fill(sum.begin(), sum.end(), 0.0);
        bool moved = false;
        for (Point& point : points) {
            int best = INT_MAX;
            std::uint32_t nearest = point.owner;
            const std::uint32_t* candidate = neighbours.data() + point.owner * kNeighbours;
            for (std::size_t n = 0; n < kNeighbours; ++n) {
                const std::uint32_t c = candidate[n];
                const int dr = at[c].r - point.r, dg = at[c].g - point.g, db = at[c].b - point.b;
                const int d = dr * dr + dg * dg + db * db;
                if (d < best || (d == best && c < nearest)) {
                    best = d;
                    nearest = c;
                }
            }
            moved = moved || nearest != point.owner;
            point.owner = nearest;
            sum[4 * nearest] += point.count;
            sum[4 * nearest + 1] += point.sumR;
            sum[4 * nearest + 2] += point.sumG;
            sum[4 * nearest + 3] += point.sumB;
        }
        for (std::size_t i = 0; i < k; ++i) {
            if (sum[4 * i] > 0)
                centres[i] = {sum[4 * i + 1] / sum[4 * i], sum[4 * i + 2] / sum[4 * i],
                              sum[4 * i + 3] / sum[4 * i]};
        }
        if (!moved && pass > 0)
            break;
    }
}

} // namespace

Palette OptimisedPalette(const ColorHistogram& histogram, int colours)
{
    if (colours <= 0 || histogram.PixelCount() == 0)
        return {};
    if (std::optional<Palette> exact = histogram.ExactColors();
        exact && int(exact->size()) <= colours)
        return *exact;
    WuQuantizer wu(histogram);
    std::vector<std::uint16_t> owner;
    std::vector<std::array<double, 3>> centres = wu.Centres(colours, owner);
    RefineCentres(histogram, owner, centres);
    Palette palette;
    for (const auto& c : centres) {
        const auto level = [](double v) {
            return std::uint8_t(std::clamp(std::lround(v), 0l, 255l));
        };
        const Rgb colour{level(c[0]), level(c[1]), level(c[2])};
        if (std::find(palette.begin(), palette.end(), colour) == palette.end())
            palette.push_back(colour);
    }
    return palette;
}

// ---- Fixed palettes

Palette StandardPalette256()
{
    static constexpr Rgb kLow[10] = {
        {0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    };
    static constexpr Rgb kHigh[10] = {
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
    };
    Palette palette(256);
    std::copy(std::begin(kLow), std::end(kLow), palette.begin());
    std::copy(std::begin(kHigh), std::end(kHigh), palette.begin() + 246);
    std::size_t next = 10;
    const auto isStatic = [&](Rgb c) {
        return std::find(std::begin(kLow), std::end(kLow), c) != std::end(kLow) ||
               std::find(std::begin(kHigh), std::end(kHigh), c) != std::end(kHigh);
    };
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                const Rgb c{std::uint8_t(51 * r), std::uint8_t(51 * g), std::uint8_t(51 * b)};
                if (!isStatic(c))
                    palette[next++] = c;
            }
        }
    }
    // The 208 new cube colours leave 28 places: greys between the cube's and the static ones,
    // which the cube serves worst.
    for (int k = 1; next < 246; ++k) {
        const std::uint8_t v = std::uint8_t((k * 255 + 14) / 29);
        palette[next++] = {v, v, v};
    }
    return palette;
}

Palette StandardPalette16()
{
    return {
        {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
        {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
        {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
        {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
    };
}

Palette BlackWhitePalette()
{
    return {{0, 0, 0}, {255, 255, 255}};
}

// ---- Nearest colour

NearestColor::NearestColor(const Palette& palette)
    : palette_(palette.begin(),
               palette.begin() + std::ptrdiff_t(std::min<std::size_t>(palette.size(), 256))),
      cells_(std::size_t(1) << 15, kUnbuilt), blockStart_(512, -1), blockCount_(512, 0)
{
    if (palette_.empty())
        palette_.push_back({});
    for (std::size_t i = 0; i < palette_.size(); ++i)
        everyEntry_.push_back(std::uint8_t(i));
}

void NearestColor::Reachable(const std::uint8_t* from, std::size_t n, const int (&lo)[3], int side,
                             std::vector<Candidate>& into) const
{
    const int span = side - 1;
    const auto nearAxis = [span](int v, int low) {
        return v < low ? low - v : v > low + span ? v - low - span : 0;
    };
    const auto farAxis = [span](int v, int low) {
        return std::max(std::abs(v - low), std::abs(v - low - span));
    };
    // Any colour of the cube is within `reach` of some entry, so only entries that come that
    // close to the cube can be its nearest.
    int reach = INT_MAX;
    for (std::size_t i = 0; i < n; ++i) {
        const Rgb c = palette_[from[i]];
        const int fr = farAxis(c.r, lo[0]), fg = farAxis(c.g, lo[1]), fb = farAxis(c.b, lo[2]);
        reach = std::min(reach, fr * fr + fg * fg + fb * fb);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const Rgb c = palette_[from[i]];
        const int nr = nearAxis(c.r, lo[0]), ng = nearAxis(c.g, lo[1]), nb = nearAxis(c.b, lo[2]);
        const int bound = nr * nr + ng * ng + nb * nb;
        if (bound <= reach)
            into.push_back({bound, c.r, c.g, c.b, from[i]});
    }
}

std::uint32_t NearestColor::BuildCell(std::size_t cell)
{
    const int cr = int(cell >> 10), cg = int((cell >> 5) & 31), cb = int(cell & 31);
    const std::size_t block = std::size_t((cr >> 2) << 6 | (cg >> 2) << 3 | (cb >> 2));
    if (blockStart_[block] < 0) {
        const int lo[3] = {(cr >> 2) << 5, (cg >> 2) << 5, (cb >> 2) << 5};
        scratch_.clear();
        Reachable(everyEntry_.data(), everyEntry_.size(), lo, 32, scratch_);
        blockStart_[block] = std::int32_t(blockEntries_.size());
        blockCount_[block] = std::uint16_t(scratch_.size());
        for (const Candidate& c : scratch_)
            blockEntries_.push_back(c.index);
    }
    const int lo[3] = {cr << 3, cg << 3, cb << 3};
    const std::size_t start = candidates_.size();
    Reachable(blockEntries_.data() + blockStart_[block], blockCount_[block], lo, 8, candidates_);
    std::sort(candidates_.begin() + std::ptrdiff_t(start), candidates_.end(),
              [](const Candidate& a, const Candidate& b) {
                  return a.bound != b.bound ? a.bound < b.bound : a.index < b.index;
              });
    const std::uint32_t slot =
        std::uint32_t(start) << 8 | std::uint32_t(candidates_.size() - start - 1);
    cells_[cell] = slot;
    return slot;
}

// ---- Colours for error diffusion

DiffusionColorMap::DiffusionColorMap(const Palette& palette)
    : palette_(palette.begin(),
               palette.begin() + std::ptrdiff_t(std::min<std::size_t>(palette.size(), 256))),
      cells_(std::size_t(1) << 15, kUnbuilt), blockStart_(512, -1), blockEnd_(512, -1)
{
    if (palette_.empty())
        palette_.push_back({});
    groups_.reserve(1024);
}

void DiffusionColorMap::Put(Group& group, std::size_t place, std::size_t entry) const
{
    const Rgb c = palette_[entry];
    group.bgr0[4 * place] = c.b;
    group.bgr0[4 * place + 1] = c.g;
    group.bgr0[4 * place + 2] = c.r;
    group.bgr0[4 * place + 3] = 0;
    group.index[place] = std::uint8_t(entry);
}

std::span<const std::uint8_t> DiffusionColorMap::BlockEntries(std::size_t block)
{
    if (blockStart_[block] < 0) {
        const int lo[3] = {int(block >> 6) << 5, int((block >> 3) & 7) << 5, int(block & 7) << 5};
        const auto nearAxis = [](int v, int low) {
            return v < low ? low - v : v > low + 31 ? v - low - 31 : 0;
        };
        const auto farAxis = [](int v, int low) {
            return std::max(std::abs(v - low), std::abs(v - low - 31));
        };
        // Every colour of the block lies within `reach` of some entry, so only entries that
        // come that close to the block can be nearest to one of its colours.
        int reach = INT_MAX;
        for (const Rgb c : palette_) {
            const int fr = farAxis(c.r, lo[0]), fg = farAxis(c.g, lo[1]), fb = farAxis(c.b, lo[2]);
            reach = std::min(reach, fr * fr + fg * fg + fb * fb);
        }
        blockStart_[block] = std::int32_t(blockEntries_.size());
        for (std::size_t i = 0; i < palette_.size(); ++i) {
            const Rgb c = palette_[i];
            const int nr = nearAxis(c.r, lo[0]), ng = nearAxis(c.g, lo[1]),
                      nb = nearAxis(c.b, lo[2]);
            if (nr * nr + ng * ng + nb * nb <= reach)
                blockEntries_.push_back(std::uint8_t(i));
        }
        blockEnd_[block] = std::int32_t(blockEntries_.size());
    }
    return {blockEntries_.data() + blockStart_[block],
            std::size_t(blockEnd_[block] - blockStart_[block])};
}

std::uint16_t DiffusionColorMap::Fill(std::size_t cell)
{
    // The four entries nearest to the cell's centre, in doubled levels (the centre of the levels
    // 8k..8k+7 lies halfway between two); of equal distances the lower index, as the entries
    // come in index order.
    const int r = int(cell >> 10) * 16 + 7, g = int((cell >> 5) & 31) * 16 + 7,
              b = int(cell & 31) * 16 + 7;
    int distance[4] = {INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    int member[4] = {-1, -1, -1, -1};
    for (const std::uint8_t entry : BlockEntries(
             std::size_t((cell >> 12) << 6 | ((cell >> 7) & 7) << 3 | ((cell >> 2) & 7)))) {
        const Rgb c = palette_[entry];
        const int dr = 2 * c.r - r, dg = 2 * c.g - g, db = 2 * c.b - b;
        int d = dr * dr + dg * dg + db * db;
        if (d >= distance[3])
            continue;
        int e = entry;
        for (int k = 0; k < 4; ++k) {
            if (d < distance[k]) {
                std::swap(d, distance[k]);
                std::swap(e, member[k]);
            }
        }
    }
    // In index order, the last repeated when the block holds fewer than four.
    for (int k = 1; k < 4; ++k) {
        if (member[k] < 0)
            member[k] = member[k - 1];
    }
    std::sort(std::begin(member), std::end(member));
    groups_.emplace_back();
    for (std::size_t k = 0; k < 4; ++k)
        Put(groups_.back(), k, std::size_t(member[k]));
    const std::uint16_t number = std::uint16_t(groups_.size() - 1);
    cells_[cell] = number;
    return number;
}

// ---- Mapping

namespace {
// A pixel plus the error it received, in sixteenths of a level, clamped to the levels 0..255.
inline int Sixteenths(int level, int error)
{
    const int v = level * 16 + error;
    return v < 0 ? 0 : v > 255 * 16 ? 255 * 16 : v;
}

// Spreads an error (sixteenths) to the pixel ahead and the three below with the Floyd–Steinberg
// weights 7, 3, 5 and 1; the last part takes what the divisions leave, so nothing is lost.
inline void Spread(int error, int& ahead, int& belowBehind, int& below, int& belowAhead)
{
    const int a = (error * 7) >> 4, b = (error * 3) >> 4, c = (error * 5) >> 4;
    ahead += a;
    belowBehind += b;
    below += c;
    belowAhead += error - a - b - c;
}

} // namespace

bool MapNearest(RowSource& source, const Palette& palette, const IndexRowSink& sink)
{
    NearestColor nearest(palette);
    const int width = source.Width();
    std::vector<std::uint8_t> indices(std::size_t(std::max(width, 1)));
    for (int y = 0; y < source.Height(); ++y) {
        const std::uint8_t* p = source.Row(y);
        std::uint32_t last = 0xFFFFFFFFu;
        std::uint8_t index = 0;
        for (int x = 0; x < width; ++x, p += 3) {
            const std::uint32_t colour =
                std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
            if (colour != last) {
                last = colour;
                index = std::uint8_t(nearest.Find(p[2], p[1], p[0]));
            }
            indices[std::size_t(x)] = index;
        }
        if (!sink(y, indices.data()))
            return false;
    }
    return true;
}

namespace {

// Errors are kept in sixteenths of a level, four 16-bit values a pixel (blue, green, red and an
// unused one), which is room enough: a pixel plus its error is clamped to 0..4080 before it is
// matched, so no error exceeds ±4080 and no sum of the parts a pixel receives exceeds that either.
using ErrorQuad = std::array<std::int16_t, 4>;

// The share of the error passed on for each pixel of a row (see Diffusion), in 8192ths (256ths
// shifted by 5, ready for a 16-bit high multiply of the error shifted by 3), four times a pixel.
class TextureShare
{
public:
    TextureShare(int texture, int width)
        : width_(width), above_(3 * std::size_t(width)), change_(3 * std::size_t(width)),
          share_(std::size_t(width))
    {
        for (int a = 0; a < int(shareOf_.size()); ++a)
            shareOf_[std::size_t(a)] =
                std::int16_t(((256 * texture + (texture + a) / 2) / (texture + a)) << 5);
    }

    // The shares of `row`, the row after the one given before (or the first).
    const ErrorQuad* Next(const std::uint8_t* row, bool first)
    {
        const std::uint8_t* up = first ? row : above_.data();
        const std::size_t n = change_.size();
        // The first pixel is compared with the one to its right.
        const std::size_t side = width_ > 1 ? 3 : 0;
        for (std::size_t i = 0; i < std::min<std::size_t>(3, n); ++i)
            change_[i] = Change(row[i], row[i + side], up[i]);
        for (std::size_t i = 3; i < n; ++i)
            change_[i] = Change(row[i], row[i - 3], up[i]);
        for (int x = 0; x < width_; ++x) {
            const std::uint8_t* c = change_.data() + 3 * x;
            const std::int16_t share = shareOf_[std::size_t(c[0] + c[1] + c[2])];
            share_[std::size_t(x)] = {share, share, share, share};
        }
        std::copy_n(row, above_.size(), above_.begin());
        return share_.data();
    }

private:
    // Half the change of a channel against the left and the upper neighbour, rounded up.
    static std::uint8_t Change(std::uint8_t v, std::uint8_t left, std::uint8_t up)
    {
        const unsigned l = unsigned(std::max(v, left) - std::min(v, left));
        const unsigned u = unsigned(std::max(v, up) - std::min(v, up));
        return std::uint8_t((l + u + 1) >> 1);
    }

    int width_;
    std::array<std::int16_t, 766> shareOf_{}; // by the change of the pixel, 0..765
    std::vector<std::uint8_t> above_;
    std::vector<std::uint8_t> change_;
    std::vector<ErrorQuad> share_;
};

// The error diffusion itself, run on `kStrips` side-by-side strips of each row at once: within a
// strip a row is walked in serpentine order, and the strips take their pixels in turn, so that
// the processor can work on several pixels together (each pixel waits for the error of the one
// before it). The error passed downwards crosses the strips' borders as everywhere else; what
// would pass ahead beyond a strip's end goes to the pixel below it instead. `kLessen` passes on
// less of the error where the picture varies. The buffer of the row below has one spare pixel at
// either end for what falls off the picture.
template <bool kLessen, int kStrips>
bool Diffuse(RowSource& source, const Palette& palette, const IndexRowSink& sink, int texture)
{
    DiffusionColorMap nearest(palette);
    const int width = source.Width();
    std::vector<std::uint8_t> indices(std::size_t(std::max(width, 1)));
    std::vector<ErrorQuad> current(std::size_t(width + 2)), below(current.size());
    // Each entry's channels in sixteenths, as the rows hold them.
    std::vector<ErrorQuad> levels(std::max<std::size_t>(palette.size(), 1));
    for (std::size_t i = 0; i < palette.size(); ++i)
        levels[i] = {std::int16_t(16 * palette[i].b), std::int16_t(16 * palette[i].g),
                     std::int16_t(16 * palette[i].r), 0};
    // A copy of the row with room to read four bytes at its last pixel.
    std::vector<std::uint8_t> row(3 * std::size_t(width) + 1);
    std::optional<TextureShare> textureShare;
    if constexpr (kLessen)
        textureShare.emplace(texture, width);
    int lo[kStrips], length[kStrips];
    int shortest = width;
    for (int s = 0; s < kStrips; ++s) {
        lo[s] = int(std::int64_t(width) * s / kStrips);
        length[s] = int(std::int64_t(width) * (s + 1) / kStrips) - lo[s];
        shortest = std::min(shortest, length[s]);
    }
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi16(255 * 16);
    const __m128i half = _mm_set1_epi16(8);
    const __m128i sevenThree = _mm_setr_epi16(7, 7, 7, 7, 3, 3, 3, 3);
    const __m128i five = _mm_set1_epi16(5);
#endif
    for (int y = 0; y < source.Height(); ++y) {
        std::copy_n(source.Row(y), 3 * std::size_t(width), row.begin());
        const ErrorQuad* share = nullptr;
        if constexpr (kLessen)
            share = textureShare->Next(row.data(), y == 0);
        const bool forward = (y & 1) == 0;
        const int step = forward ? 1 : -1;
        const ErrorQuad* here = current.data() + 1;
        ErrorQuad* under = below.data() + 1;
#if defined(__SSE2__)
        using Ahead = __m128i;
        const auto load = [](const ErrorQuad* q) {
            return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q));
        };
        const auto store = [](ErrorQuad* q, __m128i v) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(q), v);
        };
        // One pixel: matched, and its error passed on; `last` ends the strip.
        const auto pixelAt = [&](int at, Ahead& ahead, bool last) {
            std::uint32_t bytes;
            std::memcpy(&bytes, row.data() + 3 * at, 4);
            const __m128i pixel = _mm_slli_epi16(
                _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(bytes & 0xFFFFFF)), zero), 4);
            __m128i v = _mm_add_epi16(_mm_add_epi16(pixel, load(here + at)), ahead);
            v = _mm_min_epi16(_mm_max_epi16(v, zero), top);
            const int index = nearest.FindLevels(_mm_srai_epi16(_mm_add_epi16(v, half), 4));
            indices[std::size_t(at)] = std::uint8_t(index);
            __m128i error = _mm_sub_epi16(v, load(&levels[std::size_t(index)]));
            if constexpr (kLessen)
                error =
                    _mm_mulhi_epi16(_mm_slli_epi16(error, 3),
                                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(share + at)));
            // 7/16 and 3/16 of the error in one register's halves, 5/16, and the rest.
            const __m128i parts =
                _mm_srai_epi16(_mm_mullo_epi16(_mm_unpacklo_epi64(error, error), sevenThree), 4);
            const __m128i a = parts;
            const __m128i b3 = _mm_unpackhi_epi64(parts, parts);
            const __m128i c5 = _mm_srai_epi16(_mm_mullo_epi16(error, five), 4);
            const __m128i d = _mm_sub_epi16(_mm_sub_epi16(_mm_sub_epi16(error, a), b3), c5);
            ErrorQuad* u = under + at;
            store(u - step, _mm_add_epi16(load(u - step), b3));
            store(u, _mm_add_epi16(load(u), last ? _mm_add_epi16(c5, a) : c5));
            store(u + step, _mm_add_epi16(load(u + step), d));
            ahead = a;
        };
#else
        using Ahead = std::array<int, 3>;
        const auto pixelAt = [&](int at, Ahead& ahead, bool last) {
            const std::uint8_t* p = row.data() + 3 * at;
            const ErrorQuad& e = here[at];
            const int b = Sixteenths(p[0], e[0] + ahead[0]);
            const int g = Sixteenths(p[1], e[1] + ahead[1]);
            const int r = Sixteenths(p[2], e[2] + ahead[2]);
            const int index = nearest.Find((r + 8) >> 4, (g + 8) >> 4, (b + 8) >> 4);
            indices[std::size_t(at)] = std::uint8_t(index);
            const ErrorQuad& chosen = levels[std::size_t(index)];
            const int error[3] = {b - chosen[0], g - chosen[1], r - chosen[2]};
            ErrorQuad* u = under + at;
            for (std::size_t c = 0; c < 3; ++c) {
                int v = error[c];
                if constexpr (kLessen)
                    v = (v * (share[at][0] >> 5)) >> 8;
                const int a = (v * 7) >> 4, b3 = (v * 3) >> 4, c5 = (v * 5) >> 4;
                u[-step][c] = std::int16_t(u[-step][c] + b3);
                u[0][c] = std::int16_t(u[0][c] + c5 + (last ? a : 0));
                u[step][c] = std::int16_t(u[step][c] + v - a - b3 - c5);
                ahead[c] = a;
            }
        };
#endif
        int x[kStrips];
        Ahead ahead[kStrips];
        for (int s = 0; s < kStrips; ++s) {
            x[s] = forward ? lo[s] : lo[s] + length[s] - 1;
            ahead[s] = Ahead{};
        }
        // The strips in turn while all have pixels left, then the longer ones to their ends.
        for (int i = 0; i < shortest; ++i) {
            [&]<int... kS>(std::integer_sequence<int, kS...>)
            {
                ((pixelAt(x[kS], ahead[kS], kStrips > 1 && i + 1 == length[kS]), x[kS] += step),
                 ...);
            }
            (std::make_integer_sequence<int, kStrips>{});
        }
        for (int s = 0; s < kStrips; ++s) {
            for (int i = shortest; i < length[s]; ++i, x[s] += step)
                pixelAt(x[s], ahead[s], kStrips > 1 && i + 1 == length[s]);
        }
        if (!sink(y, indices.data()))
            return false;
        current.swap(below);
        std::fill(below.begin(), below.end(), ErrorQuad{});
    }
    return true;
}

template <int kStrips>
bool DiffuseIn(RowSource& source, const Palette& palette, const IndexRowSink& sink, int texture)
{
    if (texture > 0)
        return Diffuse<true, kStrips>(source, palette, sink, texture);
    return Diffuse<false, kStrips>(source, palette, sink, 0);
}

} // namespace

bool MapFloydSteinberg(RowSource& source, const Palette& palette, const IndexRowSink& sink,
                       Diffusion diffusion)
{
    // Strips of at least 128 pixels: narrower pictures are diffused in one piece.
    const int width = source.Width();
    if (width >= 4 * 128)
        return DiffuseIn<4>(source, palette, sink, diffusion.texture);
    if (width >= 2 * 128)
        return DiffuseIn<2>(source, palette, sink, diffusion.texture);
    return DiffuseIn<1>(source, palette, sink, diffusion.texture);
}

bool MapBlackWhite(RowSource& source, bool diffuse, const IndexRowSink& sink)
{
    const int width = source.Width();
    std::vector<std::uint8_t> indices(std::size_t(std::max(width, 1)));
    std::vector<int> current(std::size_t(width + 2), 0), below(current.size(), 0);
    for (int y = 0; y < source.Height(); ++y) {
        const std::uint8_t* row = source.Row(y);
        if (!diffuse) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = row + 3 * x;
                indices[std::size_t(x)] = Luminance(p[2], p[1], p[0]) >= 128 ? 1 : 0;
            }
        } else {
            const int step = (y & 1) ? -1 : 1;
            int x = step > 0 ? 0 : width - 1;
            for (int i = 0; i < width; ++i, x += step) {
                const std::uint8_t* p = row + 3 * x;
                int* here = current.data() + (x + 1);
                int* under = below.data() + (x + 1);
                const int v = Sixteenths(Luminance(p[2], p[1], p[0]), here[0]);
                const bool white = v >= 128 * 16 - 8; // rounds to 128 or more
                indices[std::size_t(x)] = white ? 1 : 0;
                Spread(v - (white ? 255 * 16 : 0), here[step], under[-step], under[0], under[step]);
            }
            current.swap(below);
            std::fill(below.begin(), below.end(), 0);
        }
        if (!sink(y, indices.data()))
            return false;
    }
    return true;
}

} // namespace velmr::image
