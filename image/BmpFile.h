#pragma once

#include "image/ImgKit.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

// BMP files: reading every common variant into the library's packed bitmaps, and writing a packed
// bitmap back out as it is.
namespace velmr::image {

inline constexpr std::uint32_t kFileHeaderSize = 14;

// Where the BMP reader takes its bytes from: a buffer in memory or a file read piece by piece, so
// that the pixels of a big file go straight from the file into the bitmap.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Fills `out` with the bytes at `offset`; false when they are not all there or cannot be read.
    virtual bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

class MemorySource final : public ByteSource
{
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    std::span<const std::uint8_t> bytes_;
};

struct BmpReadOptions
{
    // Pictures with more pixel data than this are refused before anything is allocated.
    std::uint64_t maxPixelBytes = kMaxPixelBytes;
    // Told the share done (0 to 1) every megabyte or so of pixels.
    std::function<void(double)> progress;
};

// True when `start` begins like a BMP file ("BM").
bool LooksLikeBmp(std::span<const std::uint8_t> start);

// The packed bitmap of a BMP file: 1, 4 and 8 bits stay indexed with the colours the file has,
// RLE4 and RLE8 are unpacked into 4- and 8-bit rows, 24 bits stay 24, 16- and 32-bit pictures keep
// their layout (bit fields become the three masks after the 40-byte header). Nothing when the
// bytes are not such a file, lie about their sizes or exceed the limits.
std::optional<std::vector<std::uint8_t>> ReadBmp(ByteSource& source,
                                                 const BmpReadOptions& options = {});
std::optional<std::vector<std::uint8_t>> ReadBmp(std::span<const std::uint8_t> file,
                                                 const BmpReadOptions& options = {});

// The BMP file of a packed bitmap: the 14-byte file header and the bitmap with its own depth,
// colour table or masks. Empty when `packedDib` is not a bitmap the library holds.
std::vector<std::uint8_t> BmpFileBytes(std::span<const std::uint8_t> packedDib);

} // namespace velmr::image
