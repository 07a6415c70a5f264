#pragma once

#include "seal/DateSealRenderer.h"
#include "seal/NameSealRenderer.h"

#include <QPointF>
#include <QRectF>

// "枠に合わせる": the largest font sizes at which a seal's texts stay inside its frame, measured
// on the fonts' real ink outlines with the same layout the preview draws.
namespace velmr::seal {

enum class FitOutcome
{
    Fitted,       // the records now hold the sizes (and for a name seal the centring shifts)
    NothingToFit, // no text is drawn; the records are unchanged
    CannotFit,    // a text does not fit even at one point; the records are unchanged
};

// The region a text may ink: a convex frame (ellipse or rounded rectangle) cut by an optional
// band of rows.
struct InkRegion
{
    QRectF box;          // the frame's inner edge, shrunk by the margin
    double radius = 0.0; // corner radius for a rounded rectangle; ignored for an ellipse
    bool ellipse = true;
    double top = -1e9; // rows the ink must stay within
    double bottom = 1e9;

    bool Contains(QPointF point, double slack = 0.0) const;
};

// The gap kept between a text's ink and the frame's inner edge: a few pixels, growing with the
// frame so that the text does not crowd the rim of a large seal.
double FitMargin(const QRectF& frame);

// The region inside a name seal's frame where text may ink: the frame's outline less half its
// pen, less the margin.
InkRegion NameSealTextRegion(const NameSealLayout& layout);

// Fits a name seal: the first name's FontSize (and the second name's ExFontSize in the same
// proportion, when it is composited) as large as fits, then the text's ink centred in the frame
// through OffsetX/OffsetY (and the second name's offsets moved alongside, keeping the two names'
// arrangement). Changes nothing unless it returns Fitted.
FitOutcome FitNameSeal(NameStampRecord& record, NameStampExRecord& ex, double dpi,
                       QSize size = QSize(kNameSealSize, kNameSealSize));

// Fits a date seal: FontSizeU as large as keeps the upper texts inside the ring above the upper
// band line, FontSizeL the lower texts below the lower line, FontSizeM the date between the
// lines. The positions are kept. Changes nothing unless it returns Fitted (a seal without a ring
// cannot fit).
FitOutcome FitDateSeal(DateStampRecord& record, DateStampExRecord& ex, double dpi,
                       QSize size = QSize(kDateSealSize, kDateSealSize),
                       std::optional<calendar::LocalDate> day = std::nullopt);

} // namespace velmr::seal
