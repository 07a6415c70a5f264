#include "image/Dib.h"

#include "image/PackedDib.h"

#include <cstring>

namespace velmr::image {
namespace {

int ColorCodeOf(std::uint16_t bits)
{
    switch (bits) {
    case 1:
        return 1;
    case 4:
        return 2;
    case 8:
        return 3;
    case 24:
        return 6;
    default:
        return 0;
    }
}

std::uint32_t ImpliedColours(std::uint16_t bits)
{
    return bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
}

} // namespace

TDib::TDib(ImgKitImage image) : block_(ImgKitLock(image))
{
    // The library holds only pictures whose layout it has checked.
    if (!DibLayout::Of(block_))
        return;
    BitmapHeader = block_.data();
    headerSize_ = ReadU32(block_, 0);
    Width = ReadI32(block_, 4);
    Height = ReadI32(block_, 8);
    bitCount_ = ReadU16(block_, 14);
    PixelCount = std::int64_t(Width) * Height;
    ColorTableSize = NumColors() * 4;
    ColorCode = ColorCodeOf(bitCount_);
    const std::uint32_t bitsPerRow = std::uint32_t(Width) * bitCount_;
    RowBytes = bitsPerRow / 32 * 4 + (bitsPerRow % 32 ? 4 : 0);
    ImageBytes = ReadU32(block_, 20);
    if (ImageBytes == 0)
        ImageBytes = RowBytes * std::uint32_t(Height);
    ColorTable = BitmapHeader + headerSize_;
    Bits = ColorTable + ColorTableSize;
    NextRow = Bits + ImageBytes - RowBytes;
}

std::uint32_t TDib::NumColors() const
{
    if (!BitmapHeader)
        return 0;
    if (headerSize_ == 12)
        return ImpliedColours(ReadU16(block_, 10));
    const std::uint32_t used = ReadU32(block_, 32);
    return used != 0 ? used : ImpliedColours(bitCount_);
}

QList<QRgb> TDib::CreateDibPalette() const
{
    QList<QRgb> palette;
    if (!BitmapHeader || headerSize_ != kInfoHeaderSize)
        return palette;
    const std::uint32_t colours = NumColors();
    if (colours != 0) {
        palette.reserve(colours);
        for (std::uint32_t i = 0; i < colours; ++i) {
            const std::uint8_t* entry = ColorTable + 4 * i;
            palette.append(qRgb(entry[2], entry[1], entry[0]));
        }
    } else if (bitCount_ == 24) {
        palette.reserve(256);
        for (int i = 0; i < 256; ++i)
            palette.append(qRgb(32 * (i % 8), 32 * ((i / 8) % 8), 64 * (i / 64)));
    }
    return palette;
}

QImage TDib::DrawTo()
{
    if (!BitmapHeader || !ColorCode || !NextRow)
        return {};
    QImage::Format format = QImage::Format_Invalid;
    switch (bitCount_) {
    case 1:
        format = QImage::Format_Mono;
        break;
    case 4:
    case 8:
        format = QImage::Format_Indexed8; // four-bit rows are widened to a byte a pixel
        break;
    case 24:
        format = QImage::Format_BGR888;
        break;
    }
    QImage shown(Width, Height, format);
    if (shown.isNull())
        return {};
    if (bitCount_ <= 8)
        shown.setColorTable(CreateDibPalette());
    const std::size_t rowCopy = std::min<std::size_t>(RowBytes, shown.bytesPerLine());
    for (std::int32_t y = 0; y < Height; ++y) {
        uchar* row = shown.scanLine(y);
        if (bitCount_ == 4) {
            for (std::int32_t x = 0; x < Width; ++x)
                row[x] = (NextRow[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
        } else {
            std::memcpy(row, NextRow, rowCopy);
        }
        if (y + 1 < Height)
            NextRow -= RowBytes;
    }
    NextRow = nullptr; // the rows are consumed
    return shown;
}

} // namespace velmr::image
