#pragma once

#include "platform/UserDialogs.h"
#include "seal/Records.h"

#include <QColor>
#include <QString>

#include <array>
#include <cstdint>
#include <span>

// What the editing panel's controls mean, as plain values: the items of its choices, the size
// displays and the fonts its font dialogs keep.
namespace velmr::panel {

// The print resolutions of the size displays, in pixels per metre.
inline constexpr int kNameSealPixelsPerMetre = 26000;
inline constexpr int kDateSealPixelsPerMetre = 15249;

// The printed diameter of a seal of half-size `stampSize` pixels: "9.0 mm".
QString SealSizeText(int stampSize, int pixelsPerMetre);

// The printed width of a crop square of side `width` at `pixelsPerCentimetre`: "9.65".
QString PrintedSizeText(int width, int pixelsPerCentimetre);

// The frame thicknesses of the "枠線の太さ" items, the shapes of "印の形状" and the colours of
// "印の色" ("他" has none).
inline constexpr std::array<std::int32_t, 4> kLineWidths{6, 5, 4, 3};
inline constexpr std::array<std::int32_t, 4> kCircleParameters{100, 80, 60, 0};
inline constexpr std::array<std::int32_t, 3> kStampColors{0x0000FF, 0x000000, 0xFF0000};
inline constexpr int kOtherColourItem = 3;

// The item of a choice showing `value`, or -1 when none does.
int ItemOf(std::span<const std::int32_t> values, std::int32_t value);
// "赤", "黒", "青" for their colours, "他" for any other.
int ColourItem(std::int32_t stampColor);

// 0x00BBGGRR to and from the colour dialogs' colours.
QColor ColorOfRef(std::int32_t colorRef);
std::int32_t RefOfColor(const QColor& color);

// The size after a "文字大" or "文字小" press: `points` more, never below one point, so that no
// button makes a seal without text (a size of 0 or below from a file stays until one is pressed).
std::int32_t SteppedFontSize(std::int32_t size, int points);

// The font a font dialog keeps between uses: a record's face name, size in points and style byte.
struct FontChoice
{
    QString face;
    std::int32_t size = 0;
    std::uint8_t style = 0;

    friend bool operator==(const FontChoice&, const FontChoice&) = default;
};

// The font the chooser opens with: the record's face name, size and bold/italic as they are.
platform::FontDialogChoice DialogFontOf(const FontChoice& choice);
// The chooser's answer as a record's font. The chooser offers face, size, bold and italic; the
// other style bits stay as `before` had them.
FontChoice FontChoiceOf(const platform::FontDialogChoice& chosen, const FontChoice& before);

// Writes `font` into a record's font fields. The face is written only when it is not the one the
// field holds, so that a record keeps its bytes when its font is chosen again unchanged.
void StoreFont(const FontChoice& font, seal::Text40& face, std::int32_t& size, std::uint8_t& style);

} // namespace velmr::panel
