#pragma once

#include "image/ImgKit.h"

#include <cstdint>

namespace velmr::image {

// What the colour reduction and resize dialogs need of the bitmap seal document they work on:
// its picture, the undo copy, and the view that shows the picture.
class PictureDocument
{
public:
    virtual ~PictureDocument() = default;

    // The picture (ImageHandle) and its ImageInfo.
    virtual ImgKitImage PictureHandle() const = 0;
    virtual const ImageInfoRecord& PictureInfo() const = 0;
    // Keeps a copy of the picture for one undo.
    virtual void MakeUndoCopy() = 0;
    // `result`, a picture other than the document's, becomes the picture (the old one is
    // released) and ImageInfo follows it.
    virtual void TakePicture(ImgKitImage result) = 0;
    // Draws the picture into the picture control, reduced to what the screen can show.
    virtual void ShowImage() = 0;
    // ViewWidth and ViewHeight, the picture control and the window's client area take the size
    // in ImageInfo; then ShowImage.
    virtual void FitViewToPicture() = 0;
    virtual void SetBitmapResolution(std::int32_t resolution) = 0;
};

} // namespace velmr::image
