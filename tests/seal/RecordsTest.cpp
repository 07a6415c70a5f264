#include "seal/Records.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace velmr::seal;

namespace {

std::span<const std::uint8_t> Span(const std::string& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

std::int32_t IntAt(const std::string& bytes, std::size_t offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<std::uint8_t>(bytes[offset + i]);
    return static_cast<std::int32_t>(v);
}

std::string TextAt(const std::string& bytes, std::size_t offset)
{
    return std::string(bytes.c_str() + offset);
}

TEST(Records, NewNameSealBytesAreTheFileFormat)
{
    const std::string bytes = ToBytes(NewNameStamp());
    ASSERT_EQ(bytes.size(), 168u);
    EXPECT_EQ(TextAt(bytes, 0), "\x96\xBC");  // 名
    EXPECT_EQ(TextAt(bytes, 20), "\x8E\x9A"); // 字
    EXPECT_EQ(TextAt(bytes, 40), "");
    EXPECT_EQ(TextAt(bytes, 60), "");
    EXPECT_EQ(TextAt(bytes, 80), "\x82\x6C\x82\x72\x20\x96\xBE\x92\xA9"); // ＭＳ 明朝
    EXPECT_EQ(bytes[120], 0x01);
    EXPECT_EQ(bytes.substr(121, 3), std::string(3, '\0'));
    const std::pair<std::size_t, std::int32_t> ints[] = {{124, 76},  {128, 117}, {132, 0},
                                                         {136, 255}, {140, 4},   {144, 100},
                                                         {148, 0},   {152, 0},   {156, 0}};
    for (const auto& [offset, value] : ints)
        EXPECT_EQ(IntAt(bytes, offset), value) << offset;
    EXPECT_EQ(bytes.substr(160), std::string(8, '\0'));
    // Every byte after a text's terminator is zero in a new record.
    EXPECT_EQ(bytes.substr(2, 18), std::string(18, '\0'));
}

TEST(Records, NewDateSealBytesAreTheFileFormat)
{
    const std::string bytes = ToBytes(NewDateStamp());
    ASSERT_EQ(bytes.size(), 224u);
    EXPECT_EQ(TextAt(bytes, 0), "\x91\x67\x90\x44");  // 組織
    EXPECT_EQ(TextAt(bytes, 20), "\x96\xBC\x8E\x9A"); // 名字
    EXPECT_EQ(TextAt(bytes, 80), "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
    EXPECT_EQ(bytes.substr(160, 4), std::string("\x01\x01\x01\x00", 4));
    const std::pair<std::size_t, std::int32_t> ints[] = {
        {164, 46}, {168, 36}, {172, 48}, {176, 115}, {180, 255}, {184, 4},
        {188, 0},  {192, 2},  {196, -2}, {200, 0},   {212, 0}};
    for (const auto& [offset, value] : ints)
        EXPECT_EQ(IntAt(bytes, offset), value) << offset;
    EXPECT_EQ(bytes.substr(204, 8), std::string(8, '\0'));
}

TEST(Records, EveryFieldLandsAtItsOffsetLittleEndian)
{
    NameStampExRecord ex;
    ex.UseNameEX = 0x01020304;
    ex.ExFontSize = -2;
    ex.ExTextSpace = 0x7FFFFFFF;
    ex.ExOffsetX = std::numeric_limits<std::int32_t>::min();
    ex.ExOffsetY = 10;
    ex.ExFontStyle = 0x0F;
    ex.ExFontStylePadding = {0xAA, 0xBB, 0xCC};
    ex.Reserved[999] = 0x5A;
    const std::string bytes = ToBytes(ex);
    ASSERT_EQ(bytes.size(), 1144u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(IntAt(bytes, 128), -2);
    EXPECT_EQ(IntAt(bytes, 132), 0x7FFFFFFF);
    EXPECT_EQ(IntAt(bytes, 136), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(IntAt(bytes, 140), 10);
    EXPECT_EQ(bytes.substr(124, 4), std::string("\x0F\xAA\xBB\xCC"));
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[1143]), 0x5A);

    DateStampExRecord dateEx;
    dateEx.Text3.Assign("A");
    dateEx.U_T2Space = 1;
    dateEx.Text4.Assign("B");
    dateEx.L_T2FontSize = 2;
    dateEx.L_T2Space = 3;
    dateEx.Text5.Assign("C");
    dateEx.L_T3Space = 4;
    dateEx.DateNZ = 5;
    const std::string dateBytes = ToBytes(dateEx);
    ASSERT_EQ(dateBytes.size(), 4096u);
    EXPECT_EQ(dateBytes[0], 'A');
    EXPECT_EQ(IntAt(dateBytes, 20), 1);
    EXPECT_EQ(dateBytes[24], 'B');
    EXPECT_EQ(IntAt(dateBytes, 44), 2);
    EXPECT_EQ(IntAt(dateBytes, 48), 3);
    EXPECT_EQ(dateBytes[52], 'C');
    EXPECT_EQ(IntAt(dateBytes, 72), 4);
    EXPECT_EQ(IntAt(dateBytes, 76), 5);
}

TEST(Records, ArbitraryBytesRoundTripExactly)
{
    // Any bytes at all, padding and reserved included, come back unchanged.
    const auto check = [](auto record, std::size_t size) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
        ASSERT_TRUE(FromBytes(Span(bytes), record));
        EXPECT_EQ(ToBytes(record), bytes);
        EXPECT_FALSE(FromBytes(Span(bytes).first(size - 1), record));
    };
    check(NameStampRecord{}, 168);
    check(NameStampExRecord{}, 1144);
    check(DateStampRecord{}, 224);
    check(DateStampExRecord{}, 4096);
}

TEST(Records, TextsAreCutAtCharacterBoundaries)
{
    Text20 text;
    // Ten double-byte characters need 20 bytes; with the terminator only nine fit.
    text.Assign(Sjis(u"名字名字名字名字名字"));
    EXPECT_EQ(text.View().size(), 18u);
    EXPECT_EQ(text.ToUnicode(), QStringLiteral("名字名字名字名字名"));
    EXPECT_EQ(text.bytes[18], '\0');

    Text8 header;
    header.Assign(Sjis(u"AB名字X")); // 7 bytes fit exactly
    EXPECT_EQ(header.ToUnicode(), QStringLiteral("AB名字X"));
    header.Assign(Sjis(u"ABCD名字")); // the second character would be split: left out
    EXPECT_EQ(header.ToUnicode(), QStringLiteral("ABCD名"));
    EXPECT_EQ(header.bytes[6], '\0');
}

TEST(Records, UnterminatedTextFromOutsideEndsAtTheField)
{
    NameStampRecord record;
    std::string bytes = ToBytes(NewNameStamp());
    // Fill Text1 with 19 ASCII letters and a lead byte, no terminator.
    for (int i = 0; i < 19; ++i)
        bytes[i] = 'a';
    bytes[19] = '\x96';
    ASSERT_TRUE(FromBytes(Span(bytes), record));
    EXPECT_EQ(record.Text1.View(), std::string(19, 'a'));
    EXPECT_EQ(record.Text2.ToUnicode(), QStringLiteral("字"));
}

} // namespace
