// The .reg files that Wine's regedit exports and imports.

#include "platform/registry/RegeditFile.h"

#include "tests/sibling/SiblingTestSupport.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace velmr::platform {
namespace {

using namespace Qt::StringLiterals;
using test::Key;

QByteArray Utf16(const QString& text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes += char(c.unicode() & 0xFF);
        bytes += char(c.unicode() >> 8);
    }
    return bytes;
}

QString FromUtf16(const QByteArray& bytes)
{
    EXPECT_TRUE(bytes.startsWith("\xFF\xFE"));
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                              (bytes.size() - 2) / 2);
}

// What Wine 8's regedit /E wrote for a key with values of every type.
const QString kWineExport = uR"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Zeb]

[HKEY_CURRENT_USER\Software\Zeb\Created]

[HKEY_CURRENT_USER\Software\Zeb\Velmor]
"SetupRoot"="C:\\Program Files\\Velmor"

[HKEY_CURRENT_USER\Software\Zeb\Velmor\NameStamp]
@="def"
"B"=hex:01,02
"D"=dword:00000005
"E"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,78,00,00,00
"Empty"=""
"H1"=hex(1):41,00,42,00,00,00
"Long"=hex(1):60,74,b0,74,70,53,71,5f,2d,00,2d,00,2d,00,2d,00,2d,00,2d,00,2d,00,\
  2d,00,2d,00,2d,00,00,00
"M"=hex(7):61,00,00,00,62,00,00,00,00,00
"NL"="x\ny\rz"
"Q"="a\"b\\c"
"Tab"="a<TAB>b"
"Text1"="瑠環"
"Text2"="_"

)"_s.replace(u"\n"_s, u"\r\n"_s)
                                .replace(u"<TAB>"_s, u"\t"_s);

TEST(RegeditFile, ReadsWhatWineExports)
{
    const std::optional<RegeditExport> file = RegeditExport::Parse(Utf16(kWineExport));
    ASSERT_TRUE(file);
    const QStringList name = Key(u"Software\\Zeb\\Velmor\\NameStamp");
    const struct
    {
        const char16_t* value;
        RegistryValueKind kind;
        QString data;
    } cases[] = {
        {u"", RegistryValueKind::String, u"def"_s},
        {u"B", RegistryValueKind::NotString, {}},
        {u"D", RegistryValueKind::NotString, {}},
        {u"E", RegistryValueKind::NotString, {}},
        {u"M", RegistryValueKind::NotString, {}},
        {u"Empty", RegistryValueKind::String, u""_s},
        {u"H1", RegistryValueKind::String, u"AB"_s},
        {u"long", RegistryValueKind::String, u"瑠環印影----------"_s},
        {u"NL", RegistryValueKind::String, u"x\ny\rz"_s},
        {u"Q", RegistryValueKind::String, u"a\"b\\c"_s},
        {u"TAB", RegistryValueKind::String, u"a\tb"_s},
        {u"Text1", RegistryValueKind::String, u"瑠環"_s},
        {u"Text2", RegistryValueKind::String, u"_"_s},
        {u"Missing", RegistryValueKind::Missing, {}},
    };
    for (const auto& c : cases) {
        const QString value = QString::fromUtf16(c.value);
        EXPECT_EQ(file->ValueKind(name, value), c.kind) << value.toStdString();
        EXPECT_EQ(file->StringValue(name, value), c.data) << value.toStdString();
    }
    EXPECT_EQ(file->StringValue(Key(u"software\\ZEB\\velmor"), u"setuproot"_s),
              u"C:\\Program Files\\Velmor"_s);
    for (const char16_t* key : {u"Software", u"Software\\Zeb", u"Software\\Zeb\\Created",
                                u"SOFTWARE\\zeb\\velmor\\namestamp"})
        EXPECT_TRUE(file->KeyExists(Key(key))) << QString::fromUtf16(key).toStdString();
    EXPECT_FALSE(file->KeyExists(Key(u"Software\\Zeb\\Velmor\\DateStamp")));
    EXPECT_EQ(file->Keys().size(), 4u);
    EXPECT_EQ(file->ValueNames(name).size(), 13);
}

TEST(RegeditFile, PassesOverWhatItCannotUse)
{
    const QString text = uR"(REGEDIT4
; a comment
[HKEY_LOCAL_MACHINE\Software\Zeb\Velmor]
"Machine"="not ours"
[-HKEY_CURRENT_USER\Software\Gone]
"Deleted"="x"
[HKCU\Software\Zeb\Velmor]
"Deleted"=-
"Open"="no closing quote
"Zero"="a\0b"
noise line
"Twice"="first"
"TWICE"="second"
  "Spaced" = "yes"
"Hex"=hex:zz,01
"Str"=str(2):"expand"
[broken section
"After"="broken"
)"_s;
    const std::optional<RegeditExport> file = RegeditExport::Parse(text.toUtf8());
    ASSERT_TRUE(file);
    const QStringList velmor = Key(u"Software\\Zeb\\Velmor");
    EXPECT_EQ(file->ValueKind(velmor, u"Machine"_s), RegistryValueKind::Missing);
    EXPECT_FALSE(file->KeyExists(Key(u"Software\\Gone")));
    EXPECT_EQ(file->ValueKind(velmor, u"Deleted"_s), RegistryValueKind::Missing);
    EXPECT_EQ(file->ValueKind(velmor, u"Open"_s), RegistryValueKind::Missing);
    EXPECT_EQ(file->ValueKind(velmor, u"Zero"_s), RegistryValueKind::Missing);
    EXPECT_EQ(file->StringValue(velmor, u"twice"_s), u"second"_s);
    EXPECT_EQ(file->ValueNames(velmor).count(u"Twice"_s), 1) << "first spelling kept";
    EXPECT_EQ(file->StringValue(velmor, u"Spaced"_s), u"yes"_s);
    EXPECT_EQ(file->ValueKind(velmor, u"Hex"_s), RegistryValueKind::Missing);
    EXPECT_EQ(file->ValueKind(velmor, u"Str"_s), RegistryValueKind::NotString);
    EXPECT_EQ(file->ValueKind(velmor, u"After"_s), RegistryValueKind::Missing);

    for (const QByteArray& refused :
         {QByteArray(), QByteArray("WINE REGISTRY Version 2\n"), QByteArray("\xFF\xFE", 2),
          QByteArray("Windows Registry Editor Version 4.00\r\n"),
          QByteArray("\xFF\xFE"
                     "W",
                     3)})
        EXPECT_FALSE(RegeditExport::Parse(refused)) << refused.toStdString();
    // Blank lines before the header and an odd last byte are taken.
    EXPECT_TRUE(
        RegeditExport::Parse(Utf16(u"\r\n\r\nWindows Registry Editor Version 5.00"_s) + 'x'));
    EXPECT_TRUE(RegeditExport::Parse("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"));
}

TEST(RegeditFile, TheImportFileCarriesEveryTextBack)
{
    const QStringList name = Key(u"Software\\Zeb\\Velmor\\NameStamp");
    const QStringList created = Key(u"Software\\Zeb\\Velmor\\DateStamp");
    const QString texts[] = {
        u"瑠環"_s,        u"_"_s,         u""_s,        u"a\"b\\c\\"_s,
        u"x\ny\rz\r\n"_s, u"tab\there"_s, u"😀 emoji"_s, u"[brackets]"_s,
        u"a\0b"_s,        u"=\"=\""_s,    u"\\\\"_s,    QString(400, u'長'),
    };
    std::vector<RegistryChange> changes;
    changes.push_back({created, QString(), QString()});
    int index = 0;
    for (const QString& text : texts)
        changes.push_back({name, u"V%1 \"q\\"_s.arg(index++), text});
    changes.push_back({name, u""_s, u"default"_s});
    changes.push_back({name, u"v0 \"Q\\"_s, u"replaced"_s});

    const QByteArray bytes = RegeditImportFile(changes);
    const QString text = FromUtf16(bytes);
    EXPECT_TRUE(text.startsWith(u"Windows Registry Editor Version 5.00\r\n"_s));
    EXPECT_FALSE(text.contains(QRegularExpression(u"[^\r]\n"_s))) << "CRLF line ends";
    EXPECT_TRUE(text.contains(u"\r\n[HKEY_CURRENT_USER\\Software\\Zeb\\Velmor\\DateStamp]\r\n"_s));
    EXPECT_TRUE(text.contains(u"\"V0 \\\"q\\\\\"=\"瑠環\"\r\n"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"@=\"default\""_s));
    EXPECT_TRUE(text.contains(u"=hex(1):61,00,00,00,62,00,00,00"_s)) << "a NUL needs hex(1)";

    const std::optional<RegeditExport> back = RegeditExport::Parse(bytes);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->KeyExists(created));
    for (int i = 1; i < index; ++i)
        EXPECT_EQ(back->StringValue(name, u"V%1 \"q\\"_s.arg(i)), texts[i]) << i;
    EXPECT_EQ(back->StringValue(name, u"V0 \"q\\"_s), u"replaced"_s);
    EXPECT_EQ(back->StringValue(name, u""_s), u"default"_s);
}

TEST(RegeditFile, KeyNamesThatNoSectionCanCarryAreRefused)
{
    for (const QString& bad : {u"a]b"_s, u"line\nbreak"_s, u"nul\0"_s}) {
        const std::vector<RegistryChange> changes = {{{u"Software"_s, bad}, u"x"_s, u"y"_s}};
        EXPECT_THROW(RegeditImportFile(changes), RegistryError) << bad.toStdString();
    }
    const std::vector<RegistryChange> nulName = {{Key(u"Software\\Zeb"), u"a\0b"_s, u"y"_s}};
    EXPECT_THROW(RegeditImportFile(nulName), RegistryError);
    EXPECT_EQ(RegeditKeyName({u"Software\\Zeb"_s, u"Velmor"_s}),
              u"HKEY_CURRENT_USER\\Software\\Zeb\\Velmor"_s);
}

} // namespace
} // namespace velmr::platform
