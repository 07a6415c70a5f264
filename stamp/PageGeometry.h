#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <optional>

// Where a page shows its content: the part of user space that is visible, how the page is turned
// for showing, and how long a unit of user space is. Positions on the page as it is seen are in
// millimetres from its visible top-left corner, y growing downwards.
namespace velmr::stamp {

struct PageFrame
{
    QRectF visible;        // user space, normalised (left < right, bottom < top as y grows up)
    int rotate = 0;        // 0, 90, 180 or 270: the page is shown turned clockwise by this much
    double userUnit = 1.0; // points per unit of user space
};

// The frame of a page from its boxes as the file gives them ([llx lly urx ury] in any corner
// order), its /Rotate (any multiple of 90, negative too) and its /UserUnit (nothing or not
// positive: 1). The visible part is the crop box clipped to the media box; no crop box, or one
// that misses the media box, shows the whole media box.
PageFrame MakePageFrame(const QRectF& mediaBox, const std::optional<QRectF>& cropBox, int rotate,
                        std::optional<double> userUnit);

// The page's size as it is seen, in millimetres.
QSizeF VisibleSizeMm(const PageFrame& frame);

// The point of user space shown at `mm` from the visible top-left corner.
QPointF UserPointAt(const PageFrame& frame, const QPointF& mm);

// The matrix (for the `cm` operator) that puts a drawing of `sizePt` points, its y axis upwards
// and its lower-left corner at its origin, on the page with its centre shown at `centreMm`,
// upright as the page is seen and then turned clockwise by `rotationDeg` as seen.
QTransform PlacementMatrix(const PageFrame& frame, const QPointF& centreMm, double rotationDeg,
                           const QSizeF& sizePt);

} // namespace velmr::stamp
