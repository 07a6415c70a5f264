#pragma once

#include "calendar/CalendarDate.h"
#include "seal/NameSealRenderer.h"

// Drawing a date seal (日付印): a ring crossed by two band lines, a text resting on the upper
// line, today's date centred between them and the texts hanging below the lower line.
namespace velmr::seal {

inline constexpr int kDateSealSize = 350;

struct Ring
{
    Box box;
    int penWidth = 1;
};

struct BandLine
{
    std::int64_t x1 = 0; // first pixel
    std::int64_t x2 = 0; // end point, not drawn
    std::int64_t y = 0;
};

struct PlacedText
{
    platform::SealFont font;
    QString text;
    std::int64_t x = 0; // top-left of the cell
    std::int64_t y = 0;
    int width = 0;
    int height = 0;
};

struct DateSealLayout
{
    int width = kDateSealSize;
    int height = kDateSealSize;
    QColor color;
    int penWidth = 1;
    std::vector<Ring> rings;
    std::vector<BandLine> bandLines; // none without a frame
    std::vector<PlacedText> texts;   // upper, lower and band texts in drawing order
    QString bandText;                // header and date, as printed
};

// The band text: the header (at most 6 bytes, never half a character) and the date of `day`
// (today when none is given) in the record's year style.
QString DateBandText(const DateStampRecord& record, const DateStampExRecord& ex,
                     std::optional<calendar::LocalDate> day = std::nullopt);

// Where everything of the seal goes on a picture of `size`, fonts at `dpi` dots per inch, the
// band printing `day` (today when none is given).
DateSealLayout LayoutDateSeal(const DateStampRecord& record, const DateStampExRecord& ex,
                              QSize size, double dpi,
                              std::optional<calendar::LocalDate> day = std::nullopt);
// Clears `picture` to white and draws the seal laid out by `layout`.
void PaintDateSeal(QImage& picture, const DateSealLayout& layout);
// Paints the seal's ink in the painter's coordinates, as PaintNameSealInk does.
void PaintDateSealInk(QPainter& painter, const DateSealLayout& layout);
// The area the seal's ink covers in its picture's pixels: rings and band lines with their whole
// pens and every text's outline.
QRectF DateSealInkRect(const DateSealLayout& layout);
// The outline of the ring of radius `StampSize` as drawn (the box its pen is centred on);
// nothing for a seal without rings.
std::optional<QRectF> DateSealFrameRect(const DateSealLayout& layout);
void DrawDateSeal(QImage& picture, const DateStampRecord& record, const DateStampExRecord& ex,
                  double dpi);
QImage RenderDateSeal(const DateStampRecord& record, const DateStampExRecord& ex, double dpi = 96.0,
                      QSize size = QSize(kDateSealSize, kDateSealSize));

} // namespace velmr::seal
