#include "seal/NameSealRenderer.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <algorithm>

namespace velmr::seal {
namespace {

// A frame or text this far outside the picture can no longer be seen; beyond it values are
// limited so that any record, however wild, can be drawn.
constexpr std::int64_t kCoordinateLimit = 100000;
constexpr std::int64_t kPenWidthLimit = 2000;

// Integer division truncating toward zero, as every seal computation does.
constexpr std::int64_t Div(std::int64_t a, std::int64_t b)
{
    return a / b;
}

void PaintName(QPainter& painter, const PlacedName& name, const QColor& color)
{
    if (!name.font)
        return;
    for (const PlacedLine& line : name.lines) {
        platform::DrawSealText(painter, *name.font,
                               QPoint(DrawableCoordinate(line.x), DrawableCoordinate(line.y)),
                               line.text, color);
    }
}

QPainterPath Stroke(const QPainterPath& outline, int penWidth)
{
    QPainterPathStroker stroker;
    stroker.setWidth(penWidth);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    return stroker.createStroke(outline);
}

QPainterPath FrameOutline(const NameSealLayout& layout)
{
    QPainterPath frame;
    if (layout.roundedSquare)
        frame.addRoundedRect(NameSealFrameRect(layout), 10.0, 10.0);
    else
        frame.addEllipse(NameSealFrameRect(layout));
    return frame;
}

QRectF NameInkRect(const PlacedName& name)
{
    QRectF ink;
    if (!name.font)
        return ink;
    for (const PlacedLine& line : name.lines) {
        ink |= platform::SealTextInkRect(
            *name.font, QPoint(DrawableCoordinate(line.x), DrawableCoordinate(line.y)), line.text);
    }
    return ink;
}

std::vector<QString> Texts(const Text20& a, const Text20& b, const Text20& c, const Text20& d)
{
    return {a.ToUnicode(), b.ToUnicode(), c.ToUnicode(), d.ToUnicode()};
}

} // namespace

QColor ColorFromRecord(std::int32_t bgr)
{
    const auto value = static_cast<std::uint32_t>(bgr);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

int DrawablePenWidth(std::int64_t width)
{
    // A width of 0 or below draws the thinnest line, as the platform's pens do.
    return int(std::clamp<std::int64_t>(width, 1, kPenWidthLimit));
}

double PenOffset(int penWidth)
{
    return penWidth % 2 != 0 ? 0.5 : 0.0;
}

QRectF DrawableRect(const Box& box, int penWidth)
{
    const double offset = PenOffset(penWidth);
    return QRectF(QPointF(DrawableCoordinate(box.left), DrawableCoordinate(box.top)),
                  QPointF(DrawableCoordinate(box.right), DrawableCoordinate(box.bottom)))
        .normalized()
        .translated(offset, offset);
}

void DrawOutline(QPainter& painter, const QPainterPath& outline, const QColor& color, int penWidth)
{
    painter.fillPath(Stroke(outline, penWidth), color);
}

QRectF OutlineInkRect(const QPainterPath& outline, int penWidth)
{
    return Stroke(outline, penWidth).boundingRect();
}

int DrawableCoordinate(std::int64_t value)
{
    return int(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

PlacedName LayoutLines(const std::vector<QString>& texts, std::optional<platform::SealFont> font,
                       std::int64_t gap, std::int64_t shiftX, std::int64_t shiftY, QSize size)
{
    PlacedName name;
    name.font = std::move(font);
    if (!name.font)
        return name;
    std::int64_t offset = 0; // top of the line relative to the block
    std::int64_t blockHeight = 0;
    for (const QString& text : texts) {
        if (text.isEmpty())
            break;
        if (!name.lines.empty()) {
            offset += name.lines.back().height + gap;
            blockHeight += gap;
        }
        PlacedLine line;
        line.text = text;
        line.width = name.font->TextWidth(text);
        line.height = name.font->TextHeight();
        line.y = offset;
        blockHeight += line.height;
        name.lines.push_back(std::move(line));
    }
    const std::int64_t top = Div(size.height() - blockHeight, 2);
    for (PlacedLine& line : name.lines) {
        line.x = Div(size.width() - line.width, 2) + shiftX;
        line.y = top + line.y - shiftY;
    }
    return name;
}

NameSealLayout LayoutNameSeal(const NameStampRecord& record, const NameStampExRecord& ex,
                              QSize size, double dpi)
{
    NameSealLayout layout;
    layout.width = size.width();
    layout.height = size.height();
    layout.color = ColorFromRecord(record.StampColor);
    layout.penWidth = DrawablePenWidth(record.LineWidth);

    const std::int64_t cx = Div(size.width(), 2);
    const std::int64_t cy = Div(size.height(), 2);
    const std::int64_t r = record.StampSize;
    if (record.CircleParameter > 0) {
        // The oval keeps its height 2R and loses 2d of its width.
        std::int64_t d = Div((100 - std::int64_t(record.CircleParameter)) * r, 100);
        d = Div(d, 2);
        layout.frame = {cx - r + d, cy - r, cx + r - d, cy + r};
    } else {
        layout.roundedSquare = true;
        layout.frame = {cx - r, cy - r, cx + r, cy + r};
    }

    layout.first = LayoutLines(
        Texts(record.Text1, record.Text2, record.Text3, record.Text4),
        platform::MakeSealFont(record.FontName.ToUnicode(), record.FontSize, record.FontStyle, dpi),
        record.TextSpace, record.OffsetX, record.OffsetY, size);
    if (ex.UseNameEX != 0) {
        layout.second = LayoutLines(
            Texts(ex.ExText1, ex.ExText2, ex.ExText3, ex.ExText4),
            platform::MakeSealFont(ex.ExFontName.ToUnicode(), ex.ExFontSize, ex.ExFontStyle, dpi),
            ex.ExTextSpace, ex.ExOffsetX, ex.ExOffsetY, size);
    }
    return layout;
}

QRectF NameSealFrameRect(const NameSealLayout& layout)
{
    return DrawableRect(layout.frame, layout.penWidth);
}

QRectF NameSealInkRect(const NameSealLayout& layout)
{
    QRectF ink = OutlineInkRect(FrameOutline(layout), layout.penWidth);
    ink |= NameInkRect(layout.first);
    if (layout.second)
        ink |= NameInkRect(*layout.second);
    return ink;
}

void PaintNameSealInk(QPainter& painter, const NameSealLayout& layout)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    DrawOutline(painter, FrameOutline(layout), layout.color, layout.penWidth);
    PaintName(painter, layout.first, layout.color);
    if (layout.second)
        PaintName(painter, *layout.second, layout.color);
    painter.restore();
}

void PaintNameSeal(QImage& picture, const NameSealLayout& layout)
{
    QPainter painter(&picture);
    painter.fillRect(QRect(0, 0, layout.width, layout.height), Qt::white);
    PaintNameSealInk(painter, layout);
}

void DrawNameSeal(QImage& picture, const NameStampRecord& record, const NameStampExRecord& ex,
                  double dpi)
{
    PaintNameSeal(picture, LayoutNameSeal(record, ex, picture.size(), dpi));
}

QImage RenderNameSeal(const NameStampRecord& record, const NameStampExRecord& ex, double dpi,
                      QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    DrawNameSeal(picture, record, ex, dpi);
    return picture;
}

} // namespace velmr::seal
