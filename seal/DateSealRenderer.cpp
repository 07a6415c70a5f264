#include "seal/DateSealRenderer.h"

#include "platform/Cp932.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace velmr::seal {
namespace {

constexpr std::size_t kHeaderBytes = 6;

std::int64_t Trunc(double value)
{
    // Values beyond any picture are limited before they are turned into integers.
    return static_cast<std::int64_t>(std::clamp(value, -1e12, 1e12));
}

std::int64_t Half(std::int64_t value)
{
    return value / 2;
}

std::optional<platform::SealFont> Font(const Text40& face, std::int64_t points, std::uint8_t style,
                                       double dpi)
{
    return platform::MakeSealFont(face.ToUnicode(), points, style, dpi);
}

PlacedText Place(const platform::SealFont& font, const QString& text, std::int64_t x,
                 std::int64_t y)
{
    return {font, text, x, y, font.TextWidth(text), font.TextHeight()};
}

QPainterPath RingOutline(const Ring& ring)
{
    QPainterPath outline;
    outline.addEllipse(DrawableRect(ring.box, ring.penWidth));
    return outline;
}

QPainterPath BandLineOutline(const BandLine& line, int penWidth)
{
    // Only across the line: its ends stay where they are.
    const double y = DrawableCoordinate(line.y) + PenOffset(penWidth);
    QPainterPath outline(QPointF(DrawableCoordinate(line.x1), y));
    outline.lineTo(QPointF(DrawableCoordinate(line.x2), y));
    return outline;
}

} // namespace

QString DateBandText(const DateStampRecord& record, const DateStampExRecord& ex,
                     std::optional<calendar::LocalDate> day)
{
    QString band =
        platform::cp932::Decode(platform::cp932::CutToBytes(record.Header.View(), kHeaderBytes));
    calendar::CalendarDate date;
    if (record.Years == 1)
        date.eraYear = 1;
    else if (record.Years == 0 || record.Years == 2)
        date.eraYear = 0;
    if (ex.DateNZ == 1)
        date.noLeadingZero = 1;
    else if (ex.DateNZ == 0)
        date.noLeadingZero = 0;
    if (!(day ? date.SetDay(*day) : date.SetToday()))
        return band;
    const std::string_view text = date.Text();
    if (record.Years == 0)
        band += QString::fromLatin1(text.substr(std::min<std::size_t>(2, text.size())));
    else if (record.Years == 1 || record.Years == 2)
        band += QString::fromLatin1(text);
    return band;
}

DateSealLayout LayoutDateSeal(const DateStampRecord& record, const DateStampExRecord& ex,
                              QSize size, double dpi, std::optional<calendar::LocalDate> day)
{
    DateSealLayout layout;
    layout.width = size.width();
    layout.height = size.height();
    layout.color = ColorFromRecord(record.StampColor);
    const std::int64_t lineWidth = record.LineWidth;
    layout.penWidth = DrawablePenWidth(lineWidth);

    const std::int64_t cx = size.width() / 2;
    const std::int64_t cy = size.height() / 2;
    const std::int64_t r = record.StampSize;
    const double theta = (double(record.SpaceM) + 18.0) * 6.28 * (1.0 / 360.0);
    const double a = double(r) * std::cos(theta);
    const double b = double(r) * std::sin(theta);

    const Box inner{cx - r, cy - r, cx + r, cy + r};
    switch (record.TwinRing) {
    case 0:
        layout.rings.push_back({inner, layout.penWidth});
        break;
    case 1:
    case 2: {
        const std::int64_t w = record.TwinRing == 1 ? (2 * lineWidth) / 3 : lineWidth;
        const int pen = DrawablePenWidth(w);
        layout.rings.push_back({inner, pen});
        layout.rings.push_back(
            {{cx - r - 2 * w, cy - r - 2 * w, cx + r + 2 * w, cy + r + 2 * w}, pen});
        break;
    }
    case 3:
        layout.rings.push_back({{cx - r - lineWidth, cy - r - lineWidth, cx + r, cy + r},
                                DrawablePenWidth(3 * lineWidth)});
        break;
    default:
        break; // no frame and no band lines
    }
    if (record.TwinRing >= 0 && record.TwinRing <= 3) {
        for (const double y : {double(cy) - b, double(cy) + b})
            layout.bandLines.push_back(
                {Trunc(double(cx) - a + 1), Trunc(double(cx) + a - 1), Trunc(y)});
    }

    // Upper text, resting on the upper band line.
    if (const auto upper = Font(record.FontNameU, record.FontSizeU, record.FontStyleU, dpi)) {
        const QString text1 = record.Text1.ToUnicode();
        const QString text3 = ex.Text3.ToUnicode();
        const auto x = [&](const QString& s) { return cx - Half(upper->TextWidth(s)); };
        const std::int64_t h1 = upper->TextHeight();
        if (text3.isEmpty()) {
            layout.texts.push_back(
                Place(*upper, text1, x(text1), Trunc(double(cy - h1) - b) - record.PositionU));
        } else {
            const std::int64_t h3 = upper->TextHeight();
            layout.texts.push_back(
                Place(*upper, text1, x(text1),
                      Trunc(double(cy - h1 - h3 - ex.U_T2Space) - b) - record.PositionU));
            layout.texts.push_back(
                Place(*upper, text3, x(text3), Trunc(double(cy - h3) - b) - record.PositionU));
        }
    }

    // Lower texts, hanging from the lower band line.
    if (const auto lower = Font(record.FontNameL, record.FontSizeL, record.FontStyleL, dpi)) {
        const std::int64_t yL = Trunc(double(cy) + b);
        const QString text2 = record.Text2.ToUnicode();
        const QString text4 = ex.Text4.ToUnicode();
        const QString text5 = ex.Text5.ToUnicode();
        if (text4.isEmpty()) {
            layout.texts.push_back(
                Place(*lower, text2, cx - Half(lower->TextWidth(text2)), yL - record.PositionL));
        } else {
            const std::int64_t w2 = lower->TextWidth(text2);
            const std::int64_t h2 = lower->TextHeight();
            const std::int64_t smallSize =
                ((100 - std::int64_t(ex.L_T2FontSize)) * record.FontSizeL) / 100;
            const auto small = Font(record.FontNameL, smallSize, record.FontStyleL, dpi);
            const std::int64_t w4 = small ? small->TextWidth(text4) : 0;
            const std::int64_t h4 = small ? small->TextHeight() : 0;
            layout.texts.push_back(Place(*lower, text2,
                                         cx - Half(w2) - Half(w4) - Half(ex.L_T2Space),
                                         yL - record.PositionL));
            if (small) {
                layout.texts.push_back(Place(*small, text4,
                                             cx + Half(w2) - Half(w4) + Half(ex.L_T2Space),
                                             yL - record.PositionL + Half(h2 - h4)));
            }
        }
        if (!text5.isEmpty()) {
            const std::int64_t h5 = lower->TextHeight();
            layout.texts.push_back(
                Place(*lower, text5, cx - Half(lower->TextWidth(text5)),
                      Trunc(double(h5 + cy + ex.L_T3Space) + b) - record.PositionL));
        }
    }

    // The date band, centred; no adjustment moves it.
    layout.bandText = DateBandText(record, ex, day);
    if (const auto band = Font(record.FontNameM, record.FontSizeM, record.FontStyleM, dpi)) {
        layout.texts.push_back(Place(*band, layout.bandText,
                                     cx - Half(band->TextWidth(layout.bandText)),
                                     cy - Half(band->TextHeight())));
    }
    return layout;
}

std::optional<QRectF> DateSealFrameRect(const DateSealLayout& layout)
{
    if (layout.rings.empty())
        return std::nullopt;
    return DrawableRect(layout.rings.front().box, layout.rings.front().penWidth);
}

QRectF DateSealInkRect(const DateSealLayout& layout)
{
    QRectF ink;
    for (const Ring& ring : layout.rings)
        ink |= OutlineInkRect(RingOutline(ring), ring.penWidth);
    for (const BandLine& line : layout.bandLines)
        ink |= OutlineInkRect(BandLineOutline(line, layout.penWidth), layout.penWidth);
    for (const PlacedText& text : layout.texts) {
        ink |= platform::SealTextInkRect(
            text.font, QPoint(DrawableCoordinate(text.x), DrawableCoordinate(text.y)), text.text);
    }
    return ink;
}

void PaintDateSealInk(QPainter& painter, const DateSealLayout& layout)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const Ring& ring : layout.rings)
        DrawOutline(painter, RingOutline(ring), layout.color, ring.penWidth);
    for (const BandLine& line : layout.bandLines)
        DrawOutline(painter, BandLineOutline(line, layout.penWidth), layout.color, layout.penWidth);
    for (const PlacedText& text : layout.texts) {
        platform::DrawSealText(painter, text.font,
                               QPoint(DrawableCoordinate(text.x), DrawableCoordinate(text.y)),
                               text.text, layout.color);
    }
    painter.restore();
}

void PaintDateSeal(QImage& picture, const DateSealLayout& layout)
{
    QPainter painter(&picture);
    painter.fillRect(QRect(0, 0, layout.width, layout.height), Qt::white);
    PaintDateSealInk(painter, layout);
}

void DrawDateSeal(QImage& picture, const DateStampRecord& record, const DateStampExRecord& ex,
                  double dpi)
{
    PaintDateSeal(picture, LayoutDateSeal(record, ex, picture.size(), dpi));
}

QImage RenderDateSeal(const DateStampRecord& record, const DateStampExRecord& ex, double dpi,
                      QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    DrawDateSeal(picture, record, ex, dpi);
    return picture;
}

} // namespace velmr::seal
