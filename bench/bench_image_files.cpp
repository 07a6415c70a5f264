// Loading big pictures: a 4000 × 3000 JPEG (4:4:4, quality 90) and the same picture as a 24-bit
// BMP, against just reading the BMP file's bytes. The files are written once into
// $TMPDIR/velmr-bench-images (kept, so that other decoders can be timed on the same JPEG).

#include "image/BmpFile.h"
#include "image/ImgKit.h"
#include "image/JpegFile.h"
#include "image/PackedDib.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

namespace {

using namespace velmr::image;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

struct BenchFiles
{
    QString jpeg;
    QString bmp;
    std::int64_t jpegBytes = 0;
    std::int64_t bmpBytes = 0;
};

// A photograph-like picture: smooth shading with some fine texture, so that the JPEG has a
// typical size.
std::vector<std::uint8_t> Picture()
{
    const std::uint64_t rowBytes = RowBytesFor(kWidth, 24);
    std::vector<std::uint8_t> dib(kInfoHeaderSize + rowBytes * kHeight);
    const std::uint32_t header[] = {
        40, kWidth, kHeight, 1u | 24u << 16, 0, std::uint32_t(rowBytes * kHeight)};
    std::memcpy(dib.data(), header, sizeof header);
    std::uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* row = dib.data() + kInfoHeaderSize + rowBytes * std::size_t(y);
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 28) - 8;
            const double wave = std::sin(x / 150.0) * std::cos(y / 110.0);
            row[3 * x] = std::uint8_t(std::clamp(int(128 + 90 * wave) + grain, 0, 255));
            row[3 * x + 1] = std::uint8_t(std::clamp(x * 255 / kWidth + grain, 0, 255));
            row[3 * x + 2] = std::uint8_t(std::clamp(y * 255 / kHeight + grain, 0, 255));
        }
    }
    return dib;
}

void Write(const QString& path, const std::uint8_t* data, std::size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
}

const BenchFiles& Files()
{
    static const BenchFiles files = [] {
        BenchFiles made;
        const QString folder = QDir::tempPath() + QStringLiteral("/velmr-bench-images");
        QDir().mkpath(folder);
        made.jpeg = folder + QStringLiteral("/photo-4000x3000-444-q90.jpg");
        made.bmp = folder + QStringLiteral("/photo-4000x3000-24.bmp");
        if (!QFile::exists(made.jpeg) || !QFile::exists(made.bmp)) {
            const std::vector<std::uint8_t> dib = Picture();
            const std::vector<std::uint8_t> bmp = BmpFileBytes(dib);
            Write(made.bmp, bmp.data(), bmp.size());
            tjhandle handle = tjInitCompress();
            unsigned char* jpeg = nullptr;
            unsigned long size = 0;
            if (tjCompress2(handle, dib.data() + kInfoHeaderSize, kWidth,
                            int(RowBytesFor(kWidth, 24)), kHeight, TJPF_BGR, &jpeg, &size,
                            TJSAMP_444, 90, TJFLAG_BOTTOMUP) != 0)
                std::abort();
            Write(made.jpeg, jpeg, size);
            tjFree(jpeg);
            tjDestroy(handle);
        }
        made.jpegBytes = QFile(made.jpeg).size();
        made.bmpBytes = QFile(made.bmp).size();
        ImgKitLoadLibrary();
        return made;
    }();
    return files;
}

void Load(benchmark::State& state, const QString& path, std::int64_t fileBytes)
{
    for (auto _ : state) {
        const ImgKitImage image = ImgKitFileLoad(path, QString(), QString());
        if (image == 0) {
            state.SkipWithError("the picture did not load");
            return;
        }
        ImgKitMemFree(image);
    }
    state.SetBytesProcessed(state.iterations() * fileBytes);
}

void BM_LoadJpeg4000x3000(benchmark::State& state)
{
    Load(state, Files().jpeg, Files().jpegBytes);
}
BENCHMARK(BM_LoadJpeg4000x3000)->Unit(benchmark::kMillisecond);

void BM_LoadBmp4000x3000(benchmark::State& state)
{
    Load(state, Files().bmp, Files().bmpBytes);
}
BENCHMARK(BM_LoadBmp4000x3000)->Unit(benchmark::kMillisecond);

// The floor for loading the BMP: its bytes read into a fresh buffer of the same size, a plain
// one and one of the library's bitmap buffers (huge pages).
void ReadBytes(benchmark::State& state, bool bitmapBuffer)
{
    const QByteArray path = QFile::encodeName(Files().bmp);
    const std::size_t size = std::size_t(Files().bmpBytes);
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        std::vector<std::uint8_t> bytes =
            bitmapBuffer ? NewBitmapBuffer(size) : std::vector<std::uint8_t>(size);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got = ::read(fd, bytes.data() + done, size - done);
            if (got <= 0)
                break;
            done += std::size_t(got);
        }
        ::close(fd);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * Files().bmpBytes);
}

void BM_ReadBmpBytes(benchmark::State& state)
{
    ReadBytes(state, false);
}
BENCHMARK(BM_ReadBmpBytes)->Unit(benchmark::kMillisecond);

void BM_ReadBmpBytesIntoBitmapBuffer(benchmark::State& state)
{
    ReadBytes(state, true);
}
BENCHMARK(BM_ReadBmpBytesIntoBitmapBuffer)->Unit(benchmark::kMillisecond);

} // namespace
