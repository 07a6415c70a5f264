#pragma once

#include "platform/SealFonts.h"
#include "seal/Records.h"

#include <QColor>
#include <QImage>
#include <QSize>

class QPainter;
class QPainterPath;

#include <optional>
#include <vector>

// Drawing a name seal (認印) from its records: a frame (circle, oval or rounded square) and up to
// four lines of text stacked top to bottom, optionally a second name in the same frame.
namespace velmr::seal {

inline constexpr int kNameSealSize = 297;

// A box as the drawing platform takes it: left, top, exclusive right, exclusive bottom.
struct Box
{
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;
    friend bool operator==(const Box&, const Box&) = default;
};

struct PlacedLine
{
    QString text;
    std::int64_t x = 0; // top-left of the line's cell
    std::int64_t y = 0;
    int width = 0;
    int height = 0;
};

// One name (the first, or the composited second) laid out: its font and its lines.
struct PlacedName
{
    std::optional<platform::SealFont> font; // none when its size draws no text
    std::vector<PlacedLine> lines;
};

struct NameSealLayout
{
    int width = kNameSealSize;
    int height = kNameSealSize;
    QColor color;
    int penWidth = 1;
    bool roundedSquare = false; // otherwise an ellipse
    Box frame;
    PlacedName first;
    std::optional<PlacedName> second; // when the second name is composited
};

// The colour of a record's 0x00BBGGRR value.
QColor ColorFromRecord(std::int32_t bgr);

// Where everything of the seal goes on a picture of `size`, fonts at `dpi` dots per inch.
NameSealLayout LayoutNameSeal(const NameStampRecord& record, const NameStampExRecord& ex,
                              QSize size, double dpi);

// Clears `picture` to white and draws the seal laid out by `layout`.
void PaintNameSeal(QImage& picture, const NameSealLayout& layout);

// Paints the ink of the seal laid out by `layout` in the painter's coordinates, one unit a pixel
// of the seal's picture: the preview paints it unscaled, an export through a scaled painter or
// onto a vector target. Paints no background.
void PaintNameSealInk(QPainter& painter, const NameSealLayout& layout);

// The area the seal's ink covers in its picture's pixels: the frame with its whole pen and every
// text's outline, also where they leave the picture.
QRectF NameSealInkRect(const NameSealLayout& layout);
// The frame's outline as drawn: the box the pen is centred on.
QRectF NameSealFrameRect(const NameSealLayout& layout);

// Lays out and paints a name seal onto `picture` (its size is the seal's picture size).
void DrawNameSeal(QImage& picture, const NameStampRecord& record, const NameStampExRecord& ex,
                  double dpi);

// A new picture of `size` with the seal drawn.
QImage RenderNameSeal(const NameStampRecord& record, const NameStampExRecord& ex, double dpi = 96.0,
                      QSize size = QSize(kNameSealSize, kNameSealSize));

// Shared by the seal drawings: a pen width the platform can draw, a coordinate it can take.
int DrawablePenWidth(std::int64_t width);
int DrawableCoordinate(std::int64_t value);
// How far an outline on whole-pixel coordinates moves right and down for a pen of `penWidth`, so
// that the stroke covers whole pixels: 0 for even widths (a line at y = 10 with pen 4 covers rows
// 8 to 11), half a pixel for odd widths (pen 3 covers rows 9 to 11, pen 1 row 10 alone).
double PenOffset(int penWidth);
// A box as the platform's ellipse and rounded rectangle take it, limited as above, placed for a
// pen of `penWidth` (PenOffset).
QRectF DrawableRect(const Box& box, int penWidth);
// Strokes `outline` with a solid pen of `penWidth` and `color`, antialiased, the same way for
// every width (Qt draws one-pixel pens with a stroker of its own that blurs curves).
void DrawOutline(QPainter& painter, const QPainterPath& outline, const QColor& color, int penWidth);
// The area a stroke of `outline` by DrawOutline covers.
QRectF OutlineInkRect(const QPainterPath& outline, int penWidth);

// The stacked line layout of one name: lines up to the first empty one, centred as a block on a
// picture of `size`, gap between lines, shifted by (shiftX, -shiftY).
PlacedName LayoutLines(const std::vector<QString>& texts, std::optional<platform::SealFont> font,
                       std::int64_t gap, std::int64_t shiftX, std::int64_t shiftY, QSize size);

} // namespace velmr::seal
