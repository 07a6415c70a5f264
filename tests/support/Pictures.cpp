#include "tests/support/Pictures.h"

namespace velmr::test {
namespace {

void Put32(std::vector<std::uint8_t>& dib, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        dib[at + i] = std::uint8_t(value >> (8 * i));
}

std::vector<std::uint8_t> Header(int width, int height, int bits, std::size_t colours)
{
    const std::size_t row = ((std::size_t(width) * bits + 31) / 32) * 4;
    std::vector<std::uint8_t> dib(40 + 4 * colours + row * std::size_t(height), 0);
    Put32(dib, 0, 40);
    Put32(dib, 4, std::uint32_t(width));
    Put32(dib, 8, std::uint32_t(height));
    dib[12] = 1;
    dib[14] = std::uint8_t(bits);
    Put32(dib, 20, std::uint32_t(row * std::size_t(height)));
    Put32(dib, 32, std::uint32_t(colours));
    return dib;
}

} // namespace

std::vector<std::uint8_t> PackedDib(int width, int height, int bits,
                                    const std::vector<QRgb>& palette,
                                    const std::function<int(int, int)>& index)
{
    std::vector<std::uint8_t> dib = Header(width, height, bits, palette.size());
    for (std::size_t i = 0; i < palette.size(); ++i) {
        dib[40 + 4 * i] = std::uint8_t(qBlue(palette[i]));
        dib[40 + 4 * i + 1] = std::uint8_t(qGreen(palette[i]));
        dib[40 + 4 * i + 2] = std::uint8_t(qRed(palette[i]));
    }
    const std::size_t row = ((std::size_t(width) * bits + 31) / 32) * 4;
    const std::size_t bitsAt = 40 + 4 * palette.size();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* line = dib.data() + bitsAt + row * std::size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const int value = index(x, y);
            const int bit = x * bits;
            const int shift = 8 - bits - bit % 8;
            line[bit / 8] |= std::uint8_t(value << shift);
        }
    }
    return dib;
}

std::vector<std::uint8_t> PackedDib24(int width, int height,
                                      const std::function<QRgb(int, int)>& colour)
{
    std::vector<std::uint8_t> dib = Header(width, height, 24, 0);
    const std::size_t row = ((std::size_t(width) * 24 + 31) / 32) * 4;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* line = dib.data() + 40 + row * std::size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const QRgb c = colour(x, y);
            line[3 * x] = std::uint8_t(qBlue(c));
            line[3 * x + 1] = std::uint8_t(qGreen(c));
            line[3 * x + 2] = std::uint8_t(qRed(c));
        }
    }
    return dib;
}

image::ImgKitImage Picture24(int width, int height, const std::function<QRgb(int, int)>& colour)
{
    return image::ImgKitFromPackedDib(PackedDib24(width, height, colour));
}

image::ImgKitImage PicturePalette(int width, int height, int bits, const std::vector<QRgb>& palette,
                                  const std::function<int(int, int)>& index)
{
    return image::ImgKitFromPackedDib(PackedDib(width, height, bits, palette, index));
}

} // namespace velmr::test
