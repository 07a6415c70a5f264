#include "app/Application.h"
#include "app/MainForm.h"
#include "app/SealExport.h"
#include "calendar/CalendarDate.h"
#include "output/SealOutput.h"
#include "platform/ExportForm.h"
#include "seal/MdiChild.h"
#include "seal/PictureControl.h"
#include "tests/support/Pictures.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmr;
using platform::ExportFormat;
using platform::ExportOptionsChoice;
using platform::FileDialogChoice;

namespace {

enum class Kind
{
    None,
    Name,
    Date,
    Bitmap
};

class ExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        calendar::SetClock([] { return calendar::LocalDate{2026, 12, 8}; });
        folder = test::MakeTempFolder(QStringLiteral("export"));
        windows = std::make_unique<app::ProgramWindows>();
        main = windows->mainForm.get();
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        windows.reset();
        calendar::SetClock({});
    }

    QString Path(const QString& name) const { return folder + QLatin1Char('/') + name; }

    seal::TMDIChild* Make(Kind kind)
    {
        switch (kind) {
        case Kind::None:
            return nullptr;
        case Kind::Name:
            main->sbNewName->trigger();
            break;
        case Kind::Date:
            main->sbNewDate->trigger();
            break;
        case Kind::Bitmap: {
            seal::TMDIChild* document = main->NewChildWindow(seal::kNewBitmapSealCaption);
            document->ImageHandle = test::Picture24(
                40, 30, [](int x, int) { return x < 20 ? qRgb(255, 255, 255) : 0; });
            image::ImgKitImageInfo(document->ImageHandle, document->ImageInfo);
            document->LayOutPicture(seal::kNewBitmapSealCaption);
            break;
        }
        }
        main->UpdateMenuItems();
        return main->ActiveDocument();
    }

    // Exports the active seal with the options and the file name given.
    void Export(const ExportOptionsChoice& options, const QString& name)
    {
        dialogs.exportAnswers.push_back(options);
        dialogs.saveAnswers.push_back(FileDialogChoice{Path(name), 0});
        main->FileExportItem->trigger();
    }

    QStringList FolderContents() const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden);
    }

    test::ScriptedDialogs dialogs;
    QString folder;
    std::unique_ptr<app::ProgramWindows> windows;
    app::TMainForm* main = nullptr;
};

ExportOptionsChoice Options(ExportFormat format, int dpi = 600, QDate day = {})
{
    return ExportOptionsChoice{format, dpi, day};
}

TEST_F(ExportTest, CommandsAreEnabledWhileASealIsOpen)
{
    for (const Kind kind : {Kind::None, Kind::Name, Kind::Date, Kind::Bitmap}) {
        SCOPED_TRACE(int(kind));
        Make(kind);
        const bool open = kind != Kind::None;
        EXPECT_EQ(main->FileExportItem->isEnabled(), open);
        EXPECT_EQ(main->ExportBtn->isEnabled(), open);
        EXPECT_EQ(main->mCopyPicture->isEnabled(), open);
    }
    // Closing the last seal turns them off again, copy included.
    for (int i = 0; i < 3; ++i) {
        main->ActiveDocument()->MarkUnchanged();
        main->FileCloseItem->trigger();
        QCoreApplication::processEvents();
    }
    main->UpdateMenuItems();
    EXPECT_TRUE(main->Documents().isEmpty());
    EXPECT_FALSE(main->FileExportItem->isEnabled());
    EXPECT_FALSE(main->ExportBtn->isEnabled());
    EXPECT_FALSE(main->mCopyPicture->isEnabled());
}

TEST_F(ExportTest, ExportWritesTheChosenFormatUnderTheWrittenName)
{
    const struct
    {
        Kind kind;
        ExportOptionsChoice options;
        const char* typed;   // the name typed in the save dialog
        const char* written; // the file that appears
        const char* filter;
        const char* magic;
    } cases[] = {
        {Kind::Name, Options(ExportFormat::Png, 300), "name", "name.png", "PNGﾌｧｲﾙ (*.png)|*.png",
         "\x89PNG\r\n"},
        {Kind::Name, Options(ExportFormat::Svg), "name.svg", "name.svg", "SVGﾌｧｲﾙ (*.svg)|*.svg",
         "<?xml"},
        {Kind::Date, Options(ExportFormat::Pdf, 600, QDate(2026, 12, 8)), "date.v2", "date.v2.pdf",
         "PDFﾌｧｲﾙ (*.pdf)|*.pdf", "%PDF-"},
        // A bitmap seal is a PNG at its own resolution, whatever was asked.
        {Kind::Bitmap, Options(ExportFormat::Svg, 1200), "picture", "picture.png",
         "PNGﾌｧｲﾙ (*.png)|*.png", "\x89PNG\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        seal::TMDIChild* document = Make(c.kind);
        dialogs.exportRequests.clear();
        dialogs.saveRequests.clear();
        Export(c.options, QString::fromLatin1(c.typed));

        ASSERT_EQ(dialogs.exportRequests.size(), 1u);
        const platform::ExportOptionsRequest& asked = dialogs.exportRequests[0];
        EXPECT_EQ(asked.asksDay, c.kind == Kind::Date);
        EXPECT_EQ(asked.pictureOnly, c.kind == Kind::Bitmap);
        EXPECT_EQ(asked.day, QDate(2026, 12, 8));
        EXPECT_EQ(asked.firstDay, QDate(1900, 1, 1));
        EXPECT_EQ(asked.lastDay, QDate(9999, 12, 31));
        EXPECT_GT(asked.sizeMm.width(), 1.0);
        ASSERT_EQ(dialogs.saveRequests.size(), 1u);
        EXPECT_EQ(dialogs.saveRequests[0].filter, QString::fromUtf8(c.filter));
        EXPECT_EQ(dialogs.saveRequests[0].fileName,
                  document->Caption() + QLatin1Char('.') +
                      QFileInfo(QString::fromLatin1(c.written)).suffix());

        const QByteArray bytes = test::ReadFile(Path(QString::fromLatin1(c.written)));
        EXPECT_TRUE(bytes.startsWith(c.magic)) << bytes.left(8).toHex().constData();
        EXPECT_TRUE(dialogs.messages.empty());
        if (c.kind == Kind::Name && c.options.format == ExportFormat::Png) {
            QImage png;
            ASSERT_TRUE(png.loadFromData(bytes, "PNG"));
            EXPECT_EQ(png.dotsPerMeterX(), 11811); // 300 dpi
            EXPECT_TRUE(png.hasAlphaChannel());
            const output::SealArtwork art(
                output::NameSeal{document->NameStamp, document->NameStampEx});
            EXPECT_NEAR(png.width(), art.SizeMm().width() / 25.4 * 300, 1.0);
        }
        if (c.kind == Kind::Bitmap) {
            QImage png;
            ASSERT_TRUE(png.loadFromData(bytes, "PNG"));
            EXPECT_EQ(png.size(), QSize(40, 30));
            EXPECT_EQ(png.dotsPerMeterX(), 26000); // 260 pixels per cm
            EXPECT_EQ(png.pixelColor(5, 5), QColor(255, 255, 255)) << "white stays white";
        }
    }
    EXPECT_EQ(FolderContents().size(), 4);
}

TEST_F(ExportTest, DateSealPrintsTheChosenDayAndThePreviewKeepsToday)
{
    seal::TMDIChild* document = Make(Kind::Date);
    const QImage preview = document->Image1()->Picture();
    Export(Options(ExportFormat::Png, 300, QDate(2019, 5, 1)), QStringLiteral("day.png"));

    const auto rendered = [&](calendar::LocalDate day) {
        const output::SealArtwork art(
            output::DateSeal{document->DateStamp, document->DateStampEx, day});
        return output::RenderFile(art,
                                  {output::Format::Png, 300.0, output::Background::Transparent})
            .bytes;
    };
    const QByteArray written = test::ReadFile(Path(QStringLiteral("day.png")));
    EXPECT_EQ(written, rendered({2019, 5, 1}));
    EXPECT_NE(written, rendered({2026, 12, 8}));
    EXPECT_EQ(document->Image1()->Picture(), preview);

    // A day outside the range is told; nothing is asked further, nothing written.
    for (const QDate& bad : {QDate(1899, 12, 31), QDate()}) {
        dialogs.messages.clear();
        dialogs.saveRequests.clear();
        Export(Options(ExportFormat::Png, 600, bad), QStringLiteral("bad.png"));
        dialogs.saveAnswers.clear();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("瑠環印影ＭＧＲ"));
        EXPECT_EQ(dialogs.messages[0].text,
                  QStringLiteral(
                      "日付は 1900/01/01 から 9999/12/31 までの正しい日付を入力してください。"));
        EXPECT_TRUE(dialogs.saveRequests.empty());
    }
    EXPECT_EQ(FolderContents(), QStringList{QStringLiteral("day.png")});
}

TEST_F(ExportTest, CancelOverwriteRefusalAndAnUnwritableFolderLeaveNothing)
{
    Make(Kind::Name);
    // Cancelled options: no file dialog.
    main->FileExportItem->trigger();
    EXPECT_TRUE(dialogs.saveRequests.empty());
    // Cancelled file dialog.
    dialogs.exportAnswers.push_back(Options(ExportFormat::Png));
    main->FileExportItem->trigger();
    EXPECT_TRUE(FolderContents().isEmpty());

    // The overwrite question names the file written; Cancel keeps the old one.
    test::WriteFile(Path(QStringLiteral("old.svg")), "old");
    dialogs.messageAnswers.push_back(platform::MessageResult::Cancel);
    Export(Options(ExportFormat::Svg), QStringLiteral("old"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("%1 は既に存在します。\n上書きしますか？")
                                            .arg(Path(QStringLiteral("old.svg"))));
    EXPECT_EQ(test::ReadFile(Path(QStringLiteral("old.svg"))), QByteArray("old"));

    // A folder that cannot be written: the reason is told, nothing is left behind.
    dialogs.messages.clear();
    Export(Options(ExportFormat::Png), QStringLiteral("old.svg/seal.png"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("瑠環印影ＭＧＲ"));
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("seal.png")))
        << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(FolderContents(), QStringList{QStringLiteral("old.svg")});
}

TEST_F(ExportTest, ASealBeyondTheLargestPageIsReducedAndSaysSo)
{
    seal::TMDIChild* document = Make(Kind::Name);
    document->NameStamp.StampSize = 100000; // 7.7 m high
    Export(Options(ExportFormat::Pdf), QStringLiteral("huge.pdf"));
    EXPECT_TRUE(test::ReadFile(Path(QStringLiteral("huge.pdf"))).startsWith("%PDF-"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("瑠環印影ＭＧＲ"));
    EXPECT_EQ(
        dialogs.messages[0].text,
        QStringLiteral("印が大きすぎるため、PDF のページに収まるよう縮小して書き出しました。"));
}

TEST_F(ExportTest, CopyPutsATransparentPngAndAnSvgOnTheClipboard)
{
    for (const Kind kind : {Kind::Name, Kind::Date, Kind::Bitmap}) {
        SCOPED_TRACE(int(kind));
        QGuiApplication::clipboard()->clear();
        seal::TMDIChild* document = Make(kind);
        main->mCopyPicture->trigger();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(data, nullptr);
        ASSERT_TRUE(data->hasFormat(QStringLiteral("image/png")));
        QImage png;
        ASSERT_TRUE(png.loadFromData(data->data(QStringLiteral("image/png")), "PNG"));
        EXPECT_EQ(png.dotsPerMeterX(), 23622); // 600 dpi
        // Pasted, it has the seal's true size.
        const output::SealArtwork art(*app::SealSourceOf(*document, {2026, 12, 8}));
        EXPECT_NEAR(png.width() * 1000.0 / png.dotsPerMeterX(), art.SizeMm().width(), 0.1);
        EXPECT_TRUE(data->data(QStringLiteral("image/svg+xml")).contains("<svg"));
        if (kind == Kind::Bitmap) {
            continue;
        }
        ASSERT_TRUE(png.hasAlphaChannel());
        EXPECT_EQ(qAlpha(png.pixel(0, 0)), 0) << "the corner outside the ring is clear";
        EXPECT_EQ(qAlpha(png.pixel(png.width() / 2, 1)), 255) << "the ring's top is ink";
    }
}

TEST(ExportFormTest, OffersWhatTheSealAllows)
{
    test::ScriptedDialogs dialogs;
    platform::ExportOptionsRequest request;
    request.sizeMm = QSizeF(24.04, 23.96);
    request.frameMm = QSizeF(23.5, 23.5);
    request.ownDpi = 660;
    request.asksDay = true;
    request.day = QDate(2026, 12, 8);
    request.firstDay = QDate(1900, 1, 1);
    request.lastDay = QDate(9999, 12, 31);
    {
        platform::ExportForm form(request);
        EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("SizeLabel"))->text(),
                  QStringLiteral("24.0 × 24.0 mm"));
        EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("FrameLabel"))->text(),
                  QStringLiteral("23.5 × 23.5 mm"));
        const ExportOptionsChoice defaults = form.Choice();
        EXPECT_EQ(defaults.format, ExportFormat::Png);
        EXPECT_EQ(defaults.dpi, 600);
        EXPECT_EQ(defaults.day, QDate(2026, 12, 8));
        auto* resolution = form.findChild<QComboBox*>(QStringLiteral("ResolutionBox"));
        EXPECT_EQ(resolution->count(), 4);
        resolution->setCurrentIndex(3);
        EXPECT_EQ(form.Choice().dpi, 0) << "the seal's own resolution";
        form.findChild<QRadioButton*>(QStringLiteral("SvgButton"))->click();
        EXPECT_FALSE(resolution->isEnabled());
        EXPECT_EQ(form.Choice().format, ExportFormat::Svg);
        auto* day = form.findChild<QDateEdit*>(QStringLiteral("DayEdit"));
        day->setDate(QDate(1800, 1, 1));
        EXPECT_EQ(form.Choice().day, QDate(1900, 1, 1)) << "the range holds";
    }
    request.pictureOnly = true;
    request.asksDay = false;
    request.frameMm = QSizeF();
    platform::ExportForm picture(request);
    EXPECT_EQ(picture.findChild<QDateEdit*>(), nullptr);
    EXPECT_EQ(picture.findChild<QLabel*>(QStringLiteral("FrameLabel")), nullptr);
    EXPECT_FALSE(picture.findChild<QRadioButton*>(QStringLiteral("SvgButton"))->isEnabled());
    EXPECT_FALSE(picture.findChild<QRadioButton*>(QStringLiteral("PdfButton"))->isEnabled());
    EXPECT_EQ(picture.Choice().dpi, 0);
}

// A seal taken out of a photo and kept as a PNG: opened, it keeps its alpha through the export in
// every format and through the transparent copy, while the window shows it on white.
TEST_F(ExportTest, APictureWithAlphaKeepsItThroughExportAndCopy)
{
    QImage seal(60, 40, QImage::Format_ARGB32);
    for (int y = 0; y < seal.height(); ++y)
        for (int x = 0; x < seal.width(); ++x)
            seal.setPixel(x, y, qRgba(210, 40, 30, x < 10 ? 0 : (x * 9 + y) % 256));
    const QString png = Path(QStringLiteral("seal.png"));
    ASSERT_TRUE(seal.save(png, "PNG"));
    main->OpenFiles({png});
    seal::TMDIChild* document = main->ActiveDocument();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->Image1()->Picture().pixel(0, 0), qRgb(255, 255, 255)) << "shown on white";

    const auto premultiplied = [](const QImage& picture) {
        return picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    Export(Options(ExportFormat::Png), QStringLiteral("out.png"));
    EXPECT_EQ(dialogs.saveRequests.back().fileName, QStringLiteral("seal_印影.png"))
        << "the picture itself is not proposed";
    const QImage exported(Path(QStringLiteral("out.png")));
    ASSERT_TRUE(exported.hasAlphaChannel());
    EXPECT_EQ(premultiplied(exported), premultiplied(seal)) << "every pixel and its alpha";

    const output::SealArtwork art(*app::SealSourceOf(*document, {2026, 12, 8}));
    for (const output::Format format : {output::Format::Svg, output::Format::Pdf}) {
        const QByteArray bytes = output::RenderFile(art, {format, 0, {}}).bytes;
        if (format == output::Format::Pdf) {
            EXPECT_TRUE(bytes.contains("/SMask")) << "the picture's alpha as a soft mask";
            continue;
        }
        const qsizetype start = bytes.indexOf("base64,") + 7;
        QImage embedded;
        ASSERT_TRUE(embedded.loadFromData(
            QByteArray::fromBase64(bytes.mid(start, bytes.indexOf('"', start) - start))));
        EXPECT_EQ(premultiplied(embedded), premultiplied(seal));
    }

    main->mCopyPicture->trigger();
    QImage copied;
    ASSERT_TRUE(copied.loadFromData(
        QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(qAlpha(copied.pixel(0, 0)), 0) << "the transparent copy keeps the transparency";
    main->CopyItem->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->image().pixel(0, 0), qRgb(255, 255, 255))
        << "the bitmap copy is the picture on white, as always";
}

} // namespace
