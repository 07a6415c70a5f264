// Pictures and Qt images, the clipboard and the screen's colours.

#include "image/ImgKit.h"
#include "image/PackedDib.h"
#include "image/Quantize.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>

#include <algorithm>
#include <cstring>

namespace velmr::image {
namespace {

void Put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(value >> (8 * i));
}

std::vector<std::uint8_t> NewDib(int width, int height, int bits, std::uint32_t colours,
                                 const QImage& from)
{
    const std::uint64_t rowBytes = RowBytesFor(width, bits);
    std::vector<std::uint8_t> dib = NewBitmapBuffer(kInfoHeaderSize + colours * 4 +
                                                    std::size_t(rowBytes) * std::size_t(height));
    Put32(dib.data(), kInfoHeaderSize);
    Put32(dib.data() + 4, std::uint32_t(width));
    Put32(dib.data() + 8, std::uint32_t(height));
    dib[12] = 1;
    dib[14] = std::uint8_t(bits);
    Put32(dib.data() + 20, std::uint32_t(rowBytes * std::uint64_t(height)));
    Put32(dib.data() + 24, std::uint32_t(std::max(0, from.dotsPerMeterX())));
    Put32(dib.data() + 28, std::uint32_t(std::max(0, from.dotsPerMeterY())));
    Put32(dib.data() + 32, colours);
    return dib;
}

ImgKitImage IndexedFromQImage(const QImage& image)
{
    const QImage indexed = image.format() == QImage::Format_Indexed8
                               ? image
                               : image.convertToFormat(QImage::Format_Indexed8);
    const int width = indexed.width();
    const int height = indexed.height();
    // Indices beyond the table get black entries, so that every pixel has a colour.
    int highest = 0;
    for (int y = 0; y < height; ++y) {
        const uchar* line = indexed.constScanLine(y);
        highest = std::max<int>(highest, *std::max_element(line, line + width));
    }
    const QList<QRgb> table = indexed.colorTable();
    const int colours = std::max<int>(int(table.size()), highest + 1);
    const int bits = colours <= 2 ? 1 : colours <= 16 ? 4 : 8;
    if (RowBytesFor(width, bits) * std::uint64_t(height) > kMaxPixelBytes)
        return 0;

    std::vector<std::uint8_t> dib = NewDib(width, height, bits, std::uint32_t(colours), image);
    for (int i = 0; i < int(table.size()); ++i) {
        const QRgb c = table[i];
        std::uint8_t* entry = dib.data() + kInfoHeaderSize + 4 * i;
        entry[0] = OnWhite(qBlue(c), qAlpha(c));
        entry[1] = OnWhite(qGreen(c), qAlpha(c));
        entry[2] = OnWhite(qRed(c), qAlpha(c));
    }
    const std::size_t rowBytes = std::size_t(RowBytesFor(width, bits));
    std::uint8_t* rows = dib.data() + kInfoHeaderSize + 4 * colours;
    const int perByte = 8 / bits;
    for (int y = 0; y < height; ++y) {
        const uchar* in = indexed.constScanLine(y);
        std::uint8_t* out = rows + std::size_t(height - 1 - y) * rowBytes;
        if (bits == 8) {
            std::memcpy(out, in, std::size_t(width));
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const int place = (perByte - 1 - x % perByte) * bits;
            out[x / perByte] |= std::uint8_t(in[x] << place);
        }
    }
    return ImgKitFromPackedDib(std::move(dib));
}

ImgKitImage DeepFromQImage(const QImage& image)
{
    const bool alpha = image.hasAlphaChannel();
    const QImage argb = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (argb.isNull())
        return 0;
    const int width = argb.width();
    const int height = argb.height();
    std::vector<std::uint8_t> dib = NewDib(width, height, 24, 0, image);
    const std::size_t rowBytes = std::size_t(RowBytesFor(width, 24));
    std::uint8_t* rows = dib.data() + kInfoHeaderSize;
    for (int y = 0; y < height; ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        std::uint8_t* out = rows + std::size_t(height - 1 - y) * rowBytes;
        for (int x = 0; x < width; ++x, out += 3) {
            const QRgb c = in[x];
            const int a = alpha ? qAlpha(c) : 255;
            out[0] = OnWhite(qBlue(c), a);
            out[1] = OnWhite(qGreen(c), a);
            out[2] = OnWhite(qRed(c), a);
        }
    }
    return ImgKitFromPackedDib(std::move(dib));
}

// True when some pixel of `argb` (Format_ARGB32) is not opaque.
bool AnyTranslucent(const QImage& argb)
{
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return true;
    }
    return false;
}

// The pixels of `argb` (Format_ARGB32, whose bytes are blue, green, red, alpha) as a picture with
// alpha.
ImgKitImage AlphaFromQImage(const QImage& argb, const QImage& from)
{
    const int width = argb.width();
    const int height = argb.height();
    std::vector<std::uint8_t> dib = NewAlphaDib(width, height);
    Put32(dib.data() + 24, std::uint32_t(std::max(0, from.dotsPerMeterX())));
    Put32(dib.data() + 28, std::uint32_t(std::max(0, from.dotsPerMeterY())));
    const std::size_t rowBytes = std::size_t(width) * 4;
    std::uint8_t* rows = dib.data() + kInfoHeaderSize + 16;
    for (int y = 0; y < height; ++y)
        std::memcpy(rows + std::size_t(height - 1 - y) * rowBytes, argb.constScanLine(y), rowBytes);
    return ImgKitFromPackedDib(std::move(dib));
}

QImage IndexedToQImage(std::span<const std::uint8_t> dib, const DibLayout& layout)
{
    const int width = layout.width;
    const int height = layout.height;
    const int bits = layout.bitCount;
    QImage image(width, height, bits == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
    if (image.isNull())
        return {};
    const std::uint8_t* rows = dib.data() + layout.bitsOffset;
    const int perByte = 8 / bits;
    const int mask = (1 << bits) - 1;
    int highest = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = rows + std::size_t(height - 1 - y) * layout.rowBytes;
        uchar* out = image.scanLine(y);
        if (bits == 1) {
            // Format_Mono has the DIB's bit order; the padding bits of the last byte are cleared
            // so that they never count as used pixels.
            const int bytes = (width + 7) / 8;
            std::memcpy(out, in, std::size_t(bytes));
            if (width % 8)
                out[bytes - 1] &= std::uint8_t(0xFF << (8 - width % 8));
            for (int i = 0; i < bytes && highest == 0; ++i)
                highest = out[i] ? 1 : 0;
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const int place = (perByte - 1 - x % perByte) * bits;
            out[x] = uchar((in[x / perByte] >> place) & mask);
            highest = std::max<int>(highest, out[x]);
        }
    }
    QList<QRgb> table(std::max<qsizetype>(layout.colorCount, highest + 1), qRgb(0, 0, 0));
    for (std::uint32_t i = 0; i < layout.colorCount; ++i) {
        const std::uint8_t* entry = dib.data() + kInfoHeaderSize + 4 * i;
        table[i] = qRgb(entry[2], entry[1], entry[0]);
    }
    image.setColorTable(table);
    return image;
}

QImage DeepToQImage(std::span<const std::uint8_t> dib, const DibLayout& layout, bool keepAlpha)
{
    const int width = layout.width;
    const int height = layout.height;
    if (layout.alpha && keepAlpha) {
        QImage image(width, height, QImage::Format_ARGB32);
        if (image.isNull())
            return {};
        const std::uint8_t* rows = dib.data() + layout.bitsOffset;
        for (int y = 0; y < height; ++y)
            std::memcpy(image.scanLine(y), rows + std::size_t(height - 1 - y) * layout.rowBytes,
                        std::size_t(width) * 4);
        return image;
    }
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    // The library's own row reader widens 16- and 32-bit fields, rounding as everywhere else.
    DibRowReader reader(dib, layout);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = reader.Row(y);
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
    return image;
}

QImage ToQImage(ImgKitImage image, bool keepAlpha)
{
    const std::span<const std::uint8_t> dib = ImgKitLock(image);
    const std::optional<DibLayout> layout = DibLayout::Of(dib);
    if (!layout)
        return {};
    QImage result = layout->bitCount <= 8 ? IndexedToQImage(dib, *layout)
                                          : DeepToQImage(dib, *layout, keepAlpha);
    const std::int32_t xDensity = ReadI32(dib, 24);
    const std::int32_t yDensity = ReadI32(dib, 28);
    if (!result.isNull() && xDensity > 0 && yDensity > 0) {
        result.setDotsPerMeterX(xDensity);
        result.setDotsPerMeterY(yDensity);
    }
    return result;
}

} // namespace

ImgKitImage ImgKitFromQImage(const QImage& image)
{
    if (image.isNull() || image.width() > kMaxSide || image.height() > kMaxSide)
        return 0;
    const bool indexed =
        (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB ||
         image.format() == QImage::Format_Indexed8) &&
        image.colorCount() > 0 && image.colorCount() <= 256;
    // A bitmap that could not be held is not even allocated.
    if (!indexed && RowBytesFor(image.width(), 24) * std::uint64_t(image.height()) > kMaxPixelBytes)
        return 0;
    return indexed ? IndexedFromQImage(image) : DeepFromQImage(image);
}

ImgKitImage ImgKitFromQImageWithAlpha(const QImage& image)
{
    if (image.isNull() || !image.hasAlphaChannel() || image.width() > kMaxSide ||
        image.height() > kMaxSide)
        return ImgKitFromQImage(image);
    if (RowBytesFor(image.width(), 32) * std::uint64_t(image.height()) > kMaxPixelBytes)
        return 0;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    if (argb.isNull())
        return 0;
    // A picture opaque everywhere is held as the program always held pictures.
    if (!AnyTranslucent(argb))
        return ImgKitFromQImage(image);
    return AlphaFromQImage(argb, image);
}

QImage ImgKitToQImage(ImgKitImage image)
{
    return ToQImage(image, true);
}

bool ImgKitClipboardHasBitmap()
{
    if (!qGuiApp)
        return false;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage();
}

ImgKitImage ImgKitGetFromClipBrd(QWidget* /*window*/)
{
    if (!qGuiApp)
        return 0;
    return ImgKitFromQImage(QGuiApplication::clipboard()->image());
}

int ImgKitSetToClipBrd(QWidget* /*window*/, ImgKitImage image)
{
    if (!qGuiApp)
        return 0;
    // The clipboard's bitmap is the picture as the program always put it there: a picture with
    // alpha laid over white ("透過画像としてコピー" is the way to its transparency).
    const QImage picture = ToQImage(image, false);
    if (picture.isNull())
        return 0;
    QGuiApplication::clipboard()->setImage(picture);
    return 1;
}

int ImgKitSystemPalette()
{
    const QScreen* screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    if (!screen || screen->depth() <= 0)
        return 0;
    const int depth = screen->depth();
    return depth <= 4 ? 16 : depth <= 8 ? 256 : 0;
}

} // namespace velmr::image
