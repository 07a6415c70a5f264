#include "image/BmpFile.h"
#include "image/ImgKit.h"
#include "tests/image/BmpBytes.h"
#include "tests/support/TestEnvironment.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

using namespace velmr::image;
using namespace velmr::test;

namespace {

std::vector<QRgb> Colours(int count)
{
    std::vector<QRgb> colours;
    for (int i = 0; i < count; ++i)
        colours.push_back(qRgb(i * 41 % 256, 255 - i * 17 % 256, i * 7 % 256));
    return colours;
}

// A field widened to 8 bits, rounded as the library does.
int Channel(std::uint32_t word, std::uint32_t mask)
{
    const int shift = std::countr_zero(mask);
    const std::uint32_t top = mask >> shift;
    return int((((word & mask) >> shift) * 255 + top / 2) / top);
}

QRgb FromMasks(std::uint32_t word, std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return qRgb(Channel(word, r), Channel(word, g), Channel(word, b));
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> out;
    for (const int v : values)
        out.push_back(std::uint8_t(v));
    return out;
}

struct DepthCase
{
    const char* name;
    std::uint32_t headerSize;
    std::uint16_t bits;
    std::uint32_t compression;
    std::vector<std::uint32_t> masks;
    bool topDown;
    std::int32_t colorType;
    std::uint32_t colorsUsed = 0; // written in the header
    int tableEntries = 0;         // stored; 0 for deep pictures
    std::uint32_t gap = 0;
    bool offBitsZero = false;
};

std::uint32_t Word(const DepthCase& c, int x, int y)
{
    if (c.bits <= 8)
        return std::uint32_t((x * 3 + y * 5) % c.tableEntries);
    if (c.bits == 24)
        return qRgb(x * 20, y * 30, x * y * 9);
    return std::uint32_t(0x5A3C96E1u * std::uint32_t(x + 1) ^ 0x1F2E3D4Cu * std::uint32_t(y + 3)) &
           (c.bits == 16 ? 0xFFFFu : 0xFFFFFFFFu);
}

TEST(BmpRead, EveryDepthAndHeaderLoadsToItsPixels)
{
    const std::vector<std::uint32_t> none;
    const DepthCase cases[] = {
        {"1 bit", 40, 1, 0, none, false, kColorType1Bit, 0, 2},
        {"4 bit top-down", 40, 4, 0, none, true, kColorType4BitColor, 0, 16},
        {"8 bit", 40, 8, 0, none, false, kColorType8BitColor, 0, 256},
        {"8 bit, 3 colours used", 40, 8, 0, none, false, kColorType8BitColor, 3, 3},
        {"4 bit, table cut short by the pixels", 40, 4, 0, none, false, kColorType4BitColor, 0, 5},
        {"8 bit, gap before the pixels", 40, 8, 0, none, true, kColorType8BitColor, 20, 20, 37},
        {"4 bit, offBits 0", 40, 4, 0, none, false, kColorType4BitColor, 16, 16, 0, true},
        {"OS/2 core 8 bit", 12, 8, 0, none, false, kColorType8BitColor, 0, 256},
        {"OS/2 core 1 bit", 12, 1, 0, none, false, kColorType1Bit, 0, 2},
        {"OS/2 core 24 bit", 12, 24, 0, none, false, kColorType24Bit},
        {"OS/2 2.x short header", 16, 8, 0, none, false, kColorType8BitColor, 0, 256},
        {"24 bit top-down", 40, 24, 0, none, true, kColorType24Bit},
        {"16 bit 5-5-5", 40, 16, 0, none, false, kColorTypeOther},
        {"32 bit top-down", 40, 32, 0, none, true, kColorType32Bit},
        {"16 bit 5-6-5 fields", 40, 16, 3, {0xF800, 0x07E0, 0x001F}, false, kColorTypeOther},
        {"32 bit alpha fields",
         40,
         32,
         6,
         {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
         false,
         kColorTypeOther},
        {"V2 16 bit fields", 52, 16, 3, {0x7C00, 0x03E0, 0x001F}, true, kColorTypeOther},
        {"V4 32 bit fields", 108, 32, 3, {0xFF00, 0xFF0000, 0xFF000000}, false, kColorTypeOther},
        {"V5 16 bit 4-4-4 top-down", 124, 16, 3, {0xF00, 0xF0, 0xF}, true, kColorTypeOther},
        {"V5 24 bit", 124, 24, 0, none, false, kColorType24Bit},
    };
    const int width = 13;
    const int height = 5;
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<QRgb> palette = Colours(c.tableEntries);
        BmpSpec spec{
            c.headerSize,
            width,
            c.topDown ? -height : height,
            c.bits,
            c.compression,
            c.colorsUsed,
            0,
            c.masks,
            Table(palette, c.headerSize == 12 ? 3 : 4),
            StoredRows(
                width, height, c.bits, [&](int x, int y) { return Word(c, x, y); }, c.topDown),
            c.gap};
        if (c.offBitsZero)
            spec.offBits = 0;
        const auto dib = ReadBmp(BmpFile(spec));
        ASSERT_TRUE(dib);
        EXPECT_EQ(Le32(*dib, 0), 40u);
        EXPECT_EQ(int(Le32(*dib, 4)), width);
        EXPECT_EQ(int(Le32(*dib, 8)), height);
        EXPECT_EQ((*dib)[14], c.bits);
        EXPECT_EQ(ColorTypeOf(*dib), c.colorType);
        if (c.bits <= 8) {
            EXPECT_EQ(Le32(*dib, 32), std::uint32_t(c.tableEntries));
        }
        for (std::size_t i = 0; i < std::min<std::size_t>(c.masks.size(), 3); ++i)
            EXPECT_EQ(Le32(*dib, 40 + 4 * i), c.masks[i]);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint32_t word = Word(c, x, y);
                QRgb expected = word;
                if (c.bits <= 8)
                    expected = palette[word];
                else if (c.bits == 16 && c.masks.empty())
                    expected = FromMasks(word, 0x7C00, 0x03E0, 0x001F);
                else if (c.bits != 24)
                    expected = c.masks.empty()
                                   ? FromMasks(word, 0xFF0000, 0xFF00, 0xFF)
                                   : FromMasks(word, c.masks[0], c.masks[1], c.masks[2]);
                ASSERT_EQ(DibPixel(*dib, x, y), expected) << x << "," << y;
            }
    }
}

// Rows of 6 (RLE8) and 7 (RLE4) indices, top row first, and the codes that give them: encoded
// runs, absolute runs with and without their padding byte, a delta, line ends and the end.
TEST(BmpRead, RunLengthCodesUnpack)
{
    struct Case
    {
        const char* name;
        std::uint32_t compression;
        int width;
        std::vector<std::uint8_t> codes;
        std::vector<std::vector<int>> rows; // top row first
    };
    const Case cases[] = {
        {"RLE8",
         1,
         6,
         Bytes({3, 5, 0,  3,  1,  2,  3, 0, 0, 0, // 5 5 5 | 1 2 3 + pad | end of line
                2, 7, 0,  2,  2,  1,              // 7 7 | delta 2 right, 1 up
                2, 9, 0,  0,                      // 9 9 | end of line
                0, 4, 10, 11, 12, 13, 0, 1}),     // 10 11 12 13 | end of bitmap
         {{10, 11, 12, 13, 0, 0}, {0, 0, 0, 0, 9, 9}, {7, 7, 0, 0, 0, 0}, {5, 5, 5, 1, 2, 3}}},
        {"RLE4",
         2,
         7,
         Bytes({2, 0x12, 0, 5, 0x34, 0x56, 0x70, 0,    0, 0, // 1 2 | 3 4 5 6 7 + pad | end of line
                3, 0xAB, 0, 2, 3,    0,    1,    0xCC, 0, 0, // A B A | delta 3 | C | end of line
                0, 1}),
         {{0, 0, 0, 0, 0, 0, 0}, {10, 11, 10, 0, 0, 0, 12}, {1, 2, 3, 4, 5, 6, 7}}},
    };
    for (const Case& c : cases) {
        for (const bool topDown : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (topDown ? " top-down" : ""));
            const int height = int(c.rows.size());
            BmpSpec spec{40,
                         c.width,
                         topDown ? -height : height,
                         std::uint16_t(c.compression == 1 ? 8 : 4),
                         c.compression,
                         16,
                         0,
                         {},
                         Table(Colours(16)),
                         c.codes};
            const auto dib = ReadBmp(BmpFile(spec));
            ASSERT_TRUE(dib);
            EXPECT_EQ(Le32(*dib, 16), 0u) << "unpacked";
            EXPECT_EQ(Le32(*dib, 32), 16u);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < c.width; ++x)
                    EXPECT_EQ(DibIndex(*dib, x, topDown ? height - 1 - y : y), c.rows[y][x])
                        << x << "," << y;
        }
    }
}

// A file that is refused both from memory and from disk (where ASan watches the reads).
void ExpectRefused(const std::vector<std::uint8_t>& file, const std::string& name,
                   const BmpReadOptions& options = {})
{
    EXPECT_FALSE(ReadBmp(file, options)) << name;
    if (options.maxPixelBytes != kMaxPixelBytes)
        return;
    const QString path = MakeTempFolder() + QStringLiteral("/refused.bmp");
    WriteFile(path, QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size())));
    EXPECT_EQ(ImgKitFileLoad(path, {}, {}), 0u) << name;
}

TEST(BmpRead, RefusesFilesThatLieOrExceedTheLimits)
{
    ImgKitLoadLibrary();
    const auto rows24 = [](int w, int h) {
        return StoredRows(w, h, 24, [](int, int) { return 0u; });
    };
    const BmpSpec good{40, 4, 3, 24, 0, 0, 0, {}, {}, rows24(4, 3)};
    ASSERT_TRUE(ReadBmp(BmpFile(good)));
    const auto with = [&](auto change) {
        BmpSpec spec = good;
        change(spec);
        return BmpFile(spec);
    };
    const auto patched = [](std::vector<std::uint8_t> file, std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = std::uint8_t(value >> (8 * i));
        return file;
    };
    const auto variant = [&](std::uint16_t bits, std::uint32_t compression,
                             std::vector<std::uint32_t> masks = {}, std::uint32_t used = 0) {
        BmpSpec spec = good;
        spec.bits = bits;
        spec.compression = compression;
        spec.masks = std::move(masks);
        spec.colorsUsed = used;
        return BmpFile(spec);
    };
    const auto oneBit = [](int w, int h, std::size_t pixelBytes) {
        return BmpFile(
            {40, w, h, 1, 0, 0, 0, {}, Table(Colours(2)), std::vector<std::uint8_t>(pixelBytes)});
    };
    const auto rle8 = [&](int w, int h, std::vector<std::uint8_t> codes) {
        return BmpFile({40, w, h, 8, 1, 2, 0, {}, Table(Colours(2)), std::move(codes)});
    };
    const std::vector<std::uint8_t> whole = BmpFile(good);
    std::vector<std::uint8_t> cut = whole;
    cut.pop_back();

    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> bad = {
        {"empty", {}},
        {"only the signature", Bytes({'B', 'M'})},
        {"file header only", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 14)},
        {"header cut short", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 40)},
        {"unknown header size", patched(whole, 14, 41)},
        {"header size beyond the file", patched(whole, 14, 124)},
        {"header size huge", patched(whole, 14, 0xFFFFFFF0u)},
        {"pixels cut short", cut},
        {"offBits beyond the file", patched(whole, 10, 5000)},
        {"offBits inside the header", patched(whole, 10, 30)},
        {"width 0", with([](BmpSpec& s) { s.width = 0; })},
        {"width negative", with([](BmpSpec& s) { s.width = -4; })},
        {"height 0", with([](BmpSpec& s) { s.height = 0; })},
        {"height INT_MIN", with([](BmpSpec& s) { s.height = INT_MIN; })},
        {"width 20001", oneBit(20001, 1, 2504)},
        {"height -20001", oneBit(1, -20001, 4 * 20001)},
        {"20000 x 20000 in a small file", with([](BmpSpec& s) { s.width = s.height = 20000; })},
        {"over 256 MiB of RLE pixels", rle8(17000, 17000, Bytes({0, 1}))},
        {"7 bits", variant(7, 0)},
        {"embedded JPEG", variant(24, 4)},
        {"257 colours", variant(8, 0, {}, 257)},
        {"17 colours for 4 bits", variant(4, 0, {}, 17)},
        {"no room for any colour", patched(variant(8, 0), 10, 54)},
        {"bit fields on 24 bits", variant(24, 3, {0xFF, 0xFF00, 0xFF0000})},
        {"bit fields missing", BmpFile({40, 4, 3, 16, 3, 0, 0, {}, {}, {}})},
        {"overlapping masks", variant(32, 3, {0xFF00, 0xFFF0, 0xF})},
        {"mask with a hole", variant(32, 3, {0xF0F, 0xF000, 0xF0})},
        {"masks all zero", variant(32, 3, {0, 0, 0})},
        {"mask wider than 16 bits", variant(16, 3, {0x1F0000, 0x3E0, 0x1F})},
        {"OS/2 2.x Huffman", patched(variant(16, 3, {0xF800, 0x7E0, 0x1F}), 14, 64)},
        {"RLE8 on 4 bits", variant(4, 1)},
        {"RLE4 on 8 bits", variant(8, 2)},
        {"RLE run past the right edge", rle8(4, 2, Bytes({5, 1, 0, 1}))},
        {"RLE absolute run past the right edge", rle8(4, 2, Bytes({0, 5, 1, 1, 1, 1, 1, 0}))},
        {"RLE absolute run past the data", rle8(4, 2, Bytes({0, 4, 1, 1}))},
        {"RLE absolute run without its padding", rle8(4, 2, Bytes({0, 3, 1, 1, 1}))},
        {"RLE delta past the right edge", rle8(4, 2, Bytes({0, 2, 5, 0, 0, 1}))},
        {"RLE delta past the top", rle8(4, 2, Bytes({0, 2, 0, 3, 0, 1}))},
        {"RLE delta cut short", rle8(4, 2, Bytes({0, 2, 1}))},
        {"RLE run above the last row", rle8(4, 2, Bytes({0, 0, 0, 0, 1, 1, 0, 1}))},
        {"RLE code cut in half", rle8(4, 2, Bytes({1, 1, 0}))},
        {"RLE size beyond the file",
         BmpFile({40, 4, 2, 8, 1, 2, 100, {}, Table(Colours(2)), Bytes({0, 1})})},
        {"RLE without data", rle8(4, 2, {})},
        {"RLE4 run past the right edge",
         BmpFile({40, 3, 1, 4, 2, 2, 0, {}, Table(Colours(2)), Bytes({4, 0x11, 0, 1})})},
    };
    for (const auto& [name, file] : bad)
        ExpectRefused(file, name);

    // The pixel limit is checked on the header, before the rows are unpacked.
    BmpReadOptions small;
    small.maxPixelBytes = 64 * 64 - 1;
    const std::vector<std::uint8_t> big = rle8(64, 64, Bytes({0, 1}));
    ExpectRefused(big, "just over the limit", small);
    small.maxPixelBytes = 64 * 64;
    EXPECT_TRUE(ReadBmp(big, small));
    EXPECT_EQ(ImgKitLiveImageCount(), 0u);
    ImgKitUnloadLibrary();
}

} // namespace
