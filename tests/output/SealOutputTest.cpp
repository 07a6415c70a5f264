#include "output/SealOutput.h"

#include "image/ImgKit.h"
#include "seal/DateSealRenderer.h"
#include "seal/NameSealRenderer.h"
#include "seal/SealFile.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cmath>

using namespace velmr::output;
using velmr::calendar::LocalDate;
namespace seal = velmr::seal;

namespace {

constexpr double kPreviewDpi = 96.0;
constexpr LocalDate kToday{2026, 12, 8};
constexpr LocalDate kMayDay{2019, 5, 1};

class SealOutputTest : public ::testing::Test
{
protected:
    void SetUp() override { SetToday(kToday); }
    void TearDown() override { velmr::calendar::SetClock({}); }
    static void SetToday(LocalDate day)
    {
        velmr::calendar::SetClock([day] { return day; });
    }
};

NameSeal DefaultNameSeal()
{
    return {seal::NewNameStamp(), seal::NewNameStampEx()};
}

DateSeal DefaultDateSeal(LocalDate day = kMayDay)
{
    return {seal::NewDateStamp(), {}, day};
}

BitmapSeal Picture(int resolution)
{
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (int x = 0; x < 300; x += 10)
        picture.setPixel(x, x % 200, qRgb(20, 40, 60));
    return {picture, resolution};
}

QImage DecodePng(const QByteArray& bytes)
{
    QImage picture = QImage::fromData(bytes, "PNG");
    EXPECT_FALSE(picture.isNull());
    return picture.convertToFormat(QImage::Format_ARGB32);
}

// Millimetres of `pixels` at the picture's own dots per metre.
double Millimetres(int pixels, int dotsPerMetre)
{
    return pixels * 1000.0 / dotsPerMetre;
}

TEST_F(SealOutputTest, ExportsAtTrueSize)
{
    NameSeal large = DefaultNameSeal();
    large.record.Resolution = 1;
    NameSeal largest = large;
    largest.record.StampSize = 155;
    struct Case
    {
        const char* what;
        SealSource source;
        double dpi;
        double pixelsPerCm;
        QSize pixels;                  // of the PNG
        std::optional<double> panelMm; // the editing panel's size display
        int pen;
    };
    const Case cases[] = {
        // The frame of radius 117 and pen 4: 238 pixels of ink at 260 per cm.
        {"name", DefaultNameSeal(), 600, 260, {217, 217}, 117 * 2000.0 / 26000, 4},
        {"name at its print resolution", DefaultNameSeal(), 0, 260, {238, 238}, 9.0, 4},
        {"name, large", large, 600, 153, {368, 368}, 117 * 2000.0 / 15249, 4},
        {"name, largest", largest, 600, 153, {485, 485}, 155 * 2000.0 / 15249, 4},
        // The ring of radius 115 and pen 4: 234 pixels at 153 per cm.
        {"date", DefaultDateSeal(), 600, 153, {362, 362}, 115 * 2000.0 / 15249, 4},
        {"bitmap 260", Picture(0), 600, 260, {273, 182}, std::nullopt, 0},
        {"bitmap 153", Picture(1), 600, 153, {464, 309}, std::nullopt, 0},
        {"bitmap own", Picture(1), 0, 153, {300, 200}, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SealArtwork art(c.source);
        EXPECT_EQ(art.PixelsPerCm(), c.pixelsPerCm);
        const Rendered png = RenderFile(art, {Format::Png, c.dpi, Background::Transparent});
        EXPECT_FALSE(png.clamped);
        const QImage picture = DecodePng(png.bytes);
        EXPECT_EQ(picture.size(), c.pixels);
        const double dpi = c.dpi > 0 ? c.dpi : c.pixelsPerCm * 2.54;
        EXPECT_EQ(picture.dotsPerMeterX(), std::lround(dpi / 0.0254));
        EXPECT_EQ(picture.dotsPerMeterY(), picture.dotsPerMeterX());
        // The picture is the ink to within a pixel.
        const double pixelMm = Millimetres(1, picture.dotsPerMeterX());
        EXPECT_NEAR(Millimetres(picture.width(), picture.dotsPerMeterX()), art.SizeMm().width(),
                    pixelMm);
        if (c.panelMm) {
            // The frame on its centre line: the picture less one pen.
            const double penMm = c.pen * 10.0 / c.pixelsPerCm;
            EXPECT_NEAR(Millimetres(picture.width(), picture.dotsPerMeterX()) - penMm, *c.panelMm,
                        0.1);
            ASSERT_TRUE(art.FrameSizeMm());
            EXPECT_NEAR(art.FrameSizeMm()->height(), *c.panelMm, 0.1);
        } else {
            EXPECT_FALSE(art.FrameSizeMm());
        }
    }
}

TEST_F(SealOutputTest, FrameMatchesThePanelsSizeDisplayOverItsRange)
{
    struct Range
    {
        int resolution; // -1: a date seal
        int first;
        int last;
        double divisor;
    };
    for (const Range range :
         {Range{0, 65, 155, 26000}, Range{1, 65, 155, 15249}, Range{-1, 85, 155, 15249}}) {
        for (int size = range.first; size <= range.last; ++size) {
            SealSource source;
            if (range.resolution < 0) {
                DateSeal date = DefaultDateSeal();
                date.record.StampSize = size;
                source = date;
            } else {
                NameSeal name = DefaultNameSeal();
                name.record.StampSize = size;
                name.record.Resolution = range.resolution;
                source = name;
            }
            const std::optional<QSizeF> frame = SealArtwork(source).FrameSizeMm();
            ASSERT_TRUE(frame);
            EXPECT_LT(std::abs(frame->height() - size * 2000.0 / range.divisor), 0.1)
                << range.resolution << " " << size;
        }
    }
}

TEST_F(SealOutputTest, TransparentPixelsHoldOnlyTheSealsColour)
{
    for (const std::int32_t colour : {seal::kColorRed, seal::kColorBlue, 0x123456}) {
        NameSeal name = DefaultNameSeal();
        name.record.StampColor = colour;
        name.record.FontStyle = seal::kStyleBold;
        DateSeal date = DefaultDateSeal();
        date.record.StampColor = colour;
        for (const SealSource& source : {SealSource(name), SealSource(date)}) {
            const SealArtwork art(source);
            const QColor expected = seal::ColorFromRecord(colour);
            ASSERT_EQ(art.InkColor(), expected);
            const QImage picture =
                DecodePng(RenderFile(art, {Format::Png, 600, Background::Transparent}).bytes);
            int partial = 0;
            int opaque = 0;
            int wrong = 0;
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x) {
                    const QRgb pixel = picture.pixel(x, y);
                    const int alpha = qAlpha(pixel);
                    if (alpha == 0)
                        continue;
                    wrong += (pixel & 0xFFFFFF) != (expected.rgb() & 0xFFFFFF);
                    opaque += alpha == 255;
                    partial += alpha < 255;
                }
            }
            EXPECT_EQ(wrong, 0) << "no fringe of another colour";
            EXPECT_EQ(RenderRaster(art, 600, Background::Transparent).format(),
                      QImage::Format_ARGB32);
            EXPECT_GT(opaque, 1000);
            EXPECT_GT(partial, 500) << "antialiased edges are alpha";
            for (const QPoint corner :
                 {QPoint(0, 0), QPoint(picture.width() - 1, 0), QPoint(0, picture.height() - 1)})
                EXPECT_EQ(qAlpha(picture.pixel(corner)), 0);

            const QImage white = QImage::fromData(
                RenderFile(art, {Format::Png, 600, Background::White}).bytes, "PNG");
            EXPECT_FALSE(white.hasAlphaChannel());
            EXPECT_EQ(white.pixel(0, 0), qRgb(255, 255, 255));
        }
    }
}

// Where a picture is inked: at least half covered, by its alpha or by ink on white paper.
using InkTest = bool (*)(QRgb);
bool CoveredOnWhite(QRgb pixel)
{
    return 255 - std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)}) >= 128;
}
bool CoveredByAlpha(QRgb pixel)
{
    return qAlpha(pixel) >= 128;
}

// The share of pixels inked in either picture that are inked in both.
double Overlap(const QImage& a, InkTest inkedA, const QImage& b, InkTest inkedB)
{
    int both = 0;
    int either = 0;
    const int width = std::max(a.width(), b.width());
    const int height = std::max(a.height(), b.height());
    const auto inked = [](const QImage& image, InkTest test, int x, int y) {
        return x < image.width() && y < image.height() && test(image.pixel(x, y));
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool inA = inked(a, inkedA, x, y);
            const bool inB = inked(b, inkedB, x, y);
            both += inA && inB;
            either += inA || inB;
        }
    }
    return either == 0 ? 0.0 : double(both) / either;
}

// Runs `program` with `arguments`; false when it fails.
bool RunTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

TEST_F(SealOutputTest, ExportsMatchThePreview)
{
    NameSeal bold = DefaultNameSeal();
    bold.record.FontStyle = seal::kStyleBold;
    bold.record.CircleParameter = 0;
    bold.record.LineWidth = 3;
    DateSeal era = DefaultDateSeal();
    era.record.Years = 1;
    era.record.TwinRing = 2;
    const SealSource sources[] = {DefaultNameSeal(), bold, era};
    const QString folder = velmr::test::MakeTempFolder(QStringLiteral("match"));
    int number = 0;
    for (const SealSource& source : sources) {
        SCOPED_TRACE(number);
        // The export prints its own day; the preview prints today, here the same day.
        SetToday(kToday);
        const SealArtwork art(source);
        SetToday(kMayDay);
        QImage preview;
        if (const auto* name = std::get_if<NameSeal>(&source))
            preview = seal::RenderNameSeal(name->record, name->ex, kPreviewDpi);
        else
            preview = seal::RenderDateSeal(std::get<DateSeal>(source).record, {}, kPreviewDpi);
        const QRectF ink = art.InkRect();
        ASSERT_EQ(ink, ink.toAlignedRect().toRectF()) << "these seals' ink has whole edges";
        preview = preview.copy(ink.toAlignedRect());

        // At the print resolution the picture is the preview's ink, pixel for pixel.
        const QImage png =
            DecodePng(RenderFile(art, {Format::Png, 0, Background::Transparent}).bytes);
        ASSERT_EQ(png.size(), preview.size());
        int differing = 0;
        for (int y = 0; y < png.height(); ++y) {
            for (int x = 0; x < png.width(); ++x) {
                const int coverage = 255 - qBlue(preview.pixel(x, y));
                differing += std::abs(qAlpha(png.pixel(x, y)) - coverage) > 1;
            }
        }
        EXPECT_EQ(differing, 0);

        // SVG and PDF rasterised by other programs at the preview's resolution.
        const QString dpi = QString::number(art.PixelsPerCm() * 2.54, 'f', 4);
        const QString base = folder + QStringLiteral("/seal%1").arg(number++);
        const QString rsvg = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
        const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        if (rsvg.isEmpty() || pdftoppm.isEmpty())
            GTEST_SKIP() << "rsvg-convert or pdftoppm is missing";
        velmr::test::WriteFile(base + QStringLiteral(".svg"),
                               RenderFile(art, {Format::Svg, 0, Background::Transparent}).bytes);
        velmr::test::WriteFile(base + QStringLiteral(".pdf"),
                               RenderFile(art, {Format::Pdf, 0, Background::Transparent}).bytes);
        ASSERT_TRUE(RunTool(rsvg, {QStringLiteral("-d"), dpi, QStringLiteral("-p"), dpi,
                                   QStringLiteral("-o"), base + QStringLiteral("-svg.png"),
                                   base + QStringLiteral(".svg")}));
        ASSERT_TRUE(RunTool(pdftoppm, {QStringLiteral("-r"), dpi, QStringLiteral("-png"),
                                       QStringLiteral("-singlefile"), base + QStringLiteral(".pdf"),
                                       base + QStringLiteral("-pdf")}));
        const QImage fromSvg(base + QStringLiteral("-svg.png"));
        const QImage fromPdf(base + QStringLiteral("-pdf.png"));
        EXPECT_GE(Overlap(preview, CoveredOnWhite, png, CoveredByAlpha), 0.999);
        EXPECT_GE(Overlap(preview, CoveredOnWhite, fromSvg, CoveredByAlpha), 0.97);
        EXPECT_GE(Overlap(preview, CoveredOnWhite, fromPdf, CoveredOnWhite), 0.97);
    }
}

TEST_F(SealOutputTest, DateBandPrintsTheChosenDay)
{
    struct Case
    {
        int years;
        int noLeadingZero;
        LocalDate day;
        const char16_t* band;
    };
    const Case cases[] = {
        {0, 0, kMayDay, u"19.05.01"},         {1, 0, kMayDay, u"01.05.01"},
        {2, 0, kMayDay, u"2019.05.01"},       {0, 1, kMayDay, u"19.5.1"},
        {1, 1, kMayDay, u"01.5.1"},           {2, 1, kMayDay, u"2019.5.1"},
        {1, 0, {2019, 4, 30}, u"31.04.30"},   {2, 0, {1900, 1, 1}, u"1900.01.01"},
        {1, 0, {1900, 1, 1}, u"33.01.01"},    {2, 0, {9999, 12, 31}, u"9999.12.31"},
        {0, 0, {9999, 12, 31}, u"99.12.31"},  {1, 0, {9999, 12, 31}, u"7981.12.31"},
        {2, 0, {2000, 2, 29}, u"2000.02.29"}, {3, 0, kMayDay, u""},
    };
    for (const Case& c : cases) {
        seal::DateStampRecord record = seal::NewDateStamp();
        record.Years = c.years;
        seal::DateStampExRecord ex{};
        ex.DateNZ = c.noLeadingZero;
        EXPECT_EQ(seal::DateBandText(record, ex, c.day), QString::fromUtf16(c.band))
            << c.day.year << "-" << c.day.month << "-" << c.day.day << " style " << c.years;
    }
    // Without a chosen day the preview's band keeps printing today.
    EXPECT_EQ(seal::DateBandText(seal::NewDateStamp(), {}), QStringLiteral("26.12.08"));
}

TEST_F(SealOutputTest, ParsesDaysInTheirRange)
{
    struct Case
    {
        const char16_t* text;
        std::optional<LocalDate> day;
    };
    const Case cases[] = {
        {u"2019-05-01", kMayDay},          {u"1900-01-01", kFirstDay},
        {u"9999-12-31", kLastDay},         {u"2020-02-29", LocalDate{2020, 2, 29}},
        {u"1899-12-31", std::nullopt},     {u"10000-01-01", std::nullopt},
        {u"2019-02-29", std::nullopt},     {u"2019-13-01", std::nullopt},
        {u"2019-00-10", std::nullopt},     {u"2019-04-31", std::nullopt},
        {u"2019-5-1", std::nullopt},       {u"2019/05/01", std::nullopt},
        {u"2019-05-01 ", std::nullopt},    {u"+019-05-01", std::nullopt},
        {u"２０１９-05-01", std::nullopt}, {u"", std::nullopt},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(ParseDay(text), c.day) << text.toStdString();
    }
}

TEST_F(SealOutputTest, AbsurdRecordsExportClamped)
{
    struct Case
    {
        const char* what;
        SealSource source;
        bool clamped;
    };
    NameSeal huge = DefaultNameSeal();
    huge.record.StampSize = std::numeric_limits<std::int32_t>::max();
    NameSeal noFont = DefaultNameSeal();
    noFont.record.FontSize = 0;
    NameSeal hugeFont = DefaultNameSeal();
    hugeFont.record.FontSize = 5000;
    hugeFont.record.OffsetX = std::numeric_limits<std::int32_t>::min();
    NameSeal negativePen = DefaultNameSeal();
    negativePen.record.LineWidth = -7;
    DateSeal thickRing = DefaultDateSeal();
    thickRing.record.TwinRing = 3;
    thickRing.record.LineWidth = std::numeric_limits<std::int32_t>::max();
    thickRing.record.StampSize = -40;
    DateSeal nothing = DefaultDateSeal();
    nothing.record.TwinRing = 9;
    nothing.record.FontSizeU = nothing.record.FontSizeM = nothing.record.FontSizeL = 0;
    const Case cases[] = {
        {"huge frame", huge, true},      {"font 0", noFont, false},
        {"font 5000", hugeFont, true},   {"negative pen", negativePen, false},
        {"thick ring", thickRing, true}, {"no ink", nothing, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SealArtwork art(c.source);
        bool clamped = false;
        const QImage picture = RenderRaster(art, 1200, Background::Transparent, &clamped);
        EXPECT_EQ(clamped, c.clamped);
        EXPECT_LE(std::max(picture.width(), picture.height()), kLargestSide);
        EXPECT_LE(qint64(picture.width()) * picture.height(), kLargestPixels);
        EXPECT_FALSE(picture.isNull());
        // Vector files of any size; a seal without ink is no file at all.
        for (const Format format : {Format::Svg, Format::Pdf}) {
            EXPECT_EQ(RenderFile(art, {format, 0, Background::Transparent}).bytes.isEmpty(),
                      art.InkRect().isEmpty());
        }
        EXPECT_EQ(RenderThumbnail(art, 64).size(), QSize(64, 64));
    }
    const SealArtwork blank(nothing);
    EXPECT_TRUE(RenderFile(blank, {Format::Png, 600, Background::Transparent}).bytes.isEmpty());
    const QString path = velmr::test::MakeTempFolder() + QStringLiteral("/blank.png");
    EXPECT_TRUE(ExportSeal(blank, {}, path));
    EXPECT_FALSE(QFile::exists(path));

    Rendered png = RenderFile(SealArtwork(huge), {Format::Png, 600, Background::White});
    EXPECT_TRUE(png.clamped);
    QBuffer buffer(&png.bytes);
    const QSize size = QImageReader(&buffer, "png").size();
    EXPECT_GT(size.width(), 1000);
    EXPECT_LE(std::max(size.width(), size.height()), kLargestSide);
}

TEST_F(SealOutputTest, ExportWritesWholeFilesOrNothing)
{
    const SealArtwork art(DefaultNameSeal());
    const QString folder = velmr::test::MakeTempFolder(QStringLiteral("export"));
    struct Case
    {
        Format format;
        const char* name;
        QByteArray start;
    };
    for (const Case& c :
         {Case{Format::Png, "seal.png", "\x89PNG"}, Case{Format::Svg, "seal.svg", "<?xml"},
          Case{Format::Pdf, "seal.pdf", "%PDF"}}) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(c.name);
        EXPECT_EQ(ExportSeal(art, {c.format, 600, Background::Transparent}, path), std::nullopt);
        EXPECT_TRUE(velmr::test::ReadFile(path).startsWith(c.start)) << c.name;
    }

    const QString locked = velmr::test::MakeTempFolder(QStringLiteral("locked"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    for (const QString& path :
         {locked + QStringLiteral("/seal.png"), folder + QStringLiteral("/missing/seal.pdf")}) {
        const std::optional<QString> message =
            ExportSeal(art, {Format::Png, 600, Background::Transparent}, path);
        ASSERT_TRUE(message);
        EXPECT_TRUE(message->contains(path)) << message->toStdString();
    }
    EXPECT_TRUE(
        QDir(locked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(SealOutputTest, LoadsSealFilesAndNamesTheBadOnes)
{
    const QString folder = velmr::test::MakeTempFolder(QStringLiteral("load"));
    const auto path = [&](const char* name) {
        return folder + QLatin1Char('/') + QLatin1String(name);
    };
    const NameSeal name = DefaultNameSeal();
    const DateSeal date = DefaultDateSeal();
    velmr::test::WriteFile(path("name.mkn"), seal::NameSealFileBytes(name.record, name.ex));
    velmr::test::WriteFile(path("date.mkd"), seal::DateSealFileBytes(date.record, date.ex));
    const velmr::image::ImgKitImage picture = velmr::image::ImgKitFromQImage(Picture(0).picture);
    ASSERT_NE(velmr::image::ImgKitBmpFileSave(path("picture.bmp"), picture, {}, {}, 0), 0);
    velmr::image::ImgKitMemFree(picture);

    const LoadedSeal loadedName = LoadSealFile(path("name.mkn"), kMayDay);
    ASSERT_TRUE(loadedName.source) << loadedName.error.toStdString();
    EXPECT_EQ(std::get<NameSeal>(*loadedName.source).record, name.record);
    const LoadedSeal loadedDate = LoadSealFile(path("date.mkd"), kMayDay);
    ASSERT_TRUE(loadedDate.source);
    EXPECT_EQ(std::get<DateSeal>(*loadedDate.source).day, kMayDay);
    const LoadedSeal loadedPicture = LoadSealFile(path("picture.bmp"), kMayDay);
    ASSERT_TRUE(loadedPicture.source);
    EXPECT_EQ(std::get<BitmapSeal>(*loadedPicture.source).picture.size(), QSize(300, 200));

    // A transparent seal written as PNG (as the extraction writes it) keeps its alpha and its print
    // resolution.
    for (const auto& [pixelsPerCm, resolution] : {std::pair{153, 1}, {260, 0}, {0, 0}}) {
        QImage seal(40, 40, QImage::Format_ARGB32);
        seal.fill(Qt::transparent);
        seal.setPixelColor(20, 20, QColor(200, 30, 30));
        seal.setDotsPerMeterX(pixelsPerCm * 100);
        seal.setDotsPerMeterY(pixelsPerCm * 100);
        ASSERT_TRUE(seal.save(path("seal.png")));
        const LoadedSeal loaded = LoadSealFile(path("seal.png"), kMayDay);
        ASSERT_TRUE(loaded.source) << loaded.error.toStdString();
        const BitmapSeal& bitmap = std::get<BitmapSeal>(*loaded.source);
        EXPECT_EQ(bitmap.resolution, resolution) << pixelsPerCm;
        EXPECT_EQ(bitmap.picture.pixelColor(0, 0).alpha(), 0);
        EXPECT_EQ(bitmap.picture.pixelColor(20, 20), QColor(200, 30, 30));
    }

    velmr::test::WriteFile(path("short.mkn"), QByteArray(100, 'x'));
    velmr::test::WriteFile(path("short.mkd"), QByteArray(223, '\0'));
    velmr::test::WriteFile(path("empty.mkn"), QByteArray());
    velmr::test::WriteFile(path("bad.bmp"), QByteArray::fromHex("424d1000000067617262616765"));
    velmr::test::WriteFile(path("bad.jpg"), QByteArray::fromHex("ffd8ffe000107472756e63"));
    velmr::test::WriteFile(path("notes.txt"), QByteArray("text"));
    velmr::test::WriteFile(path("bad.png"), QByteArray::fromHex("89504e470d0a1a0a0000"));
    QDir(folder).mkdir(QStringLiteral("folder.mkn"));
    for (const char* bad : {"short.mkn", "short.mkd", "empty.mkn", "bad.bmp", "bad.jpg", "bad.png",
                            "notes.txt", "folder.mkn", "missing.mkd"}) {
        const LoadedSeal loaded = LoadSealFile(path(bad), kMayDay);
        EXPECT_FALSE(loaded.source) << bad;
        EXPECT_TRUE(loaded.error.startsWith(path(bad) + QStringLiteral(": "))) << bad;
        EXPECT_GT(loaded.error.size(), path(bad).size() + 4) << bad;
    }
}

TEST_F(SealOutputTest, ClipboardAndThumbnail)
{
    const SealArtwork art(DefaultNameSeal());
    const std::unique_ptr<QMimeData> data = ClipboardData(art);
    EXPECT_TRUE(data->hasImage());
    const QImage png = QImage::fromData(data->data(QStringLiteral("image/png")), "PNG");
    EXPECT_TRUE(png.hasAlphaChannel());
    EXPECT_EQ(png.dotsPerMeterX(), std::lround(600 / 0.0254));
    EXPECT_TRUE(data->data(QStringLiteral("image/svg+xml")).contains("<svg"));

    const QImage thumbnail = RenderThumbnail(art, 128);
    ASSERT_EQ(thumbnail.size(), QSize(128, 128));
    EXPECT_EQ(qAlpha(thumbnail.pixel(0, 0)), 0);
    // The seal fills the square: its frame touches the edges' middles.
    EXPECT_GT(qAlpha(thumbnail.pixel(0, 64)), 0);
    EXPECT_GT(qAlpha(thumbnail.pixel(64, 127)), 0);
}

} // namespace
