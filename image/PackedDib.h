#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Reading the fixed parts of a packed device-independent bitmap held in memory.
namespace velmr::image {

inline constexpr std::uint32_t kInfoHeaderSize = 40;
inline constexpr std::uint32_t kCompressionRgb = 0;
inline constexpr std::uint32_t kCompressionBitFields = 3;
// 32-bit pixels whose fourth byte is alpha: four masks (red, green, blue, alpha) follow the header.
// The library holds such pictures only with the masks of kAlphaMasks, so that a pixel's bytes are
// blue, green, red and alpha, not premultiplied (QImage::Format_ARGB32 on a little-endian
// machine). They are the library's own: files and the clipboard get them laid over white.
inline constexpr std::uint32_t kCompressionAlphaBitFields = 6;
inline constexpr std::uint32_t kAlphaMasks[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu,
                                                 0xFF000000u};

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t offset);
std::int32_t ReadI32(std::span<const std::uint8_t> bytes, std::size_t offset);

// The header of a packed bitmap that the library holds, checked against the bytes behind it.
struct DibLayout
{
    std::int32_t width = 0;
    std::int32_t height = 0; // positive: rows bottom-up
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorCount = 0; // entries of the colour table
    std::uint32_t tableBytes = 0; // colour table, or the three (four) masks of bit fields
    bool alpha = false;           // 32-bit pixels with alpha (kCompressionAlphaBitFields)
    std::uint32_t rowBytes = 0;
    std::uint64_t pixelBytes = 0; // rowBytes × height
    std::size_t bitsOffset = 0;   // header + table

    // The layout of `dib`, or nothing when the bytes are not a packed bitmap within the limits.
    static std::optional<DibLayout> Of(std::span<const std::uint8_t> dib);
};

// A packed bitmap of `width` × `height` pixels with alpha (rows zeroed, to be filled bottom-up
// with B, G, R, A bytes), keeping the resolution of `resolutionFrom` when it is a bitmap.
std::vector<std::uint8_t> NewAlphaDib(int width, int height,
                                      std::span<const std::uint8_t> resolutionFrom = {});

// A channel of a colour with `alpha` laid over white, rounded.
inline std::uint8_t OnWhite(int channel, int alpha)
{
    return std::uint8_t((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}

// Bytes of one row of `width` pixels at `bitCount` bits, padded to 4 bytes.
std::uint64_t RowBytesFor(std::int64_t width, int bitCount);

// A zeroed buffer of `size` bytes for a new bitmap. Big ones ask the system for huge pages, so
// that filling a 12-megapixel picture takes a few dozen page faults instead of thousands.
std::vector<std::uint8_t> NewBitmapBuffer(std::size_t size);

} // namespace velmr::image
