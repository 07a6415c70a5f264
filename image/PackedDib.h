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
    std::uint32_t tableBytes = 0; // colour table, or the three masks of bit fields
    std::uint32_t rowBytes = 0;
    std::uint64_t pixelBytes = 0; // rowBytes × height
    std::size_t bitsOffset = 0;   // header + table

    // The layout of `dib`, or nothing when the bytes are not a packed bitmap within the limits.
    static std::optional<DibLayout> Of(std::span<const std::uint8_t> dib);
};

// Bytes of one row of `width` pixels at `bitCount` bits, padded to 4 bytes.
std::uint64_t RowBytesFor(std::int64_t width, int bitCount);

// A zeroed buffer of `size` bytes for a new bitmap. Big ones ask the system for huge pages, so
// that filling a 12-megapixel picture takes a few dozen page faults instead of thousands.
std::vector<std::uint8_t> NewBitmapBuffer(std::size_t size);

} // namespace velmr::image
