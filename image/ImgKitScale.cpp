#include "image/ImgKit.h"
#include "image/PackedDib.h"
#include "image/Quantize.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmr::image {
namespace {

// The source pixels and weights that make each output pixel along one axis.
struct AxisFilter
{
    std::vector<int> first;      // first source pixel of each output pixel
    std::vector<int> count;      // how many source pixels from there
    std::vector<std::size_t> at; // where its weights start in `weights`
    std::vector<float> weights;
    int widest = 0;

    void Add(int start, const double* w, int n)
    {
        // Trailing taps that do not count are left out; leading ones stay, so that the first
        // source pixels never move back from one output pixel to the next.
        while (n > 1 && w[n - 1] == 0)
            --n;
        first.push_back(start);
        count.push_back(n);
        at.push_back(weights.size());
        for (int i = 0; i < n; ++i)
            weights.push_back(float(w[i]));
        widest = std::max(widest, n);
    }
};

// Shrinking (or keeping the size): each output pixel is the mean of the source area it covers,
// source pixels cut by its borders counted by the part inside. Positions are kept in units of
// 1/`to` source pixel, so the coverage is exact.
AxisFilter AreaFilter(int from, int to)
{
    AxisFilter filter;
    std::vector<double> w;
    for (int i = 0; i < to; ++i) {
        const std::int64_t lo = std::int64_t(i) * from, hi = std::int64_t(i + 1) * from;
        const int j0 = int(lo / to), j1 = int((hi - 1) / to);
        w.clear();
        for (int j = j0; j <= j1; ++j) {
            const std::int64_t inside =
                std::min(hi, std::int64_t(j + 1) * to) - std::max(lo, std::int64_t(j) * to);
            w.push_back(double(inside) / double(from));
        }
        filter.Add(j0, w.data(), int(w.size()));
    }
    return filter;
}

// Enlarging: Catmull–Rom cubic interpolation between the source pixel centres; positions beyond
// the outer centres take the edge pixels, so the first and last pixels keep their colours.
AxisFilter CubicFilter(int from, int to)
{
    AxisFilter filter;
    const double scale = double(from) / double(to);
    for (int i = 0; i < to; ++i) {
        const double x = std::clamp((i + 0.5) * scale - 0.5, 0.0, double(from - 1));
        const int j = std::min(int(x), from - 1);
        const double t = x - j, t2 = t * t, t3 = t2 * t;
        const double cubic[4] = {(-t + 2 * t2 - t3) / 2, (2 - 5 * t2 + 3 * t3) / 2,
                                 (t + 4 * t2 - 3 * t3) / 2, (t3 - t2) / 2};
        // Taps beyond the picture fold onto its edge pixels.
        const int lo = std::max(j - 1, 0), hi = std::min(j + 2, from - 1);
        double w[4] = {0, 0, 0, 0};
        for (int k = 0; k < 4; ++k)
            w[std::clamp(j - 1 + k, lo, hi) - lo] += cubic[k];
        filter.Add(lo, w, hi - lo + 1);
    }
    return filter;
}

AxisFilter FilterFor(int from, int to)
{
    return to <= from ? AreaFilter(from, to) : CubicFilter(from, to);
}

// One row of B, G, R values scaled across to `width` pixels: sums of rows as they are, bytes
// first spread to four floats a pixel, so that a pixel's channels are summed together (with few
// taps a pixel this pays; with many, as when shrinking, the spreading would cost more).
template <typename T>
void ScaleAcross(const AxisFilter& across, const T* src, int srcWidth, int width, float* dst,
                 std::vector<float>& quads)
{
    if constexpr (std::is_same_v<T, float>) {
        for (int x = 0; x < width; ++x, dst += 3) {
            const float* w = across.weights.data() + across.at[std::size_t(x)];
            const float* p = src + 3 * std::size_t(across.first[std::size_t(x)]);
            float b = 0, g = 0, r = 0;
            for (int k = across.count[std::size_t(x)]; k > 0; --k, ++w, p += 3) {
                b += *w * p[0];
                g += *w * p[1];
                r += *w * p[2];
            }
            dst[0] = b;
            dst[1] = g;
            dst[2] = r;
        }
    } else {
        quads.resize(4 * std::size_t(srcWidth));
        float* q = quads.data();
        for (int x = 0; x < srcWidth; ++x, q += 4, src += 3) {
            q[0] = float(src[0]);
            q[1] = float(src[1]);
            q[2] = float(src[2]);
            q[3] = 0;
        }
        for (int x = 0; x < width; ++x, dst += 3) {
            const float* w = across.weights.data() + across.at[std::size_t(x)];
            const float* p = quads.data() + 4 * std::size_t(across.first[std::size_t(x)]);
            float sum[4] = {0, 0, 0, 0};
            for (int k = across.count[std::size_t(x)]; k > 0; --k, ++w, p += 4) {
                for (int c = 0; c < 4; ++c)
                    sum[c] += *w * p[c];
            }
            dst[0] = sum[0];
            dst[1] = sum[1];
            dst[2] = sum[2];
        }
    }
}

// The rounded byte of a filtered value, clamped to 0..255. The filters overshoot by a fraction of
// the range at most, so the value converts to int safely; clamping the int keeps the loops free
// of floating-point branches and lets them vectorise.
inline std::uint8_t Level(float v)
{
    const int level = int(v + 0.5f);
    return std::uint8_t(level < 0 ? 0 : level > 255 ? 255 : level);
}

// Tells the progress display how much of the work is done, a hundred times in all.
class UnitProgress
{
public:
    UnitProgress(platform::ProgressReport& report, std::int64_t total)
        : report_(report), total_(std::max<std::int64_t>(total, 1)),
          every_(std::max<std::int64_t>(1, (total + 99) / 100)), next_(every_)
    {}
    // `units` more are done; false once the user has cancelled.
    bool Add(std::int64_t units)
    {
        done_ += units;
        if (done_ < next_ && done_ < total_)
            return true;
        next_ = done_ + every_;
        return report_.Advance(double(done_) / double(total_));
    }

private:
    platform::ProgressReport& report_;
    std::int64_t total_, every_, next_, done_ = 0;
};

} // namespace

namespace {

// Scales the output rows `from` to `to` (exclusive) into `bits`, the output's rows (bottom-up,
// `rowBytes` apart). `tick(units)` is told of each piece of work done and returns false to stop;
// false then.
template <typename Tick>
bool ScaleBand(std::span<const std::uint8_t> dib, const DibLayout& layout, const AxisFilter& across,
               const AxisFilter& down, int width, int height, std::uint8_t* bits,
               std::size_t rowBytes, int from, int to, Tick&& tick)
{
    const int srcWidth = layout.width, srcHeight = layout.height;
    DibRowReader reader(dib, layout);
    const std::size_t values = 3 * std::size_t(width);
    std::vector<float> sum(values), quads;
    const auto destination = [&](int y) { return bits + std::size_t(height - 1 - y) * rowBytes; };

    if (height <= srcHeight) {
        // Shrinking down: the source rows of each output row are summed first, along the rows
        // (which vectorises), and the one sum then scaled across. The rows an output row covers
        // wholly all have the same weight: they are added up as integers, and weighed once.
        std::vector<float> column(3 * std::size_t(srcWidth));
        std::vector<std::uint16_t> whole(column.size());
        const float wholeWeight = float(double(height) / double(srcHeight));
        const auto addWhole = [&] {
            for (std::size_t i = 0; i < column.size(); ++i)
                column[i] += wholeWeight * float(whole[i]);
            std::fill(whole.begin(), whole.end(), std::uint16_t(0));
        };
        for (int y = from; y < to; ++y) {
            const int first = down.first[std::size_t(y)], taps = down.count[std::size_t(y)];
            const float* w = down.weights.data() + down.at[std::size_t(y)];
            std::fill(column.begin(), column.end(), 0.0f);
            int wholeRows = 0;
            for (int k = 0; k < taps; ++k) {
                const std::uint8_t* src = reader.Row(first + k);
                const float wk = w[k];
                if (wk == wholeWeight) {
                    for (std::size_t i = 0; i < whole.size(); ++i)
                        whole[i] = std::uint16_t(whole[i] + src[i]);
                    // 257 rows of 255 would not fit in 16 bits.
                    if (++wholeRows == 256) {
                        addWhole();
                        wholeRows = 0;
                    }
                } else {
                    for (std::size_t i = 0; i < column.size(); ++i)
                        column[i] += wk * float(src[i]);
                }
                if (!tick(1))
                    return false;
            }
            if (wholeRows > 0)
                addWhole();
            ScaleAcross(across, column.data(), srcWidth, width, sum.data(), quads);
            std::uint8_t* dst = destination(y);
            for (std::size_t i = 0; i < values; ++i)
                dst[i] = Level(sum[i]);
            if (!tick(1))
                return false;
        }
        return true;
    }

    // Enlarging down: source rows scaled across, kept in a ring as long as the output rows still
    // need them; the rows each output row needs move down monotonically and never span more than
    // the ring.
    const int ringRows = std::max(down.widest, 1);
    int nextSource = from < to ? down.first[std::size_t(from)] : 0;
#if defined(__SSE2__)
    // Pixels as four floats (blue, green, red, 0), so that a pixel's channels go together.
    struct alignas(16) Quad
    {
        float v[4];
    };
    std::vector<Quad> sourceQuads(static_cast<std::size_t>(srcWidth));
    std::vector<Quad> ring(std::size_t(width) * std::size_t(ringRows));
    const __m128 half = _mm_set1_ps(0.5f);
    for (int y = from; y < to; ++y) {
        const int first = down.first[std::size_t(y)], taps = down.count[std::size_t(y)];
        for (; nextSource < first + taps; ++nextSource) {
            const std::uint8_t* src = reader.Row(nextSource);
            for (int x = 0; x < srcWidth; ++x, src += 3) {
                const int bytes = int(src[0]) | int(src[1]) << 8 | int(src[2]) << 16;
                const __m128i zero = _mm_setzero_si128();
                _mm_store_ps(sourceQuads[std::size_t(x)].v,
                             _mm_cvtepi32_ps(_mm_unpacklo_epi16(
                                 _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero)));
            }
            Quad* dst = ring.data() + std::size_t(width) * std::size_t(nextSource % ringRows);
            for (int x = 0; x < width; ++x) {
                const float* w = across.weights.data() + across.at[std::size_t(x)];
                const Quad* p = sourceQuads.data() + across.first[std::size_t(x)];
                const int count = across.count[std::size_t(x)];
                __m128 sum;
                if (count == 4) {
                    // The cubic's four taps, as most output pixels have them.
                    sum = _mm_add_ps(
                        _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(w[0]), _mm_load_ps(p[0].v)),
                                              _mm_mul_ps(_mm_set1_ps(w[1]), _mm_load_ps(p[1].v))),
                                   _mm_mul_ps(_mm_set1_ps(w[2]), _mm_load_ps(p[2].v))),
                        _mm_mul_ps(_mm_set1_ps(w[3]), _mm_load_ps(p[3].v)));
                } else {
                    sum = _mm_setzero_ps();
                    for (int k = count; k > 0; --k, ++w, ++p)
                        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(*w), _mm_load_ps(p->v)));
                }
                _mm_store_ps(dst[x].v, sum);
            }
            if (!tick(1))
                return false;
        }
        // The cubic needs at most four rows; missing ones count with weight 0.
        const float* w = down.weights.data() + down.at[std::size_t(y)];
        const Quad* row[4];
        __m128 wk[4];
        for (int k = 0; k < 4; ++k) {
            row[k] = ring.data() +
                     std::size_t(width) * std::size_t((first + std::min(k, taps - 1)) % ringRows);
            wk[k] = _mm_set1_ps(k < taps ? w[k] : 0.0f);
        }
        const auto level = [&](int x) {
            const auto at = [&](int k) { return _mm_load_ps(row[k][x].v); };
            const __m128 v = _mm_add_ps(
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(wk[0], at(0)), _mm_mul_ps(wk[1], at(1))),
                           _mm_mul_ps(wk[2], at(2))),
                _mm_mul_ps(wk[3], at(3)));
            // Rounded as Level does: + 0.5, truncated, clamped to 0..255 by the packing.
            return _mm_cvttps_epi32(_mm_add_ps(v, half));
        };
        std::uint8_t* dst = destination(y);
        int x = 0;
        for (; x + 4 <= width; x += 4, dst += 12) {
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(level(x), level(x + 1)),
                                                   _mm_packs_epi32(level(x + 2), level(x + 3)));
            // B, G, R, 0 four times; the zeros dropped.
            const std::uint64_t low = std::uint64_t(_mm_cvtsi128_si64(bytes));
            const std::uint64_t high =
                std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(bytes, bytes)));
            const std::uint64_t packedLow = (low & 0xFFFFFF) | (low >> 8 & 0xFFFFFF000000);
            const std::uint64_t packedHigh = (high & 0xFFFFFF) | (high >> 8 & 0xFFFFFF000000);
            std::memcpy(dst, &packedLow, 6);
            std::memcpy(dst + 6, &packedHigh, 6);
        }
        for (; x < width; ++x, dst += 3) {
            const __m128i v = _mm_packus_epi16(_mm_packs_epi32(level(x), level(x)), level(x));
            const std::uint32_t bgr = std::uint32_t(_mm_cvtsi128_si32(v));
            dst[0] = std::uint8_t(bgr);
            dst[1] = std::uint8_t(bgr >> 8);
            dst[2] = std::uint8_t(bgr >> 16);
        }
        if (!tick(1))
            return false;
    }
#else
    std::vector<float> ring(values * std::size_t(ringRows));
    for (int y = from; y < to; ++y) {
        const int first = down.first[std::size_t(y)], taps = down.count[std::size_t(y)];
        for (; nextSource < first + taps; ++nextSource) {
            ScaleAcross(across, reader.Row(nextSource), srcWidth, width,
                        ring.data() + values * std::size_t(nextSource % ringRows), quads);
            if (!tick(1))
                return false;
        }
        // The cubic needs at most four rows; missing ones count with weight 0.
        const float* w = down.weights.data() + down.at[std::size_t(y)];
        const float* row[4];
        float wk[4];
        for (int k = 0; k < 4; ++k) {
            row[k] = ring.data() + values * std::size_t((first + std::min(k, taps - 1)) % ringRows);
            wk[k] = k < taps ? w[k] : 0.0f;
        }
        std::uint8_t* dst = destination(y);
        for (std::size_t i = 0; i < values; ++i)
            dst[i] = Level(wk[0] * row[0][i] + wk[1] * row[1][i] + wk[2] * row[2][i] +
                           wk[3] * row[3][i]);
        if (!tick(1))
            return false;
    }
#endif
    return true;
}

// The work of output rows `from` to `to`, in the units ScaleBand ticks.
std::int64_t BandUnits(const AxisFilter& down, int srcHeight, int height, int from, int to)
{
    if (from >= to)
        return 0;
    if (height <= srcHeight) {
        std::int64_t units = to - from;
        for (int y = from; y < to; ++y)
            units += down.count[std::size_t(y)];
        return units;
    }
    const int last = to - 1;
    return std::int64_t(down.first[std::size_t(last)] + down.count[std::size_t(last)] -
                        down.first[std::size_t(from)]) +
           (to - from);
}

} // namespace

namespace {

// A picture with alpha scaled by Qt's smooth scaling, which weights the colours by their alpha
// (area averaging down, bilinear up). Such pictures are seals taken out of photos, a few hundred
// pixels a side, so no progress display is needed.
ImgKitImage ScaledWithAlpha(ImgKitImage image, int width, int height)
{
    if (RowBytesFor(width, 32) * std::uint64_t(height) > kMaxPixelBytes)
        return 0;
    const QImage picture = ImgKitToQImage(image);
    if (picture.isNull())
        return 0;
    if (picture.size() == QSize(width, height))
        return image;
    const QImage scaled =
        picture.convertToFormat(QImage::Format_ARGB32_Premultiplied)
            .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_ARGB32);
    if (scaled.isNull())
        return 0;
    // Bottom-up rows of blue, green, red, alpha: the bytes of Format_ARGB32.
    std::vector<std::uint8_t> out = NewAlphaDib(width, height, ImgKitLock(image));
    const std::size_t rowBytes = std::size_t(width) * 4;
    std::uint8_t* rows = out.data() + kInfoHeaderSize + 16;
    for (int y = 0; y < height; ++y)
        std::memcpy(rows + std::size_t(height - 1 - y) * rowBytes, scaled.constScanLine(y),
                    rowBytes);
    return ImgKitFromPackedDib(std::move(out));
}

} // namespace

ImgKitImage ImgKitImageSize(ImgKitImage image, const QString& title, const QString& message,
                            int width, int height)
{
    const std::span<const std::uint8_t> dib = ImgKitLock(image);
    const std::optional<DibLayout> layout = DibLayout::Of(dib);
    if (!layout)
        return 0;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return 0;
    if (layout->alpha)
        return ScaledWithAlpha(image, width, height);
    const std::uint64_t rowBytes = RowBytesFor(width, 24);
    if (rowBytes * std::uint64_t(height) > kMaxPixelBytes)
        return 0;
    if (width == layout->width && height == layout->height && layout->bitCount == 24 &&
        layout->compression == kCompressionRgb)
        return image;

    const auto report = platform::Dialogs().BeginProgress(nullptr, title, message, true);
    const int srcHeight = layout->height;
    const AxisFilter across = FilterFor(layout->width, width);
    const AxisFilter down = FilterFor(srcHeight, height);

    std::vector<std::uint8_t> out =
        NewBitmapBuffer(kInfoHeaderSize + rowBytes * std::uint64_t(height));
    const auto put32 = [&out](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    };
    put32(0, kInfoHeaderSize);
    put32(4, std::uint32_t(width));
    put32(8, std::uint32_t(height));
    out[12] = 1;
    out[14] = 24;
    put32(20, std::uint32_t(rowBytes * std::uint64_t(height)));
    put32(24, ReadU32(dib, 24));
    put32(28, ReadU32(dib, 28));
    std::uint8_t* bits = out.data() + kInfoHeaderSize;

    // One band of all the rows, on this thread: the progress display keeps the user's input out
    // while it runs.
    UnitProgress progress(*report, BandUnits(down, srcHeight, height, 0, height));
    bool finished = false;
    try {
        finished = ScaleBand(dib, *layout, across, down, width, height, bits, std::size_t(rowBytes),
                             0, height, [&](int units) { return progress.Add(units); });
    } catch (...) {
        finished = false;
    }
    if (!finished)
        return 0;
    return ImgKitFromPackedDib(std::move(out));
}

} // namespace velmr::image
