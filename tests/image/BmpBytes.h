#pragma once

// BMP files and packed bitmaps built byte by byte for the image tests, and an independent reader
// of the pixels of a packed bitmap.

#include <QRgb>

#include <bit>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace velmr::test {

struct ByteWriter
{
    std::vector<std::uint8_t> bytes;
    ByteWriter& U8(unsigned v)
    {
        bytes.push_back(std::uint8_t(v));
        return *this;
    }
    ByteWriter& U16(unsigned v) { return U8(v & 0xFF).U8(v >> 8 & 0xFF); }
    ByteWriter& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    ByteWriter& Raw(std::span<const std::uint8_t> more)
    {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
};

// Stored rows of `width` × `height` pixels of `bits`, padded to 4 bytes, bottom-up unless
// `topDown`. `value(x, y)` (y = 0 the top row) is an index for 1 to 8 bits, the 16- or 32-bit
// pixel word, or for 24 bits a QRgb.
inline std::vector<std::uint8_t> StoredRows(int width, int height, int bits,
                                            const std::function<std::uint32_t(int, int)>& value,
                                            bool topDown = false)
{
    const std::size_t row = ((std::size_t(width) * bits + 31) / 32) * 4;
    std::vector<std::uint8_t> rows(row * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* line = rows.data() + row * std::size_t(topDown ? y : height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = value(x, y);
            if (bits < 8) {
                line[x * bits / 8] |= std::uint8_t(v << (8 - bits - x * bits % 8));
            } else if (bits == 24) {
                line[3 * x] = std::uint8_t(qBlue(v));
                line[3 * x + 1] = std::uint8_t(qGreen(v));
                line[3 * x + 2] = std::uint8_t(qRed(v));
            } else {
                for (int i = 0; i < bits / 8; ++i)
                    line[x * bits / 8 + i] = std::uint8_t(v >> (8 * i));
            }
        }
    }
    return rows;
}

struct BmpSpec
{
    std::uint32_t headerSize = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t sizeImage = 0;
    std::vector<std::uint32_t> masks; // after a 40-byte header, else inside the header
    std::vector<std::uint8_t> table;  // as stored: 3 bytes an entry for 12-byte headers, else 4
    std::vector<std::uint8_t> pixels; // as stored
    std::uint32_t gap = 0;            // bytes between the table and the pixels
    std::int64_t offBits = -1;        // -1: where the pixels are
};

inline std::vector<std::uint8_t> BmpFile(const BmpSpec& s)
{
    ByteWriter header;
    if (s.headerSize == 12) {
        header.U32(12).U16(std::uint32_t(s.width)).U16(std::uint32_t(s.height)).U16(1).U16(s.bits);
    } else {
        header.U32(s.headerSize).U32(std::uint32_t(s.width)).U32(std::uint32_t(s.height));
        header.U16(1).U16(s.bits).U32(s.compression).U32(s.sizeImage).U32(2835).U32(2835);
        header.U32(s.colorsUsed).U32(0);
        if (s.headerSize > 40)
            for (const std::uint32_t mask : s.masks)
                header.U32(mask);
        header.bytes.resize(s.headerSize);
        if (s.headerSize == 40)
            for (const std::uint32_t mask : s.masks)
                header.U32(mask);
    }
    const std::size_t pixelsAt = 14 + header.bytes.size() + s.table.size() + s.gap;
    ByteWriter file;
    file.U8('B').U8('M').U32(std::uint32_t(pixelsAt + s.pixels.size())).U32(0);
    file.U32(std::uint32_t(s.offBits >= 0 ? s.offBits : std::int64_t(pixelsAt)));
    file.Raw(header.bytes).Raw(s.table);
    file.bytes.resize(file.bytes.size() + s.gap, 0xEE);
    file.Raw(s.pixels);
    return file.bytes;
}

// Colour table bytes of `colours`, each entry `entrySize` (3 or 4) bytes.
inline std::vector<std::uint8_t> Table(const std::vector<QRgb>& colours, int entrySize = 4)
{
    ByteWriter out;
    for (const QRgb c : colours) {
        out.U8(qBlue(c)).U8(qGreen(c)).U8(qRed(c));
        if (entrySize == 4)
            out.U8(0);
    }
    return out.bytes;
}

// A 16- or 32-bit packed bitmap of `word(x, y)`; with `masks` its compression is bit fields.
inline std::vector<std::uint8_t> DeepDib(int width, int height, int bits,
                                         const std::vector<std::uint32_t>& masks,
                                         const std::function<std::uint32_t(int, int)>& word)
{
    const std::vector<std::uint8_t> rows = StoredRows(width, height, bits, word);
    ByteWriter dib;
    dib.U32(40).U32(std::uint32_t(width)).U32(std::uint32_t(height)).U16(1).U16(unsigned(bits));
    dib.U32(masks.empty() ? 0 : 3).U32(std::uint32_t(rows.size())).U32(0).U32(0).U32(0).U32(0);
    for (const std::uint32_t mask : masks)
        dib.U32(mask);
    return dib.Raw(rows).bytes;
}

inline std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// The palette index at (x, y), y = 0 the top row, of a 1-, 4- or 8-bit packed bitmap.
inline int DibIndex(std::span<const std::uint8_t> dib, int x, int y)
{
    const int width = int(Le32(dib, 4));
    const int height = int(Le32(dib, 8));
    const int bits = dib[14];
    const std::uint32_t used = Le32(dib, 32);
    const std::size_t colours = used ? used : 1u << bits;
    const std::size_t row = ((std::size_t(width) * bits + 31) / 32) * 4;
    const std::uint8_t* line = dib.data() + 40 + 4 * colours + row * std::size_t(height - 1 - y);
    return (line[x * bits / 8] >> (8 - bits - x * bits % 8)) & ((1 << bits) - 1);
}

// The colour at (x, y), y = 0 the top row, of a packed bitmap of any depth the library holds.
inline QRgb DibPixel(std::span<const std::uint8_t> dib, int x, int y)
{
    const int width = int(Le32(dib, 4));
    const int height = int(Le32(dib, 8));
    const int bits = dib[14];
    const bool fields = Le32(dib, 16) == 3;
    if (bits <= 8) {
        const std::size_t entry = 40 + 4 * std::size_t(DibIndex(dib, x, y));
        return qRgb(dib[entry + 2], dib[entry + 1], dib[entry]);
    }
    const std::size_t table = fields ? 12 : 0;
    const std::size_t row = ((std::size_t(width) * bits + 31) / 32) * 4;
    const std::uint8_t* p =
        dib.data() + 40 + table + row * std::size_t(height - 1 - y) + std::size_t(x) * bits / 8;
    if (bits == 24)
        return qRgb(p[2], p[1], p[0]);
    const std::uint32_t word = bits == 16 ? std::uint32_t(p[0] | p[1] << 8) : Le32({p, 4}, 0);
    const std::uint32_t masks[3] = {
        fields       ? Le32(dib, 40)
        : bits == 16 ? 0x7C00u
                     : 0xFF0000u,
        fields       ? Le32(dib, 44)
        : bits == 16 ? 0x03E0u
                     : 0x00FF00u,
        fields       ? Le32(dib, 48)
        : bits == 16 ? 0x001Fu
                     : 0x0000FFu,
    };
    // Each field widened to 8 bits, rounded.
    int channel[3];
    for (int i = 0; i < 3; ++i) {
        const int shift = std::countr_zero(masks[i]);
        const std::uint32_t top = masks[i] >> shift;
        channel[i] = int((((word & masks[i]) >> shift) * 255 + top / 2) / top);
    }
    return qRgb(channel[0], channel[1], channel[2]);
}

} // namespace velmr::test
