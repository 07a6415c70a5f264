#pragma once

#include <QImage>
#include <QString>

class QWidget;

#include <cstdint>
#include <span>
#include <vector>

// The image library: pictures are packed device-independent bitmaps (the 40-byte header, the
// colour table, the rows bottom-up, each padded to 4 bytes) held behind opaque handles. A picture
// may carry alpha (a seal taken out of a photo, a PNG with transparency): 32 bits a pixel, blue,
// green, red and alpha, ColorType 7. Whatever reads its colours alone (colour reduction, the
// display, BMP and JPEG files, the clipboard's bitmap) sees it laid over white paper.
namespace velmr::image {

// A picture handle; 0 is none. Its holder frees it with ImgKitMemFree.
using ImgKitImage = std::uint64_t;

// The library's colour-format codes.
enum ColorTypeCode : std::int32_t
{
    kColorType1Bit = 0,
    kColorType4BitColor = 1,
    kColorType4BitGrey = 2,
    kColorType8BitColor = 3,
    kColorType8BitGrey = 4,
    kColorType24Bit = 5,
    kColorType32Bit = 6,
    kColorTypeOther = 7, // 16 bits, bit fields, alpha
};

struct ImageInfoRecord
{
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t ColorType = 0;
    std::int32_t Unused1 = 0;
    std::int32_t Unused2 = 0;
};
static_assert(sizeof(ImageInfoRecord) == 20);

// Largest pictures the library holds: 20000 pixels a side and 256 MiB of pixel data.
inline constexpr std::int32_t kMaxSide = 20000;
inline constexpr std::uint64_t kMaxPixelBytes = 256ull << 20;

// Loads and unloads the library (the main window does both once). Unloading frees every picture
// still held.
void ImgKitLoadLibrary();
void ImgKitUnloadLibrary();
bool ImgKitLibraryLoaded();

// A handle for a packed bitmap, or 0 when `packedDib` is not one the library can hold.
ImgKitImage ImgKitFromPackedDib(std::vector<std::uint8_t> packedDib);

// Frees a picture. An unknown or already freed handle is ignored.
void ImgKitMemFree(ImgKitImage image);

// Fills `info` for `image`; false (and `info` untouched) for an unknown handle.
bool ImgKitImageInfo(ImgKitImage image, ImageInfoRecord& info);

// A new copy of `image`, or 0 for an unknown handle.
ImgKitImage ImgKitCopy(ImgKitImage image, const QString& title, const QString& message);

// The packed bitmap behind `image` (empty for an unknown handle); valid until it is freed.
std::span<const std::uint8_t> ImgKitLock(ImgKitImage image);

// True when `image` is a picture with alpha.
bool ImgKitHasAlpha(ImgKitImage image);

// Number of pictures currently held (leak checks).
std::size_t ImgKitLiveImageCount();

// Replaces `picture` by `result`: when the result is another picture, the old picture is freed
// and the result taken over; `info` then describes the picture held. A null result (a failed
// operation) keeps the picture as it was.
void ReplacePicture(ImgKitImage& picture, ImgKitImage result, ImageInfoRecord& info);

// ---- Files. Title and message are what the progress display shows while a long operation runs.

// A picture read from a BMP or JPEG file, or through Qt's image readers from a PNG, TIFF or WebP
// file (the format is told by the file's bytes), or 0 when the file cannot be read, is not a
// picture the library knows, or exceeds the limits. A picture read through Qt keeps its alpha
// where it is not opaque everywhere (ImgKitFromQImageWithAlpha).
ImgKitImage ImgKitFileLoad(const QString& fileName, const QString& title, const QString& message);
// Writes `image` as a BMP file of its own depth and palette (a picture with alpha: 24 bits, laid
// over white); nonzero on success. The file is replaced only when it has been written completely.
int ImgKitBmpFileSave(const QString& fileName, ImgKitImage image, const QString& title,
                      const QString& message, int flags);
// Writes `image` as a JPEG file at `quality` (1..100); needs a 24-bit or 8-bit grey picture, or
// one with alpha, which is written laid over white.
int ImgKitJpegFileSave(const QString& fileName, ImgKitImage image, const QString& title,
                       const QString& message, int quality, int flags);

// ---- Pictures from pictures. Each returns a new picture, or the input when nothing changes, or 0
// when it fails or is cancelled (the input always stays valid).

// Reduces or widens the colours: `bits` 24, 8, 4 or 1; `palette` 0 optimised, 1 the fixed
// Windows standard colours; `dither` 1 error diffusion, 0 nearest colour. With an optimised
// palette the diffusion passes on less of the error where the picture itself varies (Diffusion).
ImgKitImage ImgKitConvertColor(ImgKitImage image, int bits, int palette, int dither,
                               const QString& title, const QString& message);
// Scales to `width` × `height` pixels, smoothly; the result is 24-bit. A big picture is scaled
// in two bands at once, one on a helper thread; the call returns when both are done, and the
// progress display stays on the calling thread. A picture with alpha keeps it (its colours
// weighted by their alpha, so that no fringe of the transparent pixels' colour appears).
ImgKitImage ImgKitImageSize(ImgKitImage image, const QString& title, const QString& message,
                            int width, int height);
// The part of the picture inside the rectangle (left, top, right, bottom, all inclusive, top-down
// picture coordinates), clipped to the picture; the input itself when nothing of it is inside.
ImgKitImage ImgKitRectCut(ImgKitImage image, const QString& title, const QString& message, int left,
                          int top, int right, int bottom);

// ---- The clipboard and the screen.

// True while the clipboard holds a picture.
bool ImgKitClipboardHasBitmap();
// The clipboard's picture, or 0 when it holds none.
ImgKitImage ImgKitGetFromClipBrd(QWidget* window);
// Puts `image` on the clipboard; nonzero on success.
int ImgKitSetToClipBrd(QWidget* window, ImgKitImage image);
// The number of colours the screen shows: 16 or 256 on such displays, 0 for more.
int ImgKitSystemPalette();

// ---- Pictures and Qt images (the clipboard and the display).

// A 24-bit (or, for an indexed QImage, palette) picture of `image`, alpha laid over white; 0 for
// a null image.
ImgKitImage ImgKitFromQImage(const QImage& image);
// As ImgKitFromQImage, but an image with alpha that is not opaque everywhere becomes a picture
// with alpha.
ImgKitImage ImgKitFromQImageWithAlpha(const QImage& image);
// The picture as a QImage (RGB32 for deep pictures, ARGB32 for pictures with alpha, indexed for
// palette ones); null for 0.
QImage ImgKitToQImage(ImgKitImage image);

// The ColorType of a packed bitmap, or -1 when it is not one.
std::int32_t ColorTypeOf(std::span<const std::uint8_t> packedDib);

} // namespace velmr::image
