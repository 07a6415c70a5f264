// Reads arbitrary bytes as a BMP file. A picture that results must be a bitmap the library holds,
// must write out and read back to the same bitmap, and must survive cutting and the way to a
// QImage and back.

#include "image/BmpFile.h"
#include "image/ImgKit.h"
#include "image/PackedDib.h"

#include <QImage>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace velmr::image;

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_bmp_load: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool loaded = (ImgKitLoadLibrary(), true);
    (void)loaded;
    // Big pictures are legal but only slow the search down.
    BmpReadOptions options;
    options.maxPixelBytes = 4u << 20;
    const std::optional<std::vector<std::uint8_t>> dib = ReadBmp({data, size}, options);
    if (!dib)
        return 0;
    const std::optional<DibLayout> layout = DibLayout::Of(*dib);
    Check(layout.has_value(), "the bitmap read is not one the library holds");
    Check(ColorTypeOf(*dib) >= 0, "no colour type");

    const std::vector<std::uint8_t> file = BmpFileBytes(*dib);
    const std::optional<std::vector<std::uint8_t>> again = ReadBmp(file);
    Check(again && *again == *dib, "written and read again, the bitmap changed");

    const ImgKitImage image = ImgKitFromPackedDib(*dib);
    Check(image != 0, "the library refused the bitmap");
    // A rectangle taken from the input, partly outside the picture at times.
    const int left = size > 0 ? int(data[size - 1] % 40) - 8 : 0;
    const int top = size > 1 ? int(data[size - 2] % 40) - 8 : 0;
    const ImgKitImage cut = ImgKitRectCut(image, {}, {}, left, top, left + 17, top + 5);
    ImageInfoRecord info;
    Check(cut != 0 && ImgKitImageInfo(cut, info), "cutting failed");
    // The same handle comes back when nothing of the rectangle is inside, or all of the picture.
    Check(cut == image || (info.Width <= 18 && info.Height <= 6), "cut too big");

    const QImage qimage = ImgKitToQImage(cut);
    Check(!qimage.isNull() && qimage.width() == info.Width && qimage.height() == info.Height,
          "no QImage of the cut");
    const ImgKitImage back = ImgKitFromQImage(qimage);
    Check(back != 0, "the QImage did not come back");
    ImgKitMemFree(back);
    if (cut != image)
        ImgKitMemFree(cut);
    ImgKitMemFree(image);
    Check(ImgKitLiveImageCount() == 0, "pictures left over");
    return 0;
}
