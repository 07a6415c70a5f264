#include "image/JpegFile.h"

#include "image/PackedDib.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <turbojpeg.h>

namespace velmr::image {
namespace {

struct HandleCloser
{
    void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFreer
{
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

void Put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(value >> (8 * i));
}

// A packed bitmap of `width` × `height` with its header, and for 8 bits the grey table, filled in.
std::vector<std::uint8_t> NewDib(int width, int height, int bitCount)
{
    const std::uint32_t tableBytes = bitCount == 8 ? 256 * 4 : 0;
    const std::uint64_t pixelBytes = RowBytesFor(width, bitCount) * std::uint64_t(height);
    std::vector<std::uint8_t> dib =
        NewBitmapBuffer(kInfoHeaderSize + tableBytes + std::size_t(pixelBytes));
    Put32(dib.data(), kInfoHeaderSize);
    Put32(dib.data() + 4, std::uint32_t(width));
    Put32(dib.data() + 8, std::uint32_t(height));
    dib[12] = 1;
    dib[14] = std::uint8_t(bitCount);
    Put32(dib.data() + 20, std::uint32_t(pixelBytes));
    if (bitCount == 8) {
        Put32(dib.data() + 32, 256);
        for (int level = 0; level < 256; ++level)
            std::memset(dib.data() + kInfoHeaderSize + 4 * level, level, 3);
    }
    return dib;
}

// Whether a decode that TurboJPEG flagged still gave the whole picture. Only stray bytes between
// markers, which some cameras and editors leave, are let through; a file cut short or with
// damaged data is refused rather than shown with grey or garbled blocks.
bool HarmlessWarning(tjhandle handle)
{
    if (tjGetErrorCode(handle) != TJERR_WARNING)
        return false;
    const char* text = tjGetErrorStr2(handle);
    return text && std::strstr(text, "extraneous bytes before marker") != nullptr;
}

bool Decoded(tjhandle handle, int status)
{
    return status == 0 || HarmlessWarning(handle);
}

// Inverted CMYK as Adobe's programs write it (and TurboJPEG hands it back): 255 is no ink.
void CmykRowsToBgr(const std::uint8_t* cmyk, int width, int height, std::uint8_t* bgr,
                   std::size_t bgrRowBytes)
{
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = cmyk + std::size_t(y) * std::size_t(width) * 4;
        std::uint8_t* out = bgr + std::size_t(y) * bgrRowBytes;
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
            const unsigned k = in[3];
            out[0] = std::uint8_t((in[2] * k + 127) / 255);
            out[1] = std::uint8_t((in[1] * k + 127) / 255);
            out[2] = std::uint8_t((in[0] * k + 127) / 255);
        }
    }
}

} // namespace

bool LooksLikeJpeg(std::span<const std::uint8_t> start)
{
    return start.size() >= 3 && start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF;
}

std::optional<std::vector<std::uint8_t>> ReadJpeg(std::span<const std::uint8_t> file,
                                                  std::uint64_t maxPixelBytes)
{
    if (!LooksLikeJpeg(file) || file.size() > std::numeric_limits<unsigned long>::max())
        return std::nullopt;
    const Handle handle(tjInitDecompress());
    if (!handle)
        return std::nullopt;
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (!Decoded(handle.get(), tjDecompressHeader3(handle.get(), file.data(), file.size(), &width,
                                                   &height, &subsampling, &colorspace)))
        return std::nullopt;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return std::nullopt;

    const bool grey = colorspace == TJCS_GRAY;
    const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    const int bitCount = grey ? 8 : 24;
    const std::uint64_t rowBytes = RowBytesFor(width, bitCount);
    const std::uint64_t limit = std::min(maxPixelBytes, kMaxPixelBytes);
    if (rowBytes * std::uint64_t(height) > limit ||
        (cmyk && std::uint64_t(width) * 4 * std::uint64_t(height) > limit))
        return std::nullopt;

    // Progressive files with absurd numbers of scans are refused instead of decoded for minutes.
    const int flags = TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS;
    std::vector<std::uint8_t> dib = NewDib(width, height, bitCount);
    std::uint8_t* rows = dib.data() + kInfoHeaderSize + (grey ? 256 * 4 : 0);
    if (cmyk) {
        std::vector<std::uint8_t> inks(std::size_t(width) * 4 * std::size_t(height));
        if (!Decoded(handle.get(),
                     tjDecompress2(handle.get(), file.data(), file.size(), inks.data(), width,
                                   width * 4, height, TJPF_CMYK, flags)))
            return std::nullopt;
        CmykRowsToBgr(inks.data(), width, height, rows, rowBytes);
    } else if (!Decoded(handle.get(),
                        tjDecompress2(handle.get(), file.data(), file.size(), rows, width,
                                      int(rowBytes), height, grey ? TJPF_GRAY : TJPF_BGR, flags))) {
        return std::nullopt;
    }
    return dib;
}

std::optional<std::vector<std::uint8_t>> JpegFileBytes(std::span<const std::uint8_t> packedDib,
                                                       int quality)
{
    const std::optional<DibLayout> layout = DibLayout::Of(packedDib);
    const std::int32_t colorType = ColorTypeOf(packedDib);
    if (!layout || (colorType != kColorType24Bit && colorType != kColorType8BitGrey))
        return std::nullopt;
    const int width = layout->width;
    const int height = layout->height;
    const std::uint8_t* rows = packedDib.data() + layout->bitsOffset;
    int pitch = int(layout->rowBytes);

    // Grey pictures are written as their grey levels; the indices are those levels only when
    // the table is the plain 256-step ramp.
    std::vector<std::uint8_t> levels;
    if (colorType == kColorType8BitGrey) {
        std::uint8_t level[256] = {};
        bool ramp = layout->colorCount == 256;
        for (std::uint32_t i = 0; i < layout->colorCount; ++i) {
            level[i] = packedDib[kInfoHeaderSize + 4 * i];
            ramp = ramp && level[i] == i;
        }
        if (!ramp) {
            levels.resize(std::size_t(width) * std::size_t(height));
            for (int y = 0; y < height; ++y) {
                const std::uint8_t* in = rows + std::size_t(y) * layout->rowBytes;
                std::uint8_t* out = levels.data() + std::size_t(y) * std::size_t(width);
                for (int x = 0; x < width; ++x)
                    out[x] = level[in[x]];
            }
            rows = levels.data();
            pitch = width;
        }
    }

    const Handle handle(tjInitCompress());
    if (!handle)
        return std::nullopt;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const bool grey = colorType == kColorType8BitGrey;
    const int status = tjCompress2(
        handle.get(), rows, width, pitch, height, grey ? TJPF_GRAY : TJPF_BGR, &jpeg, &size,
        grey ? TJSAMP_GRAY : TJSAMP_420, std::clamp(quality, 1, 100), TJFLAG_BOTTOMUP);
    const std::unique_ptr<unsigned char, BufferFreer> owned(jpeg);
    if (status != 0 || !jpeg)
        return std::nullopt;
    return std::vector<std::uint8_t>(jpeg, jpeg + size);
}

} // namespace velmr::image
