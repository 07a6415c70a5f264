#pragma once

#include "image/ImgKit.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// JPEG files through TurboJPEG, decoded straight into the rows of a packed bitmap.
namespace velmr::image {

// True when `start` begins like a JPEG file (a start-of-image marker and another marker).
bool LooksLikeJpeg(std::span<const std::uint8_t> start);

// The packed bitmap of a JPEG file: 24 bits for colour (CMYK is converted as Adobe writes it),
// 8 bits with a 256-level grey table for grey. Nothing for a damaged or cut-short file, or one
// whose pixel data would exceed `maxPixelBytes` (checked before anything is allocated).
std::optional<std::vector<std::uint8_t>> ReadJpeg(std::span<const std::uint8_t> file,
                                                  std::uint64_t maxPixelBytes = kMaxPixelBytes);

// The JPEG file of a 24-bit (4:2:0 chroma) or 8-bit grey (greyscale JPEG) packed bitmap at
// `quality` 1..100; nothing for other pictures.
std::optional<std::vector<std::uint8_t>> JpegFileBytes(std::span<const std::uint8_t> packedDib,
                                                       int quality);

} // namespace velmr::image
