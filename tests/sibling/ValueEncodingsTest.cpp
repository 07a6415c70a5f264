#include "sibling/ValueEncodings.h"

#include "platform/registry/RegistryAccessor.h"
#include "tests/sibling/SiblingTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace velmr::sibling {
namespace {

using namespace Qt::StringLiterals;
using test::Sjis;

template <typename Fields> QStringList ValueNames(std::span<const ValueRule<Fields>> rules)
{
    QStringList names;
    for (const ValueRule<Fields>& rule : rules) {
        if (rule.kind == ValueKind::StylePair)
            names << BoldValueName(rule.name) << ItalicValueName(rule.name);
        else
            names << rule.name.toString();
    }
    return names;
}

TEST(ValueEncodings, TheTablesNameEveryValueInTheOrderOfRegistering)
{
    EXPECT_EQ(ValueNames(NameStampValues()).join(u' '),
              u"Text1 Text2 Text3 Text4 FontName FontSize StampSize TextSpace StampColor LineWidth "
              "CircleParameter OffsetX OffsetY Resolution FontStyleBold FontStyleItalic UseNameEX "
              "ExText1 ExText2 ExText3 ExText4 ExFontName ExFontSize ExTextSpace ExOffsetX "
              "ExOffsetY ExFontStyleBold ExFontStyleItalic"_s);
    EXPECT_EQ(ValueNames(DateStampValues()).join(u' '),
              u"Text1 Text2 FontNameU FontNameM FontNameL FontSizeU FontSizeM FontSizeL StampSize "
              "StampColor LineWidth SpaceM PositionU PositionL Years TwinRing Header "
              "FontStyleUBold FontStyleUItalic FontStyleMBold FontStyleMItalic FontStyleLBold "
              "FontStyleLItalic Text3 Text4 U_T2Space L_T2FontSize L_T2Space Text5 L_T3Space "
              "DateNZ"_s);

    // Only the eight later date values have import defaults: texts "_", numbers "0".
    QStringList defaults;
    for (const auto& rule : DateStampValues()) {
        if (!rule.importDefault.isEmpty())
            defaults << rule.name.toString() + u'=' + rule.importDefault.toString();
    }
    EXPECT_EQ(defaults.join(u' '), u"Text3=_ Text4=_ U_T2Space=0 L_T2FontSize=0 L_T2Space=0 "
                                   "Text5=_ L_T3Space=0 DateNZ=0"_s);
    for (const auto& rule : NameStampValues())
        EXPECT_TRUE(rule.importDefault.isEmpty()) << rule.name.toString().toStdString();
}

TEST(ValueEncodings, IntegersAreWrittenAsPlainDecimalText)
{
    const std::pair<std::int32_t, const char16_t*> cases[] = {
        {117, u"117"},
        {-2, u"-2"},
        {0, u"0"},
        {16711680, u"16711680"},
        {255, u"255"},
        {std::numeric_limits<std::int32_t>::min(), u"-2147483648"},
        {2147483647, u"2147483647"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(WriteInteger(value), QString::fromUtf16(text)) << value;
    EXPECT_EQ(WriteSwitch(5), u"1"_s);
    EXPECT_EQ(WriteSwitch(-1), u"1"_s);
    EXPECT_EQ(WriteSwitch(0), u"0"_s);
}

TEST(ValueEncodings, IntegersReadAsFarAsTheyHaveLeadingDigits)
{
    const std::pair<const char16_t*, std::int32_t> cases[] = {
        {u"117", 117},
        {u"-2", -2},
        {u"+5", 5},
        {u"  42", 42},
        {u"\t\n-7x", -7},
        {u"12abc", 12},
        {u"007", 7},
        {u"abc", 0},
        {u"", 0},
        {u"-", 0},
        {u"- 3", 0},
        {u"0x1F", 0},
        {u"１２", 0},    // full-width digits are not digits here
        {u"\u30003", 0}, // nor is the ideographic space white space
        {u"2147483647", 2147483647},
        {u"2147483648", 2147483647},
        {u"99999999999999999999", 2147483647},
        {u"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {u"-99999999999", std::numeric_limits<std::int32_t>::min()},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ReadInteger(QString::fromUtf16(text)), value)
            << QString::fromUtf16(text).toStdString();
}

TEST(ValueEncodings, SealTextsMarkTheEmptyTextPlainTextsDoNot)
{
    EXPECT_EQ(WriteSealText(""), u"_"_s);
    EXPECT_EQ(WriteSealText(Sjis(u"名")), u"名"_s);
    EXPECT_EQ(ReadSealText(u"_"_s), "");
    EXPECT_EQ(ReadSealText(u"__"_s), "__");
    EXPECT_EQ(ReadSealText(u" _"_s), " _");
    EXPECT_EQ(ReadSealText(u""_s), "");
    EXPECT_EQ(ReadSealText(u"山田"_s), Sjis(u"山田"));
    EXPECT_EQ(WritePlainText(""), u""_s);
    EXPECT_EQ(ReadPlainText(u"_"_s), "_");
    // A character that Shift-JIS cannot hold reads as "?".
    EXPECT_EQ(ReadSealText(u"a😀b"_s), "a?b");
}

TEST(ValueEncodings, StylePairsCarryOnlyBoldAndItalic)
{
    for (int style = 0; style < 16; ++style) {
        const std::optional<StyleValues> pair = WriteStylePair(std::uint8_t(style));
        if (style > 3) {
            EXPECT_FALSE(pair) << "style " << style << " writes neither value";
            continue;
        }
        ASSERT_TRUE(pair) << style;
        EXPECT_EQ(pair->bold, style & 1 ? u"1"_s : u"0"_s) << style;
        EXPECT_EQ(pair->italic, style & 2 ? u"1"_s : u"0"_s) << style;
    }
    struct Case
    {
        const char16_t* bold;
        const char16_t* italic;
        std::uint8_t style;
    };
    const Case cases[] = {
        {u"1", u"0", 0x01},  {u"0", u"1", 0x02}, {u"1", u"1", 0x03},
        {u"0", u"0", 0x00},  {u"01", u"", 0x00}, {u"1 ", u"1", 0x02},
        {u" 1", u"x", 0x00}, {u"2", u"1", 0x02}, {u"", u"", 0x00},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadStylePair(QString::fromUtf16(c.bold), QString::fromUtf16(c.italic)), c.style)
            << QString::fromUtf16(c.bold).toStdString() << "/"
            << QString::fromUtf16(c.italic).toStdString();
}

// Values read from the store into the records: the program's own store in the private HOME.
class StoredValues : public ::testing::Test
{
protected:
    seal::NameStampRecord name{};
    seal::NameStampExRecord nameEx{};
    seal::DateStampRecord date{};
    seal::DateStampExRecord dateEx{};

    void ReadName()
    {
        platform::RegistryAccessor registry;
        ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb\\Velmor\\NameStamp"_s, true));
        ReadNameStamp(registry, name, nameEx);
        registry.Close();
    }
    void ReadDate()
    {
        platform::RegistryAccessor registry;
        ASSERT_TRUE(registry.OpenKey(u"Software\\Zeb\\Velmor\\DateStamp"_s, true));
        ReadDateStamp(registry, date, dateEx);
        registry.Close();
    }
};

TEST_F(StoredValues, LongValuesAreCutToTheFieldAtACharacterBoundary)
{
    test::WriteStore(
        "\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\n"
        // ten 瑠 (20 bytes) into 19: nine remain
        "\"Text1\"=\"\\x7460\\x7460\\x7460\\x7460\\x7460\\x7460\\x7460\\x7460\\x7460\\x7460\"\n"
        // a and ten 瑠 (21 bytes): a and nine 瑠, 19 bytes
        "\"Text2\"=\"a\\x7460\\x7460\\x7460\\x7460\\x7460\\x7460\\x7460\\x7460\\x7460"
        "\\x7460\"\n"
        // 24 ASCII letters: 19 of them
        "\"Text3\"=\"abcdefghijklmnopqrstuvwx\"\n"
        // twenty-five 明 (50 bytes) into 39: nineteen
        "\"FontName\"=\"" +
        QByteArray("\\x660e").repeated(25) +
        "\"\n"
        "\"Text4\"=\"x\\xd83d\\xde00y\"\n"
        "\n[Software\\\\Zeb\\\\Velmor\\\\DateStamp] 1\n"
        // No. and １２３ (9 bytes) into 7: No.１２
        "\"Header\"=\"No.\\xff11\\xff12\\xff13\"\n");
    ReadName();
    EXPECT_EQ(name.Text1.View(), Sjis(u"瑠瑠瑠瑠瑠瑠瑠瑠瑠"));
    EXPECT_EQ(name.Text2.View(), Sjis(u"a瑠瑠瑠瑠瑠瑠瑠瑠瑠"));
    EXPECT_EQ(name.Text3.View(), "abcdefghijklmnopqrs");
    EXPECT_EQ(name.FontName.View(), Sjis(QString(19, u'明')));
    EXPECT_EQ(name.Text4.View(), "x?y") << "a character without a Shift-JIS code";
    for (const auto* text : {&name.Text1, &name.Text2, &name.Text3})
        EXPECT_EQ(text->bytes[19], '\0') << "the terminator stays";
    EXPECT_EQ(name.FontName.bytes[38], '\0');
    ReadDate();
    EXPECT_EQ(date.Header.View(), Sjis(u"No.１２"));
    EXPECT_EQ(date.Header.bytes[7], '\0');
}

TEST_F(StoredValues, ValuesOfOtherTypesReadAsMissing)
{
    test::WriteStore("\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\n"
                     "\"FontSize\"=dword:00000010\n"
                     "\"Text1\"=hex:41,00\n"
                     "\"FontStyleBold\"=dword:00000001\n"
                     "\"FontStyleItalic\"=\"1\"\n"
                     "\"StampSize\"=hex(2):31,00,32,00,00,00\n"
                     "\"OffsetX\"=str(2):\"5\"\n"
                     "\"Text2\"=hex(1):41,00,00,00\n" // a string after all, in hex form
                     "\"LineWidth\"=\"4\"\n");
    ReadName();
    EXPECT_EQ(name.FontSize, 0);
    EXPECT_TRUE(name.Text1.Empty());
    EXPECT_EQ(name.FontStyle, seal::kStyleItalic);
    EXPECT_EQ(name.StampSize, 0);
    EXPECT_EQ(name.OffsetX, 0);
    EXPECT_EQ(name.Text2.View(), "A");
    EXPECT_EQ(name.LineWidth, 4);
}

TEST_F(StoredValues, ImportingAnOlderDateSealWritesTheLaterDefaults)
{
    test::WriteStore("\n[Software\\\\Zeb\\\\Velmor\\\\DateStamp] 1\n"
                     "\"Text1\"=\"\\x7dcf\\x52d9\"\n"
                     "\"Header\"=\"_\"\n"
                     "\"U_T2Space\"=\"\"\n"           // present but empty
                     "\"L_T2Space\"=dword:00000003\n" // of another type: missing
                     "\"L_T3Space\"=\"-4\"\n"
                     "\"DateNZ\"=\"5\"\n");
    ReadDate();
    const platform::UserRegFile store = test::ReadStore();
    const std::pair<const char16_t*, const char16_t*> expected[] = {
        {u"Text3", u"_"},     {u"Text4", u"_"}, {u"U_T2Space", u"0"},  {u"L_T2FontSize", u"0"},
        {u"L_T2Space", u"0"}, {u"Text5", u"_"}, {u"L_T3Space", u"-4"}, {u"DateNZ", u"5"},
    };
    for (const auto& [value, data] : expected) {
        const QString valueName = QString::fromUtf16(value);
        EXPECT_EQ(store.ValueKind(test::kDateStampPath, valueName),
                  platform::RegistryValueKind::String)
            << valueName.toStdString();
        EXPECT_EQ(store.StringValue(test::kDateStampPath, valueName), QString::fromUtf16(data))
            << valueName.toStdString();
    }
    // Nothing but the later values is written.
    EXPECT_EQ(store.ValueKind(test::kDateStampPath, u"Text2"_s),
              platform::RegistryValueKind::Missing);
    EXPECT_EQ(store.ValueKind(test::kDateStampPath, u"Years"_s),
              platform::RegistryValueKind::Missing);

    EXPECT_EQ(date.Text1.View(), Sjis(u"総務"));
    EXPECT_EQ(date.Header.View(), "_") << "no translation for a plain text";
    EXPECT_TRUE(dateEx.Text3.Empty());
    EXPECT_TRUE(dateEx.Text4.Empty());
    EXPECT_TRUE(dateEx.Text5.Empty());
    EXPECT_EQ(dateEx.U_T2Space, 0);
    EXPECT_EQ(dateEx.L_T2Space, 0);
    EXPECT_EQ(dateEx.L_T3Space, -4);
    EXPECT_EQ(dateEx.DateNZ, 5) << "read as a number, any nonzero number is on";
}

TEST_F(StoredValues, AnEmptyNameStampKeyReadsAsZerosNotTheNewSealDefaults)
{
    test::WriteStore("\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\n");
    name = seal::NewNameStamp();
    nameEx = seal::NewNameStampEx();
    ReadName();
    EXPECT_EQ(name, seal::NameStampRecord{});
    EXPECT_EQ(nameEx, seal::NameStampExRecord{});
}

} // namespace
} // namespace velmr::sibling
