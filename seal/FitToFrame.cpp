#include "seal/FitToFrame.h"

#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <functional>

namespace velmr::seal {
namespace {

// The largest size tried: far beyond any frame a seal picture can hold.
constexpr std::int32_t kLargestSize = 1000;
// The slider range of the position fine-tuning: centring never moves a text beyond it.
constexpr std::int32_t kOffsetLimit = 120;
// The name seal's rounded square has corners of this radius on its outline.
constexpr double kCornerRadius = 10.0;
// What a date seal's texts keep clear of the band lines.
constexpr double kBandLineGap = 0.0;

// True when every point `text` inks, written with its cell's top-left at `topLeft`, lies inside
// `region`.
bool TextInside(const platform::SealFont& font, QPoint topLeft, const QString& text,
                const InkRegion& region)
{
    QPainterPath path;
    path.addText(QPointF(topLeft) + QPointF(0, font.ascent), font.font, text);
    if (path.isEmpty())
        return true;
    const QRectF outline = path.boundingRect();
    const QRectF ink = platform::SealTextInkRect(font, topLeft, text);
    const double bold = std::max(0.0, outline.left() - ink.left()); // a synthesised bold's stroke
    // The region is convex: a box whose corners lie inside lies inside.
    if (region.Contains(outline.topLeft(), bold) && region.Contains(outline.topRight(), bold) &&
        region.Contains(outline.bottomLeft(), bold) &&
        region.Contains(outline.bottomRight(), bold)) {
        return true;
    }
    for (const QPolygonF& polygon : path.toFillPolygons()) {
        for (const QPointF& point : polygon) {
            if (!region.Contains(point, bold))
                return false;
        }
    }
    return true;
}

QRectF InkOf(const platform::SealFont& font, QPoint topLeft, const QString& text)
{
    return platform::SealTextInkRect(font, topLeft, text);
}

QPoint TopLeft(std::int64_t x, std::int64_t y)
{
    return {DrawableCoordinate(x), DrawableCoordinate(y)};
}

bool NameInside(const PlacedName& name, const InkRegion& region)
{
    if (!name.font)
        return true;
    return std::all_of(name.lines.begin(), name.lines.end(), [&](const PlacedLine& line) {
        return TextInside(*name.font, TopLeft(line.x, line.y), line.text, region);
    });
}

QRectF NameInk(const PlacedName& name)
{
    QRectF ink;
    if (!name.font)
        return ink;
    for (const PlacedLine& line : name.lines)
        ink |= InkOf(*name.font, TopLeft(line.x, line.y), line.text);
    return ink;
}

// The largest size in 1..kLargestSize for which `fits` holds; nothing when none does. A text
// anchored to a line may fit only from some size on (its descent grows away from the line), so
// the sizes are first tried in growing steps until two in a row no longer fit, then the step
// after the last fitting one is halved down to a single point.
std::optional<std::int32_t> LargestFitting(const std::function<bool(std::int32_t)>& fits)
{
    std::optional<std::int32_t> low;  // the last size that fitted
    std::optional<std::int32_t> high; // the first size after it that did not
    int misses = 0;
    for (std::int32_t size = 1; size <= kLargestSize; size = std::max(size + 1, size * 3 / 2)) {
        if (fits(size)) {
            low = size;
            high.reset();
            misses = 0;
        } else if (low) {
            if (!high)
                high = size;
            if (++misses == 2)
                break;
        }
    }
    if (!low)
        return std::nullopt;
    std::int32_t found = *low;
    std::int32_t above = high.value_or(kLargestSize + 1);
    while (above - found > 1) {
        const std::int32_t middle = found + (above - found) / 2;
        (fits(middle) ? found : above) = middle;
    }
    return found;
}

std::int32_t ClampOffset(std::int64_t value)
{
    return std::int32_t(std::clamp<std::int64_t>(value, -kOffsetLimit, kOffsetLimit));
}

} // namespace

bool InkRegion::Contains(QPointF point, double slack) const
{
    if (point.y() < top + slack || point.y() > bottom - slack)
        return false;
    const QRectF inner = box.adjusted(slack, slack, -slack, -slack);
    if (inner.width() < 0 || inner.height() < 0)
        return false;
    const QPointF centre = inner.center();
    if (ellipse) {
        const double a = inner.width() / 2;
        const double b = inner.height() / 2;
        if (a <= 0 || b <= 0)
            return false;
        const double dx = (point.x() - centre.x()) / a;
        const double dy = (point.y() - centre.y()) / b;
        return dx * dx + dy * dy <= 1.0;
    }
    if (!inner.contains(point))
        return false;
    const double r =
        std::min({std::max(0.0, radius - slack), inner.width() / 2, inner.height() / 2});
    // Inside the box; only the corners' quarter circles cut it further.
    const double cx = std::clamp(point.x(), inner.left() + r, inner.right() - r);
    const double cy = std::clamp(point.y(), inner.top() + r, inner.bottom() - r);
    const double dx = point.x() - cx;
    const double dy = point.y() - cy;
    return dx * dx + dy * dy <= r * r;
}

double FitMargin(const QRectF& frame)
{
    return std::max(2.0, std::round(std::min(frame.width(), frame.height()) * 0.025));
}

InkRegion NameSealTextRegion(const NameSealLayout& layout)
{
    const QRectF frame = NameSealFrameRect(layout);
    const double inset = layout.penWidth / 2.0 + FitMargin(frame);
    InkRegion region;
    region.box = frame.adjusted(inset, inset, -inset, -inset);
    region.ellipse = !layout.roundedSquare;
    region.radius = std::max(0.0, kCornerRadius - inset);
    return region;
}

FitOutcome FitNameSeal(NameStampRecord& record, NameStampExRecord& ex, double dpi, QSize size)
{
    const bool second = ex.UseNameEX != 0;
    const std::int32_t firstSize = record.FontSize;
    const std::int32_t secondSize = ex.ExFontSize;
    const bool searchFirst = firstSize > 0;

    // The records with the search's size `points` in place of the sizes.
    const auto sized = [&](std::int32_t points, NameStampRecord& r, NameStampExRecord& e) {
        r = record;
        e = ex;
        if (searchFirst) {
            r.FontSize = points;
            if (second && secondSize > 0) {
                e.ExFontSize = std::max<std::int32_t>(
                    1, std::int32_t(std::lround(double(points) * secondSize / firstSize)));
            }
        } else {
            e.ExFontSize = points;
        }
    };
    // The records at `points`, their text's ink centred in the frame.
    const auto centred = [&](std::int32_t points, NameStampRecord& r, NameStampExRecord& e) {
        sized(points, r, e);
        const NameSealLayout layout = LayoutNameSeal(r, e, size, dpi);
        QRectF ink = NameInk(layout.first);
        if (layout.second)
            ink |= NameInk(*layout.second);
        if (ink.isEmpty())
            return false;
        const QPointF shift = NameSealFrameRect(layout).center() - ink.center();
        const auto dx = std::int64_t(std::lround(shift.x()));
        const auto dy = std::int64_t(std::lround(shift.y()));
        r.OffsetX = ClampOffset(r.OffsetX + dx);
        r.OffsetY = ClampOffset(r.OffsetY - dy); // a positive offset moves up
        if (second) {
            e.ExOffsetX = ClampOffset(e.ExOffsetX + dx);
            e.ExOffsetY = ClampOffset(e.ExOffsetY - dy);
        }
        return true;
    };
    const auto fits = [&](std::int32_t points) {
        NameStampRecord r;
        NameStampExRecord e;
        if (!centred(points, r, e))
            return true;
        const NameSealLayout layout = LayoutNameSeal(r, e, size, dpi);
        const InkRegion region = NameSealTextRegion(layout);
        return NameInside(layout.first, region) &&
               (!layout.second || NameInside(*layout.second, region));
    };

    {
        NameStampRecord r;
        NameStampExRecord e;
        if (!searchFirst && !(second && secondSize > 0))
            return FitOutcome::NothingToFit;
        if (!centred(1, r, e))
            return FitOutcome::NothingToFit;
    }
    const std::optional<std::int32_t> best = LargestFitting(fits);
    if (!best)
        return FitOutcome::CannotFit;
    NameStampRecord r;
    NameStampExRecord e;
    centred(*best, r, e);
    record = r;
    ex = e;
    return FitOutcome::Fitted;
}

namespace {

enum class DatePart
{
    Upper,
    Lower,
    Band
};

// The region of the ring a part's texts may ink: inside the innermost ring, and above the upper
// band line, below the lower one or between them.
InkRegion DatePartRegion(const DateSealLayout& layout, DatePart part)
{
    const Ring& ring = layout.rings.front();
    const QRectF frame = DrawableRect(ring.box, ring.penWidth);
    const double margin = FitMargin(frame);
    const double inset = ring.penWidth / 2.0 + margin;
    InkRegion region;
    region.box = frame.adjusted(inset, inset, -inset, -inset);
    region.ellipse = true;
    if (layout.bandLines.size() == 2) {
        // The texts rest on and hang from the band lines by design: they only keep off the
        // lines' ink.
        const double pen = layout.penWidth / 2.0 + kBandLineGap;
        const double offset = PenOffset(layout.penWidth);
        const double upper = DrawableCoordinate(layout.bandLines[0].y) + offset;
        const double lower = DrawableCoordinate(layout.bandLines[1].y) + offset;
        switch (part) {
        case DatePart::Upper:
            region.bottom = upper - pen;
            break;
        case DatePart::Lower:
            region.top = lower + pen;
            break;
        case DatePart::Band:
            region.top = upper + pen;
            region.bottom = lower - pen;
            break;
        }
    }
    return region;
}

} // namespace

FitOutcome FitDateSeal(DateStampRecord& record, DateStampExRecord& ex, double dpi, QSize size,
                       std::optional<calendar::LocalDate> day)
{
    // One part at a time: the other parts' sizes set to draw nothing.
    const auto layoutOf = [&](DatePart part, std::int32_t points) {
        DateStampRecord r = record;
        r.FontSizeU = part == DatePart::Upper ? points : 0;
        r.FontSizeL = part == DatePart::Lower ? points : 0;
        r.FontSizeM = part == DatePart::Band ? points : 0;
        return LayoutDateSeal(r, ex, size, dpi, day);
    };
    const auto fits = [&](DatePart part, std::int32_t points) {
        const DateSealLayout layout = layoutOf(part, points);
        const InkRegion region = DatePartRegion(layout, part);
        return std::all_of(layout.texts.begin(), layout.texts.end(), [&](const PlacedText& t) {
            return TextInside(t.font, TopLeft(t.x, t.y), t.text, region);
        });
    };
    const auto inks = [&](DatePart part) {
        const DateSealLayout layout = layoutOf(part, 12);
        return std::any_of(layout.texts.begin(), layout.texts.end(), [&](const PlacedText& t) {
            return !InkOf(t.font, TopLeft(t.x, t.y), t.text).isEmpty();
        });
    };

    if (layoutOf(DatePart::Band, 1).rings.empty())
        return FitOutcome::CannotFit;
    struct Target
    {
        DatePart part;
        std::int32_t DateStampRecord::*size;
    };
    const Target targets[] = {{DatePart::Upper, &DateStampRecord::FontSizeU},
                              {DatePart::Lower, &DateStampRecord::FontSizeL},
                              {DatePart::Band, &DateStampRecord::FontSizeM}};
    DateStampRecord fitted = record;
    bool any = false;
    for (const Target& target : targets) {
        if (!inks(target.part))
            continue;
        any = true;
        const std::optional<std::int32_t> best =
            LargestFitting([&](std::int32_t points) { return fits(target.part, points); });
        if (!best)
            return FitOutcome::CannotFit;
        fitted.*target.size = *best;
    }
    if (!any)
        return FitOutcome::NothingToFit;
    record = fitted;
    return FitOutcome::Fitted;
}

} // namespace velmr::seal
