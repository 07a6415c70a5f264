#include "image/ImgKit.h"

#include "image/PackedDib.h"

#include <map>
#include <memory>
#include <mutex>

namespace velmr::image {
namespace {

struct Library
{
    std::mutex mutex;
    bool loaded = false;
    // Handles are never reused, so a freed handle stays unknown for the rest of the run.
    ImgKitImage nextHandle = 0x1000;
    std::map<ImgKitImage, std::shared_ptr<const std::vector<std::uint8_t>>> images;
};

Library& Lib()
{
    static Library library;
    return library;
}

std::shared_ptr<const std::vector<std::uint8_t>> Find(ImgKitImage image)
{
    Library& lib = Lib();
    std::lock_guard lock(lib.mutex);
    const auto found = lib.images.find(image);
    return found == lib.images.end() ? nullptr : found->second;
}

ImgKitImage Insert(std::shared_ptr<const std::vector<std::uint8_t>> dib)
{
    Library& lib = Lib();
    std::lock_guard lock(lib.mutex);
    const ImgKitImage handle = lib.nextHandle++;
    lib.images.emplace(handle, std::move(dib));
    return handle;
}

bool IsGreyTable(std::span<const std::uint8_t> dib, const DibLayout& layout)
{
    for (std::uint32_t i = 0; i < layout.colorCount; ++i) {
        const std::size_t entry = kInfoHeaderSize + 4 * std::size_t(i);
        if (dib[entry] != dib[entry + 1] || dib[entry + 1] != dib[entry + 2])
            return false;
    }
    return true;
}

} // namespace

void ImgKitLoadLibrary()
{
    Library& lib = Lib();
    std::lock_guard lock(lib.mutex);
    lib.loaded = true;
}

void ImgKitUnloadLibrary()
{
    Library& lib = Lib();
    std::lock_guard lock(lib.mutex);
    lib.images.clear();
    lib.loaded = false;
}

bool ImgKitLibraryLoaded()
{
    Library& lib = Lib();
    std::lock_guard lock(lib.mutex);
    return lib.loaded;
}

std::int32_t ColorTypeOf(std::span<const std::uint8_t> dib)
{
    const std::optional<DibLayout> layout = DibLayout::Of(dib);
    if (!layout)
        return -1;
    switch (layout->bitCount) {
    case 1:
        return kColorType1Bit;
    case 4:
        return IsGreyTable(dib, *layout) ? kColorType4BitGrey : kColorType4BitColor;
    case 8:
        return IsGreyTable(dib, *layout) ? kColorType8BitGrey : kColorType8BitColor;
    case 24:
        return kColorType24Bit;
    case 32:
        return layout->compression == kCompressionRgb ? kColorType32Bit : kColorTypeOther;
    default:
        return kColorTypeOther;
    }
}

ImgKitImage ImgKitFromPackedDib(std::vector<std::uint8_t> packedDib)
{
    if (!DibLayout::Of(packedDib))
        return 0;
    return Insert(std::make_shared<const std::vector<std::uint8_t>>(std::move(packedDib)));
}

void ImgKitMemFree(ImgKitImage image)
{
    Library& lib = Lib();
    std::lock_guard lock(lib.mutex);
    lib.images.erase(image);
}

bool ImgKitImageInfo(ImgKitImage image, ImageInfoRecord& info)
{
    const auto dib = Find(image);
    if (!dib)
        return false;
    const std::optional<DibLayout> layout = DibLayout::Of(*dib);
    info.Width = layout->width;
    info.Height = layout->height;
    info.ColorType = ColorTypeOf(*dib);
    return true;
}

ImgKitImage ImgKitCopy(ImgKitImage image, const QString&, const QString&)
{
    const auto dib = Find(image);
    if (!dib)
        return 0;
    return Insert(std::make_shared<const std::vector<std::uint8_t>>(*dib));
}

std::span<const std::uint8_t> ImgKitLock(ImgKitImage image)
{
    const auto dib = Find(image);
    if (!dib)
        return {};
    // The library keeps the bytes alive until the handle is freed.
    return std::span<const std::uint8_t>(dib->data(), dib->size());
}

bool ImgKitHasAlpha(ImgKitImage image)
{
    const auto dib = Find(image);
    if (!dib)
        return false;
    const std::optional<DibLayout> layout = DibLayout::Of(*dib);
    return layout && layout->alpha;
}

std::size_t ImgKitLiveImageCount()
{
    Library& lib = Lib();
    std::lock_guard lock(lib.mutex);
    return lib.images.size();
}

void ReplacePicture(ImgKitImage& picture, ImgKitImage result, ImageInfoRecord& info)
{
    if (result != 0 && result != picture && Find(result)) {
        ImgKitMemFree(picture);
        const ImgKitImage copy = ImgKitCopy(result, QString(), QString());
        if (copy != 0) {
            picture = copy;
            ImgKitMemFree(result);
        } else {
            picture = result;
        }
    }
    ImgKitImageInfo(picture, info);
}

} // namespace velmr::image
