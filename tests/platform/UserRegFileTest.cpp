#include "platform/registry/UserRegFile.h"

#include "tests/platform/RegistryTestSupport.h"

#include <gtest/gtest.h>

namespace velmr::platform {
namespace {

using namespace Qt::StringLiterals;
using test::Key;
using test::kFixedSeconds;
using test::kFixedTime;
using test::kFixedTimeLine;
using test::ParseOrFail;
using test::WineFile;

const QStringList kVelmor = Key(u"Software\\Zeb\\Velmor");

std::string Text(const QByteArray& bytes)
{
    return bytes.toStdString();
}

// Writes `text` as the name and the data of a value, checks the bytes of the line and reads the
// written file back.
TEST(UserRegFileEscapes, WritesWineEscapesAndReadsThemBack)
{
    struct Case
    {
        QString text;
        QByteArray escaped;
    };
    const Case cases[] = {
        {QStringLiteral("瑠環印影"), R"(\x7460\x74b0\x5370\x5f71)"},
        {QStringLiteral("名字"), R"(\x540d\x5b57)"},
        {QStringLiteral("\"quoted\""), R"(\"quoted\")"},
        {QStringLiteral(R"(C:\Velmor\)"), R"(C:\\Velmor\\)"},
        {QStringLiteral("tab\tnl\ncr\r bel\a bs\b ff\f vt\v esc\x1b"),
         R"(tab\tnl\ncr\r bel\a bs\b ff\f vt\v esc\e)"},
        {QStringLiteral("\x01\x1f"
                        "7"),
         R"(\001\0377)"},
        {QStringLiteral("nul\0"
                        "7"),
         R"(nul\0007)"},
        {QStringLiteral("😀"), R"(\xd83d\xde00)"}, // outside the BMP: a surrogate pair
        {QStringLiteral("中5"), R"(\x4e2d5)"},    // four digits even before a hex digit
        {QStringLiteral("éa"), R"(\x00e9a)"},
        {QStringLiteral("_"), "_"},
        {QStringLiteral(""), ""},
        {QStringLiteral("[not a key] @ # ;"), "[not a key] @ # ;"},
        {QStringLiteral("\x7f~"), "\x7f~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Text(c.escaped));
        UserRegFile file = UserRegFile::Empty();
        const QString name = u"V"_s + c.text;
        ASSERT_TRUE(file.SetString(kVelmor, name, c.text, kFixedTime));
        const QByteArray bytes = file.Serialize();
        const QByteArray line = "\n\"V" + c.escaped + "\"=\"" + c.escaped + "\"\n";
        EXPECT_TRUE(bytes.contains(line)) << Text(bytes);
        for (const char byte : bytes)
            EXPECT_LT(static_cast<unsigned char>(byte), 0x80);

        const UserRegFile reread = ParseOrFail(bytes);
        EXPECT_EQ(reread.ValueKind(kVelmor, name), RegistryValueKind::String);
        EXPECT_EQ(reread.StringValue(kVelmor, name), c.text);
        EXPECT_EQ(reread.ValueNames(kVelmor), QStringList{name});
    }
}

TEST(UserRegFileEscapes, KeyNamesEscapeBracketsAndSplitOnBackslashes)
{
    UserRegFile file = UserRegFile::Empty();
    const QStringList key = {u"Soft]ware"_s, u"[瑠環]"_s};
    ASSERT_TRUE(file.CreateKey(key, kFixedTime));
    const QByteArray bytes = file.Serialize();
    EXPECT_TRUE(bytes.contains("\n[Soft\\]ware\\\\\\[\\x7460\\x74b0\\]] " + kFixedSeconds + "\n"))
        << Text(bytes);

    const UserRegFile reread = ParseOrFail(bytes + "[A\\\\\\\\B\\\\] 1\n");
    EXPECT_EQ(reread.Keys(), (std::vector<QStringList>{key, Key(u"A\\B")}));
    EXPECT_TRUE(reread.KeyExists({u"a\\b"_s}));
}

// Value lines in the forms Wine's own reader accepts, not only the ones it writes.
TEST(UserRegFileReading, ReadsValuesAsWineDoes)
{
    struct Case
    {
        QByteArray lines;
        QString name;
        RegistryValueKind kind;
        QString data;
    };
    using enum RegistryValueKind;
    const Case cases[] = {
        {R"("a"="\x41G")", u"a"_s, String, u"AG"_s},
        {R"("a"="\x4e2Z")", u"a"_s, String, u"\u04e2Z"_s},
        {R"("a"="\x4e2d5")", u"a"_s, String, u"中5"_s},
        {R"("a"="\xg")", u"a"_s, String, u"xg"_s},
        {R"("a"="\101\0012\7")", u"a"_s, String,
         u"A\x01"
         "2\a"_s},
        {R"("a"="\q\"\\\e\[")", u"a"_s, String, u"q\"\\\x1b["_s},
        {"\"a\"=\"\xe7\x91\xa0\xe7\x92\xb0\"", u"a"_s, String, u"瑠環"_s},
        {"\"a\"=\"\xff\xfe"
         "A\xe7\x91\"",
         u"a"_s, String, u"A"_s}, // invalid UTF-8 is skipped
        {"\"a\"=\"\xf0\x9f\x98\x80\"", u"a"_s, String, u"😀"_s},
        {R"(  "a" =  "spaced")", u"a"_s, String, u"spaced"_s},
        {R"("a"="text" ignored after the quote)", u"a"_s, String, u"text"_s},
        {R"("A"="case")", u"a"_s, String, u"case"_s},
        {R"("a"=str:"plain")", u"a"_s, String, u"plain"_s},
        {R"("a"=hex(1):41,00,42,00)", u"a"_s, String, u"AB"_s},
        {R"("a"=hex(1):41,00,00,00)", u"a"_s, String, u"A"_s},
        {R"(@="default")", u""_s, String, u"default"_s},
        {R"(""="default too")", u""_s, String, u"default too"_s},
        {R"("a"=dword:00000001)", u"a"_s, NotString, u""_s},
        {R"("a"=dword:zz)", u"a"_s, NotString, u""_s},
        {R"("a"=hex:01,02)", u"a"_s, NotString, u""_s},
        {"\"a\"=hex:01,\\\n  02,\\ anything here is skipped\n  03", u"a"_s, NotString, u""_s},
        {R"("a"=str(2):"%PATH%")", u"a"_s, NotString, u""_s},
        {R"("a"=str(7):"one\0two\0")", u"a"_s, NotString, u""_s},
        {R"("a"=hex(7):41,00,00,00)", u"a"_s, NotString, u""_s},
        {R"("a"=hex(2):25,00)", u"a"_s, NotString, u""_s},
        // Malformed data: Wine still makes a value, without type or data.
        {R"("a"="unterminated)", u"a"_s, NotString, u""_s},
        {R"("a"="ends in \)", u"a"_s, NotString, u""_s},
        {R"("a"=str(1):"x")", u"a"_s, NotString, u""_s},
        {R"("a"=bogus:1)", u"a"_s, NotString, u""_s},
        {R"("a"=hex:zz)", u"a"_s, NotString, u""_s},
        {R"("a"=hex:100)", u"a"_s, NotString, u""_s},
        // No name or no "=": Wine ignores the line.
        {R"("a" "x")", u"a"_s, Missing, u""_s},
        {R"("a)", u"a"_s, Missing, u""_s},
        {R"(a="x")", u"a"_s, Missing, u""_s},
        {R"(@x="x")", u""_s, Missing, u""_s},
    };
    const QStringList key = Key(u"Software\\Test");
    for (const Case& c : cases) {
        SCOPED_TRACE(Text(c.lines));
        const UserRegFile file = ParseOrFail(
            WineFile("\n[Software\\\\Test] 1\n" + c.lines + "\n\"after\"=\"still read\"\n"));
        EXPECT_EQ(file.ValueKind(key, c.name), c.kind);
        EXPECT_EQ(file.StringValue(key, c.name), c.data);
        EXPECT_EQ(file.StringValue(key, u"after"_s), u"still read"_s);
    }
}

TEST(UserRegFileReading, HexDataGoesOnOverTheNextLineWhateverItHolds)
{
    // Wine takes the line after a "\" for more hex data even when it looks like a key.
    const UserRegFile file = ParseOrFail(WineFile("\n[A] 1\n"
                                                  "\"bin\"=hex:01,\\\n"
                                                  "[B] 1\n"
                                                  "\"x\"=\"y\"\n"));
    EXPECT_FALSE(file.KeyExists(Key(u"B")));
    EXPECT_EQ(file.StringValue(Key(u"A"), u"x"_s), u"y"_s);
    EXPECT_EQ(file.ValueKind(Key(u"A"), u"bin"_s), RegistryValueKind::NotString);
}

TEST(UserRegFileReading, LaterLinesWinButTheFirstSpellingStays)
{
    const QByteArray bytes = WineFile("\n[K] 1\n"
                                      "\"dup\"=\"first\"\n"
                                      "\"DUP\"=\"second\"\n"
                                      "\"kept\"=\"string\"\n"
                                      "\"kept\"=bogus:1\n"
                                      "\n[k] 1\n"
                                      "\"Dup\"=\"third\"\n"
                                      "\"other\"=\"x\"\n");
    UserRegFile file = ParseOrFail(bytes);
    EXPECT_EQ(file.StringValue(Key(u"K"), u"dup"_s), u"third"_s);
    EXPECT_EQ(file.ValueKind(Key(u"K"), u"kept"_s), RegistryValueKind::NotString);
    EXPECT_EQ(file.ValueNames(Key(u"K")), (QStringList{u"dup"_s, u"kept"_s, u"other"_s}));
    EXPECT_EQ(file.Keys(), (std::vector<QStringList>{Key(u"K")}));

    // The line that gives the value its data is the one replaced, with the first spelling;
    // a new value goes to the key's last section.
    ASSERT_TRUE(file.SetString(Key(u"k"), u"DUP"_s, u"fourth"_s, kFixedTime));
    ASSERT_TRUE(file.SetString(Key(u"k"), u"new"_s, u"n"_s, kFixedTime));
    EXPECT_EQ(Text(file.Serialize()), Text(WineFile("\n[K] 1\n"
                                                    "\"dup\"=\"first\"\n"
                                                    "\"DUP\"=\"second\"\n"
                                                    "\"kept\"=\"string\"\n"
                                                    "\"kept\"=bogus:1\n"
                                                    "\n[k] " +
                                                    kFixedSeconds + "\n" + kFixedTimeLine +
                                                    "\n"
                                                    "\"dup\"=\"fourth\"\n"
                                                    "\"other\"=\"x\"\n"
                                                    "\"new\"=\"n\"\n")));
}

// As Wine 8 loads a file (checked against "wine regedit /E" by the Wine registry test): a line
// whose data cannot be parsed leaves its value without type or data, whatever an earlier line
// gave it; a line without a readable name or "=" is passed over.
TEST(UserRegFileReading, ALaterMalformedLineLeavesTheValueWithoutData)
{
    using enum RegistryValueKind;
    const struct
    {
        QByteArray lines;
        RegistryValueKind kind;
        QString data;
    } cases[] = {
        {"\"v\"=\"old\"\n\"v\"=bogus:1\n", NotString, u""_s},
        {"\"v\"=\"old\"\n\"v\"=\"unterminated\n", NotString, u""_s},
        {"\"v\"=\"old\"\n\"V\"=str(1):\"x\"\n", NotString, u""_s},
        {"\"v\"=\"old\"\n\"v\"=hex:zz\n", NotString, u""_s},
        {"\"v\"=\"old\"\n\"v\"=bogus:1\n\"v\"=\"new\"\n", String, u"new"_s},
        {"\"v\"=\"old\"\n\"v\" \"x\"\n", String, u"old"_s},
        {"\"v\"=\"old\"\n\n[K] 2\n\"v\"=bogus:1\n", NotString, u""_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Text(c.lines));
        UserRegFile file = ParseOrFail(WineFile("\n[K] 1\n" + c.lines));
        EXPECT_EQ(file.ValueKind(Key(u"K"), u"v"_s), c.kind);
        EXPECT_EQ(file.StringValue(Key(u"K"), u"v"_s), c.data);

        // A value written afterwards is what Wine reads.
        ASSERT_TRUE(file.SetString(Key(u"K"), u"v"_s, u"written"_s, kFixedTime));
        EXPECT_EQ(ParseOrFail(file.Serialize()).StringValue(Key(u"K"), u"v"_s), u"written"_s);
    }
}

TEST(UserRegFileKeys, KeysAndNamesCompareWithoutCase)
{
    UserRegFile file = ParseOrFail(WineFile("\n[Software\\\\Zeb\\\\Velmor] 1\n"
                                            "\"Name\"=\"x\"\n"
                                            "\n[Software\\\\\\x00c4\\x00d6] 1\n"
                                            "\"Stra\\x00dfe\"=\"y\"\n"));
    EXPECT_TRUE(file.KeyExists(Key(u"SOFTWARE\\zeb\\VelMor")));
    EXPECT_EQ(file.StringValue(Key(u"software\\ZEB\\velmor"), u"nAmE"_s), u"x"_s);
    EXPECT_TRUE(file.KeyExists(Key(u"software\\äö")));
    EXPECT_EQ(file.StringValue(Key(u"Software\\äÖ"), u"STRAßE"_s), u"y"_s);

    ASSERT_TRUE(file.SetString(Key(u"software\\zeb\\velmor"), u"NAME"_s, u"z"_s, kFixedTime));
    ASSERT_TRUE(file.CreateKey(Key(u"SOFTWARE\\ZEB\\velmor\\New"), kFixedTime));
    const QByteArray bytes = file.Serialize();
    EXPECT_TRUE(bytes.contains("\n\"Name\"=\"z\"\n")) << Text(bytes);
    EXPECT_TRUE(bytes.contains("\n[Software\\\\Zeb\\\\Velmor\\\\New] ")) << Text(bytes);
    EXPECT_FALSE(bytes.contains("NAME")) << Text(bytes);
    EXPECT_FALSE(bytes.contains("ZEB")) << Text(bytes);
}

TEST(UserRegFileKeys, KeysBelowASectionExistWithoutOneOfTheirOwn)
{
    const QByteArray bytes =
        WineFile("\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\n\"a\"=\"b\"\n");
    UserRegFile file = ParseOrFail(bytes);
    EXPECT_TRUE(file.KeyExists({}));
    EXPECT_TRUE(file.KeyExists(Key(u"Software")));
    EXPECT_TRUE(file.KeyExists(Key(u"software\\zeb")));
    EXPECT_TRUE(file.KeyExists({u"Software\\Zeb"_s, u""_s, u"Velmor"_s}));
    EXPECT_TRUE(file.KeyExists(Key(u"Software\\Zeb\\Velmor\\NameStamp")));
    EXPECT_FALSE(file.KeyExists(Key(u"Software\\Zeb\\Velmor\\NameStamp\\Deeper")));
    EXPECT_FALSE(file.KeyExists(Key(u"Software\\Velmor")));
    EXPECT_FALSE(file.KeyExists(Key(u"Soft")));
    EXPECT_EQ(file.ValueKind(Key(u"Software\\Zeb"), u"a"_s), RegistryValueKind::Missing);

    EXPECT_FALSE(file.CreateKey(Key(u"Software\\Zeb"), kFixedTime));
    EXPECT_FALSE(file.CreateKey({}, kFixedTime));
    EXPECT_EQ(Text(file.Serialize()), Text(bytes));
}

TEST(UserRegFileKeys, KeyLinesWineCannotReadHoldNoValues)
{
    const UserRegFile file = ParseOrFail(WineFile("\n[Broken 1\n\"a\"=\"b\"\n"
                                                  "\n[Good] 1\n\"a\"=\"c\"\n"));
    EXPECT_FALSE(file.KeyExists(Key(u"Broken")));
    EXPECT_EQ(file.StringValue(Key(u"Good"), u"a"_s), u"c"_s);
    EXPECT_EQ(file.Keys(), (std::vector<QStringList>{Key(u"Good")}));
}

TEST(UserRegFileParsing, AcceptsOnlyWineRegistryFiles)
{
    struct Case
    {
        QByteArray bytes;
        bool accepted;
    };
    const Case cases[] = {
        {"WINE REGISTRY Version 2\n", true},
        {"WINE REGISTRY Version 2", true},
        {"WINE REGISTRY Version 2\r\n\r\n[A] 1\r\n", true},
        {"\xEF\xBB\xBFWINE REGISTRY Version 2\n", true},
        {"", false},
        {"\n", false},
        {"WINE REGISTRY Version 1\n", false},
        {"WINE REGISTRY Version 2 \n", false},
        {" WINE REGISTRY Version 2\n", false},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n", false},
        {"Windows Registry Editor Version 5.00\r\n", false},
        {QByteArray("\xFF\xFEW\0I\0N\0E\0", 10), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Text(c.bytes));
        const std::optional<UserRegFile> file = UserRegFile::Parse(c.bytes);
        EXPECT_EQ(file.has_value(), c.accepted);
        if (file) {
            EXPECT_EQ(Text(file->Serialize()), Text(c.bytes));
        }
    }
}

TEST(UserRegFileParsing, NewFileStartsWithWinesHeader)
{
    const QByteArray header = "WINE REGISTRY Version 2\n"
                              ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
                              "\n"
                              "#arch=win64\n";
    EXPECT_EQ(Text(NewUserRegHeader()), Text(header));
    UserRegFile file = UserRegFile::Empty();
    EXPECT_EQ(Text(file.Serialize()), Text(header));
    ASSERT_TRUE(file.SetString(kVelmor, u"Name"_s, u"瑠環"_s, kFixedTime));
    EXPECT_EQ(Text(file.Serialize()),
              Text(header + "\n[Software\\\\Zeb\\\\Velmor] " + kFixedSeconds + "\n" +
                   kFixedTimeLine + "\n\"Name\"=\"\\x7460\\x74b0\"\n"));
}

// Many keys, comments, CRLF line ends, a byte order mark, odd escapes and broken lines: only the
// lines of the changed values and the time stamps of the changed keys may differ.
TEST(UserRegFileEditing, KeepsEveryByteTheChangesDoNotConcern)
{
    QByteArray keysBefore;
    QByteArray keysAfter;
    for (int i = 0; i < 300; ++i) {
        const QByteArray n = QByteArray::number(i).rightJustified(3, '0');
        keysBefore += "\r\n[Software\\\\Alpha\\\\K" + n + "] 1700000" + n + "\r\n#time=1da" + n +
                      "0000000000\r\n\"v\"=\"\\x30d5\\x30a1\\x30a4\\x30eb" + n +
                      "\"\r\n\"o\"=\"\\x41G\\q\\101\"\r\n\"b\"=hex:01,02,\\\r\n  03\r\n";
        keysAfter += "\r\n[Software\\\\zz" + n + "] 17\r\n; comment " + n + "\r\n\"d\"=dword:0000" +
                     n + "\r\ngarbage line " + n + "\r\n";
    }
    const QByteArray head = "\xEF\xBB\xBFWINE REGISTRY Version 2\r\n"
                            ";; All keys relative to \\\\User\\\\S-1-5-21-1-2-3-1000\r\n"
                            "\r\n"
                            "#arch=win32\r\n";
    const QByteArray velmorBefore = "\r\n[Software\\\\Zeb\\\\Velmor] 1700000000\r\n"
                                    "#time=1da0000000000000\r\n"
                                    "#class=\"VelmorClass\"\r\n"
                                    "\"Keep\"=dword:00000001\r\n"
                                    "this line is broken and stays\r\n"
                                    "\"Name\"=\"old\"\r\n"
                                    "\"Bin\"=hex(3):01,\\\r\n"
                                    "  02\r\n"
                                    "; trailing comment\r\n";
    const QByteArray velmorAfter = "\r\n[Software\\\\Zeb\\\\Velmor] " + kFixedSeconds + "\r\n" +
                                   kFixedTimeLine +
                                   "\r\n"
                                   "#class=\"VelmorClass\"\r\n"
                                   "\"Keep\"=dword:00000001\r\n"
                                   "this line is broken and stays\r\n"
                                   "\"Name\"=\"\\x65b0\"\r\n"
                                   "\"Bin\"=\"now text\"\r\n"
                                   "\"Added\"=\"x\"\r\n"
                                   "; trailing comment\r\n"
                                   "\r\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] " +
                                   kFixedSeconds + "\r\n" + kFixedTimeLine + "\r\n";
    const QByteArray subKey = "\r\n[Software\\\\Zeb\\\\Velmor\\\\Z] 1700000000\r\n"
                              "\"z\"=\"z\"\r\n";
    const QByteArray original = head + keysBefore + velmorBefore + subKey + keysAfter;
    const QByteArray expected = head + keysBefore + velmorAfter + subKey + keysAfter;

    UserRegFile file = ParseOrFail(original);
    EXPECT_EQ(Text(file.Serialize()), Text(original));
    EXPECT_TRUE(file.SetString(Key(u"software\\zeb\\velmor"), u"name"_s, u"新"_s, kFixedTime));
    EXPECT_TRUE(file.SetString(kVelmor, u"Bin"_s, u"now text"_s, kFixedTime));
    EXPECT_TRUE(file.SetString(kVelmor, u"Added"_s, u"x"_s, kFixedTime));
    EXPECT_FALSE(file.SetString(kVelmor, u"Added"_s, u"x"_s, kFixedTime));
    EXPECT_TRUE(file.CreateKey(kVelmor + QStringList{u"NameStamp"_s}, kFixedTime));
    EXPECT_EQ(Text(file.Serialize()), Text(expected));

    const UserRegFile reread = ParseOrFail(file.Serialize());
    EXPECT_EQ(reread.StringValue(kVelmor, u"Name"_s), u"新"_s);
    EXPECT_EQ(reread.StringValue(Key(u"Software\\Alpha\\K123"), u"v"_s), u"ファイル123"_s);
    EXPECT_EQ(reread.StringValue(Key(u"Software\\Alpha\\K123"), u"o"_s), u"AGqA"_s);
}

TEST(UserRegFileEditing, NewKeysGoWhereWineWouldSortThem)
{
    struct Case
    {
        QStringList key;
        std::vector<QStringList> order;
    };
    const QStringList a = Key(u"A");
    const QStringList ab = Key(u"A\\B");
    const QStringList c = Key(u"C");
    const Case cases[] = {
        {Key(u"0"), {Key(u"0"), a, ab, c}},       {Key(u"A\\A0"), {a, Key(u"A\\A0"), ab, c}},
        {Key(u"a\\c"), {a, ab, Key(u"A\\c"), c}}, {Key(u"b"), {a, ab, Key(u"b"), c}},
        {Key(u"Z\\Y"), {a, ab, c, Key(u"Z\\Y")}},
    };
    const QByteArray original = WineFile("\n[A] 1\n\"a\"=\"1\"\n"
                                         "\n[A\\\\B] 1\n"
                                         "\n[C] 1\n\"c\"=\"3\""); // no line end at the end
    for (const Case& test : cases) {
        SCOPED_TRACE(test.key.join(u'\\').toStdString());
        UserRegFile file = ParseOrFail(original);
        ASSERT_TRUE(file.CreateKey(test.key, kFixedTime));
        EXPECT_EQ(file.Keys(), test.order);
        const UserRegFile reread = ParseOrFail(file.Serialize());
        EXPECT_EQ(reread.Keys(), test.order);
        EXPECT_EQ(reread.StringValue(c, u"c"_s), u"3"_s);
    }

    UserRegFile file = ParseOrFail(original);
    ASSERT_TRUE(file.SetString(Key(u"D"), u"d"_s, u"4"_s, kFixedTime));
    EXPECT_EQ(Text(file.Serialize()), Text(original + "\n\n[D] " + kFixedSeconds + "\n" +
                                           kFixedTimeLine + "\n\"d\"=\"4\"\n"));
    file = ParseOrFail(original);
    ASSERT_TRUE(file.SetString(c, u"e"_s, u"5"_s, kFixedTime));
    EXPECT_TRUE(file.Serialize().endsWith("\n\"c\"=\"3\"\n\"e\"=\"5\"\n"));
}

TEST(UserRegFileEditing, OnlyChangedKeysGetNewTimeStamps)
{
    const QByteArray original = WineFile("\n[A] 1700000000\n#time=1da0000000000000\n\"a\"=\"1\"\n"
                                         "\n[B] 1700000000\n\"b\"=\"2\"\n"
                                         "\n[C] 1700000000\n#time=1da0000000000000\n\"c\"=\"3\"\n");
    UserRegFile file = ParseOrFail(original);
    EXPECT_FALSE(file.SetString(Key(u"A"), u"a"_s, u"1"_s, kFixedTime));
    EXPECT_TRUE(file.SetString(Key(u"B"), u"b"_s, u"two"_s, kFixedTime));
    EXPECT_TRUE(file.SetString(Key(u"C"), u"new"_s, u"x"_s, kFixedTime));
    EXPECT_EQ(
        Text(file.Serialize()),
        Text(WineFile("\n[A] 1700000000\n#time=1da0000000000000\n\"a\"=\"1\"\n"
                      "\n[B] " +
                      kFixedSeconds + "\n" + kFixedTimeLine +
                      "\n\"b\"=\"two\"\n"
                      "\n[C] " +
                      kFixedSeconds + "\n" + kFixedTimeLine + "\n\"c\"=\"3\"\n\"new\"=\"x\"\n")));
}

TEST(UserRegFileEditing, ValuesOfOtherTypesBecomeStringsOnlyWhenWritten)
{
    const QByteArray original = WineFile("\n[K] 1\n\"dw\"=dword:00000005\n"
                                         "\"ex\"=str(2):\"%PATH%\"\n\"mal\"=bogus:1\n");
    UserRegFile file = ParseOrFail(original);
    EXPECT_TRUE(file.SetString(Key(u"K"), u"DW"_s, u"5"_s, kFixedTime));
    EXPECT_TRUE(file.SetString(Key(u"K"), u"mal"_s, u"m"_s, kFixedTime));
    const QByteArray bytes = file.Serialize();
    EXPECT_EQ(Text(bytes), Text(WineFile("\n[K] " + kFixedSeconds + "\n" + kFixedTimeLine +
                                         "\n\"dw\"=\"5\"\n\"ex\"=str(2):\"%PATH%\"\n"
                                         "\"mal\"=\"m\"\n")));
    const UserRegFile reread = ParseOrFail(bytes);
    EXPECT_EQ(reread.ValueKind(Key(u"K"), u"ex"_s), RegistryValueKind::NotString);
    EXPECT_EQ(reread.StringValue(Key(u"K"), u"mal"_s), u"m"_s);
}

TEST(UserRegFileEditing, KeepsTheFilesLastLineIntact)
{
    // A hex value that waits for more data at the end of the file must not take the new line.
    const QByteArray original = WineFile("\n[K] 1\n\"sz\"=hex(1):41,00,\\\n");
    UserRegFile file = ParseOrFail(original);
    ASSERT_EQ(file.ValueKind(Key(u"K"), u"sz"_s), RegistryValueKind::NotString);
    ASSERT_TRUE(file.SetString(Key(u"K"), u"new"_s, u"x"_s, kFixedTime));
    ASSERT_TRUE(file.CreateKey(Key(u"L"), kFixedTime));
    const UserRegFile reread = ParseOrFail(file.Serialize());
    EXPECT_EQ(reread.ValueKind(Key(u"K"), u"sz"_s), RegistryValueKind::NotString);
    EXPECT_EQ(reread.StringValue(Key(u"K"), u"new"_s), u"x"_s);
    EXPECT_TRUE(reread.KeyExists(Key(u"L")));

    UserRegFile noLineEnd = ParseOrFail(WineFile("\n[K] 1\n#time=1"));
    ASSERT_TRUE(noLineEnd.SetString(Key(u"K"), u"v"_s, u"w"_s, kFixedTime));
    EXPECT_EQ(Text(noLineEnd.Serialize()),
              Text(WineFile("\n[K] " + kFixedSeconds + "\n" + kFixedTimeLine + "\n\"v\"=\"w\"\n")));
}

} // namespace
} // namespace velmr::platform
