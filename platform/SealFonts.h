#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class QPainter;

// Fonts of the seal drawings: the Windows faces the records name, realised with the IPA faces,
// sized in points at the display's logical resolution, with synthesised bold where a face has no
// bold of its own.
namespace velmr::platform {

// The face that stands in for a Windows face name; other names are returned unchanged.
QString PlatformFaceFor(const QString& windowsFace);
// The Windows face that `platformFamily` stands in for (its Japanese name), or the family itself
// when it stands in for none.
QString WindowsFaceFor(const QString& platformFamily);

// The Windows faces that stand in for installed ones, by their Japanese names, in their usual
// order: "ＭＳ 明朝", "ＭＳ Ｐ明朝", "ＭＳ ゴシック", "ＭＳ Ｐゴシック".
QStringList JapaneseWindowsFaces();

// round(points × dpi / 72) as a pixel size, or nothing for a size that draws no text (0 or below).
// Very large sizes are limited to what can still be drawn.
std::optional<int> PixelSizeForPoints(std::int64_t points, double dpi);

// The drawing's resolution: the primary screen's logical dots per inch, 96 without a screen.
double DisplayDpi();

// A font for a seal text: face name as the record holds it, size in points, style byte
// (bit 0 bold, bit 1 italic, bit 2 underline, bit 3 strike-out). Nothing when the size draws no
// text.
struct SealFont
{
    QFont font;
    bool syntheticBold = false; // bold asked for on a face that has no bold variant
    int ascent = 0;
    int height = 0; // the full cell height

    int TextWidth(const QString& text) const;
    int TextHeight() const { return height; }
};

std::optional<SealFont> MakeSealFont(const QString& face, std::int64_t points, std::uint8_t style,
                                     double dpi);

// Writes `text` with the top-left of its cell at `topLeft`, antialiased, background transparent:
// its outline filled, and for a synthesised bold also stroked. Painted in the painter's
// coordinates, so that a scaled painter or a vector target gets the outlines at its own
// resolution; only on a raster picture at whole-pixel positions is a text drawn once kept for
// the drawings that follow.
void DrawSealText(QPainter& painter, const SealFont& font, QPoint topLeft, const QString& text,
                  const QColor& color);

// The area `text` inks when written with the top-left of its cell at `topLeft`: its outline with
// the synthesised bold's stroke. Empty for a text that inks nothing.
QRectF SealTextInkRect(const SealFont& font, QPoint topLeft, const QString& text);

} // namespace velmr::platform
