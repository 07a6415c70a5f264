#include "image/ImgKit.h"
#include "image/PackedDib.h"
#include "image/Quantize.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

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

ImgKitImage ImgKitImageSize(ImgKitImage image, const QString& title, const QString& message,
                            int width, int height)
{
    const std::span<const std::uint8_t> dib = ImgKitLock(image);
    const std::optional<DibLayout> layout = DibLayout::Of(dib);
    if (!layout)
        return 0;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return 0;
    const std::uint64_t rowBytes = RowBytesFor(width, 24);
    if (rowBytes * std::uint64_t(height) > kMaxPixelBytes)
        return 0;
    if (width == layout->width && height == layout->height && layout->bitCount == 24 &&
        layout->compression == kCompressionRgb)
        return image;

    const auto report = platform::Dialogs().BeginProgress(nullptr, title, message, true);
    const int srcWidth = layout->width, srcHeight = layout->height;
    const AxisFilter across = FilterFor(srcWidth, width);
    const AxisFilter down = FilterFor(srcHeight, height);
    DibRowReader reader(dib, *layout);

    std::vector<std::uint8_t> out(kInfoHeaderSize + rowBytes * std::uint64_t(height), 0);
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

    const std::size_t values = 3 * std::size_t(width);
    std::vector<float> sum(values), quads;
    const auto store = [&](int y) {
        std::uint8_t* dst = out.data() + kInfoHeaderSize + std::size_t(height - 1 - y) * rowBytes;
        for (std::size_t i = 0; i < values; ++i)
            dst[i] = Level(sum[i]);
    };

    if (height <= srcHeight) {
        // Shrinking down: the source rows of each output row are summed first, along the rows
        // (which vectorises), and the one sum then scaled across.
        std::vector<float> column(3 * std::size_t(srcWidth));
        std::int64_t units = height;
        for (const int taps : down.count)
            units += taps;
        UnitProgress progress(*report, units);
        for (int y = 0; y < height; ++y) {
            const int first = down.first[std::size_t(y)], taps = down.count[std::size_t(y)];
            const float* w = down.weights.data() + down.at[std::size_t(y)];
            std::fill(column.begin(), column.end(), 0.0f);
            for (int k = 0; k < taps; ++k) {
                const std::uint8_t* src = reader.Row(first + k);
                const float wk = w[k];
                for (std::size_t i = 0; i < column.size(); ++i)
                    column[i] += wk * float(src[i]);
                if (!progress.Add(1))
                    return 0;
            }
            ScaleAcross(across, column.data(), srcWidth, width, sum.data(), quads);
            store(y);
            if (!progress.Add(1))
                return 0;
        }
        return ImgKitFromPackedDib(std::move(out));
    }

    // Enlarging down: source rows scaled across, kept in a ring as long as the output rows still
    // need them; the rows each output row needs move down monotonically and never span more than
    // the ring.
    const int ringRows = std::max(down.widest, 1);
    std::vector<float> ring(values * std::size_t(ringRows));
    int nextSource = 0;
    UnitProgress progress(*report, std::int64_t(srcHeight) + height);
    for (int y = 0; y < height; ++y) {
        const int first = down.first[std::size_t(y)], taps = down.count[std::size_t(y)];
        for (; nextSource < first + taps; ++nextSource) {
            ScaleAcross(across, reader.Row(nextSource), srcWidth, width,
                        ring.data() + values * std::size_t(nextSource % ringRows), quads);
            if (!progress.Add(1))
                return 0;
        }
        // The cubic needs at most four rows; missing ones count with weight 0.
        const float* w = down.weights.data() + down.at[std::size_t(y)];
        const float* row[4];
        float wk[4];
        for (int k = 0; k < 4; ++k) {
            row[k] = ring.data() + values * std::size_t((first + std::min(k, taps - 1)) % ringRows);
            wk[k] = k < taps ? w[k] : 0.0f;
        }
        std::uint8_t* dst = out.data() + kInfoHeaderSize + std::size_t(height - 1 - y) * rowBytes;
        for (std::size_t i = 0; i < values; ++i)
            dst[i] = Level(wk[0] * row[0][i] + wk[1] * row[1][i] + wk[2] * row[2][i] +
                           wk[3] * row[3][i]);
        if (!progress.Add(1))
            return 0;
    }
    return ImgKitFromPackedDib(std::move(out));
}

} // namespace velmr::image
