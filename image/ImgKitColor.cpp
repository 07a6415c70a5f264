#include "image/ImgKit.h"
#include "image/PackedDib.h"
#include "image/Quantize.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <cstring>

namespace velmr::image {
namespace {

// Tells the progress display how many rows of one stage are done, every few rows.
class RowProgress
{
public:
    RowProgress(platform::ProgressReport& report, double from, double to, int rows)
        : report_(report), from_(from), to_(to), rows_(std::max(rows, 1)),
          every_(std::max(1, (rows + 99) / 100))
    {}
    // Row `y` is done; false once the user has cancelled.
    bool Done(int y)
    {
        if ((y + 1) % every_ != 0 && y + 1 != rows_)
            return true;
        return report_.Advance(from_ + (to_ - from_) * double(y + 1) / double(rows_));
    }

private:
    platform::ProgressReport& report_;
    double from_, to_;
    int rows_;
    int every_;
};

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = std::uint8_t(value);
    bytes[at + 1] = std::uint8_t(value >> 8);
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

// A zeroed packed bitmap of the source's size and resolution with `palette` as its colour table.
std::vector<std::uint8_t> NewDib(std::span<const std::uint8_t> source, const DibLayout& layout,
                                 int bits, const Palette& palette)
{
    const std::uint64_t rowBytes = RowBytesFor(layout.width, bits);
    const std::uint64_t pixelBytes = rowBytes * std::uint64_t(layout.height);
    const std::size_t tableBytes = 4 * palette.size();
    std::vector<std::uint8_t> dib = NewBitmapBuffer(kInfoHeaderSize + tableBytes + pixelBytes);
    Put32(dib, 0, kInfoHeaderSize);
    Put32(dib, 4, std::uint32_t(layout.width));
    Put32(dib, 8, std::uint32_t(layout.height));
    Put16(dib, 12, 1);
    Put16(dib, 14, std::uint16_t(bits));
    Put32(dib, 16, kCompressionRgb);
    Put32(dib, 20, std::uint32_t(pixelBytes));
    Put32(dib, 24, ReadU32(source, 24)); // pixels per metre, kept
    Put32(dib, 28, ReadU32(source, 28));
    Put32(dib, 32, std::uint32_t(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i) {
        dib[kInfoHeaderSize + 4 * i] = palette[i].b;
        dib[kInfoHeaderSize + 4 * i + 1] = palette[i].g;
        dib[kInfoHeaderSize + 4 * i + 2] = palette[i].r;
    }
    return dib;
}

// Packs rows of palette indices into the bitmap's rows (bottom-up) at its depth.
IndexRowSink PackInto(std::vector<std::uint8_t>& dib, int width, int height, int bits,
                      std::size_t bitsOffset, RowProgress& progress)
{
    const std::size_t rowBytes = std::size_t(RowBytesFor(width, bits));
    return [&dib, &progress, width, height, bits, bitsOffset, rowBytes](int y,
                                                                        const std::uint8_t* index) {
        std::uint8_t* out = dib.data() + bitsOffset + std::size_t(height - 1 - y) * rowBytes;
        switch (bits) {
        case 8:
            std::memcpy(out, index, std::size_t(width));
            break;
        case 4:
            for (int x = 0; x + 1 < width; x += 2)
                out[x >> 1] = std::uint8_t(index[x] << 4 | index[x + 1]);
            if (width & 1)
                out[width >> 1] = std::uint8_t(index[width - 1] << 4);
            break;
        case 1:
            for (int x = 0; x < width; x += 8) {
                std::uint8_t byte = 0;
                for (int bit = 0; bit < 8 && x + bit < width; ++bit)
                    byte = std::uint8_t(byte | (index[x + bit] & 1) << (7 - bit));
                out[x >> 3] = byte;
            }
            break;
        default:
            break;
        }
        return progress.Done(y);
    };
}

} // namespace

ImgKitImage ImgKitConvertColor(ImgKitImage image, int bits, int palette, int dither,
                               const QString& title, const QString& message)
{
    const std::span<const std::uint8_t> dib = ImgKitLock(image);
    const std::optional<DibLayout> layout = DibLayout::Of(dib);
    if (!layout)
        return 0;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return 0;
    if (bits != 24 && dither != 0 && dither != 1)
        return 0;
    if ((bits == 4 || bits == 8) && palette != 0 && palette != 1)
        return 0;
    // Same depth: a true-colour picture stays as it is, an indexed one keeps its own colours.
    if (layout->bitCount == bits)
        return image;
    if (RowBytesFor(layout->width, bits) * std::uint64_t(layout->height) > kMaxPixelBytes)
        return 0;

    const auto report = platform::Dialogs().BeginProgress(nullptr, title, message, true);
    DibRowReader reader(dib, *layout);
    const int width = layout->width;
    const int height = layout->height;

    if (bits == 24) {
        std::vector<std::uint8_t> out = NewDib(dib, *layout, 24, {});
        const std::size_t rowBytes = std::size_t(RowBytesFor(width, 24));
        RowProgress progress(*report, 0, 1, height);
        for (int y = 0; y < height; ++y) {
            std::memcpy(out.data() + kInfoHeaderSize + std::size_t(height - 1 - y) * rowBytes,
                        reader.Row(y), 3 * std::size_t(width));
            if (!progress.Done(y))
                return 0;
        }
        return ImgKitFromPackedDib(std::move(out));
    }

    Palette colours;
    bool exact = false;
    double mapFrom = 0;
    if (bits == 1) {
        colours = BlackWhitePalette();
    } else if (palette == 1) {
        colours = bits == 8 ? StandardPalette256() : StandardPalette16();
    } else {
        const int wanted = 1 << bits;
        ColorHistogram histogram(wanted);
        // A big picture's palette comes from a sample of its pixels, spread over every row.
        const int step = HistogramStep(std::uint64_t(width) * std::uint64_t(height));
        RowProgress progress(*report, 0, 0.15, height);
        for (int y = 0; y < height; ++y) {
            histogram.AddRow(reader.Row(y), width, step, y % step);
            if (!progress.Done(y))
                return 0;
        }
        exact = histogram.ExactColors().has_value();
        colours = OptimisedPalette(histogram, wanted);
        mapFrom = 0.2;
        if (!report->Advance(mapFrom))
            return 0;
    }

    std::vector<std::uint8_t> out = NewDib(dib, *layout, bits, colours);
    RowProgress progress(*report, mapFrom, 1, height);
    const IndexRowSink sink =
        PackInto(out, width, height, bits, kInfoHeaderSize + 4 * colours.size(), progress);
    bool finished;
    if (bits == 1)
        finished = MapBlackWhite(reader, dither == 1, sink);
    else if (dither == 1 && !exact) // with every colour in the palette there is no error to spread
        finished =
            MapFloydSteinberg(reader, colours, sink, {palette == 0 ? kOptimisedPaletteTexture : 0});
    else
        finished = MapNearest(reader, colours, sink);
    if (!finished)
        return 0;
    return ImgKitFromPackedDib(std::move(out));
}

} // namespace velmr::image
