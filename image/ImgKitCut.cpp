// Cutting a rectangle out of a picture, keeping its depth and colour table.

#include "image/ImgKit.h"
#include "image/PackedDib.h"

#include <algorithm>
#include <cstring>

namespace velmr::image {
namespace {

void Put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(value >> (8 * i));
}

// Copies `width` pixels of `bits` (1 or 4) starting at pixel `left` of `in`, whose pixels take
// `inBytes` bytes, to the start of `out`; the unused bits of the last byte are cleared.
void CopyPackedPixels(const std::uint8_t* in, std::size_t inBytes, std::int64_t left,
                      std::int64_t width, int bits, std::uint8_t* out)
{
    const std::uint64_t firstBit = std::uint64_t(left) * std::uint64_t(bits);
    const std::uint64_t bitCount = std::uint64_t(width) * std::uint64_t(bits);
    const std::size_t outBytes = std::size_t((bitCount + 7) / 8);
    const std::size_t skip = std::size_t(firstBit / 8);
    const unsigned shift = unsigned(firstBit % 8);
    if (shift == 0) {
        std::memcpy(out, in + skip, outBytes);
    } else {
        for (std::size_t k = 0; k < outBytes; ++k) {
            const std::size_t at = skip + k;
            const unsigned next = at + 1 < inBytes ? in[at + 1] : 0;
            out[k] = std::uint8_t(in[at] << shift | next >> (8 - shift));
        }
    }
    if (const unsigned tail = unsigned(bitCount % 8))
        out[outBytes - 1] &= std::uint8_t(0xFF << (8 - tail));
}

} // namespace

ImgKitImage ImgKitRectCut(ImgKitImage image, const QString& /*title*/, const QString& /*message*/,
                          int left, int top, int right, int bottom)
{
    const std::span<const std::uint8_t> dib = ImgKitLock(image);
    const std::optional<DibLayout> layout = DibLayout::Of(dib);
    if (!layout)
        return 0;
    const std::int64_t width = layout->width;
    const std::int64_t height = layout->height;
    const std::int64_t l = std::max<std::int64_t>(left, 0);
    const std::int64_t t = std::max<std::int64_t>(top, 0);
    const std::int64_t r = std::min<std::int64_t>(right, width - 1);
    const std::int64_t b = std::min<std::int64_t>(bottom, height - 1);
    if (r < l || b < t)
        return image; // nothing of the rectangle is inside the picture
    if (l == 0 && t == 0 && r == width - 1 && b == height - 1)
        return image; // the whole picture: nothing changes

    const std::int64_t cutWidth = r - l + 1;
    const std::int64_t cutHeight = b - t + 1;
    const int bits = layout->bitCount;
    const std::size_t outRowBytes = std::size_t(RowBytesFor(cutWidth, bits));
    std::vector<std::uint8_t> cut =
        NewBitmapBuffer(layout->bitsOffset + outRowBytes * std::size_t(cutHeight));
    std::memcpy(cut.data(), dib.data(), layout->bitsOffset);
    Put32(cut.data() + 4, std::uint32_t(cutWidth));
    Put32(cut.data() + 8, std::uint32_t(cutHeight));
    Put32(cut.data() + 20, std::uint32_t(outRowBytes * std::size_t(cutHeight)));

    // Rows are stored bottom-up: the cut's lowest row is the picture's row `b` from the top.
    const std::uint8_t* in = dib.data() + layout->bitsOffset +
                             std::size_t(height - 1 - b) * std::size_t(layout->rowBytes);
    std::uint8_t* out = cut.data() + layout->bitsOffset;
    const std::size_t inPixelBytes = std::size_t((std::uint64_t(width) * bits + 7) / 8);
    for (std::int64_t row = 0; row < cutHeight; ++row) {
        if (bits < 8)
            CopyPackedPixels(in, inPixelBytes, l, cutWidth, bits, out);
        else
            std::memcpy(out, in + std::size_t(l) * (bits / 8), std::size_t(cutWidth) * (bits / 8));
        in += layout->rowBytes;
        out += outRowBytes;
    }
    return ImgKitFromPackedDib(std::move(cut));
}

} // namespace velmr::image
