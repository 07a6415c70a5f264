#pragma once

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

// The image library: pictures are packed device-independent bitmaps (the 40-byte header, the
// colour table, the rows bottom-up, each padded to 4 bytes) held behind opaque handles.
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

// Number of pictures currently held (leak checks).
std::size_t ImgKitLiveImageCount();

// Replaces `picture` by `result`: when the result is another picture, the old picture is freed
// and the result taken over; `info` then describes the picture held. A null result (a failed
// operation) keeps the picture as it was.
void ReplacePicture(ImgKitImage& picture, ImgKitImage result, ImageInfoRecord& info);

// The ColorType of a packed bitmap, or -1 when it is not one.
std::int32_t ColorTypeOf(std::span<const std::uint8_t> packedDib);

} // namespace velmr::image
