// The Velmor program's version-0.83 data file.

#include "sibling/OldDataFile.h"

#include "tests/sibling/SiblingFixture.h"

#include <QDir>

namespace velmr::test {
namespace {

using namespace Qt::StringLiterals;
using platform::FileDialogChoice;

// 392 bytes laid out by hand: the name seal record, then the date seal record.
QByteArray HandMadeDataFile()
{
    QByteArray bytes(392, '\0');
    const auto text = [&](qsizetype at, const std::string& sjis) {
        bytes.replace(at, qsizetype(sjis.size()), QByteArray::fromStdString(sjis));
    };
    const auto integer = [&](qsizetype at, std::int32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char((std::uint32_t(value) >> (8 * i)) & 0xFF);
    };
    text(0, Sjis(u"山"));
    text(20, Sjis(u"田"));
    text(80, Sjis(u"ＭＳ 明朝"));
    bytes[120] = 0x03;
    const std::int32_t name[] = {60, 104, -5, 0xFF0000, 6, 80, 3, -4, 1};
    for (int i = 0; i < 9; ++i)
        integer(124 + 4 * i, name[i]);
    text(168, Sjis(u"総務"));
    text(188, Sjis(u"佐藤"));
    for (qsizetype face : {208, 248, 288})
        text(face, Sjis(u"ＭＳ ゴシック"));
    bytes[328] = 1, bytes[329] = 0, bytes[330] = 2;
    const std::int32_t date[] = {40, 30, 44, 120, 255, 3, 2, 4, -3, 1};
    for (int i = 0; i < 10; ++i)
        integer(332 + 4 * i, date[i]);
    text(372, "No.");
    integer(380, 2);
    return bytes;
}

class OldData : public SiblingCommands
{
protected:
    void Choose(QAction* command, const QString& path)
    {
        dialogs.openAnswers.push_back(FileDialogChoice{path, 0});
        command->trigger();
    }
    QString folder = MakeTempFolder(u"old"_s);
};

TEST_F(OldData, TheNameSealAndTheDateSealOfOneFile)
{
    const QByteArray bytes = HandMadeDataFile();
    const QString path = folder + u"/VELMOR.DAT"_s;
    WriteFile(path, bytes);

    Choose(main->m08Name, path);
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].fileName, u"velmor.dat"_s);
    EXPECT_EQ(dialogs.openRequests[0].filter, u"瑠環印鑑旧データ|velmor.dat"_s);
    EXPECT_TRUE(dialogs.openRequests[0].mustExist);
    seal::TMDIChild* name = main->ActiveDocument();
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(name->Caption(), u"新規認印"_s);
    EXPECT_EQ(name->Kind, seal::kNameSeal);
    EXPECT_EQ(name->size(), QSize(297, 297));
    EXPECT_EQ(QByteArray::fromStdString(seal::ToBytes(name->NameStamp)), bytes.left(168));
    EXPECT_EQ(QByteArray::fromStdString(seal::ToBytes(name->DateStamp)), bytes.mid(168, 224))
        << "both records are loaded";
    EXPECT_EQ(name->NameStampEx, seal::NameStampExRecord{});
    EXPECT_EQ(name->DateStampEx, seal::DateStampExRecord{});
    EXPECT_EQ(name->NameStamp.Text1.ToUnicode(), u"山"_s);
    EXPECT_EQ(name->NameStamp.OffsetY, -4);

    Choose(main->m08Date, path);
    seal::TMDIChild* date = main->ActiveDocument();
    ASSERT_NE(date, name);
    EXPECT_EQ(date->Caption(), u"新規日付印"_s);
    EXPECT_EQ(date->Kind, seal::kDateSeal);
    EXPECT_EQ(date->size(), QSize(350, 350));
    EXPECT_EQ(QByteArray::fromStdString(seal::ToBytes(date->DateStamp)), bytes.mid(168, 224));
    EXPECT_EQ(date->DateStamp.Text2.ToUnicode(), u"佐藤"_s);
    EXPECT_EQ(date->DateStamp.TwinRing, 2);
    EXPECT_EQ(date->DateStampEx, seal::DateStampExRecord{});
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(OldData, FilesOfEveryLength)
{
    const QByteArray valid = HandMadeDataFile();
    const struct
    {
        qsizetype size;
        bool accepted;
    } cases[] = {{0, false},   {1, false},  {167, false}, {168, false},
                 {391, false}, {392, true}, {393, true},  {1000, true}};
    for (const auto& c : cases) {
        dialogs.messages.clear();
        const QString path = MakeTempFolder(u"len"_s) + u"/velmor.dat"_s;
        QByteArray bytes = valid.left(c.size);
        if (c.size > valid.size())
            bytes += QByteArray(c.size - valid.size(), '\x7F');
        WriteFile(path, bytes);
        const qsizetype before = main->Documents().size();
        Choose(main->m08Name, path);
        QCoreApplication::processEvents();
        if (c.accepted) {
            EXPECT_EQ(main->Documents().size(), before + 1) << c.size;
            EXPECT_TRUE(dialogs.messages.empty()) << c.size;
            EXPECT_EQ(QByteArray::fromStdString(seal::ToBytes(main->ActiveDocument()->NameStamp)),
                      valid.left(168));
        } else {
            EXPECT_EQ(main->Documents().size(), before) << "no window remains: " << c.size;
            ASSERT_EQ(dialogs.messages.size(), 1u) << c.size;
            EXPECT_EQ(dialogs.messages[0].text, u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"_s);
            EXPECT_EQ(dialogs.messages[0].caption, u"瑠環印影ＭＧＲ"_s);
        }
    }
}

TEST_F(OldData, OtherNamesAreRefusedAndUnreadableFilesTold)
{
    WriteFile(folder + u"/velmor.bak"_s, HandMadeDataFile());
    WriteFile(folder + u"/velmor.dat.txt"_s, HandMadeDataFile());
    for (const QString& path :
         {folder + u"/velmor.bak"_s, folder + u"/velmor.dat.txt"_s, u"C:\\DATA\\velmor.da"_s}) {
        dialogs.messages.clear();
        Choose(main->m08Date, path);
        EXPECT_TRUE(main->Documents().isEmpty());
        ASSERT_EQ(dialogs.messages.size(), 1u) << path.toStdString();
        EXPECT_EQ(dialogs.messages[0].text, u"瑠環印鑑データファイルではありません"_s);
        EXPECT_EQ(dialogs.messages[0].caption, u"瑠環印影MGR"_s);
    }

    // The right name, but nothing that can be read: a missing file, a folder.
    QDir().mkpath(folder + u"/sub/Velmor.Dat"_s);
    for (const QString& path : {folder + u"/none/velmor.dat"_s, folder + u"/sub/Velmor.Dat"_s,
                                u"C:\\DATA\\VELMOR.dat"_s}) {
        dialogs.messages.clear();
        Choose(main->m08Name, path);
        QCoreApplication::processEvents();
        EXPECT_TRUE(main->Documents().isEmpty()) << path.toStdString();
        ASSERT_EQ(dialogs.messages.size(), 1u) << path.toStdString();
        EXPECT_EQ(dialogs.messages[0].text, u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"_s);
    }

    // Cancelled: nothing.
    dialogs.messages.clear();
    main->m08Name->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(main->Documents().isEmpty());
}

TEST(OldDataFile, ParsesOnlyWholeRecordsAndNamesAnyCase)
{
    EXPECT_FALSE(sibling::ParseOldDataFile(QByteArray(391, 'x')));
    const auto parsed = sibling::ParseOldDataFile(QByteArray(392, '\xFF'));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->name.FontSize, -1);
    EXPECT_EQ(parsed->date.TwinRing, -1);
    for (const char16_t* name :
         {u"velmor.dat", u"VELMOR.DAT", u"/x/Velmor.dat", u"C:\\v\\velmor.DAT", u"C:velmor.dat"})
        EXPECT_TRUE(sibling::IsOldDataFileName(QString::fromUtf16(name)));
    for (const char16_t* name : {u"velmor.bak", u"xvelmor.dat", u"velmor.dat ", u"velmor.dat/"})
        EXPECT_FALSE(sibling::IsOldDataFileName(QString::fromUtf16(name)));
}

} // namespace
} // namespace velmr::test
