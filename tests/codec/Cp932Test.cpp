#include "platform/Cp932.h"

#include <gtest/gtest.h>

namespace cp932 = velmr::platform::cp932;

namespace {

std::string Bytes(std::initializer_list<unsigned> values)
{
    std::string out;
    for (unsigned v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

struct CodecCase
{
    const char16_t* text;
    std::string sjis;
};

TEST(Cp932, EncodesAndDecodesTheSealTexts)
{
    const CodecCase cases[] = {
        {u"名", Bytes({0x96, 0xBC})},
        {u"字", Bytes({0x8E, 0x9A})},
        {u"ＭＳ 明朝", Bytes({0x82, 0x6C, 0x82, 0x72, 0x20, 0x96, 0xBE, 0x92, 0xA9})},
        {u"ﾌｧｲﾙ", Bytes({0xCC, 0xA7, 0xB2, 0xD9})}, // half-width katakana are single bytes
        {u"ソ", Bytes({0x83, 0x5C})},               // second byte 0x5C is not a backslash
        {u"①髙", Bytes({0x87, 0x40, 0xFB, 0xFC})},  // NEC and IBM extensions of CP932
        {u"seal-1", "seal-1"},
        {u"", ""},
    };
    for (const CodecCase& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(cp932::Encode(text), c.sjis) << text.toStdString();
        EXPECT_EQ(cp932::Decode(c.sjis), text) << text.toStdString();
    }
}

TEST(Cp932, RefusesCharactersItCannotHold)
{
    for (const char16_t* text : {u"😀", u"名😀字", u"한", u"€"}) {
        const QString unicode = QString::fromUtf16(text);
        EXPECT_FALSE(cp932::Encode(unicode).has_value()) << unicode.toStdString();
        ASSERT_TRUE(cp932::FirstUnrepresentable(unicode).has_value());
    }
    EXPECT_EQ(cp932::FirstUnrepresentable(u"名😀字"), QString::fromUtf16(u"😀"));
    EXPECT_FALSE(cp932::FirstUnrepresentable(u"名字").has_value());
    EXPECT_EQ(cp932::EncodeLossy(u"名😀"), Bytes({0x96, 0xBC, '?'}));
}

TEST(Cp932, DecodingInvalidBytesMarksThemInsteadOfDroppingText)
{
    // A lone lead byte at the end, and a lead byte followed by an invalid trail byte.
    EXPECT_EQ(cp932::Decode(Bytes({'A', 0x96})), QStringLiteral("A\uFFFD"));
    EXPECT_EQ(cp932::Decode(Bytes({0x81, 0x7F, 'B'})).right(1), QStringLiteral("B"));
    EXPECT_TRUE(cp932::Decode(Bytes({0x81, 0x7F})).contains(QChar(QChar::ReplacementCharacter)));
}

TEST(Cp932, CutsAtCharacterBoundaries)
{
    const std::string name = Bytes({0x96, 0xBC, 0x8E, 0x9A, 'A', 0x96, 0xBC}); // 名字A名
    struct Cut
    {
        std::size_t max;
        std::size_t expected;
    };
    for (const Cut& cut : {Cut{0, 0}, Cut{1, 0}, Cut{2, 2}, Cut{3, 2}, Cut{4, 4}, Cut{5, 5},
                           Cut{6, 5}, Cut{7, 7}, Cut{100, 7}}) {
        EXPECT_EQ(cp932::CutToBytes(name, cut.max).size(), cut.expected) << cut.max;
    }
    EXPECT_EQ(cp932::EncodedLength(u"名字A"), 5u);
}

} // namespace
