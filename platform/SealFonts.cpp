#include "platform/SealFonts.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace velmr::platform {
namespace {

// Beyond this a text covers any seal picture many times over; larger sizes only cost time.
constexpr int kLargestPixelSize = 2000;

// The stroke that widens a synthesised bold glyph, as a share of the em: close to what font
// engines add when they embolden a regular face.
constexpr double kSyntheticBoldShare = 1.0 / 28.0;

const QString kFallbackFace = QStringLiteral("IPAMincho");

// Ink of `text` drawn as an outline in `font`, as the seal drawing draws it.
int OutlineInk(const QFont& font, const QString& text)
{
    QImage image(160, 96, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath path;
    path.addText(QPointF(4, 72), font, text);
    painter.fillPath(path, Qt::white);
    painter.end();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            ink += row[x] > 127;
    }
    return ink;
}

// True when the face has a bold of its own, or the font machinery emboldens it already (as
// fontconfig does on most desktops): then the outlines of the bold font are visibly heavier.
bool PlatformDrawsBold(const QFont& requested)
{
    static QHash<QString, bool> cache;
    const QString family = QFontInfo(requested).family();
    const auto found = cache.constFind(family);
    if (found != cache.constEnd())
        return *found;
    QFont probe(requested);
    probe.setPixelSize(64);
    probe.setItalic(false);
    probe.setUnderline(false);
    probe.setStrikeOut(false);
    const QString text = QStringLiteral("田永");
    probe.setWeight(QFont::Normal);
    const int regular = OutlineInk(probe, text);
    probe.setWeight(QFont::Bold);
    const int bold = OutlineInk(probe, text);
    const bool drawsBold = bold > regular + regular / 20;
    cache.insert(family, drawsBold);
    return drawsBold;
}

}  // namespace

QString PlatformFaceFor(const QString& windowsFace)
{
    struct Mapping
    {
        const char16_t* windows;
        const char* platform;
    };
    static constexpr Mapping kMappings[] = {
        {u"ＭＳ 明朝", "IPAMincho"},      {u"MS Mincho", "IPAMincho"},
        {u"ＭＳ Ｐ明朝", "IPAPMincho"},   {u"MS PMincho", "IPAPMincho"},
        {u"ＭＳ ゴシック", "IPAGothic"},  {u"MS Gothic", "IPAGothic"},
        {u"ＭＳ Ｐゴシック", "IPAPGothic"}, {u"MS PGothic", "IPAPGothic"},
    };
    for (const Mapping& mapping : kMappings) {
        if (windowsFace == QStringView(mapping.windows))
            return QString::fromLatin1(mapping.platform);
    }
    return windowsFace;
}

std::optional<int> PixelSizeForPoints(std::int64_t points, double dpi)
{
    if (points <= 0)
        return std::nullopt;
    const double pixels = std::round(static_cast<double>(points) * dpi / 72.0);
    if (pixels < 1.0)
        return std::nullopt;
    return static_cast<int>(std::min(pixels, double(kLargestPixelSize)));
}

double DisplayDpi()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInchY();
    }
    return 96.0;
}

int SealFont::TextWidth(const QString& text) const
{
    return QFontMetrics(font).horizontalAdvance(text);
}

std::optional<SealFont> MakeSealFont(const QString& face, std::int64_t points, std::uint8_t style,
                                     double dpi)
{
    const std::optional<int> pixelSize = PixelSizeForPoints(points, dpi);
    if (!pixelSize)
        return std::nullopt;
    SealFont seal;
    QFont& font = seal.font;
    const QString platformFace = PlatformFaceFor(face);
    font.setFamilies(platformFace == kFallbackFace ? QStringList{platformFace}
                                                   : QStringList{platformFace, kFallbackFace});
    font.setPixelSize(*pixelSize);
    font.setWeight(style & 0x01 ? QFont::Bold : QFont::Normal);
    font.setItalic(style & 0x02);
    font.setUnderline(style & 0x04);
    font.setStrikeOut(style & 0x08);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setKerning(false);

    seal.syntheticBold = font.bold() && !PlatformDrawsBold(font);
    const QFontMetrics metrics(font);
    seal.ascent = metrics.ascent();
    seal.height = metrics.height();
    return seal;
}

void DrawSealText(QPainter& painter, const SealFont& font, QPoint topLeft, const QString& text,
                  const QColor& color)
{
    if (text.isEmpty())
        return;
    QPainterPath path;
    path.addText(QPointF(topLeft.x(), topLeft.y() + font.ascent), font.font, text);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(color);
    if (font.syntheticBold) {
        const double width = font.font.pixelSize() * kSyntheticBoldShare;
        painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    } else {
        painter.setPen(Qt::NoPen);
    }
    painter.drawPath(path);
    painter.restore();
}

}  // namespace velmr::platform
