#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

// A clean seal from a scan or a photo of a real one stamped on paper: the paper's colour measured
// locally and made transparent, each pixel un-mixed between that paper and the ink, the seal found
// and cut to a centred square (a small tilt of a square seal straightened).
namespace velmr::image {

// The ink of the result.
enum class InkChoice
{
    Measured, // the colour measured in the picture
    Vermilion,
    Red,
    Black,
    Blue
};

// The colour a choice stands for; `measured` for InkChoice::Measured.
QColor InkColorFor(InkChoice ink, QColor measured);

struct ExtractedSeal
{
    // Format_ARGB32 (not premultiplied), square: every pixel the ink's colour, its coverage the
    // alpha; 0 alpha where there is no ink.
    QImage seal;
    QColor measuredInk; // the ink colour measured in the picture
};

// The seal in `picture`, or a message for the user saying why there is none (no ink found, a
// picture of ink alone, a picture too small or of a shape no seal has).
struct Extraction
{
    std::optional<ExtractedSeal> result;
    QString error;
};
Extraction ExtractSeal(const QImage& picture, InkChoice ink = InkChoice::Measured);

} // namespace velmr::image
