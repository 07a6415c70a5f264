// Registering name and date seals into the Velmor key and importing them back, against the
// program's own store in the private HOME.

#include "platform/registry/RegistryAccessor.h"
#include "seal/PictureControl.h"
#include "sibling/ImportSeals.h"
#include "sibling/RegisterSeals.h"
#include "tests/sibling/SiblingFixture.h"

#include <QDir>
#include <QFileInfo>

namespace velmr::test {
namespace {

using namespace Qt::StringLiterals;
using platform::RegistryValueKind;

// Records what reaches it: the store in memory, each commit as one list of changes.
class RecordingStore final : public platform::RegistryBackend
{
public:
    std::unique_ptr<platform::RegistrySnapshot> Load() override
    {
        return std::make_unique<platform::UserRegFile>(
            *platform::UserRegFile::Parse(file_.Serialize()));
    }
    void Commit(const std::vector<platform::RegistryChange>& changes) override
    {
        commits.push_back(changes);
        for (const platform::RegistryChange& change : changes)
            file_.Apply(change, 1);
    }
    std::vector<std::vector<platform::RegistryChange>> commits;

private:
    platform::UserRegFile file_ = platform::UserRegFile::Empty();
};

void ExpectValues(const platform::UserRegFile& store, const QStringList& key,
                  const std::vector<std::pair<QString, QString>>& values)
{
    for (const auto& [name, data] : values) {
        EXPECT_EQ(store.ValueKind(key, name), RegistryValueKind::String) << name.toStdString();
        EXPECT_EQ(store.StringValue(key, name), data) << name.toStdString();
    }
}

using RegisterImport = SiblingCommands;

TEST_F(RegisterImport, ANewNameSealIsWrittenValueByValue)
{
    seal::TMDIChild* document = NewNameSeal();
    document->NameStampEx.ExFontStyle = seal::kStyleItalic;
    Register();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, u"瑠環印影MGR"_s);
    EXPECT_EQ(dialogs.messages[0].text, u"認印を登録しました"_s);

    const platform::UserRegFile store = ReadStore();
    ExpectValues(store, kNameStampPath,
                 {{u"Text1"_s, u"名"_s},
                  {u"Text2"_s, u"字"_s},
                  {u"Text3"_s, u"_"_s},
                  {u"Text4"_s, u"_"_s},
                  {u"FontName"_s, u"ＭＳ 明朝"_s},
                  {u"FontSize"_s, u"76"_s},
                  {u"StampSize"_s, u"117"_s},
                  {u"TextSpace"_s, u"0"_s},
                  {u"StampColor"_s, u"255"_s},
                  {u"LineWidth"_s, u"4"_s},
                  {u"CircleParameter"_s, u"100"_s},
                  {u"OffsetX"_s, u"0"_s},
                  {u"OffsetY"_s, u"0"_s},
                  {u"Resolution"_s, u"0"_s},
                  {u"FontStyleBold"_s, u"1"_s},
                  {u"FontStyleItalic"_s, u"0"_s},
                  {u"UseNameEX"_s, u"0"_s},
                  {u"ExText1"_s, u"_"_s},
                  {u"ExText2"_s, u"_"_s},
                  {u"ExText3"_s, u"_"_s},
                  {u"ExText4"_s, u"_"_s},
                  {u"ExFontName"_s, u"ＭＳ 明朝"_s},
                  {u"ExFontSize"_s, u"76"_s},
                  {u"ExTextSpace"_s, u"0"_s},
                  {u"ExOffsetX"_s, u"0"_s},
                  {u"ExOffsetY"_s, u"0"_s},
                  {u"ExFontStyleBold"_s, u"0"_s},
                  {u"ExFontStyleItalic"_s, u"1"_s}});
    EXPECT_EQ(store.ValueNames(kNameStampPath).size(), 28);
    EXPECT_EQ(document->NameStamp, seal::NewNameStamp()) << "nothing in the document changes";
}

TEST_F(RegisterImport, AllValuesOfOneRegistrationReachTheStoreInOneCommit)
{
    const auto recording = std::make_shared<RecordingStore>();
    const StoreOverride override(recording);
    NewNameSeal();
    Register();
    NewDateSeal();
    Register();
    ASSERT_EQ(recording->commits.size(), 2u);
    std::size_t nameValues = 0;
    for (const platform::RegistryChange& change : recording->commits[0]) {
        if (!change.valueName.isNull()) {
            EXPECT_EQ(change.keyPath, kNameStampPath);
            ++nameValues;
        }
    }
    EXPECT_EQ(nameValues, 28u);
    std::size_t dateValues = 0;
    for (const platform::RegistryChange& change : recording->commits[1])
        dateValues += change.valueName.isNull() ? 0 : 1;
    EXPECT_EQ(dateValues, 31u);
}

TEST_F(RegisterImport, DateSealSwitchNegativeNumbersAndAnEmptyHeader)
{
    seal::TMDIChild* document = NewDateSeal();
    document->DateStampEx.DateNZ = 5;
    document->DateStamp.FontStyleM = seal::kStyleBold | seal::kStyleItalic;
    Register();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, u"日付印を登録しました"_s);
    EXPECT_EQ(dialogs.messages[0].caption, u"瑠環印影MGR"_s);
    const platform::UserRegFile store = ReadStore();
    ExpectValues(store, kDateStampPath,
                 {{u"Text1"_s, u"組織"_s},
                  {u"Text2"_s, u"名字"_s},
                  {u"FontNameM"_s, u"ＭＳ ゴシック"_s},
                  {u"PositionU"_s, u"2"_s},
                  {u"PositionL"_s, u"-2"_s},
                  {u"StampColor"_s, u"255"_s},
                  {u"Header"_s, u""_s},
                  {u"FontStyleMBold"_s, u"1"_s},
                  {u"FontStyleMItalic"_s, u"1"_s},
                  {u"Text3"_s, u"_"_s},
                  {u"Text5"_s, u"_"_s},
                  {u"DateNZ"_s, u"1"_s}});
    EXPECT_EQ(store.ValueNames(kDateStampPath).size(), 31);
}

TEST_F(RegisterImport, AStyleWithUnderlineLeavesItsPairAsItWas)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\n"
               "\"FontStyleBold\"=\"1\"\n\"FontStyleItalic\"=\"1\"\n"
               "\"ExFontStyleBold\"=\"1\"\n\"ExFontStyleItalic\"=\"1\"\n");
    seal::TMDIChild* document = NewNameSeal();
    document->NameStamp.FontStyle = seal::kStyleBold | seal::kStyleUnderline;
    document->NameStampEx.ExFontStyle = 0;
    Register();
    const platform::UserRegFile store = ReadStore();
    ExpectValues(store, kNameStampPath,
                 {{u"FontStyleBold"_s, u"1"_s},
                  {u"FontStyleItalic"_s, u"1"_s},
                  {u"ExFontStyleBold"_s, u"0"_s},
                  {u"ExFontStyleItalic"_s, u"0"_s}});
}

TEST_F(RegisterImport, AStoreThatCannotBeWrittenIsToldAndNothingIsWritten)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"SetupRoot\"=\"/opt/velmor\"\n");
    const QByteArray before = StoreBytes();
    const auto refusing = std::make_shared<RefusingStore>();
    const StoreOverride override(refusing);
    for (const bool date : {false, true}) {
        dialogs.messages.clear();
        date ? NewDateSeal() : NewNameSeal();
        Register();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        const QString text = dialogs.messages[0].text;
        EXPECT_TRUE(text.startsWith(date ? u"日付印を登録できませんでした。"_s
                                         : u"認印を登録できませんでした。"_s))
            << text.toStdString();
        EXPECT_TRUE(text.contains(u"ディスクがいっぱいです"_s)) << text.toStdString();
        EXPECT_FALSE(text.contains(u"登録しました"_s));
    }
    EXPECT_EQ(refusing->commits, 2);
    EXPECT_EQ(StoreBytes(), before);
}

TEST_F(RegisterImport, AStoreThatCannotBeReadIsToldToo)
{
    QFile::remove(StorePath());
    QDir().mkpath(StorePath()); // a folder where the file belongs
    NewNameSeal();
    Register();
    main->mCurName->trigger();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(u"認印を登録できませんでした。"_s));
    EXPECT_TRUE(dialogs.messages[1].text.startsWith(u"瑠環印鑑のデータを読み込めませんでした。"_s));
    EXPECT_EQ(main->Documents().size(), 1) << "no window for a seal that could not be read";
}

TEST_F(RegisterImport, ImportingTheNameSeal)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\n"
               "\"Text1\"=\"\\x5c71\"\n"
               "\"Text2\"=\"_\"\n"
               "\"FontStyleBold\"=\"1\"\n"
               "\"StampColor\"=\"16711680\"\n"
               "\"StampSize\"=\"104\"\n"
               "\"CircleParameter\"=\"100\"\n"
               "\"LineWidth\"=\"4\"\n"
               "\"FontSize\"=\"60\"\n"
               "\"OffsetY\"=\"-15\"\n");
    main->mCurName->trigger();
    seal::TMDIChild* document = main->ActiveDocument();
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(document->Caption(), u"新規認印"_s);
    EXPECT_EQ(document->Kind, seal::kNameSeal);
    EXPECT_TRUE(document->FileName.isEmpty());
    EXPECT_EQ(document->size(), QSize(297, 297));
    EXPECT_EQ(document->NameStamp.Text1.ToUnicode(), u"山"_s);
    EXPECT_TRUE(document->NameStamp.Text2.Empty());
    EXPECT_EQ(document->NameStamp.FontStyle, 0x01);
    EXPECT_EQ(document->NameStamp.StampColor, seal::kColorBlue);
    EXPECT_EQ(document->NameStamp.OffsetY, -15);
    EXPECT_EQ(document->DateStamp, seal::DateStampRecord{});
    // Drawn in blue ink: the top of the circle of half-size 104 on 297 × 297.
    EXPECT_EQ(QColor(document->Image1()->Picture().pixel(148, 148 - 104)), QColor(0, 0, 255));
}

TEST_F(RegisterImport, AMissingSubkeyIsCreatedEmptyAndImportsZeros)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n");
    main->mCurName->trigger();
    main->mCurDate->trigger();
    ASSERT_EQ(main->Documents().size(), 2);
    EXPECT_TRUE(dialogs.messages.empty());
    const seal::TMDIChild* name = main->Documents()[0];
    const seal::TMDIChild* date = main->Documents()[1];
    EXPECT_EQ(name->NameStamp, seal::NameStampRecord{});
    EXPECT_EQ(name->NameStampEx, seal::NameStampExRecord{});
    EXPECT_EQ(date->Caption(), u"新規日付印"_s);
    EXPECT_EQ(date->Kind, seal::kDateSeal);
    EXPECT_EQ(date->size(), QSize(350, 350));
    EXPECT_EQ(date->DateStamp, seal::DateStampRecord{});
    EXPECT_EQ(date->DateStampEx, seal::DateStampExRecord{});
    const platform::UserRegFile store = ReadStore();
    EXPECT_TRUE(store.KeyExists(kNameStampPath));
    EXPECT_TRUE(store.ValueNames(kNameStampPath).isEmpty());
    EXPECT_EQ(store.ValueNames(kDateStampPath).size(), 8) << "the later values' defaults";
}

// Texts in every form, negative numbers, every style pair.
std::vector<std::pair<seal::NameStampRecord, seal::NameStampExRecord>> NameSeals()
{
    std::vector<std::pair<seal::NameStampRecord, seal::NameStampExRecord>> seals;
    for (std::uint8_t style = 0; style < 4; ++style) {
        seal::NameStampRecord record{};
        seal::NameStampExRecord ex{};
        record.Text1.Assign(Sjis(u"ソ表"));               // 0x5C as a second byte
        record.Text2.Assign("a_b");                       // "_" inside a text
        record.Text3.Assign(Sjis(u"瑠環印鑑ＭＧＲ太郎")); // 18 bytes
        record.FontName.Assign(Sjis(u"ＭＳ Ｐゴシック"));
        record.FontStyle = style;
        record.FontSize = 76 - style;
        record.StampSize = 65 + style;
        record.TextSpace = -50;
        record.StampColor = seal::kColorBlue + style;
        record.LineWidth = 6;
        record.CircleParameter = style == 3 ? -7 : 60;
        record.OffsetX = -120;
        record.OffsetY = 120;
        record.Resolution = style & 1;
        ex.UseNameEX = 7;
        ex.ExText1.Assign(Sjis(u"鈴木"));
        ex.ExText4.Assign("x");
        ex.ExFontName.Assign(Sjis(u"ＭＳ 明朝"));
        ex.ExFontStyle = std::uint8_t(3 - style);
        ex.ExFontSize = 40;
        ex.ExTextSpace = -3;
        ex.ExOffsetX = 50;
        ex.ExOffsetY = -4;
        seals.emplace_back(record, ex);
    }
    return seals;
}

TEST_F(RegisterImport, NameSealsComeBackByteForByte)
{
    for (const auto& [record, ex] : NameSeals()) {
        seal::TMDIChild* original = NewNameSeal();
        original->NameStamp = record;
        original->NameStampEx = ex;
        original->Draw();
        Register();
        main->mCurName->trigger();
        seal::TMDIChild* imported = main->ActiveDocument();
        ASSERT_NE(imported, original);
        EXPECT_EQ(seal::ToBytes(imported->NameStamp), seal::ToBytes(record))
            << "style " << int(record.FontStyle);
        EXPECT_EQ(seal::ToBytes(imported->NameStampEx), seal::ToBytes(ex))
            << "style " << int(ex.ExFontStyle);
        EXPECT_EQ(imported->Image1()->Picture(), original->Image1()->Picture())
            << "the same seal is drawn";
    }
}

TEST_F(RegisterImport, DateSealsComeBackByteForByte)
{
    for (int round = 0; round < 4; ++round) {
        seal::DateStampRecord record = seal::NewDateStamp();
        seal::DateStampExRecord ex{};
        record.Text1.Assign(Sjis(u"総務部"));
        record.Text2.Assign(round == 0 ? std::string() : Sjis(u"佐藤"));
        record.FontNameL.Assign(Sjis(u"ＭＳ Ｐ明朝"));
        record.FontStyleU = std::uint8_t(round);
        record.FontStyleM = std::uint8_t((round + 1) % 4);
        record.FontStyleL = std::uint8_t((round + 2) % 4);
        record.SpaceM = -5;
        record.PositionU = -20;
        record.PositionL = 20;
        record.Years = round;
        record.TwinRing = 3 - round;
        record.Header.Assign(round == 1 ? std::string() : std::string("No._"));
        ex.Text3.Assign(Sjis(u"二行目"));
        ex.U_T2Space = -20;
        ex.Text4.Assign(round == 2 ? std::string() : Sjis(u"様"));
        ex.L_T2FontSize = -50;
        ex.L_T2Space = 10;
        ex.Text5.Assign("_x");
        ex.L_T3Space = -1;
        ex.DateNZ = round & 1;
        seal::TMDIChild* original = NewDateSeal();
        original->DateStamp = record;
        original->DateStampEx = ex;
        Register();
        main->mCurDate->trigger();
        seal::TMDIChild* imported = main->ActiveDocument();
        ASSERT_NE(imported, original);
        EXPECT_EQ(seal::ToBytes(imported->DateStamp), seal::ToBytes(record)) << round;
        EXPECT_EQ(seal::ToBytes(imported->DateStampEx), seal::ToBytes(ex)) << round;
    }
}

TEST_F(RegisterImport, RegisterDoesNothingForADocumentWithoutKind)
{
    main->NewChildWindow(u"x"_s);
    main->UpdateMenuItems();
    Register();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.modalForms.empty());
    EXPECT_FALSE(QFileInfo::exists(StorePath()));
}

} // namespace
} // namespace velmr::test

namespace velmr::test {
namespace {

TEST_F(RegisterImport, AStoreWithOddLinesIsReadAndKeptAsItWas)
{
    const QByteArray other = "[Software\\\\Other] 1\r\n"
                             "\"Odd\"=\"\\q\\x41\\101\"\r\n"
                             "broken line without quotes\r\n"
                             "\"Number\"=dword:00000010\r\n"
                             "\r\n";
    WriteFile(StorePath(), "\xEF\xBB\xBFWINE REGISTRY Version 2\r\n"
                           ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\r\n"
                           "\r\n#arch=win64\r\n\r\n" +
                               other +
                               "[Software\\\\Zeb\\\\Velmor\\\\NameStamp] 1\r\n"
                               "; a comment inside the key\r\n"
                               "\"Text1\"=\"\\x5c71\"\r\n"
                               "\"FontSize\"=\"60\"\r\n"
                               "\"Text2\"=\"unterminated\r\n");
    main->mCurName->trigger();
    seal::TMDIChild* document = main->ActiveDocument();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->NameStamp.Text1.ToUnicode(), u"山"_s);
    EXPECT_EQ(document->NameStamp.FontSize, 60);
    EXPECT_TRUE(document->NameStamp.Text2.Empty()) << "a line Wine rejects reads as missing";

    Register();
    const QByteArray after = StoreBytes();
    EXPECT_TRUE(after.startsWith("\xEF\xBB\xBFWINE REGISTRY Version 2\r\n"));
    EXPECT_TRUE(after.contains(other)) << "another key's lines, byte for byte";
    EXPECT_TRUE(after.contains("; a comment inside the key\r\n"));
    EXPECT_FALSE(after.contains("\n\n")) << "new lines take the file's CRLF";
    EXPECT_EQ(ReadStore().StringValue(kNameStampPath, u"Text2"_s), u"_"_s);
}

} // namespace
} // namespace velmr::test
