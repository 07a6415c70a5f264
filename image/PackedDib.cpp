#include "image/PackedDib.h"

#include "image/ImgKit.h"

#include <sys/mman.h>

namespace velmr::image {

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return std::uint16_t(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return std::uint32_t(bytes[offset]) | std::uint32_t(bytes[offset + 1]) << 8 |
           std::uint32_t(bytes[offset + 2]) << 16 | std::uint32_t(bytes[offset + 3]) << 24;
}

std::int32_t ReadI32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::int32_t>(ReadU32(bytes, offset));
}

std::uint64_t RowBytesFor(std::int64_t width, int bitCount)
{
    return ((std::uint64_t(width) * std::uint64_t(bitCount) + 31) / 32) * 4;
}

std::vector<std::uint8_t> NewBitmapBuffer(std::size_t size)
{
    std::vector<std::uint8_t> buffer;
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
    if (size >= 2 * kHugePage) {
        // Storage is reserved untouched, so the advice applies before the first fault.
        buffer.reserve(size);
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(buffer.data());
        const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
        const std::uintptr_t last = (start + size) & ~(kHugePage - 1);
        if (last > first)
            ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
    buffer.resize(size);
    return buffer;
}

std::vector<std::uint8_t> NewAlphaDib(int width, int height,
                                      std::span<const std::uint8_t> resolutionFrom)
{
    const std::uint64_t pixelBytes = RowBytesFor(width, 32) * std::uint64_t(height);
    std::vector<std::uint8_t> dib = NewBitmapBuffer(kInfoHeaderSize + 16 + std::size_t(pixelBytes));
    const auto put32 = [&dib](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            dib[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
    };
    put32(0, kInfoHeaderSize);
    put32(4, std::uint32_t(width));
    put32(8, std::uint32_t(height));
    dib[12] = 1;
    dib[14] = 32;
    put32(16, kCompressionAlphaBitFields);
    put32(20, std::uint32_t(pixelBytes));
    if (resolutionFrom.size() >= kInfoHeaderSize) {
        put32(24, ReadU32(resolutionFrom, 24));
        put32(28, ReadU32(resolutionFrom, 28));
    }
    for (int i = 0; i < 4; ++i)
        put32(kInfoHeaderSize + 4 * std::size_t(i), kAlphaMasks[i]);
    return dib;
}

std::optional<DibLayout> DibLayout::Of(std::span<const std::uint8_t> dib)
{
    if (dib.size() < kInfoHeaderSize || ReadU32(dib, 0) != kInfoHeaderSize)
        return std::nullopt;
    DibLayout layout;
    layout.width = ReadI32(dib, 4);
    layout.height = ReadI32(dib, 8);
    const std::uint16_t planes = ReadU16(dib, 12);
    layout.bitCount = ReadU16(dib, 14);
    layout.compression = ReadU32(dib, 16);
    const std::uint32_t used = ReadU32(dib, 32);
    if (planes != 1 || layout.width <= 0 || layout.height <= 0 || layout.width > kMaxSide ||
        layout.height > kMaxSide)
        return std::nullopt;

    switch (layout.bitCount) {
    case 1:
    case 4:
    case 8: {
        const std::uint32_t implied = 1u << layout.bitCount;
        if (layout.compression != kCompressionRgb || used > implied)
            return std::nullopt;
        layout.colorCount = used == 0 ? implied : used;
        layout.tableBytes = layout.colorCount * 4;
        break;
    }
    case 32:
        if (layout.compression == kCompressionAlphaBitFields) {
            if (dib.size() < kInfoHeaderSize + 16)
                return std::nullopt;
            for (int i = 0; i < 4; ++i)
                if (ReadU32(dib, kInfoHeaderSize + 4 * std::size_t(i)) != kAlphaMasks[i])
                    return std::nullopt;
            layout.tableBytes = 16;
            layout.alpha = true;
            break;
        }
        [[fallthrough]];
    case 16:
        if (layout.compression == kCompressionBitFields)
            layout.tableBytes = 12;
        else if (layout.compression != kCompressionRgb)
            return std::nullopt;
        break;
    case 24:
        if (layout.compression != kCompressionRgb)
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }

    layout.rowBytes = std::uint32_t(RowBytesFor(layout.width, layout.bitCount));
    layout.pixelBytes = std::uint64_t(layout.rowBytes) * std::uint64_t(layout.height);
    layout.bitsOffset = kInfoHeaderSize + layout.tableBytes;
    if (layout.pixelBytes > kMaxPixelBytes || dib.size() < layout.bitsOffset + layout.pixelBytes)
        return std::nullopt;
    return layout;
}

} // namespace velmr::image
