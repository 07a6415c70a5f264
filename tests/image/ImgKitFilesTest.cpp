#include "image/ImgKit.h"
#include "tests/image/BmpBytes.h"
#include "tests/support/Pictures.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

#include <string>

using namespace velmr::image;
using namespace velmr::test;

namespace {

QByteArray AsBytes(std::span<const std::uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

std::vector<std::uint8_t> AsVector(const QByteArray& bytes)
{
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

class ImgKitFilesTest : public ::testing::Test
{
protected:
    void SetUp() override { ImgKitLoadLibrary(); }
    void TearDown() override
    {
        ImgKitUnloadLibrary();
        EXPECT_EQ(ImgKitLiveImageCount(), 0u);
    }
    QString folder = MakeTempFolder();
};

TEST_F(ImgKitFilesTest, SavedBmpsKeepDepthPaletteAndPixelsAndQtReadsThem)
{
    std::vector<QRgb> palette;
    for (int i = 0; i < 200; ++i)
        palette.push_back(qRgb(i, 255 - i, i * 3 % 256));
    const auto pattern = [](int colours) {
        return [colours](int x, int y) { return (x * 7 + y * 3) % colours; };
    };
    const auto words = [](int x, int y) { return std::uint32_t(x * 2654435761u ^ y * 40503u); };
    struct Case
    {
        const char* name;
        std::vector<std::uint8_t> dib;
        int dropped; // low bits Qt fills its own way when it widens 5-bit channels
    };
    const int w = 19;
    const int h = 7;
    const std::vector<QRgb> two(palette.begin(), palette.begin() + 2);
    const std::vector<QRgb> five(palette.begin(), palette.begin() + 5);
    const Case cases[] = {
        {"1 bit", PackedDib(w, h, 1, two, pattern(2)), 0},
        {"4 bit, 5 colours", PackedDib(w, h, 4, five, pattern(5)), 0},
        {"8 bit, 200 colours", PackedDib(w, h, 8, palette, pattern(200)), 0},
        {"24 bit", PackedDib24(w, h, [](int x, int y) { return qRgb(x * 13, y * 31, 77); }), 0},
        {"16 bit 5-5-5", DeepDib(w, h, 16, {}, [&](int x, int y) { return words(x, y) & 0x7FFF; }),
         3},
        {"16 bit 5-6-5", DeepDib(w, h, 16, {0xF800, 0x7E0, 0x1F}, words), 3},
        {"32 bit", DeepDib(w, h, 32, {}, [&](int x, int y) { return words(x, y) & 0xFFFFFF; }), 0},
        {"32 bit fields", DeepDib(w, h, 32, {0xFF0000, 0xFF00, 0xFF}, words), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ImgKitImage image = ImgKitFromPackedDib(c.dib);
        ASSERT_NE(image, 0u);
        const QString path = folder + QStringLiteral("/saved.bmp");
        ASSERT_EQ(ImgKitBmpFileSave(path, image, {}, {}, 0), 1);
        const QByteArray file = ReadFile(path);
        const std::vector<std::uint8_t> bytes = AsVector(file);
        ASSERT_GT(bytes.size(), 14u);
        EXPECT_EQ(file.left(2), QByteArray("BM"));
        EXPECT_EQ(Le32(bytes, 2), bytes.size());
        const std::uint32_t table = c.dib[14] <= 8         ? 4 * Le32(c.dib, 32)
                                    : Le32(c.dib, 16) == 3 ? 12
                                                           : 0;
        EXPECT_EQ(Le32(bytes, 10), 14 + 40 + table);
        EXPECT_TRUE(std::equal(bytes.begin() + 14, bytes.end(), c.dib.begin(), c.dib.end()))
            << "the bitmap is written as it is";

        const ImgKitImage loaded = ImgKitFileLoad(path, {}, {});
        ASSERT_NE(loaded, 0u);
        const auto back = ImgKitLock(loaded);
        EXPECT_TRUE(std::equal(back.begin(), back.end(), c.dib.begin(), c.dib.end()));

        const QImage qt = QImage::fromData(file, "BMP");
        ASSERT_FALSE(qt.isNull());
        ASSERT_EQ(qt.size(), QSize(w, h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb ours = DibPixel(c.dib, x, y);
                const QRgb theirs = qt.pixel(x, y);
                const auto coarse = [&](QRgb v) {
                    return qRgb(qRed(v) >> c.dropped, qGreen(v) >> c.dropped,
                                qBlue(v) >> c.dropped);
                };
                ASSERT_EQ(coarse(ours), coarse(theirs)) << x << "," << y;
            }
        ImgKitMemFree(image);
        ImgKitMemFree(loaded);
    }
}

TEST_F(ImgKitFilesTest, JpegSavesAndLoadsThroughFiles)
{
    const ImgKitImage image =
        Picture24(120, 80, [](int x, int y) { return qRgb(x * 2, y * 3, 100); });
    const QString path = folder + QStringLiteral("/photo.jpg");
    ASSERT_EQ(ImgKitJpegFileSave(path, image, {}, {}, 90, 0), 1);
    EXPECT_TRUE(ReadFile(path).startsWith("\xFF\xD8\xFF"));
    const ImgKitImage loaded = ImgKitFileLoad(path, {}, {});
    ImageInfoRecord info;
    ASSERT_TRUE(ImgKitImageInfo(loaded, info));
    EXPECT_EQ(info.Width, 120);
    EXPECT_EQ(info.Height, 80);
    EXPECT_EQ(info.ColorType, kColorType24Bit);
    const QRgb corner = DibPixel(ImgKitLock(loaded), 119, 79);
    EXPECT_NEAR(qRed(corner), 238, 6);
    EXPECT_NEAR(qGreen(corner), 237, 6);
}

TEST_F(ImgKitFilesTest, LoadingBigFilesReportsProgressWithTheCallersWords)
{
    ScriptedDialogs dialogs;
    // 2100-byte rows: the pixels take more than one piece of a megabyte.
    const auto rows =
        StoredRows(700, 600, 24, [](int x, int y) { return qRgb(x % 256, y % 256, 9); });
    const QString path = folder + QStringLiteral("/big.bmp");
    WriteFile(path, AsBytes(BmpFile({40, 700, 600, 24, 0, 0, 0, {}, {}, rows})));
    const ImgKitImage image = ImgKitFileLoad(path, QStringLiteral("題"), QStringLiteral("読込中"));
    ASSERT_NE(image, 0u);
    EXPECT_EQ(DibPixel(ImgKitLock(image), 699, 599), qRgb(699 % 256, 599 % 256, 9));
    ASSERT_EQ(dialogs.progress.size(), 1u);
    EXPECT_EQ(dialogs.progress[0].title, QStringLiteral("題"));
    EXPECT_EQ(dialogs.progress[0].message, QStringLiteral("読込中"));
    EXPECT_FALSE(dialogs.progress[0].cancellable);
    EXPECT_GE(dialogs.progress[0].reports, 2);
}

TEST_F(ImgKitFilesTest, LoadRefusesWhatIsNotAPictureFile)
{
    // Qt reads more formats than phones and scanners write; the library takes only those.
    QImage xpm(4, 4, QImage::Format_RGB32);
    xpm.fill(Qt::red);
    xpm.save(folder + QStringLiteral("/picture.xpm"), "XPM");
    WriteFile(folder + QStringLiteral("/empty.bmp"), {});
    WriteFile(folder + QStringLiteral("/text.jpg"), "not a picture");
    QDir(folder).mkdir(QStringLiteral("folder.bmp"));
    for (const char* name : {"missing.bmp", "picture.xpm", "empty.bmp", "text.jpg", "folder.bmp"})
        EXPECT_EQ(ImgKitFileLoad(folder + QLatin1Char('/') + QLatin1String(name), {}, {}), 0u)
            << name;
    EXPECT_EQ(ImgKitFileLoad(QString(), {}, {}), 0u);
}

TEST_F(ImgKitFilesTest, FailedSavesLeaveWhatWasThere)
{
    const ImgKitImage picture = Picture24(5, 5, [](int, int) { return qRgb(1, 2, 3); });
    const ImgKitImage oneBit = PicturePalette(5, 5, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)},
                                              [](int x, int) { return x % 2; });

    const QString missing = folder + QStringLiteral("/missing/picture.bmp");
    EXPECT_EQ(ImgKitBmpFileSave(missing, picture, {}, {}, 0), 0);
    EXPECT_EQ(ImgKitJpegFileSave(missing, picture, {}, {}, 80, 0), 0);
    EXPECT_FALSE(QFileInfo::exists(missing));

    const QString directory = folder + QStringLiteral("/folder.bmp");
    QDir(folder).mkdir(QStringLiteral("folder.bmp"));
    WriteFile(directory + QStringLiteral("/inside.txt"), "kept");
    EXPECT_EQ(ImgKitBmpFileSave(directory, picture, {}, {}, 0), 0);
    EXPECT_EQ(ImgKitJpegFileSave(directory, picture, {}, {}, 80, 0), 0);
    EXPECT_TRUE(QFileInfo(directory).isDir());
    EXPECT_EQ(ReadFile(directory + QStringLiteral("/inside.txt")), QByteArray("kept"));

    const QString old = folder + QStringLiteral("/old.jpg");
    const QByteArray before("the old file's bytes");
    WriteFile(old, before);
    EXPECT_EQ(ImgKitJpegFileSave(old, oneBit, {}, {}, 80, 0), 0) << "1 bit has no JPEG form";
    EXPECT_EQ(ImgKitBmpFileSave(old, picture + 999, {}, {}, 0), 0) << "unknown handle";
    EXPECT_EQ(ImgKitJpegFileSave(old, 0, {}, {}, 80, 0), 0);
    EXPECT_EQ(ReadFile(old), before);
    EXPECT_EQ(ImgKitJpegFileSave(old, picture, {}, {}, 80, 0), 1);
    EXPECT_NE(ReadFile(old), before);
}

// PNG, TIFF and WebP open through Qt's readers within the limits of BMP and JPEG; a picture with
// alpha keeps it, one opaque everywhere is held as 24 bits.
TEST_F(ImgKitFilesTest, PhoneAndScannerFormatsOpenWithinTheLimits)
{
    // A PNG's header alone: Qt tells its size before decoding anything.
    const auto pngHeader = [](std::uint32_t width, std::uint32_t height) {
        QByteArray chunk("IHDR");
        for (const std::uint32_t v : {width, height})
            for (int shift = 24; shift >= 0; shift -= 8)
                chunk.append(char(v >> shift));
        chunk.append("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB
        std::uint32_t crc = 0xFFFFFFFFu;
        for (const char c : chunk) {
            crc ^= std::uint8_t(c);
            for (int k = 0; k < 8; ++k)
                crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
        crc = ~crc;
        QByteArray file("\x89PNG\r\n\x1a\n\x00\x00\x00\x0d", 12);
        file.append(chunk);
        for (int shift = 24; shift >= 0; shift -= 8)
            file.append(char(crc >> shift));
        return file;
    };
    const auto ring = [](int width, int height, bool alpha) {
        QImage picture(width, height, QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture.setPixel(x, y,
                                 qRgba(200, 20 + x % 7, 30, alpha ? (x * 37 + y) % 256 : 255));
        return picture;
    };
    struct Case
    {
        const char* name;
        const char* format; // nullptr: the bytes of `header` are written
        QSize size;
        bool alpha;
        std::int32_t colorType; // -1: refused
    };
    const Case cases[] = {
        {"alpha.png", "png", {9, 7}, true, kColorTypeOther},
        {"opaque-with-alpha-channel.png", "png", {9, 7}, false, kColorType24Bit},
        {"alpha.webp", "webp", {9, 7}, true, kColorTypeOther},
        {"scan.tif", "tiff", {9, 7}, false, kColorType24Bit},
        {"widest.png", "png", {kMaxSide, 1}, false, kColorType24Bit},
        {"too-wide.png", "png", {kMaxSide + 1, 1}, false, -1},
        {"too-high.tif", "tiff", {1, kMaxSide + 1}, false, -1},
        {"too-many-pixels.png", nullptr, {kMaxSide, 4500}, false, -1}, // 270 MB of 24-bit rows
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder + QLatin1Char('/') + QLatin1String(c.name);
        const QImage written = ring(c.size.width(), c.size.height(), c.alpha);
        if (c.format) {
            // WebP's best quality is lossless.
            ASSERT_TRUE(written.save(path, c.format, 100));
        } else {
            WriteFile(path,
                      pngHeader(std::uint32_t(c.size.width()), std::uint32_t(c.size.height())));
        }
        const ImgKitImage image = ImgKitFileLoad(path, {}, {});
        if (c.colorType < 0) {
            EXPECT_EQ(image, 0u);
            continue;
        }
        ASSERT_NE(image, 0u);
        ImageInfoRecord info;
        ASSERT_TRUE(ImgKitImageInfo(image, info));
        EXPECT_EQ(QSize(info.Width, info.Height), c.size);
        EXPECT_EQ(info.ColorType, c.colorType);
        EXPECT_EQ(ImgKitHasAlpha(image), c.alpha);
        if (c.size.width() < 100) {
            // Compared premultiplied: a writer may drop the colour of a pixel that has no alpha.
            const auto premultiplied = [](const QImage& picture) {
                return picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            };
            EXPECT_EQ(premultiplied(ImgKitToQImage(image)), premultiplied(written))
                << "every pixel kept";
        }
        ImgKitMemFree(image);
    }
}

// A picture with alpha is written laid over white, as a 24-bit BMP or a JPEG; every other picture
// is written exactly as before: the file header and the bitmap as held.
TEST_F(ImgKitFilesTest, FilesOfAPictureWithAlphaAreOnWhiteAndOthersUnchanged)
{
    const auto colour = [](int x, int y) { return qRgb(x * 20, y * 30, 7); };
    const std::vector<std::uint8_t> opaque24 = PackedDib24(5, 3, colour);
    const std::vector<std::uint8_t> palette4 =
        PackedDib(5, 3, 4, {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 0, 255)},
                  [](int x, int y) { return (x + y) % 3; });
    for (const auto* dib : {&opaque24, &palette4}) {
        const ImgKitImage image = ImgKitFromPackedDib(*dib);
        const QString path = folder + QStringLiteral("/opaque.bmp");
        ASSERT_EQ(ImgKitBmpFileSave(path, image, {}, {}, 0), 1);
        QByteArray expected("BM", 2);
        for (const std::uint32_t v : {std::uint32_t(14 + dib->size()), 0u})
            for (int i = 0; i < 4; ++i)
                expected.append(char(v >> (8 * i)));
        const std::uint32_t offBits = 14 + 40 + (dib == &palette4 ? 3 * 4 : 0);
        for (int i = 0; i < 4; ++i)
            expected.append(char(offBits >> (8 * i)));
        expected.append(AsBytes(*dib));
        EXPECT_EQ(ReadFile(path), expected) << "the file header and the bitmap, byte for byte";
        ImgKitMemFree(image);
    }

    QImage seal(5, 3, QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            seal.setPixel(x, y, qRgba(220, 40, 30, x * 60 + y));
    const ImgKitImage image = ImgKitFromQImageWithAlpha(seal);
    ASSERT_TRUE(ImgKitHasAlpha(image));
    const QString bmp = folder + QStringLiteral("/seal.bmp");
    const QString jpg = folder + QStringLiteral("/seal.jpg");
    ASSERT_EQ(ImgKitBmpFileSave(bmp, image, {}, {}, 0), 1);
    ASSERT_EQ(ImgKitJpegFileSave(jpg, image, {}, {}, 100, 0), 1);
    ImgKitMemFree(image);
    QImage onWhite(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const int a = x * 60 + y;
            const auto blend = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            onWhite.setPixel(x, y, qRgb(blend(220), blend(40), blend(30)));
        }
    const QByteArray file = ReadFile(bmp);
    EXPECT_EQ(file[28], 24) << "24 bits a pixel";
    const ImgKitImage back = ImgKitFileLoad(bmp, {}, {});
    EXPECT_EQ(ImgKitToQImage(back), onWhite);
    ImgKitMemFree(back);
    const QImage jpeg(jpg);
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_LT(qAbs(qRed(jpeg.pixel(0, 0)) - 255) + qAbs(qGreen(jpeg.pixel(0, 0)) - 255), 24)
        << "the transparent corner is white paper";
}

} // namespace
