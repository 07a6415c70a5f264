#include "image/BmpFile.h"

#include "image/PackedDib.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace velmr::image {
namespace {

constexpr std::uint32_t kCoreHeaderSize = 12; // OS/2 1.x BITMAPCOREHEADER
constexpr std::uint32_t kOs2HeaderSize = 64;  // OS/2 2.x, whose compression 3 is not bit fields
constexpr std::uint32_t kV2HeaderSize = 52;   // masks inside the header
constexpr std::uint32_t kV3HeaderSize = 56;   // ... and the alpha mask
constexpr std::uint32_t kV4HeaderSize = 108;
constexpr std::uint32_t kV5HeaderSize = 124;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionAlphaBitFields = 6;

// Pixels are copied and progress reported in pieces of about this many bytes.
constexpr std::uint64_t kChunkBytes = 1u << 20;

void Put16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = std::uint8_t(value);
    at[1] = std::uint8_t(value >> 8);
}

void Put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(value >> (8 * i));
}

bool KnownHeaderSize(std::uint32_t size)
{
    // OS/2 2.x headers may stop after any field from the bit count on.
    return size == kCoreHeaderSize || (size >= 16 && size <= kOs2HeaderSize) ||
           size == kV4HeaderSize || size == kV5HeaderSize;
}

// A channel mask is one run of set bits (or none) within the pixel.
bool UsableMasks(const std::array<std::uint32_t, 3>& masks, int bitCount)
{
    const std::uint64_t pixelBits = (std::uint64_t(1) << bitCount) - 1;
    std::uint32_t seen = 0;
    for (const std::uint32_t mask : masks) {
        if (mask & seen || mask > pixelBits)
            return false;
        if (mask != 0) {
            const std::uint32_t shifted = mask >> std::countr_zero(mask);
            if ((shifted & (shifted + 1)) != 0)
                return false;
        }
        seen |= mask;
    }
    return seen != 0;
}

// What the headers of a BMP file say, checked against each other and the file's size.
struct BmpHeader
{
    std::int32_t width = 0;
    std::int32_t height = 0; // rows, always positive
    bool topDown = false;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::int32_t xPixelsPerMetre = 0;
    std::int32_t yPixelsPerMetre = 0;
    std::array<std::uint32_t, 3> masks{};
    std::uint64_t tableOffset = 0;
    std::uint32_t entrySize = 4;
    std::uint32_t colorCount = 0; // entries read, for indexed pictures
    std::uint64_t bitsOffset = 0;
    std::uint64_t dataEnd = 0;    // end of the compressed data
    std::uint32_t rowBytes = 0;   // of the unpacked rows
    std::uint64_t pixelBytes = 0; // of the unpacked rows
    std::uint32_t outCompression = kCompressionRgb;
};

std::optional<BmpHeader> ReadHeader(ByteSource& source, const BmpReadOptions& options)
{
    const std::uint64_t fileSize = source.Size();
    std::array<std::uint8_t, kFileHeaderSize + 4> start{};
    if (!source.ReadAt(0, start) || !LooksLikeBmp(start))
        return std::nullopt;
    const std::uint32_t offBits = ReadU32(start, 10);
    const std::uint32_t headerSize = ReadU32(start, kFileHeaderSize);
    if (!KnownHeaderSize(headerSize) || kFileHeaderSize + std::uint64_t(headerSize) > fileSize)
        return std::nullopt;

    // Fields a short header lacks read as zero.
    std::array<std::uint8_t, kV5HeaderSize> info{};
    if (!source.ReadAt(kFileHeaderSize, std::span(info).first(headerSize)))
        return std::nullopt;

    BmpHeader h;
    std::int64_t height = 0;
    std::uint32_t colorsUsed = 0;
    if (headerSize == kCoreHeaderSize) {
        h.width = ReadU16(info, 4);
        height = ReadU16(info, 6);
        h.bitCount = ReadU16(info, 10);
        h.entrySize = 3;
    } else {
        h.width = ReadI32(info, 4);
        height = ReadI32(info, 8);
        h.bitCount = ReadU16(info, 14);
        h.compression = ReadU32(info, 16);
        h.xPixelsPerMetre = ReadI32(info, 24);
        h.yPixelsPerMetre = ReadI32(info, 28);
        colorsUsed = ReadU32(info, 32);
    }
    if (h.width <= 0 || h.width > kMaxSide || height == 0 || height < -kMaxSide ||
        height > kMaxSide)
        return std::nullopt;
    h.topDown = height < 0;
    h.height = std::int32_t(height < 0 ? -height : height);

    // Masks of bit fields follow a 40-byte header; longer headers hold them.
    std::uint32_t masksAfterHeader = 0;
    switch (h.compression) {
    case kCompressionRgb:
        if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 16 &&
            h.bitCount != 24 && h.bitCount != 32)
            return std::nullopt;
        break;
    case kCompressionRle8:
    case kCompressionRle4:
        if (h.bitCount != (h.compression == kCompressionRle8 ? 8 : 4))
            return std::nullopt;
        break;
    case kCompressionBitFields:
    case kCompressionAlphaBitFields: {
        const bool alpha = h.compression == kCompressionAlphaBitFields;
        if ((h.bitCount != 16 && h.bitCount != 32) || headerSize == kOs2HeaderSize)
            return std::nullopt;
        if (headerSize == kInfoHeaderSize) {
            masksAfterHeader = alpha ? 16 : 12;
            std::array<std::uint8_t, 12> masks{};
            if (!source.ReadAt(kFileHeaderSize + kInfoHeaderSize, masks))
                return std::nullopt;
            std::copy(masks.begin(), masks.end(), info.begin() + kInfoHeaderSize);
        } else if (headerSize < (alpha ? kV3HeaderSize : kV2HeaderSize)) {
            return std::nullopt;
        }
        for (int i = 0; i < 3; ++i)
            h.masks[i] = ReadU32(info, kInfoHeaderSize + 4 * i);
        if (!UsableMasks(h.masks, h.bitCount))
            return std::nullopt;
        h.outCompression = kCompressionBitFields;
        break;
    }
    default:
        return std::nullopt;
    }

    h.tableOffset = kFileHeaderSize + std::uint64_t(headerSize) + masksAfterHeader;
    const bool indexed = h.bitCount <= 8;
    const std::uint32_t implied = indexed ? 1u << h.bitCount : 0;
    if (indexed && colorsUsed > implied)
        return std::nullopt;
    // Deep pictures may carry a colour table for display on palette screens; it is skipped.
    const std::uint64_t declared = indexed ? (colorsUsed ? colorsUsed : implied) : colorsUsed;
    const std::uint64_t tableEnd = h.tableOffset + declared * h.entrySize;
    h.bitsOffset = offBits == 0 ? tableEnd : offBits;
    if (h.bitsOffset < h.tableOffset || h.bitsOffset > fileSize)
        return std::nullopt;
    if (indexed) {
        // A table cut short by the pixels that follow it holds the colours that fit.
        h.colorCount = std::uint32_t(
            std::min<std::uint64_t>(declared, (h.bitsOffset - h.tableOffset) / h.entrySize));
        if (h.colorCount == 0)
            return std::nullopt;
    }

    const std::uint64_t storedRowBytes = RowBytesFor(h.width, h.bitCount);
    h.rowBytes = std::uint32_t(storedRowBytes);
    h.pixelBytes = storedRowBytes * std::uint64_t(h.height);
    if (h.pixelBytes > std::min(options.maxPixelBytes, kMaxPixelBytes))
        return std::nullopt;
    if (h.compression == kCompressionRle8 || h.compression == kCompressionRle4) {
        const std::uint32_t sizeImage = ReadU32(info, 20);
        h.dataEnd = sizeImage == 0 ? fileSize : h.bitsOffset + sizeImage;
        if (h.dataEnd > fileSize || h.dataEnd <= h.bitsOffset)
            return std::nullopt;
    } else if (h.bitsOffset + h.pixelBytes > fileSize) {
        return std::nullopt;
    }
    return h;
}

// Runs the RLE8 or RLE4 codes of `data` into `rows` (bottom-up, `rowBytes` apart), or only checks
// them when `rows` is null. False when a code would write outside the picture or read past the
// data. Data that ends between two codes ends the picture as an end-of-bitmap code would.
bool UnpackRle(std::span<const std::uint8_t> data, const BmpHeader& h, std::uint8_t* rows)
{
    const bool four = h.compression == kCompressionRle4;
    const std::int64_t width = h.width;
    const std::int64_t height = h.height;
    std::size_t at = 0;
    std::int64_t x = 0;
    std::int64_t y = 0; // rows in the order they are stored
    const auto row = [&] {
        return rows + std::size_t(h.topDown ? height - 1 - y : y) * h.rowBytes;
    };
    const auto put = [&](std::uint8_t* line, std::int64_t column, std::uint8_t index) {
        if (!four) {
            line[column] = index;
            return;
        }
        std::uint8_t& pair = line[column / 2];
        pair = column % 2 == 0 ? std::uint8_t((pair & 0x0F) | index << 4)
                               : std::uint8_t((pair & 0xF0) | index);
    };

    while (at < data.size()) {
        if (data.size() - at < 2)
            return false;
        const std::uint8_t count = data[at];
        const std::uint8_t value = data[at + 1];
        at += 2;
        if (count > 0) {
            // An encoded run: one index, or for RLE4 two alternating ones.
            if (y >= height || x + count > width)
                return false;
            if (rows) {
                std::uint8_t* line = row();
                for (int i = 0; i < count; ++i)
                    put(line, x + i,
                        four ? std::uint8_t(i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            }
            x += count;
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return true;
        case 2: { // delta
            if (data.size() - at < 2)
                return false;
            x += data[at];
            y += data[at + 1];
            at += 2;
            if (x > width || y > height)
                return false;
            break;
        }
        default: { // absolute run of `value` indices, padded to a word
            const std::size_t bytes = four ? (value + 1u) / 2 : value;
            const std::size_t padded = (bytes + 1) & ~std::size_t(1);
            if (data.size() - at < padded || y >= height || x + value > width)
                return false;
            if (rows) {
                std::uint8_t* line = row();
                for (int i = 0; i < value; ++i) {
                    const std::uint8_t byte = data[at + (four ? i / 2 : i)];
                    put(line, x + i,
                        four ? std::uint8_t(i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
                }
            }
            x += value;
            at += padded;
            break;
        }
        }
    }
    return true;
}

bool CopyRows(ByteSource& source, const BmpHeader& h, std::uint8_t* rows,
              const BmpReadOptions& options)
{
    const std::uint64_t rowBytes = h.rowBytes;
    const std::uint64_t rowsPerChunk = std::max<std::uint64_t>(1, kChunkBytes / rowBytes);
    const std::uint64_t height = std::uint64_t(h.height);
    for (std::uint64_t first = 0; first < height; first += rowsPerChunk) {
        const std::uint64_t count = std::min(rowsPerChunk, height - first);
        const std::uint64_t from = h.bitsOffset + first * rowBytes;
        if (!h.topDown) {
            if (!source.ReadAt(from, std::span(rows + first * rowBytes, count * rowBytes)))
                return false;
        } else {
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::uint64_t target = height - 1 - (first + i);
                if (!source.ReadAt(from + i * rowBytes,
                                   std::span(rows + target * rowBytes, rowBytes)))
                    return false;
            }
        }
        if (options.progress)
            options.progress(double(first + count) / double(height));
    }
    return true;
}

} // namespace

bool MemorySource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset)
        return false;
    if (!out.empty())
        std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return true;
}

bool LooksLikeBmp(std::span<const std::uint8_t> start)
{
    return start.size() >= 2 && start[0] == 'B' && start[1] == 'M';
}

std::optional<std::vector<std::uint8_t>> ReadBmp(ByteSource& source, const BmpReadOptions& options)
{
    const std::optional<BmpHeader> header = ReadHeader(source, options);
    if (!header)
        return std::nullopt;
    const BmpHeader& h = *header;
    const bool rle = h.compression == kCompressionRle8 || h.compression == kCompressionRle4;

    std::vector<std::uint8_t> packed;
    if (rle) {
        // The codes are checked before the rows are allocated.
        packed.resize(std::size_t(h.dataEnd - h.bitsOffset));
        if (!source.ReadAt(h.bitsOffset, packed) || !UnpackRle(packed, h, nullptr))
            return std::nullopt;
    }

    const std::uint32_t tableBytes =
        h.bitCount <= 8 ? h.colorCount * 4 : (h.outCompression == kCompressionBitFields ? 12 : 0);
    const std::size_t bitsOffset = kInfoHeaderSize + tableBytes;
    std::vector<std::uint8_t> dib = NewBitmapBuffer(bitsOffset + std::size_t(h.pixelBytes));

    std::uint8_t* out = dib.data();
    Put32(out, kInfoHeaderSize);
    Put32(out + 4, std::uint32_t(h.width));
    Put32(out + 8, std::uint32_t(h.height));
    Put16(out + 12, 1);
    Put16(out + 14, h.bitCount);
    Put32(out + 16, h.outCompression);
    Put32(out + 20, std::uint32_t(h.pixelBytes));
    Put32(out + 24, std::uint32_t(h.xPixelsPerMetre));
    Put32(out + 28, std::uint32_t(h.yPixelsPerMetre));
    Put32(out + 32, h.bitCount <= 8 ? h.colorCount : 0);

    if (h.bitCount <= 8) {
        std::vector<std::uint8_t> table(std::size_t(h.colorCount) * h.entrySize);
        if (!source.ReadAt(h.tableOffset, table))
            return std::nullopt;
        for (std::uint32_t i = 0; i < h.colorCount; ++i) {
            std::memcpy(out + kInfoHeaderSize + 4 * i, table.data() + i * h.entrySize, 3);
            out[kInfoHeaderSize + 4 * i + 3] = 0;
        }
    } else if (h.outCompression == kCompressionBitFields) {
        for (int i = 0; i < 3; ++i)
            Put32(out + kInfoHeaderSize + 4 * i, h.masks[i]);
    }

    std::uint8_t* rows = out + bitsOffset;
    if (rle) {
        if (!UnpackRle(packed, h, rows))
            return std::nullopt;
        if (options.progress)
            options.progress(1.0);
    } else if (!CopyRows(source, h, rows, options)) {
        return std::nullopt;
    }
    if (!DibLayout::Of(dib))
        return std::nullopt;
    return dib;
}

std::optional<std::vector<std::uint8_t>> ReadBmp(std::span<const std::uint8_t> file,
                                                 const BmpReadOptions& options)
{
    MemorySource source(file);
    return ReadBmp(source, options);
}

std::vector<std::uint8_t> BmpFileBytes(std::span<const std::uint8_t> packedDib)
{
    const std::optional<DibLayout> layout = DibLayout::Of(packedDib);
    if (!layout)
        return {};
    const std::size_t dibBytes = layout->bitsOffset + std::size_t(layout->pixelBytes);
    std::vector<std::uint8_t> file(kFileHeaderSize + dibBytes);
    std::uint8_t* out = file.data();
    out[0] = 'B';
    out[1] = 'M';
    Put32(out + 2, std::uint32_t(file.size()));
    Put32(out + 10, std::uint32_t(kFileHeaderSize + layout->bitsOffset));
    std::memcpy(out + kFileHeaderSize, packedDib.data(), dibBytes);
    Put32(out + kFileHeaderSize + 20, std::uint32_t(layout->pixelBytes));
    return file;
}

} // namespace velmr::image
