// Loading and saving pictures as BMP and JPEG files.

#include "image/BmpFile.h"
#include "image/ImgKit.h"
#include "image/JpegFile.h"
#include "platform/AtomicFile.h"
#include "platform/UserDialogs.h"

#include <QByteArrayView>
#include <QFile>

#include <array>
#include <cerrno>
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
    const std::vector<std::uint8_t> bytes = BmpFileBytes(dib);
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
    const std::optional<std::vector<std::uint8_t>> bytes = JpegFileBytes(dib, quality);
    return bytes && Save(fileName, *bytes, *progress) ? 1 : 0;
}

} // namespace velmr::image
