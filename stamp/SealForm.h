#pragma once

#include "output/SealOutput.h"

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <podofo/podofo.h>
#include <vector>

// A seal as a PDF form object: the painting that every other output of the seal goes through,
// caught step by step as paths and pictures, and written as content-stream operators.
namespace velmr::stamp {

// One step of a seal's painting, in the painter's coordinates before `transform`.
struct InkStep
{
    QTransform transform;
    QPainterPath path; // a fill and/or a stroke of this outline
    QColor fill;       // invalid: not filled
    QColor stroke;     // invalid: not stroked
    double strokeWidth = 0.0;
    Qt::PenCapStyle cap = Qt::SquareCap;
    Qt::PenJoinStyle join = Qt::BevelJoin;
    QImage picture; // a picture drawn into `target` instead of a path
    QRectF target;
};

// The steps of `art` painted at `scale` painter units per layout pixel, InkRect()'s top-left at
// the origin.
std::vector<InkStep> CaptureInk(const output::SealArtwork& art, double scale);

// The seal's form object added to `document`.
struct SealForm
{
    PoDoFo::PdfReference reference;
    QSizeF sizePt; // the ink's size; the form draws it upright in [0, w] × [0, h], y upwards
};

// Adds `art` as one form object of paths (a picture: an image object, with a soft mask when the
// picture has transparency), drawn through the multiply blend mode so that what lies beneath
// shows through as through ink. Throws PoDoFo::PdfError.
SealForm AddSealForm(PoDoFo::PdfMemDocument& document, const output::SealArtwork& art);

} // namespace velmr::stamp
