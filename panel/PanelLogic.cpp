#include "panel/PanelLogic.h"

#include "platform/Cp932.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace velmr::panel {
namespace {
constexpr std::uint8_t kBoldBit = 0x01;
constexpr std::uint8_t kItalicBit = 0x02;
} // namespace

QString SealSizeText(int stampSize, int pixelsPerMetre)
{
    // The float format "##.0 'mm'": at least one digit before the point, one after, rounded.
    const double millimetres = double(stampSize) * 2000.0 / double(pixelsPerMetre);
    const long long tenths = std::llround(millimetres * 10.0);
    const char* sign = tenths < 0 ? "-" : "";
    return QStringLiteral("%1%2.%3 mm")
        .arg(QLatin1StringView(sign))
        .arg(std::llabs(tenths) / 10)
        .arg(std::llabs(tenths) % 10);
}

QString PrintedSizeText(int width, int pixelsPerCentimetre)
{
    // Single precision and "%2.2f", as the size has always been shown.
    const float millimetres = float(width + 1) / float(pixelsPerCentimetre) * 10.0f;
    char text[64];
    std::snprintf(text, sizeof text, "%2.2f", double(millimetres));
    return QString::fromLatin1(text);
}

int ItemOf(std::span<const std::int32_t> values, std::int32_t value)
{
    const auto found = std::find(values.begin(), values.end(), value);
    return found == values.end() ? -1 : static_cast<int>(found - values.begin());
}

int ColourItem(std::int32_t stampColor)
{
    const int item = ItemOf(kStampColors, stampColor);
    return item < 0 ? kOtherColourItem : item;
}

QColor ColorOfRef(std::int32_t colorRef)
{
    const auto value = static_cast<std::uint32_t>(colorRef);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

std::int32_t RefOfColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return std::int32_t(rgb.red()) | std::int32_t(rgb.green()) << 8 |
           std::int32_t(rgb.blue()) << 16;
}

std::int32_t SteppedFontSize(std::int32_t size, int points)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        std::int64_t(size) + points, 1, std::numeric_limits<std::int32_t>::max()));
}

platform::FontDialogChoice DialogFontOf(const FontChoice& choice)
{
    return {choice.face, choice.size, (choice.style & kBoldBit) != 0,
            (choice.style & kItalicBit) != 0};
}

FontChoice FontChoiceOf(const platform::FontDialogChoice& chosen, const FontChoice& before)
{
    const auto style =
        static_cast<std::uint8_t>((before.style & ~(kBoldBit | kItalicBit)) |
                                  (chosen.bold ? kBoldBit : 0) | (chosen.italic ? kItalicBit : 0));
    return {chosen.face, chosen.points, style};
}

void StoreFont(const FontChoice& font, seal::Text40& face, std::int32_t& size, std::uint8_t& style)
{
    if (face.ToUnicode() != font.face)
        face.Assign(platform::cp932::EncodeLossy(font.face));
    size = font.size;
    style = font.style;
}

} // namespace velmr::panel
