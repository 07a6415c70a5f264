// Registering a bitmap seal into the install folder and importing it back.

#include "sibling/BmpSaveForm.h"
#include "sibling/RegisterSeals.h"
#include "tests/sibling/SiblingFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace velmr::test {
namespace {

using namespace Qt::StringLiterals;
using platform::RegistryValueKind;

class BitmapSeal : public SiblingCommands
{
protected:
    // Answers the bitmap name dialog with `name` (OK) and keeps what it proposed.
    void AnswerName(const QString& name)
    {
        dialogs.modalAnswers.push_back([this, name](QDialog& form) {
            auto* edit = form.findChild<QLineEdit*>(u"Edit"_s);
            EXPECT_NE(edit, nullptr);
            proposed << edit->text();
            edit->setText(name);
            return int(QDialog::Accepted);
        });
    }
    QString Bitmap1() const { return ReadStore().StringValue(kVelmorPath, u"Bitmap1"_s); }
    QString Resolution() const
    {
        return ReadStore().StringValue(kVelmorPath, u"Bitmap1Resolution"_s);
    }
    QString InInstall(const QString& name) const { return install + u'/' + name; }

    QStringList proposed;
};

TEST_F(BitmapSeal, OnlySquarePicturesOf100To450PixelsRegister)
{
    const struct
    {
        int width, height;
        bool registers;
    } cases[] = {{450, 450, true}, {100, 100, true},  {451, 451, false},
                 {99, 99, false},  {300, 299, false}, {299, 300, false}};
    for (const auto& c : cases) {
        dialogs.messages.clear();
        dialogs.modalForms.clear();
        NewBitmap(c.width, c.height);
        AnswerName(u"seal%1"_s.arg(c.width));
        Register();
        ASSERT_EQ(dialogs.messages.size(), 1u) << c.width << "x" << c.height;
        EXPECT_EQ(dialogs.messages[0].caption, u"瑠環印影MGR"_s);
        if (c.registers) {
            EXPECT_EQ(dialogs.messages[0].text, u"ビットマップ印を登録完了しました"_s);
            EXPECT_EQ(Bitmap1(), u"seal%1.bmp"_s.arg(c.width));
            EXPECT_TRUE(QFileInfo(InInstall(Bitmap1())).isFile());
        } else {
            EXPECT_EQ(dialogs.messages[0].text, u"事前に印鑑用の切取りが必要です"_s);
            EXPECT_TRUE(dialogs.modalForms.empty()) << "no name is asked for";
            dialogs.modalAnswers.clear();
        }
    }
    EXPECT_EQ(QDir(install).entryList(QDir::Files).size(), 2);
}

TEST_F(BitmapSeal, TheDialogProposesTheFileNameAndTheTypedNameGetsBmp)
{
    const struct
    {
        const char16_t* fileName;
        const char16_t* proposed;
        const char16_t* typed;
        const char16_t* registered;
    } cases[] = {
        {u"C:\\PICS\\hanko.jpg", u"hanko", u"abc.jpg", u"abc.bmp"},
        {u"/home/user/pictures/印影.bmp", u"印影", u"D:\\x\\abc", u"abc.bmp"},
        {u"新規ビットマップ印", u"新規ビットマップ印", u"", u".bmp"},
        {u"/tmp/a.b.c.jpg", u"a.b.c", u"a.b.c", u"a.b.bmp"},
        {u"/tmp/noext", u"noext", u"sub/dir/name.png", u"name.bmp"},
        {u"C:\\ソフト\\表.jpg", u"表", u"ソ表", u"ソ表.bmp"},
    };
    for (const auto& c : cases) {
        seal::TMDIChild* document = NewBitmap(200, 200);
        document->FileName = QString::fromUtf16(c.fileName);
        proposed.clear();
        AnswerName(QString::fromUtf16(c.typed));
        Register();
        ASSERT_EQ(proposed.size(), 1);
        EXPECT_EQ(proposed[0], QString::fromUtf16(c.proposed));
        const QString registered = QString::fromUtf16(c.registered);
        EXPECT_EQ(Bitmap1(), registered);
        EXPECT_TRUE(QFileInfo(InInstall(registered)).isFile()) << registered.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(u"D:\\x"_s));
    EXPECT_EQ(dialogs.modalForms.front(), u"瑠環印鑑"_s);
}

TEST_F(BitmapSeal, DotAndDotDotAreRefusedAndNothingIsWrittenOrSaved)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"Bitmap1\"=\"old.bmp\"\n"
               "\"Bitmap1Resolution\"=\"15294\"\n");
    const QByteArray before = StoreBytes();
    for (const char16_t* typed : {u".", u"..", u"..\\..", u"x/..", u"C:.."}) {
        dialogs.messages.clear();
        NewBitmap(200, 200);
        AnswerName(QString::fromUtf16(typed));
        Register();
        ASSERT_EQ(dialogs.messages.size(), 1u) << QString::fromUtf16(typed).toStdString();
        EXPECT_TRUE(dialogs.messages[0].text.contains(u"ファイル名に使えません"_s))
            << dialogs.messages[0].text.toStdString();
    }
    EXPECT_EQ(StoreBytes(), before);
    EXPECT_TRUE(QDir(install).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(
        QDir(QFileInfo(install).absolutePath()).entryList({u"*.bmp"_s}, QDir::Files).isEmpty())
        << "nothing beside the install folder either";
}

TEST_F(BitmapSeal, DecliningTheOverwriteLeavesFileAndValues)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"Bitmap1\"=\"old.bmp\"\n"
               "\"Bitmap1Resolution\"=\"15294\"\n");
    WriteFile(InInstall(u"mine.bmp"_s), "the old file");
    const QByteArray before = StoreBytes();
    NewBitmap(200, 200);
    AnswerName(u"mine"_s);
    dialogs.messageAnswers.push_back(platform::MessageResult::Cancel);
    Register();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, u"瑠環印鑑"_s);
    EXPECT_EQ(dialogs.messages[0].text, u"同一名のﾌｧｲﾙが存在します。上書しますか？"_s);
    EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(ReadFile(InInstall(u"mine.bmp"_s)), QByteArray("the old file"));
    EXPECT_EQ(StoreBytes(), before);

    // Saying OK replaces it.
    dialogs.messages.clear();
    AnswerName(u"mine.jpg"_s);
    Register();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text, u"ビットマップ印を登録完了しました"_s);
    EXPECT_TRUE(ReadFile(InInstall(u"mine.bmp"_s)).startsWith("BM"));
    EXPECT_EQ(Bitmap1(), u"mine.bmp"_s);
    EXPECT_EQ(Resolution(), u"26000"_s);
}

TEST_F(BitmapSeal, ThePrintResolutionIsWrittenInPixelsPerMetre)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"Bitmap1Resolution\"=\"kept\"\n");
    const std::pair<std::int32_t, const char16_t*> cases[] = {
        {2, u"kept"}, {1, u"15294"}, {0, u"26000"}, {-1, u"26000"}};
    for (const auto& [resolution, expected] : cases) {
        seal::TMDIChild* document = NewBitmap(120, 120);
        document->BitmapResolution = resolution;
        AnswerName(u"r%1"_s.arg(resolution));
        Register();
        EXPECT_EQ(Resolution(), QString::fromUtf16(expected)) << resolution;
        EXPECT_EQ(Bitmap1(), u"r%1.bmp"_s.arg(resolution));
    }
}

TEST_F(BitmapSeal, AFailedSaveLeavesTheValuesAndTheOldFile)
{
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"Bitmap1\"=\"old.bmp\"\n"
               "\"Bitmap1Resolution\"=\"15294\"\n");
    const QByteArray before = StoreBytes();
    // The install folder does not exist.
    main->SetupRootPath = install + u"/missing"_s;
    NewBitmap(200, 200);
    AnswerName(u"seal"_s);
    Register();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, u"ファイル保存に失敗しました"_s);
    EXPECT_EQ(dialogs.messages[0].caption, u"瑠環印影MGR"_s);
    EXPECT_EQ(StoreBytes(), before);

    // A folder stands where the file would go: no file of that name, so no question, and the
    // save fails.
    main->SetupRootPath = install;
    QDir().mkpath(InInstall(u"taken.bmp/inside"_s));
    dialogs.messages.clear();
    AnswerName(u"taken"_s);
    Register();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, u"ファイル保存に失敗しました"_s);
    EXPECT_TRUE(QFileInfo(InInstall(u"taken.bmp/inside"_s)).isDir());
    EXPECT_EQ(StoreBytes(), before);
}

TEST_F(BitmapSeal, AStoreThatRefusesTheValuesTakesTheFileBack)
{
    WriteFile(InInstall(u"kept.bmp"_s), "the old file");
    const auto refusing = std::make_shared<RefusingStore>();
    const StoreOverride override(refusing);
    NewBitmap(200, 200);
    for (const char16_t* name : {u"kept", u"fresh"}) {
        dialogs.messages.clear();
        AnswerName(QString::fromUtf16(name));
        Register();
        ASSERT_FALSE(dialogs.messages.empty());
        EXPECT_TRUE(
            dialogs.messages.back().text.startsWith(u"ビットマップ印を登録できませんでした。"_s))
            << dialogs.messages.back().text.toStdString();
        EXPECT_TRUE(dialogs.messages.back().text.contains(u"ディスクがいっぱいです"_s));
    }
    EXPECT_EQ(refusing->commits, 2);
    EXPECT_EQ(ReadFile(InInstall(u"kept.bmp"_s)), QByteArray("the old file"));
    EXPECT_FALSE(QFileInfo::exists(InInstall(u"fresh.bmp"_s)));
}

TEST_F(BitmapSeal, CancellingTheDialogWritesAndSavesNothing)
{
    NewBitmap(200, 200);
    dialogs.modalAnswers.push_back([](QDialog& form) {
        // The dialog as the user sees it.
        auto* save = dynamic_cast<sibling::TBmpSaveForm*>(&form);
        EXPECT_NE(save, nullptr);
        if (!save)
            return int(QDialog::Rejected);
        EXPECT_EQ(save->size(), QSize(276, 119));
        EXPECT_EQ(save->font().pixelSize(), 12);
        EXPECT_EQ(save->Edit()->geometry(), QRect(68, 44, 133, 20));
        EXPECT_EQ(save->Label1()->text(), u"ﾋﾞｯﾄﾏｯﾌﾟ印として保存するファイル名を指定します。"_s);
        EXPECT_EQ(save->Label1()->geometry(), QRect(8, 8, 265, 17));
        EXPECT_EQ(save->Label3()->text(), u"ﾄﾞﾗｲﾌﾞ名、ﾌｫﾙﾀﾞｰ名及び拡張子の入力は不要です。"_s);
        EXPECT_EQ(save->Label3()->geometry(), QRect(8, 24, 265, 17));
        EXPECT_EQ(save->Label2()->text(), u"この名前で瑠環印鑑のﾌｫﾙﾀﾞｰに保存されます"_s);
        EXPECT_EQ(save->Label2()->geometry(), QRect(20, 68, 241, 17));
        EXPECT_EQ(save->Button2()->text(), u"キャンセル"_s);
        EXPECT_EQ(save->Button2()->geometry(), QRect(100, 92, 81, 21));
        EXPECT_EQ(save->Button1()->text(), u"ＯＫ"_s);
        EXPECT_EQ(save->Button1()->geometry(), QRect(188, 92, 81, 21));
        QWidget* first = save->nextInFocusChain();
        while (first != save && !(first->focusPolicy() & Qt::TabFocus))
            first = first->nextInFocusChain();
        EXPECT_EQ(first, save->Edit()) << "the name comes first in the tab order";
        save->Edit()->setText(u"never"_s);
        save->Button2()->click();
        return save->result();
    });
    Register();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(QFileInfo::exists(StorePath()));
    EXPECT_TRUE(QDir(install).isEmpty());
}

TEST_F(BitmapSeal, RegisteredAndImportedItHasTheSamePixels)
{
    seal::TMDIChild* original = NewBitmap(256, 256);
    original->BitmapResolution = 1;
    AnswerName(u"ハンコ"_s);
    Register();
    ASSERT_EQ(Bitmap1(), u"ハンコ.bmp"_s);
    main->mCurBitmap->trigger();
    seal::TMDIChild* imported = main->ActiveDocument();
    ASSERT_NE(imported, original);
    EXPECT_EQ(imported->Kind, seal::kBitmapSeal);
    EXPECT_EQ(imported->Caption(), InInstall(u"ハンコ.bmp"_s));
    EXPECT_EQ(imported->FileName, InInstall(u"ハンコ.bmp"_s));
    EXPECT_EQ(imported->ImageInfo.Width, 256);
    EXPECT_EQ(imported->ImageInfo.ColorType, original->ImageInfo.ColorType);
    const QImage before = image::ImgKitToQImage(original->ImageHandle);
    ASSERT_FALSE(before.isNull());
    EXPECT_EQ(image::ImgKitToQImage(imported->ImageHandle), before) << "the same pixels";
    // The commands follow the imported bitmap seal, which cannot be duplicated.
    EXPECT_TRUE(main->CopyItem->isEnabled());
    EXPECT_FALSE(main->mReplica->isEnabled());
    EXPECT_FALSE(main->PasteBtn->isEnabled());
    const qsizetype windows = main->Documents().size();
    main->mReplicaClick();
    EXPECT_EQ(main->Documents().size(), windows);
}

// A seal taken out of a photo has alpha; the Velmor program gets it laid over white paper, as a
// 24-bit BMP like every picture it was ever given.
TEST_F(BitmapSeal, ASealWithAlphaRegistersOnWhite)
{
    seal::TMDIChild* document = NewBitmap(200, 200);
    QImage seal(200, 200, QImage::Format_ARGB32);
    seal.fill(qRgba(0, 0, 0, 0));
    for (int y = 50; y < 150; ++y)
        for (int x = 50; x < 150; ++x)
            seal.setPixel(x, y, qRgba(220, 30, 40, x < 100 ? 255 : 128));
    document->MakeUndoCopy();
    document->TakePicture(image::ImgKitFromQImageWithAlpha(seal));
    ASSERT_TRUE(image::ImgKitHasAlpha(document->ImageHandle));
    AnswerName(u"透過"_s);
    Register();
    ASSERT_EQ(Bitmap1(), u"透過.bmp"_s);
    const QByteArray file = ReadFile(InInstall(u"透過.bmp"_s));
    ASSERT_GT(file.size(), 30);
    EXPECT_EQ(file[28], 24) << "24 bits a pixel";
    const QImage written(InInstall(u"透過.bmp"_s));
    EXPECT_EQ(written.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(written.pixel(60, 60), qRgb(220, 30, 40));
    EXPECT_EQ(written.pixel(120, 60), qRgb(237, 142, 147)) << "half the ink over white";
}

TEST_F(BitmapSeal, ImportRefusesNamesThatAreNotAFileOfTheInstallFolder)
{
    WriteFile(InInstall(u"real.bmp"_s), "");
    QDir().mkpath(InInstall(u"folder.bmp"_s));
    const QString notRegistered = u"ビットマップ印は登録されていません"_s;
    const struct
    {
        const char* value; // user.reg data, or nullptr for a missing value
        bool ownMessage;   // the name leads out of the folder
    } cases[] = {
        {"0", false},          {nullptr, false},
        {"", false},           {"absent.bmp", false},
        {"folder.bmp", false}, {"..", true},
        {".", true},           {"../real.bmp", true},
        {"/etc/passwd", true}, {"sub\\\\real.bmp", true},
        {"C:real.bmp", true},  {"..\\\\velmor\\\\real.bmp", true},
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n" +
                   (c.value ? "\"Bitmap1\"=\"" + QByteArray(c.value) + "\"\n" : QByteArray()));
        main->mCurBitmap->trigger();
        EXPECT_TRUE(main->Documents().isEmpty()) << (c.value ? c.value : "missing");
        ASSERT_EQ(dialogs.messages.size(), 1u) << (c.value ? c.value : "missing");
        EXPECT_EQ(dialogs.messages[0].caption, u"瑠環印影MGR"_s);
        if (c.ownMessage)
            EXPECT_TRUE(dialogs.messages[0].text.contains(u"取り込めません"_s)) << c.value;
        else
            EXPECT_EQ(dialogs.messages[0].text, notRegistered) << (c.value ? c.value : "missing");
    }
}

TEST_F(BitmapSeal, ImportWithoutTheVelmorKeyDoesNothingAndABrokenFileIsTold)
{
    WriteStore("\n[Software\\\\Other] 1\n\"Bitmap1\"=\"real.bmp\"\n");
    main->mCurBitmap->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(main->Documents().isEmpty());
    EXPECT_FALSE(ReadStore().KeyExists(kVelmorPath)) << "the key is not created";

    WriteFile(InInstall(u"broken.bmp"_s), "BM not a picture");
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"Bitmap1\"=\"broken.bmp\"\n");
    main->mCurBitmap->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"_s);
    QCoreApplication::processEvents();
    EXPECT_TRUE(main->Documents().isEmpty()) << "the new window is closed again";
}

TEST_F(BitmapSeal, NamesTheVelmorProgramCannotOpenAreRefusedInTheDialog)
{
    NewBitmap(200, 200);
    const QString bad[] = {u"a*b"_s, u"a?b"_s, u"a\"b"_s, u"a<b"_s,  u"a>b"_s,
                           u"a|b"_s, u"😀"_s,   u"한국"_s, u"tab\t"_s};
    QStringList refused;
    dialogs.modalAnswers.push_back([&](QDialog& form) {
        auto* save = dynamic_cast<sibling::TBmpSaveForm*>(&form);
        EXPECT_NE(save, nullptr);
        if (!save)
            return int(QDialog::Rejected);
        for (const QString& name : bad) {
            const std::size_t shown = dialogs.messages.size();
            save->Edit()->setText(name);
            save->Button1()->click();
            EXPECT_EQ(save->result(), 0) << "the dialog stays open for " << name.toStdString();
            if (dialogs.messages.size() == shown + 1 &&
                dialogs.messages.back().text.contains(name) &&
                dialogs.messages.back().caption == u"瑠環印影MGR"_s)
                refused << name;
        }
        save->Edit()->setText(u"瑠環の印"_s);
        save->Button1()->click();
        return save->result();
    });
    Register();
    EXPECT_EQ(refused, QStringList(std::begin(bad), std::end(bad)));
    EXPECT_EQ(dialogs.messages.back().text, u"ビットマップ印を登録完了しました"_s);
    EXPECT_EQ(Bitmap1(), u"瑠環の印.bmp"_s);
}

TEST_F(BitmapSeal, ImportWithoutAKnownInstallFolderLooksForNoFile)
{
    // A picture at the root of the file system, where an empty install folder would lead.
    const QString name = u"velmr-test-%1.bmp"_s.arg(QCoreApplication::applicationPid());
    const QString atRoot = u"/"_s + name;
    if (!QFileInfo(u"/"_s).isWritable())
        GTEST_SKIP() << "the root folder is not writable here";
    ASSERT_NE(
        image::ImgKitBmpFileSave(atRoot, NewBitmap(120, 120)->ImageHandle, QString(), QString(), 0),
        0);
    main->FileCloseItem->trigger();
    QCoreApplication::processEvents();
    main->SetupRootPath.clear();
    WriteStore("\n[Software\\\\Zeb\\\\Velmor] 1\n\"Bitmap1\"=\"" + name.toUtf8() + "\"\n");
    main->mCurBitmap->trigger();
    QFile::remove(atRoot);
    EXPECT_TRUE(main->Documents().isEmpty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, u"ビットマップ印は登録されていません"_s);
}

TEST_F(BitmapSeal, WithoutTheVelmorProgramNothingIsRegistered)
{
    main->VelmorPresent = false;
    seal::TMDIChild* document = NewBitmap(200, 200);
    main->mRegistClick();
    sibling::RegisterBitmapSeal(*document, false, install);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.modalForms.empty());
}

} // namespace
} // namespace velmr::test
