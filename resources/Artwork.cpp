#include "resources/Artwork.h"

#include "platform/SealFonts.h"

#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace velmr::artwork {
namespace {

const QColor kSealRed(0xD0, 0x10, 0x18);

using Painting = std::function<void(QPainter&)>;

QPixmap Paint(int size, const Painting& paint)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(size / double(kGlyphSize), size / double(kGlyphSize));
    paint(painter);
    return pixmap;
}

// The greyed image: the glyph's shape in a light grey of its own brightness.
QPixmap GreyedImage(const QPixmap& normal)
{
    QImage image = normal.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = 128 + qGray(row[x]) / 2;
            row[x] = qRgba(grey, grey, grey, qAlpha(row[x]) * 3 / 4);
        }
    }
    return QPixmap::fromImage(image);
}

void SealRing(QPainter& p, QRectF box, double pen = 1.6)
{
    p.setPen(QPen(kSealRed, pen));
    p.setBrush(Qt::white);
    p.drawEllipse(box);
}

void Sparkle(QPainter& p)
{
    p.setPen(QPen(QColor(0xE0, 0xA0, 0x00), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 0.8), QPointF(14.5, 6.2));
    p.drawLine(QPointF(11.8, 3.5), QPointF(17.2, 3.5));
}

void NewNameSeal(QPainter& p)
{
    SealRing(p, QRectF(1.5, 3.5, 13, 13));
    p.setPen(QPen(kSealRed, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 6.5), QPointF(8, 13.5)); // the two stacked characters, as strokes
    p.drawLine(QPointF(5.5, 8), QPointF(10.5, 8));
    p.drawLine(QPointF(5.5, 12), QPointF(10.5, 12));
    Sparkle(p);
}

void NewDateSeal(QPainter& p)
{
    SealRing(p, QRectF(1.5, 3.5, 13, 13));
    p.setPen(QPen(kSealRed, 1.3));
    p.drawLine(QPointF(2.6, 8), QPointF(13.4, 8));
    p.drawLine(QPointF(2.6, 12), QPointF(13.4, 12));
    Sparkle(p);
}

void OpenFolder(QPainter& p)
{
    p.setPen(QPen(QColor(0x8A, 0x62, 0x10), 1.0));
    p.setBrush(QColor(0xF2, 0xC8, 0x4B));
    QPainterPath back;
    back.moveTo(1.5, 4);
    back.lineTo(6, 4);
    back.lineTo(7.5, 5.5);
    back.lineTo(14.5, 5.5);
    back.lineTo(14.5, 15.5);
    back.lineTo(1.5, 15.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(0xFB, 0xDD, 0x7A));
    QPainterPath front;
    front.moveTo(1.5, 15.5);
    front.lineTo(4, 8.5);
    front.lineTo(17, 8.5);
    front.lineTo(14.5, 15.5);
    front.closeSubpath();
    p.drawPath(front);
}

void SaveDisk(QPainter& p)
{
    p.setPen(QPen(QColor(0x1F, 0x3A, 0x70), 1.0));
    p.setBrush(QColor(0x3C, 0x6E, 0xC8));
    p.drawRoundedRect(QRectF(2.5, 2.5, 13, 13), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5, 2.5, 8, 5));
    p.setBrush(QColor(0xD8, 0xE2, 0xF2));
    p.drawRect(QRectF(5, 10, 8, 5.5));
    p.setPen(QPen(kSealRed, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(7.2, 10.8, 3.6, 3.6));
}

void Duplicate(QPainter& p)
{
    SealRing(p, QRectF(1.5, 1.5, 10.5, 10.5), 1.4);
    SealRing(p, QRectF(6, 6, 10.5, 10.5), 1.4);
}

void ToVelmor(QPainter& p)
{
    SealRing(p, QRectF(6.5, 4.5, 10.5, 10.5), 1.5);
    p.setPen(QPen(QColor(0x1E, 0x8C, 0x3C), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(1.5, 9.75), QPointF(9.5, 9.75));
    p.drawLine(QPointF(6.5, 6.75), QPointF(9.5, 9.75));
    p.drawLine(QPointF(6.5, 12.75), QPointF(9.5, 9.75));
}

void ExitDoor(QPainter& p)
{
    p.setPen(QPen(QColor(0x5A, 0x3A, 0x1A), 1.0));
    p.setBrush(QColor(0xB5, 0x7A, 0x3C));
    p.drawRect(QRectF(7.5, 1.5, 8, 15));
    p.setBrush(QColor(0x5A, 0x3A, 0x1A));
    p.drawEllipse(QRectF(9, 8.5, 1.6, 1.6));
    p.setPen(QPen(kSealRed, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(6.5, 9), QPointF(1, 9));
    p.drawLine(QPointF(3.8, 6.2), QPointF(1, 9));
    p.drawLine(QPointF(3.8, 11.8), QPointF(1, 9));
}

// A seal stamped on a page, an arrow carrying it out.
void ExportPage(QPainter& p)
{
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1.0));
    p.setBrush(Qt::white);
    QPainterPath page;
    page.moveTo(1.5, 1.5);
    page.lineTo(8.5, 1.5);
    page.lineTo(11.5, 4.5);
    page.lineTo(11.5, 16.5);
    page.lineTo(1.5, 16.5);
    page.closeSubpath();
    p.drawPath(page);
    p.setPen(QPen(kSealRed, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(3.2, 5.2, 6, 6));
    p.setPen(QPen(QColor(0x1F, 0x5F, 0xC0), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(9.5, 13), QPointF(16.8, 13));
    p.drawLine(QPointF(14.2, 10.4), QPointF(16.8, 13));
    p.drawLine(QPointF(14.2, 15.6), QPointF(16.8, 13));
}

// A page of text with a seal pressed on it, the lines showing through the red.
void StampedPage(QPainter& p)
{
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1.0));
    p.setBrush(Qt::white);
    QPainterPath page;
    page.moveTo(2.5, 0.5);
    page.lineTo(10.5, 0.5);
    page.lineTo(13.5, 3.5);
    page.lineTo(13.5, 17.5);
    page.lineTo(2.5, 17.5);
    page.closeSubpath();
    p.drawPath(page);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.0));
    for (double y : {4.5, 7.0, 9.5, 12.0})
        p.drawLine(QPointF(4.5, y), QPointF(y < 5 ? 9.5 : 11.5, y));
    p.setCompositionMode(QPainter::CompositionMode_Multiply);
    p.setPen(QPen(kSealRed, 1.5));
    p.setBrush(QColor(0xF6, 0xC8, 0xC8));
    p.drawEllipse(QRectF(8.3, 8.3, 9, 9));
    p.setPen(QPen(kSealRed, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12.8, 10.6), QPointF(12.8, 15.0)); // a character as strokes
    p.drawLine(QPointF(10.9, 12.0), QPointF(14.7, 12.0));
    p.drawLine(QPointF(10.9, 14.0), QPointF(14.7, 14.0));
}

Painting PaintingFor(const QString& name)
{
    if (name == QLatin1String("sbNewName"))
        return NewNameSeal;
    if (name == QLatin1String("sbNewDate"))
        return NewDateSeal;
    if (name == QLatin1String("OpenBtn"))
        return OpenFolder;
    if (name == QLatin1String("SaveBtn"))
        return SaveDisk;
    if (name == QLatin1String("PasteBtn"))
        return Duplicate;
    if (name == QLatin1String("sbToVelmor"))
        return ToVelmor;
    if (name == QLatin1String("ExitBtn"))
        return ExitDoor;
    if (name == QLatin1String("ExportBtn"))
        return ExportPage;
    if (name == QLatin1String("PdfStampBtn"))
        return StampedPage;
    return {};
}

} // namespace

QPixmap ProgramIconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double pen = std::max(1.0, size / 16.0);
    p.setPen(QPen(kSealRed, pen));
    p.setBrush(QColor(0xFF, 0xFB, 0xF4));
    p.drawEllipse(QRectF(pen / 2 + 0.5, pen / 2 + 0.5, size - pen - 1, size - pen - 1));
    if (const auto font = platform::MakeSealFont(QStringLiteral("ＭＳ 明朝"), 1, 0x01, 72.0)) {
        QFont glyph = font->font;
        glyph.setPixelSize(int(size * 0.58));
        const platform::SealFont sized{glyph, font->syntheticBold, QFontMetrics(glyph).ascent(),
                                       QFontMetrics(glyph).height()};
        const QString text = QStringLiteral("印");
        const int x = (size - sized.TextWidth(text)) / 2;
        const int y = (size - sized.height) / 2;
        platform::DrawSealText(p, sized, QPoint(x, y), text, kSealRed);
    }
    return pixmap;
}

QPixmap Greyed(const QPixmap& normal)
{
    return GreyedImage(normal);
}

QStringList GlyphNames()
{
    return {
        QStringLiteral("sbNewName"), QStringLiteral("sbNewDate"), QStringLiteral("OpenBtn"),
        QStringLiteral("SaveBtn"),   QStringLiteral("PasteBtn"),  QStringLiteral("sbToVelmor"),
        QStringLiteral("ExitBtn"),   QStringLiteral("ExportBtn"), QStringLiteral("PdfStampBtn")};
}

QPixmap GlyphPixmap(const QString& buttonName, int size)
{
    const Painting painting = PaintingFor(buttonName);
    return painting ? Paint(size, painting) : QPixmap();
}

} // namespace velmr::artwork
