// velmrseal as a user runs it: the built executable in its own process, without a display.
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <unistd.h>

using namespace velmr;
using namespace Qt::StringLiterals;

namespace {

// Little-endian record bytes made by hand from the file layout.
struct Bytes
{
    QByteArray data;
    explicit Bytes(qsizetype size) : data(size, '\0') {}
    void Text(qsizetype at, const QByteArray& sjis) { data.replace(at, sjis.size(), sjis); }
    void Int(qsizetype at, std::int32_t value)
    {
        for (int i = 0; i < 4; ++i)
            data[at + i] = char((std::uint32_t(value) >> (8 * i)) & 0xFF);
    }
};

const QByteArray kMincho = "\x82\x6C\x82\x72\x20\x96\xBE\x92\xA9"; // ＭＳ 明朝

// 山 above 田 in red inside a frame of half-size `stampSize`.
QByteArray NameSealFile(std::int32_t stampSize, std::int32_t lineWidth,
                        std::int32_t circleParameter, std::int32_t resolution)
{
    Bytes file(168 + 1144);
    file.Text(0, "\x8E\x52");  // 山
    file.Text(20, "\x93\x63"); // 田
    file.Text(80, kMincho);
    file.data[120] = 0x01; // bold
    file.Int(124, 40);     // FontSize
    file.Int(128, stampSize);
    file.Int(136, 0x0000FF); // red
    file.Int(140, lineWidth);
    file.Int(144, circleParameter);
    file.Int(156, resolution);
    return file.data;
}

// 総務 above the band, the date in it, 佐藤 below, in a single ring of half-size `stampSize`.
QByteArray DateSealFile(std::int32_t stampSize, std::int32_t lineWidth, std::int32_t years)
{
    Bytes file(224 + 4096);
    file.Text(0, "\x91\x8D\x96\xB1");  // 総務
    file.Text(20, "\x8D\xB2\x93\xA1"); // 佐藤
    for (qsizetype face : {40, 80, 120})
        file.Text(face, kMincho);
    file.Int(164, 14); // FontSizeU
    file.Int(168, 16); // FontSizeM
    file.Int(172, 14); // FontSizeL
    file.Int(176, stampSize);
    file.Int(180, 0x0000FF);
    file.Int(184, lineWidth);
    file.Int(200, years);
    file.Int(212, 0); // TwinRing: a single ring
    return file.data;
}

struct SealRun
{
    int status = -1;
    QString out;
    QString err;
};

class SealCommandTest : public ::testing::Test
{
protected:
    void SetUp() override { folder = test::MakeTempFolder(QStringLiteral("seals")); }

    QString Path(const QString& name) const { return folder + QLatin1Char('/') + name; }
    QString Write(const QString& name, const QByteArray& bytes) const
    {
        test::WriteFile(Path(name), bytes);
        return Path(name);
    }

    // velmrseal with `arguments`, with no display and no platform asked for.
    static SealRun Seal(const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VELMRSEAL_PROGRAM), arguments);
        SealRun run;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
            ADD_FAILURE() << "velmrseal did not end normally: "
                          << arguments.join(u' ').toStdString();
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.status = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QStringList Entries(const QString& path) const
    {
        return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QString folder;
};

TEST_F(SealCommandTest, PngsAt600DpiHaveTheSealsTrueSize)
{
    struct Case
    {
        const char* name;
        QByteArray bytes;
        double frameWidthPx; // the frame on its pen's centre line, in the seal's pixels
        double frameHeightPx;
        double penPx;
        double pixelsPerCm;
    };
    const Case cases[] = {
        {"circle.mkn", NameSealFile(130, 6, 100, 0), 260, 260, 6, 260},
        {"oval.mkn", NameSealFile(130, 4, 80, 1), 234, 260, 4, 153}, // d = 13 a side
        {"square.mkn", NameSealFile(100, 3, 0, 0), 200, 200, 3, 260},
        {"ring.mkd", DateSealFile(120, 4, 1), 240, 240, 4, 153},
    };
    QStringList inputs;
    for (const Case& c : cases)
        inputs << Write(QString::fromLatin1(c.name), c.bytes);
    const QString out = test::MakeTempFolder(QStringLiteral("out"));
    const SealRun run = Seal(QStringList{QStringLiteral("render")}
                             << inputs
                             << QStringList{QStringLiteral("--out-dir"), out,
                                            QStringLiteral("--dpi"), QStringLiteral("600")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    const double dotsPerMetre = 600 / 0.0254;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage png(out + QLatin1Char('/') +
                         QFileInfo(QString::fromLatin1(c.name)).baseName() +
                         QStringLiteral(".png"));
        ASSERT_FALSE(png.isNull());
        EXPECT_TRUE(png.hasAlphaChannel());
        EXPECT_NEAR(png.dotsPerMeterX(), dotsPerMetre, 1.0);
        EXPECT_NEAR(png.dotsPerMeterY(), dotsPerMetre, 1.0);
        // The canvas is the frame and half its pen on either side: its size in millimetres as
        // the pHYs chunk gives it, less the pen, is the frame's size to its 0.1 mm.
        const double penMm = c.penPx / c.pixelsPerCm * 10;
        const double widthMm = png.width() / double(png.dotsPerMeterX()) * 1000 - penMm;
        const double heightMm = png.height() / double(png.dotsPerMeterY()) * 1000 - penMm;
        EXPECT_NEAR(widthMm, c.frameWidthPx / c.pixelsPerCm * 10, 0.1);
        EXPECT_NEAR(heightMm, c.frameHeightPx / c.pixelsPerCm * 10, 0.1);

        // Nothing but the seal's red: alpha 0 outside the ink, no fringe of another colour.
        const QImage argb = png.convertToFormat(QImage::Format_ARGB32);
        for (const QPoint corner : {QPoint(0, 0), QPoint(argb.width() - 1, argb.height() - 1)})
            EXPECT_EQ(qAlpha(argb.pixel(corner)), 0);
        int inked = 0;
        int otherColour = 0;
        for (int y = 0; y < argb.height(); ++y) {
            for (int x = 0; x < argb.width(); ++x) {
                const QRgb pixel = argb.pixel(x, y);
                if (qAlpha(pixel) == 0)
                    continue;
                ++inked;
                if ((pixel & 0xFFFFFF) != 0xFF0000)
                    ++otherColour;
            }
        }
        EXPECT_GT(inked, argb.width() * 4) << "the frame at least";
        EXPECT_EQ(otherColour, 0);
    }
}

TEST_F(SealCommandTest, DateGivenOnTheCommandLineIsPrintedInTheSealsStyle)
{
    const QString era = Write(QStringLiteral("era.mkd"), DateSealFile(115, 3, 1));
    const QString western = Write(QStringLiteral("western.mkd"), DateSealFile(115, 3, 0));
    // 1 May 2019 is year 1 of its era: "01.05.01", as 1 May 2001 is with two Western digits.
    const auto rendered = [&](const QString& input, const char* day) {
        const QString target =
            Path(QStringLiteral("%1-%2.png").arg(QFileInfo(input).baseName(), QLatin1String(day)));
        const SealRun run = Seal({QStringLiteral("render"), input, QStringLiteral("--date"),
                                  QString::fromLatin1(day), QStringLiteral("-o"), target});
        EXPECT_EQ(run.status, 0) << day << ": " << run.err.toStdString();
        return QImage(target).convertToFormat(QImage::Format_ARGB32);
    };
    const QImage firstOfReiwa = rendered(era, "2019-05-01");
    const QImage lastOfHeisei = rendered(era, "2019-04-30");
    ASSERT_FALSE(firstOfReiwa.isNull());
    EXPECT_EQ(firstOfReiwa, rendered(western, "2001-05-01")) << "01.05.01";
    EXPECT_EQ(lastOfHeisei, rendered(western, "2031-04-30")) << "31.04.30";
    EXPECT_NE(firstOfReiwa, lastOfHeisei);
}

TEST_F(SealCommandTest, ExitStatusTellsWhatWasWritten)
{
    const QString good = Write(QStringLiteral("good.mkn"), NameSealFile(117, 4, 100, 0));
    const QString date = Write(QStringLiteral("date.mkd"), DateSealFile(115, 3, 2));
    const QString shortFile = Write(QStringLiteral("short.mkn"), QByteArray(100, '\x01'));
    const QString garbage = Write(QStringLiteral("garbage.bmp"), QByteArray("BM not a picture"));
    const QString missing = Path(QStringLiteral("missing.mkd"));
    const QString text = Write(QStringLiteral("notes.txt"), QByteArray("hello"));
    struct Case
    {
        QStringList arguments;
        int status;
        QStringList written;  // the files that must be there afterwards
        QString errorMention; // a text that standard error must contain
    };
    const QString r = QStringLiteral("render");
    const Case cases[] = {
        {{r, good, date}, 0, {u"good.png"_s, u"date.png"_s}, {}},
        {{r, good, shortFile, garbage, date, missing, text}, 1, {u"good.png"_s, u"date.png"_s}, {}},
        {{r, shortFile}, 1, {}, shortFile},
        {{r, garbage}, 1, {}, garbage},
        {{r, missing}, 1, {}, missing},
        {{}, 2, {}, {}},
        {{QStringLiteral("draw"), good}, 2, {}, QStringLiteral("draw")},
        {{r}, 2, {}, {}},
        {{r, good, QStringLiteral("--bogus")}, 2, {}, QStringLiteral("bogus")},
        {{r, good, QStringLiteral("--dpi")}, 2, {}, QStringLiteral("--dpi")},
        {{r, good, QStringLiteral("--dpi"), QStringLiteral("-3")}, 2, {}, QStringLiteral("-3")},
        {{r, good, QStringLiteral("--format"), QStringLiteral("gif")},
         2,
         {},
         QStringLiteral("gif")},
        {{r, date, QStringLiteral("--date"), QStringLiteral("2019-02-29")}, 2, {}, {}},
        {{r, date, QStringLiteral("--date"), QStringLiteral("1899-12-31")}, 2, {}, {}},
        {{r, date, QStringLiteral("--date"), QStringLiteral("2019/05/01")}, 2, {}, {}},
        {{r, good, QStringLiteral("--background"), QStringLiteral("pink")}, 2, {}, {}},
        {{r, good, date, QStringLiteral("-o"), Path(QStringLiteral("one.png"))}, 2, {}, {}},
        {{r, good, QStringLiteral("-o"), Path(QStringLiteral("x.svg")), QStringLiteral("--format"),
          QStringLiteral("pdf")},
         2,
         {},
         {}},
        {{r, good, QStringLiteral("-o"), Path(QStringLiteral("x.jpg"))}, 2, {}, {}},
        {{QStringLiteral("thumbnail"), good, Path(QStringLiteral("t.png"))}, 2, {}, {}},
        {{QStringLiteral("thumbnail"), good, Path(QStringLiteral("t.png")), QStringLiteral("0")},
         2,
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        for (const QString& name : Entries(folder)) {
            if (name.endsWith(QLatin1String(".png")) || name.endsWith(QLatin1String(".svg")) ||
                name.endsWith(QLatin1String(".pdf")))
                QFile::remove(Path(name));
        }
        const QStringList before = Entries(folder);
        const SealRun run = Seal(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.errorMention)) << run.err.toStdString();
        if (c.status != 0) {
            EXPECT_FALSE(run.err.isEmpty());
        }
        QStringList expected = before + c.written;
        expected.sort();
        QStringList after = Entries(folder);
        after.sort();
        EXPECT_EQ(after, expected) << "only the good seals are written, nothing half-written";
        for (const QString& name : c.written)
            EXPECT_FALSE(QImage(Path(name)).isNull()) << name.toStdString();
    }
}

TEST_F(SealCommandTest, OutputNamesAndFormats)
{
    const QString seal = Write(QStringLiteral("yamada.seal.mkn"), NameSealFile(117, 4, 100, 0));
    const QString out = test::MakeTempFolder(QStringLiteral("out"));
    ASSERT_EQ(Seal({QStringLiteral("render"), seal}).status, 0);
    EXPECT_FALSE(QImage(Path(QStringLiteral("yamada.seal.png"))).isNull()) << "beside the input";
    ASSERT_EQ(Seal({QStringLiteral("render"), seal, QStringLiteral("--out-dir"), out,
                    QStringLiteral("--format"), QStringLiteral("svg")})
                  .status,
              0);
    const QByteArray svg = test::ReadFile(out + QStringLiteral("/yamada.seal.svg"));
    EXPECT_TRUE(svg.contains("<svg")) << svg.left(200).toStdString();
    EXPECT_TRUE(svg.contains("mm\"")) << "width and height in millimetres";
    ASSERT_EQ(Seal({QStringLiteral("render"), seal, QStringLiteral("-o"),
                    out + QStringLiteral("/named.PDF")})
                  .status,
              0);
    EXPECT_TRUE(test::ReadFile(out + QStringLiteral("/named.PDF")).startsWith("%PDF"));

    // A picture seal keeps its own pixels at its print resolution, 260 pixels per cm.
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setPixel(3, 4, qRgb(200, 0, 0));
    ASSERT_TRUE(picture.save(Path(QStringLiteral("scan.bmp"))));
    ASSERT_EQ(Seal({QStringLiteral("render"), Path(QStringLiteral("scan.bmp"))}).status, 0);
    const QImage png(Path(QStringLiteral("scan.png")));
    EXPECT_EQ(png.size(), QSize(120, 80));
    EXPECT_EQ(png.dotsPerMeterX(), 26000);
}

TEST_F(SealCommandTest, ThumbnailsFitTheAskedSize)
{
    const QString name = Write(QStringLiteral("n.mkn"), NameSealFile(117, 4, 80, 0));
    const QString date = Write(QStringLiteral("d.mkd"), DateSealFile(115, 3, 1));
    for (const int size : {32, 128, 256}) {
        for (const QString& input : {name, date}) {
            const QString target = Path(QStringLiteral("thumb-%1").arg(size));
            QFile::remove(target);
            const SealRun run =
                Seal({QStringLiteral("thumbnail"), input, target, QString::number(size)});
            ASSERT_EQ(run.status, 0) << run.err.toStdString();
            const QImage thumbnail(target, "png");
            EXPECT_EQ(thumbnail.size(), QSize(size, size));
            EXPECT_TRUE(thumbnail.hasAlphaChannel());
            EXPECT_EQ(qAlpha(thumbnail.pixel(0, 0)), 0);
        }
    }
    const QString target = Path(QStringLiteral("broken-thumb.png"));
    const SealRun broken =
        Seal({QStringLiteral("thumbnail"), Write(QStringLiteral("b.mkd"), QByteArray(10, '\0')),
              target, QStringLiteral("128")});
    EXPECT_EQ(broken.status, 1);
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(SealCommandTest, AnOutputFolderThatCannotBeWrittenGetsNothing)
{
    const QString seal = Write(QStringLiteral("s.mkn"), NameSealFile(117, 4, 100, 0));
    const QString locked = test::MakeTempFolder(QStringLiteral("locked"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QString file = Write(QStringLiteral("plain-file"), "x");
    for (const QString& target : {locked, file, Path(QStringLiteral("absent"))}) {
        SCOPED_TRACE(target.toStdString());
        const SealRun run =
            Seal({QStringLiteral("render"), seal, QStringLiteral("--out-dir"), target});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.contains(target)) << run.err.toStdString();
    }
    EXPECT_TRUE(Entries(locked).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("absent"))));
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(SealCommandTest, AbsurdRecordsAreWrittenSmallerWithAMessage)
{
    QByteArray bytes = NameSealFile(100000, -7, 100, 0);
    bytes.replace(124, 4, QByteArray("\x88\x13\0\0", 4)); // a 5000-point font
    const QString seal = Write(QStringLiteral("huge.mkn"), bytes);
    const SealRun run = Seal({QStringLiteral("render"), seal});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(Path(QStringLiteral("huge.png")))) << run.err.toStdString();
    const QSize size = QImageReader(Path(QStringLiteral("huge.png"))).size();
    EXPECT_GT(size.width(), 1000);
    EXPECT_LE(size.width(), 20000);
    EXPECT_LE(size.height(), 20000);
}

// A red ring with a bar through it, stamped on paper lit from one side, as a phone's JPEG;
// `ink` false: the paper alone.
QByteArray StampPhoto(bool ink)
{
    QImage photo(480, 360, QImage::Format_RGB32);
    for (int x = 0; x < photo.width(); ++x) {
        const int light = 244 - x / 12;
        for (int y = 0; y < photo.height(); ++y)
            photo.setPixel(x, y, qRgb(light, light - 4, light - 12));
    }
    if (ink) {
        QPainter painter(&photo);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        painter.setPen(QPen(QColor(230, 20, 30), 12));
        painter.drawEllipse(QRectF(150, 90, 180, 180));
        painter.drawLine(QPointF(200, 180), QPointF(280, 180));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    photo.save(&buffer, "JPG", 90);
    return bytes;
}

TEST_F(SealCommandTest, ExtractWritesTheSealAloneAtItsPrintResolution)
{
    const QString photo = Write(QStringLiteral("photo.jpg"), StampPhoto(true));
    const QString paper = Write(QStringLiteral("paper.jpg"), StampPhoto(false));
    const QString seal = Path(QStringLiteral("seal.png"));
    const QString e = QStringLiteral("extract");
    struct Case
    {
        QStringList arguments;
        int status;
        int dotsPerMetre;     // of the PNG written; 0: nothing written
        QColor colour;        // of its pixels; invalid: red as measured
        QString errorMention; // a text that standard error must contain
    };
    const Case cases[] = {
        {{e, photo, u"-o"_s, seal}, 0, 26000, {}, {}},
        {{e, photo, u"-o"_s, seal, u"--ink"_s, u"blue"_s, u"--dpi"_s, u"300"_s},
         0,
         11811,
         QColor(0, 0, 255),
         {}},
        {{e, photo, u"--ink"_s, u"vermilion"_s, u"-o"_s, seal}, 0, 26000, QColor(227, 66, 52), {}},
        {{e, paper, u"-o"_s, seal}, 1, 0, {}, u"インクが見つかりません"_s},
        {{e, Path(u"missing.jpg"_s), u"-o"_s, seal}, 1, 0, {}, u"missing.jpg"_s},
        {{e, photo}, 2, 0, {}, u"-o"_s},
        {{e, photo, u"-o"_s, Path(u"seal.jpg"_s)}, 2, 0, {}, u"PNG"_s},
        {{e, photo, u"-o"_s, seal, u"--ink"_s, u"green"_s}, 2, 0, {}, u"green"_s},
        {{e, photo, u"-o"_s, seal, u"--dpi"_s, u"0"_s}, 2, 0, {}, u"--dpi"_s},
        {{e, photo, u"-o"_s, seal, u"--format"_s, u"svg"_s}, 2, 0, {}, u"--format"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        QFile::remove(seal);
        const SealRun run = Seal(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.errorMention)) << run.err.toStdString();
        if (c.dotsPerMetre == 0) {
            EXPECT_FALSE(QFileInfo::exists(seal));
            continue;
        }
        const QImage written(seal);
        ASSERT_FALSE(written.isNull());
        EXPECT_EQ(written.width(), written.height());
        EXPECT_EQ(written.dotsPerMeterX(), c.dotsPerMetre);
        EXPECT_TRUE(written.hasAlphaChannel());
        const QImage argb = written.convertToFormat(QImage::Format_ARGB32);
        int clear = 0, solid = 0;
        for (int y = 0; y < argb.height(); ++y) {
            for (int x = 0; x < argb.width(); ++x) {
                const QRgb p = argb.pixel(x, y);
                clear += qAlpha(p) == 0;
                if (qAlpha(p) == 255) {
                    ++solid;
                    if (c.colour.isValid()) {
                        EXPECT_EQ(p & 0xffffff, c.colour.rgb() & 0xffffff);
                    } else {
                        EXPECT_GT(qRed(p), 180);
                        EXPECT_LT(qGreen(p), 80);
                    }
                }
            }
        }
        EXPECT_GT(clear, argb.width() * argb.height() / 2);
        EXPECT_GT(solid, 1000);
    }
    EXPECT_EQ(Entries(folder), QStringList({u"paper.jpg"_s, u"photo.jpg"_s}));
}

TEST_F(SealCommandTest, HelpIsJapaneseAndVersionNamesTheProgram)
{
    const SealRun help = Seal({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("使い方"))) << help.out.toStdString();
    for (const char* option :
         {"--out-dir", "--format", "--dpi", "--date", "--background", "extract", "--ink"})
        EXPECT_TRUE(help.out.contains(QLatin1String(option))) << option;
    const SealRun version = Seal({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("velmrseal "))) << version.out.toStdString();
}

} // namespace
