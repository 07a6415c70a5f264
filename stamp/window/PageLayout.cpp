#include "stamp/window/PageLayout.h"

#include <algorithm>
#include <cmath>

namespace velmr::stamp {
namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;

} // namespace

double SteppedZoom(double zoom, int direction)
{
    // A zoom between steps (a fit) goes to the neighbouring step in the direction asked.
    constexpr double kSlack = 1e-6;
    if (direction > 0) {
        for (double step : kZoomSteps) {
            if (step > zoom + kSlack)
                return step;
        }
        return kMaxZoom;
    }
    for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it) {
        if (*it < zoom - kSlack)
            return *it;
    }
    return kMinZoom;
}

PageLayout::PageLayout(std::vector<QSizeF> pageSizesPt, double screenDpi)
    : sizes_(std::move(pageSizesPt)), screenDpi_(screenDpi > 0 ? screenDpi : 96.0)
{
    for (const QSizeF& size : sizes_)
        widestPt_ = std::max(widestPt_, size.width());
    Lay();
}

QSizeF PageLayout::PageSizeMm(int page) const
{
    return PageSizePt(page) * kMmPerPoint;
}

void PageLayout::SetZoom(double zoom)
{
    const double kept = std::isfinite(zoom) ? std::clamp(zoom, kMinZoom, kMaxZoom) : 1.0;
    if (kept == zoom_)
        return;
    zoom_ = kept;
    Lay();
}

double PageLayout::FitWidthZoom(QSizeF viewport) const
{
    if (widestPt_ <= 0)
        return 1.0;
    const double perPointAt100 = screenDpi_ / 72.0;
    return std::clamp((viewport.width() - 2 * kGap) / (widestPt_ * perPointAt100), kMinZoom,
                      kMaxZoom);
}

double PageLayout::FitPageZoom(QSizeF viewport, int page) const
{
    if (page < 0 || page >= PageCount())
        return FitWidthZoom(viewport);
    const double perPointAt100 = screenDpi_ / 72.0;
    const QSizeF size = PageSizePt(page) * perPointAt100;
    if (size.isEmpty())
        return 1.0;
    const double zoom = std::min((viewport.width() - 2 * kGap) / size.width(),
                                 (viewport.height() - 2 * kGap) / size.height());
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

double PageLayout::PixelsPerPoint() const
{
    return screenDpi_ * zoom_ / 72.0;
}

double PageLayout::PixelsPerMm() const
{
    return screenDpi_ * zoom_ / 25.4;
}

void PageLayout::Lay()
{
    tops_.resize(sizes_.size());
    double top = kGap;
    for (std::size_t i = 0; i < sizes_.size(); ++i) {
        tops_[i] = top;
        top += sizes_[i].height() * PixelsPerPoint() + kGap;
    }
}

QSizeF PageLayout::ContentSize() const
{
    if (sizes_.empty())
        return {};
    const double bottom = tops_.back() + sizes_.back().height() * PixelsPerPoint() + kGap;
    return {widestPt_ * PixelsPerPoint() + 2 * kGap, bottom};
}

QRectF PageLayout::PageRect(int page) const
{
    if (page < 0 || page >= PageCount())
        return {};
    const QSizeF size = PageSizePt(page) * PixelsPerPoint();
    const double left = kGap + (widestPt_ * PixelsPerPoint() - size.width()) / 2;
    return {QPointF(left, tops_[std::size_t(page)]), size};
}

int PageLayout::PageNearest(double y) const
{
    if (tops_.empty())
        return -1;
    // The last page whose top lies above y, or the first.
    const auto after = std::upper_bound(tops_.begin(), tops_.end(), y);
    const int page = after == tops_.begin() ? 0 : int(after - tops_.begin()) - 1;
    // In the gap below a page the page still counts: its next one starts lower.
    return page;
}

int PageLayout::PageAt(QPointF content) const
{
    const int page = PageNearest(content.y());
    return page >= 0 && PageRect(page).contains(content) ? page : -1;
}

std::pair<int, int> PageLayout::PagesBetween(double top, double bottom) const
{
    if (tops_.empty() || bottom < top)
        return {0, -1};
    int first = PageNearest(top);
    if (PageRect(first).bottom() < top)
        ++first;
    const int last = PageNearest(bottom);
    return {first, last};
}

QPointF PageLayout::ToMm(int page, QPointF content) const
{
    return (content - PageRect(page).topLeft()) / PixelsPerMm();
}

QPointF PageLayout::ToContent(int page, QPointF mm) const
{
    return PageRect(page).topLeft() + mm * PixelsPerMm();
}

} // namespace velmr::stamp
