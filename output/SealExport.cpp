#include "output/SealOutput.h"
#include "platform/AtomicFile.h"

#include <QBuffer>
#include <QImageWriter>
#include <QMimeData>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

namespace velmr::output {
namespace {

constexpr double kCmPerInch = 2.54;
constexpr double kMmPerInch = 25.4;
constexpr double kPointsPerInch = 72.0;

// Keeps rounding noise of a scaled edge from adding a row of pixels.
constexpr double kEdgeTolerance = 1e-6;

// The SVG's size is written in whole units of its resolution: a micrometre each.
constexpr int kSvgDotsPerInch = 25400;
// The PDF's drawing resolution (its content is vector; this only sets the grid of coordinates).
constexpr int kPdfDotsPerInch = 1200;
// The largest page a PDF reader is bound to show, in points (200 inches).
constexpr double kLargestPdfPagePoints = 14400.0;

constexpr double kClipboardDpi = 600.0;

// Device pixels of a raster picture: the ink's rectangle scaled, widened to whole pixels. Unscaled,
// the ink keeps its place on the pixel grid, so that the frame's pen covers whole pixels as in the
// preview; scaled, the grid means nothing and the ink starts at the canvas's corner.
struct RasterFrame
{
    QPointF origin; // where the canvas's top-left corner lies, in device pixels
    QSize size;
};

RasterFrame FrameOf(const QRectF& ink, double scale)
{
    QPointF origin(ink.left() * scale, ink.top() * scale);
    if (scale == 1.0)
        origin = QPointF(std::floor(origin.x() + kEdgeTolerance),
                         std::floor(origin.y() + kEdgeTolerance));
    const int width = int(std::ceil(ink.right() * scale - origin.x() - kEdgeTolerance));
    const int height = int(std::ceil(ink.bottom() * scale - origin.y() - kEdgeTolerance));
    return {origin, QSize(std::max(1, width), std::max(1, height))};
}

// Paints the ink onto `target` whose top-left corner is the device pixel `frame.origin`.
void PaintInto(QPaintDevice& target, const SealArtwork& art, const RasterFrame& frame, double scale)
{
    QPainter painter(&target);
    const QRectF ink = art.InkRect();
    painter.translate(ink.left() * scale - frame.origin.x(), ink.top() * scale - frame.origin.y());
    art.Paint(painter, scale);
}

// The colours of a seal's coverage: index i is the seal's colour at coverage i / 255, as alpha
// on a transparent background or blended onto white paper.
QList<QRgb> InkPalette(const QColor& color, Background background)
{
    QList<QRgb> palette(256);
    const auto blend = [](int channel, int coverage) {
        return (channel * coverage + 255 * (255 - coverage) + 127) / 255;
    };
    for (int i = 0; i < 256; ++i) {
        if (background == Background::White)
            palette[i] =
                qRgb(blend(color.red(), i), blend(color.green(), i), blend(color.blue(), i));
        else
            palette[i] = i == 0 ? 0 : qRgba(color.red(), color.green(), color.blue(), i);
    }
    return palette;
}

// The ink at `scale` device pixels per layout pixel. A name or date seal is its coverage, painted
// once and read from the painting's alpha, as an indexed picture whose index is the coverage and
// whose palette the seal's colour (InkPalette): so every inked pixel has exactly the seal's
// colour, and no edge takes another. A bitmap seal is its picture.
QImage RenderAtScale(const SealArtwork& art, double scale, Background background)
{
    const QRectF ink = art.InkRect();
    const RasterFrame frame = FrameOf(ink, scale);
    if (art.IsBitmap()) {
        if (art.PictureHasAlpha() && background == Background::Transparent) {
            // Painted premultiplied, so that scaling weights the colours by their alpha.
            QImage picture(frame.size, QImage::Format_ARGB32_Premultiplied);
            picture.fill(Qt::transparent);
            if (!ink.isEmpty())
                PaintInto(picture, art, frame, scale);
            return picture.convertToFormat(QImage::Format_ARGB32);
        }
        QImage picture(frame.size, QImage::Format_RGB32);
        picture.fill(Qt::white);
        if (!ink.isEmpty())
            PaintInto(picture, art, frame, scale);
        return picture;
    }
    QImage coverage(frame.size, QImage::Format_Indexed8);
    coverage.setColorTable(InkPalette(art.InkColor(), background));
    coverage.fill(0);
    if (ink.isEmpty())
        return coverage;
    // Painted in colour, which the raster engine does fastest; only the alpha is kept.
    QImage painted(frame.size, QImage::Format_ARGB32_Premultiplied);
    painted.fill(0);
    PaintInto(painted, art, frame, scale);
    for (int y = 0; y < frame.size.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(painted.constScanLine(y));
        uchar* to = coverage.scanLine(y);
        for (int x = 0; x < frame.size.width(); ++x)
            to[x] = uchar(qAlpha(from[x]));
    }
    return coverage;
}

// The picture as RenderRaster gives it: 32 bits a pixel, with alpha on a transparent background.
QImage Widened(const QImage& picture, Background background)
{
    if (picture.format() != QImage::Format_Indexed8)
        return picture;
    return picture.convertToFormat(background == Background::White ? QImage::Format_RGB32
                                                                   : QImage::Format_ARGB32);
}

QByteArray PngBytes(const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(picture))
        return {};
    return bytes;
}

QByteArray SvgBytes(const SealArtwork& art, Background background)
{
    const QRectF ink = art.InkRect();
    if (ink.isEmpty())
        return {};
    const QSizeF mm = art.SizeMm();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setResolution(kSvgDotsPerInch);
    const double unitsPerMm = kSvgDotsPerInch / kMmPerInch;
    generator.setSize(QSize(std::max(1, int(std::lround(mm.width() * unitsPerMm))),
                            std::max(1, int(std::lround(mm.height() * unitsPerMm)))));
    const QRectF viewBox(QPointF(0, 0), ink.size());
    generator.setViewBox(viewBox);
    generator.setTitle(QStringLiteral("印影"));
    QPainter painter;
    if (!painter.begin(&generator))
        return {};
    if (background == Background::White)
        painter.fillRect(viewBox, Qt::white);
    art.Paint(painter, 1.0);
    painter.end();
    return bytes;
}

// One page the seal's size, widened to whole points (the PDF writer sizes pages in points) on
// its right and bottom; a seal beyond the largest page is reduced to fit.
QByteArray PdfBytes(const SealArtwork& art, Background background, bool& clamped)
{
    const QRectF ink = art.InkRect();
    if (ink.isEmpty())
        return {};
    const QSizeF mm = art.SizeMm();
    double shrink = 1.0;
    const double largest = std::max(mm.width(), mm.height()) / kMmPerInch * kPointsPerInch;
    if (largest > kLargestPdfPagePoints) {
        shrink = kLargestPdfPagePoints / largest;
        clamped = true;
    }
    const auto points = [&](double length) {
        return std::max(1.0,
                        std::ceil(length * shrink / kMmPerInch * kPointsPerInch - kEdgeTolerance));
    };
    const QSizeF page(points(mm.width()), points(mm.height()));

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("velmrmgr"));
        writer.setTitle(QStringLiteral("印影"));
        writer.setResolution(kPdfDotsPerInch);
        writer.setPageSize(QPageSize(page, QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        QPainter painter;
        if (!painter.begin(&writer))
            return {};
        const double dotsPerPoint = kPdfDotsPerInch / kPointsPerInch;
        const double scale = kPdfDotsPerInch / kCmPerInch / art.PixelsPerCm() * shrink;
        if (background == Background::White)
            painter.fillRect(QRectF(QPointF(0, 0), page * dotsPerPoint), Qt::white);
        art.Paint(painter, scale);
        painter.end();
    }
    return bytes;
}

} // namespace

namespace {

// The seal at `dpi` as an indexed picture of its coverage (RenderAtScale), dots per metre set.
QImage RenderPrint(const SealArtwork& art, double dpi, Background background, bool* clamped)
{
    const double pixelsPerCm = art.PixelsPerCm();
    double scale = std::isfinite(dpi) && dpi > 0 ? dpi / kCmPerInch / pixelsPerCm : 1.0;
    const QRectF ink = art.InkRect();
    bool reduced = false;
    while (!ink.isEmpty()) {
        const QSize size = FrameOf(ink, scale).size;
        const double side = std::max(size.width(), size.height());
        const double pixels = double(size.width()) * size.height();
        if (side <= kLargestSide && pixels <= double(kLargestPixels))
            break;
        // A little below the limit, for the edges widened to whole pixels.
        scale *= 0.999 * std::min(kLargestSide / side, std::sqrt(kLargestPixels / pixels));
        reduced = true;
    }
    if (clamped)
        *clamped = reduced;
    QImage picture = RenderAtScale(art, scale, background);
    const int dotsPerMetre = int(std::lround(scale * pixelsPerCm * 100.0));
    picture.setDotsPerMeterX(dotsPerMetre);
    picture.setDotsPerMeterY(dotsPerMetre);
    return picture;
}

} // namespace

QImage RenderRaster(const SealArtwork& art, double dpi, Background background, bool* clamped)
{
    return Widened(RenderPrint(art, dpi, background, clamped), background);
}

QImage RenderThumbnail(const SealArtwork& art, int size)
{
    // Within the largest picture: a square of kLargestPixels.
    size = std::clamp(size, 1, int(std::sqrt(double(kLargestPixels))));
    QImage square(size, size, QImage::Format_ARGB32);
    square.fill(Qt::transparent);
    const QRectF ink = art.InkRect();
    if (ink.isEmpty())
        return square;
    const double scale = size / std::max(ink.width(), ink.height());
    const QImage seal = RenderAtScale(art, scale, Background::Transparent);
    QPainter painter(&square);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage((size - seal.width()) / 2, (size - seal.height()) / 2, seal);
    return square;
}

QString FormatExtension(Format format)
{
    switch (format) {
    case Format::Svg:
        return QStringLiteral(".svg");
    case Format::Pdf:
        return QStringLiteral(".pdf");
    case Format::Png:
        break;
    }
    return QStringLiteral(".png");
}

Rendered RenderFile(const SealArtwork& art, const ExportOptions& options)
{
    Rendered rendered;
    if (art.InkRect().isEmpty())
        return rendered;
    switch (options.format) {
    case Format::Png:
        rendered.bytes =
            PngBytes(RenderPrint(art, options.dpi, options.background, &rendered.clamped));
        break;
    case Format::Svg:
        rendered.bytes = SvgBytes(art, options.background);
        break;
    case Format::Pdf:
        rendered.bytes = PdfBytes(art, options.background, rendered.clamped);
        break;
    }
    return rendered;
}

std::optional<QString> ExportSeal(const SealArtwork& art, const ExportOptions& options,
                                  const QString& path, bool* clamped)
{
    const Rendered rendered = RenderFile(art, options);
    if (clamped)
        *clamped = rendered.clamped;
    if (rendered.bytes.isEmpty()) {
        return QStringLiteral("ファイルに書き込めませんでした。\n%1\n%2")
            .arg(path, art.InkRect().isEmpty() ? QStringLiteral("印影に描くものがありません")
                                               : QStringLiteral("印影を変換できませんでした"));
    }
    QString message;
    if (!platform::WriteFileAtomically(path, rendered.bytes, &message))
        return message;
    return std::nullopt;
}

std::unique_ptr<QMimeData> ClipboardData(const SealArtwork& art)
{
    auto data = std::make_unique<QMimeData>();
    const QImage picture = RenderPrint(art, kClipboardDpi, Background::Transparent, nullptr);
    if (!art.InkRect().isEmpty()) {
        data->setData(QStringLiteral("image/png"), PngBytes(picture));
        data->setData(QStringLiteral("image/svg+xml"), SvgBytes(art, Background::Transparent));
    }
    data->setImageData(Widened(picture, Background::Transparent));
    return data;
}

} // namespace velmr::output
