#include "platform/SealFonts.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <map>

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
    const int size = font.pixelSize();
    QImage image(size * 3, size * 2, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath path;
    path.addText(QPointF(size / 4, size * 3 / 2), font, text);
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
// fontconfig does on most desktops, and FreeType for the sizes it renders itself): then the
// outlines of the bold font are visibly heavier than those of the regular one. The answer can
// depend on the size, so it is found for each size in use.
bool PlatformDrawsBold(const QFont& requested)
{
    constexpr int kLargestProbe = 256; // above, the machinery treats every size alike
    static QHash<QString, bool> cache;
    const int probeSize = std::min(requested.pixelSize(), kLargestProbe);
    const QString key =
        QFontInfo(requested).family() + QLatin1Char('/') + QString::number(probeSize);
    const auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    QFont probe(requested);
    probe.setPixelSize(probeSize);
    probe.setItalic(false);
    probe.setUnderline(false);
    probe.setStrikeOut(false);
    const QString text = QStringLiteral("田永");
    probe.setWeight(QFont::Normal);
    const int regular = OutlineInk(probe, text);
    probe.setWeight(QFont::Bold);
    const int bold = OutlineInk(probe, text);
    const bool drawsBold = bold > regular + regular / 20;
    cache.insert(key, drawsBold);
    return drawsBold;
}

} // namespace

namespace {

struct FaceMapping
{
    const char16_t* windows;
    const char* platform;
};
// The Japanese name of each face comes first: it is the one a font chosen here is stored under.
constexpr FaceMapping kFaceMappings[] = {
    {u"ＭＳ 明朝", "IPAMincho"},        {u"MS Mincho", "IPAMincho"},
    {u"ＭＳ Ｐ明朝", "IPAPMincho"},     {u"MS PMincho", "IPAPMincho"},
    {u"ＭＳ ゴシック", "IPAGothic"},    {u"MS Gothic", "IPAGothic"},
    {u"ＭＳ Ｐゴシック", "IPAPGothic"}, {u"MS PGothic", "IPAPGothic"},
};

} // namespace

QString WindowsFaceFor(const QString& platformFamily)
{
    for (const FaceMapping& mapping : kFaceMappings) {
        if (platformFamily.compare(QLatin1StringView(mapping.platform), Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(mapping.windows);
    }
    return platformFamily;
}

QStringList JapaneseWindowsFaces()
{
    QStringList faces;
    for (const FaceMapping& mapping : kFaceMappings) {
        const QString face = QString::fromUtf16(mapping.windows);
        if (face.front().unicode() >= 0x80 && !faces.contains(face))
            faces << face;
    }
    return faces;
}

QString PlatformFaceFor(const QString& windowsFace)
{
    for (const FaceMapping& mapping : kFaceMappings) {
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

namespace {

QPainterPath TextOutline(const SealFont& font, QPointF topLeft, const QString& text)
{
    QPainterPath path;
    path.addText(topLeft + QPointF(0, font.ascent), font.font, text);
    return path;
}

// The width of the stroke that emboldens a synthesised bold, 0 for other fonts.
double BoldStroke(const SealFont& font)
{
    return font.syntheticBold ? font.font.pixelSize() * kSyntheticBoldShare : 0.0;
}

// Draws `text` with the top-left of its cell at `topLeft`: the outline filled, and for a
// synthesised bold also stroked.
void PaintText(QPainter& painter, const SealFont& font, QPointF topLeft, const QString& text,
               const QColor& color)
{
    const QPainterPath path = TextOutline(font, topLeft, text);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(color);
    if (font.syntheticBold) {
        painter.setPen(QPen(color, BoldStroke(font), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    } else {
        painter.setPen(Qt::NoPen);
    }
    painter.drawPath(path);
    painter.restore();
}

// A text drawn once in one font and colour, kept for the redraws that follow it: while a
// control is dragged the seal is drawn again at every step with the same texts.
struct TextImage
{
    QImage image;  // premultiplied colour with the text's coverage
    QPoint origin; // where the cell's top-left corner lies in the image
};

class TextImageCache
{
public:
    // The kept image of the text, or nullptr for a text too large to keep (it is drawn
    // directly, clipped to the picture).
    const TextImage* Get(const SealFont& font, const QString& text, const QColor& color)
    {
        const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                                .arg(font.font.key())
                                .arg(font.syntheticBold)
                                .arg(color.rgba())
                                .arg(font.ascent)
                                .arg(text);
        const auto found = entries_.find(key);
        if (found != entries_.end()) {
            found->second.lastUse = ++clock_;
            return &found->second.text;
        }
        const QRect bounds = Bounds(font, text);
        const qint64 bytes = qint64(bounds.width()) * bounds.height() * 4;
        if (bytes > kLargestImage)
            return nullptr;
        while (!entries_.empty() && bytes_ + bytes > kBudget)
            EvictOldest();
        Entry& entry = entries_[key];
        entry.text.origin = -bounds.topLeft();
        entry.text.image =
            QImage(bounds.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        entry.text.image.fill(Qt::transparent);
        QPainter painter(&entry.text.image);
        PaintText(painter, font, entry.text.origin, text, color);
        entry.lastUse = ++clock_;
        bytes_ += entry.text.image.sizeInBytes();
        return &entry.text;
    }

private:
    static constexpr qint64 kLargestImage = 4 << 20; // bytes of one kept text
    static constexpr qint64 kBudget = 24 << 20;      // bytes of all kept texts

    struct Entry
    {
        TextImage text;
        std::uint64_t lastUse = 0;
    };

    static QRect Bounds(const SealFont& font, const QString& text)
    {
        const double stroke = BoldStroke(font);
        return TextOutline(font, QPointF(), text)
            .boundingRect()
            .adjusted(-stroke - 2, -stroke - 2, stroke + 2, stroke + 2)
            .toAlignedRect();
    }

    void EvictOldest()
    {
        auto oldest = entries_.begin();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->second.lastUse < oldest->second.lastUse)
                oldest = it;
        }
        bytes_ -= oldest->second.text.image.sizeInBytes();
        entries_.erase(oldest);
    }

    std::map<QString, Entry> entries_;
    qint64 bytes_ = 0;
    std::uint64_t clock_ = 0;
};

// A kept text image lands on the very pixels its outline would cover only on a raster picture
// moved by whole pixels; scaled painters and vector targets get the outline itself.
bool KeepsDrawnTexts(const QPainter& painter)
{
    if (!painter.paintEngine() || painter.paintEngine()->type() != QPaintEngine::Raster)
        return false;
    const QTransform transform = painter.deviceTransform();
    return transform.type() <= QTransform::TxTranslate &&
           transform.dx() == std::floor(transform.dx()) &&
           transform.dy() == std::floor(transform.dy());
}

} // namespace

void DrawSealText(QPainter& painter, const SealFont& font, QPoint topLeft, const QString& text,
                  const QColor& color)
{
    if (text.isEmpty())
        return;
    thread_local TextImageCache cache;
    if (KeepsDrawnTexts(painter)) {
        if (const TextImage* drawn = cache.Get(font, text, color)) {
            painter.drawImage(topLeft - drawn->origin, drawn->image);
            return;
        }
    }
    PaintText(painter, font, topLeft, text, color);
}

QRectF SealTextInkRect(const SealFont& font, QPoint topLeft, const QString& text)
{
    const QPainterPath path = TextOutline(font, topLeft, text);
    if (path.isEmpty())
        return {};
    const double half = BoldStroke(font) / 2;
    return path.boundingRect().adjusted(-half, -half, half, half);
}

} // namespace velmr::platform
