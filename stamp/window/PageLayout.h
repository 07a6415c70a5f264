#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <utility>
#include <vector>

namespace velmr::stamp {

// Zoom limits and steps of the PDF window, 1.0 being 100 %: the page at its true size on a
// screen of the layout's dots per inch.
inline constexpr double kMinZoom = 0.5;
inline constexpr double kMaxZoom = 4.0;
inline constexpr double kZoomSteps[] = {0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};

// The next zoom step up (`direction` > 0) or down from `zoom`.
double SteppedZoom(double zoom, int direction);

// The pages of a PDF document laid out in one column, each centred across the column with a gap
// around it, in pixels of the view's content at a zoom. Page sizes are in points as the page is
// shown: its crop box, turned by its /Rotate (what poppler reports and renders). Millimetres on a
// page run from the shown page's top-left corner, as the stamps keep them.
class PageLayout
{
public:
    static constexpr double kGap = 12.0; // pixels between pages and around the column

    PageLayout() = default;
    PageLayout(std::vector<QSizeF> pageSizesPt, double screenDpi);

    int PageCount() const { return int(sizes_.size()); }
    QSizeF PageSizePt(int page) const { return sizes_[std::size_t(page)]; }
    QSizeF PageSizeMm(int page) const;

    double Zoom() const { return zoom_; }
    // Kept within kMinZoom..kMaxZoom.
    void SetZoom(double zoom);
    // The zooms that fit the widest page's width, or the whole of page `page`, into a viewport.
    double FitWidthZoom(QSizeF viewport) const;
    double FitPageZoom(QSizeF viewport, int page) const;

    // Content pixels per point and per millimetre at the current zoom.
    double PixelsPerPoint() const;
    double PixelsPerMm() const;
    // The dots per inch at which a page is rendered to fill its rectangle.
    double RenderDpi() const { return screenDpi_ * zoom_; }

    QSizeF ContentSize() const;
    QRectF PageRect(int page) const;
    // The page under `content`, or -1 between and beside the pages.
    int PageAt(QPointF content) const;
    // The page whose rectangle holds or comes nearest below `y`: the current page at a scroll
    // position.
    int PageNearest(double y) const;
    // The pages that meet the band top..bottom, first and last (last < first: none).
    std::pair<int, int> PagesBetween(double top, double bottom) const;

    QPointF ToMm(int page, QPointF content) const;
    QPointF ToContent(int page, QPointF mm) const;

private:
    void Lay();

    std::vector<QSizeF> sizes_;
    std::vector<double> tops_; // each page's top, at the current zoom
    double screenDpi_ = 96.0;
    double zoom_ = 1.0;
    double widestPt_ = 0.0;
};

} // namespace velmr::stamp
