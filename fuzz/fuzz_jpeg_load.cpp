// Reads arbitrary bytes as a JPEG file. A picture that results must be a 24-bit or grey bitmap
// the library holds that writes out as JPEG again and reads back at the same size.

#include "image/ImgKit.h"
#include "image/JpegFile.h"
#include "image/PackedDib.h"

#include <cstdio>
#include <cstdlib>

namespace {

using namespace velmr::image;

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_jpeg_load: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Big pictures are legal but only slow the search down.
    const std::optional<std::vector<std::uint8_t>> dib = ReadJpeg({data, size}, 4u << 20);
    if (!dib)
        return 0;
    const std::optional<DibLayout> layout = DibLayout::Of(*dib);
    const std::int32_t colorType = ColorTypeOf(*dib);
    Check(layout.has_value(), "the bitmap read is not one the library holds");
    Check(colorType == kColorType24Bit || colorType == kColorType8BitGrey, "unexpected depth");
    if (layout->pixelBytes > (256u << 10))
        return 0; // encoding again is the slow part
    const std::optional<std::vector<std::uint8_t>> jpeg = JpegFileBytes(*dib, 75);
    Check(jpeg.has_value(), "the picture read cannot be written");
    const std::optional<std::vector<std::uint8_t>> again = ReadJpeg(*jpeg);
    Check(again && DibLayout::Of(*again)->width == layout->width &&
              DibLayout::Of(*again)->height == layout->height && ColorTypeOf(*again) == colorType,
          "written and read again, the picture changed its size or depth");
    return 0;
}
