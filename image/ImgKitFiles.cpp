// Loading pictures from BMP and JPEG files (and PNG, TIFF and WebP through Qt's readers), saving
// them as BMP and JPEG files.

#include "image/BmpFile.h"
#include "image/ImgKit.h"
#include "image/JpegFile.h"
#include "image/PackedDib.h"
#include "image/Quantize.h"
#include "platform/AtomicFile.h"
#include "platform/UserDialogs.h"

#include <QByteArrayView>
#include <QFile>
#include <QImageReader>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmr::image {
namespace {

// No picture within the limits needs a file this big (a BMP's gaps and RLE codes included).
constexpr std::uint64_t kMaxFileBytes = 3 * kMaxPixelBytes;
// Whole files are read, and progress reported, in pieces of this size.
constexpr std::size_t kReadPiece = 4u << 20;

class OpenFile
{
public:
    explicit OpenFile(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
    {}
    ~OpenFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// The pixels of a BMP file are read straight into the bitmap, without a copy of the whole file.
class FileSource final : public ByteSource
{
public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        if (offset > size_ || out.size() > size_ - offset)
            return false;
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t got =
                ::pread(fd_, out.data() + done, out.size() - done, off_t(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false; // a read error, or the file was cut short while we read it
            done += std::size_t(got);
        }
        return true;
    }

private:
    int fd_;
    std::uint64_t size_;
};

std::optional<std::vector<std::uint8_t>> ReadWhole(FileSource& source,
                                                   platform::ProgressReport& progress, double share)
{
    std::vector<std::uint8_t> bytes(std::size_t(source.Size()));
    for (std::size_t at = 0; at < bytes.size(); at += kReadPiece) {
        const std::size_t piece = std::min(kReadPiece, bytes.size() - at);
        if (!source.ReadAt(at, std::span(bytes).subspan(at, piece)))
            return std::nullopt;
        progress.Advance(share * double(at + piece) / double(bytes.size()));
    }
    return bytes;
}

// The formats read through Qt, as its readers name them: what phones and scanners write.
bool ReadThroughQt(const QByteArray& format)
{
    return format == "png" || format == "tiff" || format == "webp";
}

// A PNG, TIFF or WebP file through Qt's readers, within the library's limits: the size is checked
// before the pixels are decoded.
ImgKitImage ReadWithQt(const QString& fileName)
{
    // Qt refuses to decode pictures beyond 256 MB of its own pixels by default; the library's
    // limit is on the bitmap it keeps, which a 16-bit-a-channel picture exceeds several times
    // while decoded.
    static const bool limitRaised = [] {
        QImageReader::setAllocationLimit(std::max(QImageReader::allocationLimit(), 2048));
        return true;
    }();
    (void)limitRaised;
    QImageReader reader(fileName);
    reader.setDecideFormatFromContent(true);
    if (!ReadThroughQt(reader.format()))
        return 0;
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > kMaxSide || size.height() > kMaxSide ||
        RowBytesFor(size.width(), 24) * std::uint64_t(size.height()) > kMaxPixelBytes)
        return 0;
    reader.setAutoTransform(true); // as the phone held it
    const QImage picture = reader.read();
    if (picture.isNull())
        return 0;
    return ImgKitFromQImageWithAlpha(picture);
}

// A picture with alpha laid over white as a 24-bit bitmap: what its files hold.
std::vector<std::uint8_t> OnWhiteBitmap(std::span<const std::uint8_t> dib, const DibLayout& layout)
{
    const std::uint64_t rowBytes = RowBytesFor(layout.width, 24);
    std::vector<std::uint8_t> out =
        NewBitmapBuffer(kInfoHeaderSize + std::size_t(rowBytes) * std::size_t(layout.height));
    std::memcpy(out.data(), dib.data(), kInfoHeaderSize);
    out[14] = 24;
    out[15] = 0;
    const auto put32 = [&out](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            out[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
    };
    put32(16, kCompressionRgb);
    put32(20, std::uint32_t(rowBytes * std::uint64_t(layout.height)));
    put32(32, 0);
    put32(36, 0);
    DibRowReader reader(dib, layout);
    for (int y = 0; y < layout.height; ++y)
        std::memcpy(out.data() + kInfoHeaderSize + std::size_t(layout.height - 1 - y) * rowBytes,
                    reader.Row(y), std::size_t(layout.width) * 3);
    return out;
}

// The bitmap a file is written from: the picture itself, or laid over white when it has alpha.
std::span<const std::uint8_t> FileBitmap(std::span<const std::uint8_t> dib,
                                         std::vector<std::uint8_t>& flattened)
{
    const std::optional<DibLayout> layout = DibLayout::Of(dib);
    if (!layout || !layout->alpha)
        return dib;
    flattened = OnWhiteBitmap(dib, *layout);
    return flattened;
}

bool Save(const QString& fileName, std::span<const std::uint8_t> bytes,
          platform::ProgressReport& progress)
{
    progress.Advance(0.5);
    const bool written = platform::WriteFileAtomically(
        fileName,
        QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
        nullptr);
    progress.Advance(1.0);
    return written;
}

} // namespace

ImgKitImage ImgKitFileLoad(const QString& fileName, const QString& title, const QString& message)
{
    if (fileName.isEmpty())
        return 0;
    const OpenFile file(fileName);
    struct stat status = {};
    if (file.fd() < 0 || ::fstat(file.fd(), &status) != 0 || !S_ISREG(status.st_mode) ||
        std::uint64_t(status.st_size) > kMaxFileBytes)
        return 0;
    FileSource source(file.fd(), std::uint64_t(status.st_size));
    std::array<std::uint8_t, 3> start{};
    if (!source.ReadAt(0, start))
        return 0;

    const std::unique_ptr<platform::ProgressReport> progress =
        platform::Dialogs().BeginProgress(nullptr, title, message, false);
    std::optional<std::vector<std::uint8_t>> dib;
    if (LooksLikeBmp(start)) {
        BmpReadOptions options;
        options.progress = [&](double done) { progress->Advance(done); };
        dib = ReadBmp(source, options);
    } else if (LooksLikeJpeg(start)) {
        // TurboJPEG decodes from memory in one call; only the reading can report its progress.
        if (const auto bytes = ReadWhole(source, *progress, 0.3))
            dib = ReadJpeg(*bytes);
        progress->Advance(1.0);
    } else {
        const ImgKitImage read = ReadWithQt(fileName);
        progress->Advance(1.0);
        return read;
    }
    if (!dib)
        return 0;
    return ImgKitFromPackedDib(std::move(*dib));
}

// `flags` are taken for the callers' sake; none are defined.
int ImgKitBmpFileSave(const QString& fileName, ImgKitImage image, const QString& title,
                      const QString& message, int /*flags*/)
{
    const std::span<const std::uint8_t> dib = ImgKitLock(image);
    if (dib.empty() || fileName.isEmpty())
        return 0;
    const std::unique_ptr<platform::ProgressReport> progress =
        platform::Dialogs().BeginProgress(nullptr, title, message, false);
    std::vector<std::uint8_t> flattened;
    const std::vector<std::uint8_t> bytes = BmpFileBytes(FileBitmap(dib, flattened));
    return !bytes.empty() && Save(fileName, bytes, *progress) ? 1 : 0;
}

int ImgKitJpegFileSave(const QString& fileName, ImgKitImage image, const QString& title,
                       const QString& message, int quality, int /*flags*/)
{
    const std::span<const std::uint8_t> dib = ImgKitLock(image);
    if (dib.empty() || fileName.isEmpty())
        return 0;
    const std::unique_ptr<platform::ProgressReport> progress =
        platform::Dialogs().BeginProgress(nullptr, title, message, false);
    std::vector<std::uint8_t> flattened;
    const std::optional<std::vector<std::uint8_t>> bytes =
        JpegFileBytes(FileBitmap(dib, flattened), quality);
    return bytes && Save(fileName, *bytes, *progress) ? 1 : 0;
}

} // namespace velmr::image
