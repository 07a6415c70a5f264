#pragma once

#include "image/ImgKit.h"

#include <QImage>
#include <QList>
#include <QRgb>

#include <cstdint>
#include <span>

// The image buffer: reads a picture's packed bitmap in place and copies its rows, top row first,
// into an image the screen can show.
namespace velmr::image {

class TDib
{
public:
    // Locks the picture and reads its header; an unknown handle gives an empty buffer.
    explicit TDib(ImgKitImage image);
    TDib(const TDib&) = delete;
    TDib& operator=(const TDib&) = delete;

    bool IsValid() const { return BitmapHeader != nullptr; }

    // Colours of the colour table: for a 12-byte header those its bit count implies; otherwise
    // the header's colours-used value when it is not 0, else 2, 16 or 256 for 1, 4 or 8 bits and
    // 0 for deeper pictures.
    std::uint32_t NumColors() const;
    // The logical palette of the picture: its colour table; for 24 bits a fixed 256-colour palette
    // of eight levels of red and green and four of blue; none for other headers.
    QList<QRgb> CreateDibPalette() const;
    // The picture, top row first, with its palette; can be done once, since it consumes the rows.
    QImage DrawTo();

    const std::uint8_t* BitmapHeader = nullptr;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int64_t PixelCount = 0;
    std::uint32_t ColorTableSize = 0;
    int ColorCode = 0; // 1, 2, 3 or 6 for 1, 4, 8 or 24 bits
    std::uint32_t RowBytes = 0;
    std::uint32_t ImageBytes = 0;
    const std::uint8_t* NextRow = nullptr;
    const std::uint8_t* Bits = nullptr;
    const std::uint8_t* ColorTable = nullptr;

private:
    std::span<const std::uint8_t> block_;
    std::uint32_t headerSize_ = 0;
    std::uint16_t bitCount_ = 0;
};

} // namespace velmr::image
