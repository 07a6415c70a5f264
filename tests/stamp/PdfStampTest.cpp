#include "stamp/PdfStamp.h"

#include "seal/Records.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using velmr::output::NameSeal;
using velmr::output::SealArtwork;
using velmr::stamp::Stamp;
using velmr::stamp::StampPdf;
using velmr::stamp::StampPdfFile;
using velmr::stamp::StampRequest;

constexpr double kRenderDpi = 300.0;
constexpr double kMmPerPixel = 25.4 / kRenderDpi;
// The black bar each page carries, in millimetres from the page's top-left corner.
const QRectF kBarMm(40, 49.5, 30, 1);

std::shared_ptr<const SealArtwork> NameSealArt()
{
    return std::make_shared<SealArtwork>(
        NameSeal{velmr::seal::NewNameStamp(), velmr::seal::NewNameStampEx()});
}

// A document as an office program writes it through Qt's PDF writer: pages of the given sizes in
// millimetres, each with black text and a black bar.
QByteArray WriterPdf(const std::vector<QSizeF>& pagesMm)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(1200);
    const auto layout = [](const QSizeF& mm) {
        return QPageLayout(QPageSize(mm, QPageSize::Millimeter), QPageLayout::Portrait,
                           QMarginsF(0, 0, 0, 0));
    };
    writer.setPageLayout(layout(pagesMm.front()));
    QPainter painter(&writer);
    const double px = 1200 / 25.4;
    for (std::size_t i = 0; i < pagesMm.size(); ++i) {
        if (i > 0) {
            writer.setPageLayout(layout(pagesMm[i]));
            writer.newPage();
        }
        painter.fillRect(QRectF(kBarMm.topLeft() * px, kBarMm.size() * px), Qt::black);
        QFont font(QStringLiteral("IPAGothic"));
        font.setPixelSize(int(5 * px));
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(15 * px, 20 * px), QStringLiteral("請求書 %1").arg(i + 1));
    }
    painter.end();
    return bytes;
}

// Runs a tool; its standard output, or a failure naming what it said.
QByteArray RunTool(const QString& program, const QStringList& arguments, int* status = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    if (status) {
        *status = process.exitCode();
    } else {
        EXPECT_EQ(process.exitCode(), 0)
            << program.toStdString() << " " << arguments.join(QLatin1Char(' ')).toStdString()
            << ": " << process.readAllStandardError().toStdString();
    }
    return process.readAllStandardOutput() + process.readAllStandardError();
}

QString Save(const QByteArray& bytes, const QString& name)
{
    const QString path = QDir(velmr::test::PrivateTemp()).filePath(name);
    velmr::test::WriteFile(path, bytes);
    return path;
}

// The document passed through qpdf with `arguments` (qpdf in --rotate=+90:1 -- out, ...).
QByteArray Qpdf(const QByteArray& original, const QStringList& arguments)
{
    const QString in = Save(original, QStringLiteral("qpdf-in.pdf"));
    const QString out = QDir(velmr::test::PrivateTemp()).filePath(QStringLiteral("qpdf-out.pdf"));
    RunTool(QStringLiteral("qpdf"),
            QStringList{in} + arguments + QStringList{QStringLiteral("--"), out});
    return velmr::test::ReadFile(out);
}

// Adds `entry` (say "/CropBox [10 20 300 400]") to the dictionary of page `page` (1-based),
// through qpdf's editable form and its fix-qdf.
// Page 0: the root of the page tree, whose entries its pages inherit.
QByteArray WithPageEntry(const QByteArray& original, int page, const QByteArray& entry)
{
    QByteArray qdf =
        Qpdf(original, {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable")});
    const qsizetype at = page > 0 ? qdf.indexOf("%% Page " + QByteArray::number(page) + "\n")
                                  : qdf.lastIndexOf("<<\n", qdf.indexOf("  /Type /Pages\n"));
    const qsizetype open = qdf.indexOf("<<\n", at);
    EXPECT_TRUE(at >= 0 && open >= 0);
    qdf.insert(open + 3, "  " + entry + "\n");
    const QString edited = Save(qdf, QStringLiteral("edited.qdf"));
    const QByteArray fixed = RunTool(QStringLiteral("fix-qdf"), {edited});
    return Qpdf(fixed, {});
}

// Page `page` (1-based) rendered by poppler at 300 dpi, the part `areaMm` from the visible
// top-left corner only.
QImage Render(const QByteArray& pdf, int page, const QRectF& areaMm, const QString& password = {})
{
    const QString in = Save(pdf, QStringLiteral("render.pdf"));
    const QString prefix = QDir(velmr::test::PrivateTemp()).filePath(QStringLiteral("render"));
    const QRect area((areaMm.topLeft() / kMmPerPixel).toPoint(),
                     (areaMm.size() / kMmPerPixel).toSize());
    const QString number = QString::number(page);
    RunTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"),
                                         QString::number(kRenderDpi),
                                         QStringLiteral("-f"),
                                         number,
                                         QStringLiteral("-l"),
                                         number,
                                         QStringLiteral("-x"),
                                         QString::number(area.x()),
                                         QStringLiteral("-y"),
                                         QString::number(area.y()),
                                         QStringLiteral("-W"),
                                         QString::number(area.width()),
                                         QStringLiteral("-H"),
                                         QString::number(area.height()),
                                         QStringLiteral("-cropbox"),
                                         QStringLiteral("-png"),
                                         QStringLiteral("-singlefile"),
                                         QStringLiteral("-upw"),
                                         password,
                                         in,
                                         prefix});
    QImage image(prefix + QStringLiteral(".png"));
    return image.convertToFormat(QImage::Format_RGB32);
}

StampRequest OneStampAt(const QPointF& mm, int page = 0)
{
    StampRequest request;
    request.seals = {NameSealArt()};
    request.stamps = {Stamp{page, mm, 0.0, 0}};
    return request;
}

bool IsRedInk(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 128 && qBlue(pixel) < 128;
}

// The red ink's bounding box in the picture, in pixels.
QRect InkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (IsRedInk(image.pixel(x, y))) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

void ExpectQpdfCheckPasses(const QByteArray& pdf, const QString& password = {})
{
    int status = 0;
    const QByteArray said =
        RunTool(QStringLiteral("qpdf"),
                {QStringLiteral("--check"), QStringLiteral("--password=") + password,
                 Save(pdf, QStringLiteral("check.pdf"))},
                &status);
    EXPECT_EQ(status, 0) << said.toStdString();
}

// A bitmap seal: a red square of 10 mm at 260 pixels per cm, on white paper.
std::shared_ptr<const SealArtwork> PictureSealArt()
{
    QImage picture(280, 280, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter(&picture).fillRect(QRect(10, 10, 260, 260), Qt::red);
    return std::make_shared<SealArtwork>(velmr::output::BitmapSeal{picture, 0});
}

struct PlacementCase
{
    const char* name;
    QByteArray pdf;
    int page; // 0-based
    QPointF atMm;
    double rotation;
    bool picture = false;  // the bitmap seal rather than the name seal
    QString password = {}; // the user password the document is opened with
};

// The document encrypted by qpdf with the user password `user` (empty: opens without one),
// the owner password "owner" and `how` (say "128 --use-aes=y").
QByteArray Encrypted(const QByteArray& original, const QString& user, const QString& how)
{
    return Qpdf(original, QStringList{QStringLiteral("--allow-weak-crypto"),
                                      QStringLiteral("--encrypt"), user, QStringLiteral("owner")} +
                              how.split(QLatin1Char(' ')));
}

// The seal lands centred where it was placed, at its true size, on every kind of page.
TEST(PdfStampTest, SealLandsCentredAtTrueSizeOnEveryKindOfPage)
{
    const QByteArray a4 = WriterPdf({{210, 297}});
    const QByteArray mixed = WriterPdf({{210, 297}, {148, 105}, {100, 150}});
    const PlacementCase cases[] = {
        {"upright", a4, 0, {50, 60}, 0},
        {"turned a quarter", Qpdf(a4, {QStringLiteral("--rotate=+90:1")}), 0, {40, 30}, 0},
        {"turned half", Qpdf(a4, {QStringLiteral("--rotate=180:1")}), 0, {150, 250}, 30},
        {"turned three quarters", Qpdf(a4, {QStringLiteral("--rotate=270:1")}), 0, {200, 20}, 0},
        {"cropped off the origin",
         WithPageEntry(a4, 1, "/CropBox [100 150 400 600]"),
         0,
         {20, 25},
         0},
        {"cropped and turned",
         WithPageEntry(Qpdf(mixed, {QStringLiteral("--rotate=+90:3")}), 3,
                       "/CropBox [30 40 260 400]"),
         2,
         {60, 30},
         45},
        {"smaller page among others", mixed, 1, {100, 80}, 0},
        {"turned by the page tree", WithPageEntry(mixed, 0, "/Rotate 270"), 1, {30, 120}, 0},
        {"objects in object streams",
         Qpdf(mixed, {QStringLiteral("--object-streams=generate")}),
         2,
         {50, 70},
         0},
        {"linearized", Qpdf(mixed, {QStringLiteral("--linearize")}), 0, {100, 100}, 0},
        {"stamped before", StampPdf(a4, {}, OneStampAt({20, 20})).bytes, 0, {60, 60}, 0},
        {"bitmap seal", a4, 0, {70, 80}, 20, true},
        {"user password, 128-bit RC4",
         Encrypted(mixed, QStringLiteral("user"), QStringLiteral("128 --use-aes=n")),
         1,
         {100, 80},
         0,
         false,
         QStringLiteral("user")},
        {"owner password only, 40-bit RC4",
         Encrypted(a4, {}, QStringLiteral("40")),
         0,
         {50, 60},
         0},
        {"owner password only, AES-128",
         Encrypted(a4, {}, QStringLiteral("128 --use-aes=y")),
         0,
         {50, 60},
         20,
         true},
        {"user password, AES-256",
         Encrypted(Qpdf(mixed, {QStringLiteral("--object-streams=generate")}),
                   QStringLiteral("user"), QStringLiteral("256")),
         2,
         {50, 70},
         0,
         false,
         QStringLiteral("user")},
        {"owner password only, AES-256", Encrypted(a4, {}, QStringLiteral("256")), 0, {50, 60}, 0},
    };
    const std::shared_ptr<const SealArtwork> name = NameSealArt();
    const std::shared_ptr<const SealArtwork> picture = PictureSealArt();
    // The frame is measured on its pen's centre line; the ink reaches half a pen beyond.
    const double penMm = velmr::seal::NewNameStamp().LineWidth / 26.0;
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::shared_ptr<const SealArtwork>& art = c.picture ? picture : name;
        const double sizeMm = c.picture ? 10.0 : art->FrameSizeMm()->width() + penMm;
        StampRequest request;
        request.seals = {art};
        request.stamps = {Stamp{c.page, c.atMm, c.rotation, 0}};
        const velmr::stamp::Stamped stamped = StampPdf(c.pdf, c.password.toUtf8(), request);
        ASSERT_TRUE(stamped.error.isEmpty()) << stamped.error.toStdString();
        EXPECT_TRUE(stamped.bytes.startsWith(c.pdf));
        ExpectQpdfCheckPasses(stamped.bytes, c.password);

        const QRectF area(c.atMm - QPointF(10, 10), QSizeF(20, 20));
        const QRect box = InkBox(Render(stamped.bytes, c.page + 1, area, c.password));
        ASSERT_FALSE(box.isEmpty());
        const QPointF centre =
            area.topLeft() +
            QPointF(box.left() + box.width() / 2.0, box.top() + box.height() / 2.0) * kMmPerPixel;
        EXPECT_NEAR(centre.x(), c.atMm.x(), 0.2);
        EXPECT_NEAR(centre.y(), c.atMm.y(), 0.2);
        if (c.picture) {
            // Turned by 20°: the square's bounding box.
            const double turned = sizeMm * (std::cos(0.349066) + std::sin(0.349066));
            EXPECT_NEAR(box.width() * kMmPerPixel, turned, 0.1);
        } else {
            EXPECT_NEAR(box.width() * kMmPerPixel, sizeMm, 0.1);
            EXPECT_NEAR(box.height() * kMmPerPixel, sizeMm, 0.1);
        }
    }
}

// Like ink: the black bar under the ring stays black; the ring beside it is red.
TEST(PdfStampTest, BlackUnderTheInkStaysDark)
{
    const QByteArray pdf = WriterPdf({{210, 297}});
    const std::shared_ptr<const SealArtwork> art = NameSealArt();
    const double radius = art->FrameSizeMm()->width() / 2;
    StampRequest request;
    request.seals = {art};
    // The ring's left side crosses the bar's middle.
    request.stamps = {Stamp{0, QPointF(55 + radius, kBarMm.center().y()), 0.0, 0}};
    const velmr::stamp::Stamped stamped = StampPdf(pdf, {}, request);
    ASSERT_TRUE(stamped.error.isEmpty()) << stamped.error.toStdString();

    const QImage bar = Render(stamped.bytes, 1, kBarMm.adjusted(1, 0.25, -1, -0.25));
    int dark = 0;
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = 0; x < bar.width(); ++x) {
            const QRgb pixel = bar.pixel(x, y);
            EXPECT_LT(qRed(pixel), 64) << x << "," << y;
            dark += qRed(pixel) < 64 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 0);
    const QRectF aboveBar(55 - 1, kBarMm.top() - 2, 2, 1.5);
    EXPECT_FALSE(InkBox(Render(stamped.bytes, 1, aboveBar)).isEmpty());
}

} // namespace

namespace {

StampRequest OneStamp(int page = 0)
{
    return OneStampAt({50, 50}, page);
}

// A hundred stamps of one seal: one form object, one blend state, drawn a hundred times.
TEST(PdfStampTest, OneSealUsedOftenIsOneFormObject)
{
    const QByteArray pdf = WriterPdf(std::vector<QSizeF>(5, QSizeF(210, 297)));
    StampRequest request;
    request.seals = {NameSealArt()};
    for (int i = 0; i < 100; ++i) {
        request.stamps.push_back(Stamp{i % 5, QPointF(20 + i, 30 + i), double(i), 0});
    }
    const velmr::stamp::Stamped stamped = StampPdf(pdf, {}, request);
    ASSERT_TRUE(stamped.error.isEmpty()) << stamped.error.toStdString();
    const QByteArray added = stamped.bytes.mid(pdf.size());
    const auto count = [&](const char* pattern) {
        return added.count(QByteArray(pattern)) +
               added.count(QByteArray(pattern).replace(' ', QByteArray()));
    };
    EXPECT_EQ(count("/Subtype /Form"), 1);
    EXPECT_EQ(count("/BM /Multiply"), 1);
    EXPECT_EQ(added.count(" Do Q"), 100);
    ExpectQpdfCheckPasses(stamped.bytes);
}

struct BadInputCase
{
    const char* name;
    QByteArray bytes;
    QByteArray password;
    const char* message; // a part of the message
    int page = 0;
    bool lockedFolder = false; // the output goes to a folder that may not be written
};

// What cannot be stamped says why, and nothing is written.
TEST(PdfStampTest, BadInputSaysWhyAndWritesNothing)
{
    const QByteArray pdf = WriterPdf({{210, 297}});
    const QByteArray locked = Qpdf(pdf, {QStringLiteral("--encrypt"), QStringLiteral("user"),
                                         QStringLiteral("owner"), QStringLiteral("256")});
    const BadInputCase cases[] = {
        {"not a PDF", "請求書\n金額 1000 円\n", {}, "PDF ファイルではありません"},
        {"truncated", pdf.left(pdf.size() / 2), {}, "壊れているか、途中で切れています"},
        {"no password", locked, {}, "パスワードを指定してください"},
        {"wrong password", locked, "guess", "パスワードが違います"},
        {"wrong password, RC4",
         Qpdf(pdf, {QStringLiteral("--allow-weak-crypto"), QStringLiteral("--encrypt"),
                    QStringLiteral("user"), QStringLiteral("owner"), QStringLiteral("128"),
                    QStringLiteral("--use-aes=n")}),
         "guess", "パスワードが違います"},
        {"no such page", pdf, {}, "2 ページ目はありません", 1},
        {"folder not writable", pdf, {}, "書き込む許可がありません", 0, true},
    };
    for (const BadInputCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = velmr::test::MakeTempFolder();
        const QString in = QDir(folder).filePath(QStringLiteral("in.pdf"));
        const QString outFolder = QDir(folder).filePath(QStringLiteral("out"));
        QDir().mkpath(outFolder);
        const QString out = QDir(outFolder).filePath(QStringLiteral("out.pdf"));
        velmr::test::WriteFile(in, c.bytes);
        if (c.lockedFolder) {
            QFile::setPermissions(outFolder, QFile::ReadOwner | QFile::ExeOwner);
        }
        const std::optional<QString> error = StampPdfFile(in, c.password, OneStamp(c.page), out);
        QFile::setPermissions(outFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(error.has_value());
        EXPECT_TRUE(error->contains(QString::fromUtf8(c.message))) << error->toStdString();
        EXPECT_TRUE(QDir(outFolder).isEmpty());
        EXPECT_EQ(velmr::test::ReadFile(in), c.bytes);
    }
}

} // namespace

namespace {

// A signature already in the document still verifies after stamping: it covers the original,
// which the stamped file keeps unchanged at its start.
TEST(PdfStampTest, SignatureStillVerifiesAfterStamping)
{
    if (QStandardPaths::findExecutable(QStringLiteral("certutil")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("pdfsig")).isEmpty()) {
        GTEST_SKIP() << "certutil (libnss3-tools) and pdfsig (poppler-utils) make the signature";
    }
    const QString folder = velmr::test::MakeTempFolder(QStringLiteral("nss"));
    const QString nss = QStringLiteral("sql:") + folder;
    const QString noise =
        Save(QByteArray(64, 'n') + QByteArray::number(qint64(&folder)), QStringLiteral("noise"));
    RunTool(QStringLiteral("certutil"),
            {QStringLiteral("-N"), QStringLiteral("-d"), nss, QStringLiteral("--empty-password")});
    RunTool(QStringLiteral("certutil"),
            {QStringLiteral("-S"), QStringLiteral("-n"), QStringLiteral("velmr"),
             QStringLiteral("-s"), QStringLiteral("CN=velmr test"), QStringLiteral("-x"),
             QStringLiteral("-t"), QStringLiteral("CT,C,C"), QStringLiteral("-k"),
             QStringLiteral("rsa"), QStringLiteral("-g"), QStringLiteral("2048"),
             QStringLiteral("-d"), nss, QStringLiteral("-z"), noise, QStringLiteral("-v"),
             QStringLiteral("12")});
    const QString plain = Save(WriterPdf({{210, 297}}), QStringLiteral("plain.pdf"));
    const QString signedPath = QDir(folder).filePath(QStringLiteral("signed.pdf"));
    RunTool(QStringLiteral("pdfsig"),
            {QStringLiteral("-nssdir"), nss, QStringLiteral("-add-signature"),
             QStringLiteral("-nick"), QStringLiteral("velmr"), plain, signedPath});
    const QByteArray original = velmr::test::ReadFile(signedPath);
    ASSERT_FALSE(original.isEmpty());

    const velmr::stamp::Stamped stamped = StampPdf(original, {}, OneStamp());
    ASSERT_TRUE(stamped.error.isEmpty()) << stamped.error.toStdString();
    EXPECT_TRUE(stamped.bytes.startsWith(original));
    ExpectQpdfCheckPasses(stamped.bytes);
    int status = 0;
    const QByteArray said = RunTool(
        QStringLiteral("pdfsig"),
        {QStringLiteral("-nssdir"), nss, Save(stamped.bytes, QStringLiteral("stamped-signed.pdf"))},
        &status);
    EXPECT_TRUE(said.contains("Signature is Valid")) << said.toStdString();
    EXPECT_FALSE(InkBox(Render(stamped.bytes, 1, QRectF(40, 40, 20, 20))).isEmpty());
}

} // namespace
