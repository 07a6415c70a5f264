#pragma once

#include "image/ImgKit.h"

#include <QColor>

#include <cstdint>
#include <functional>
#include <vector>

namespace velmr::test {

// A packed bitmap made byte by byte: `bits` 1, 4, 8 or 24; for palette pictures `palette` gives
// the colour table and `index(x, y)` the colour of each pixel (y = 0 is the top row); for 24 bits
// `colour(x, y)`.
std::vector<std::uint8_t> PackedDib(int width, int height, int bits,
                                    const std::vector<QRgb>& palette,
                                    const std::function<int(int, int)>& index);
std::vector<std::uint8_t> PackedDib24(int width, int height,
                                      const std::function<QRgb(int, int)>& colour);

// A held picture of either kind (0 when the bytes are refused).
image::ImgKitImage Picture24(int width, int height, const std::function<QRgb(int, int)>& colour);
image::ImgKitImage PicturePalette(int width, int height, int bits, const std::vector<QRgb>& palette,
                                  const std::function<int(int, int)>& index);

} // namespace velmr::test
