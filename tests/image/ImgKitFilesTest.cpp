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
    QImage png(4, 4, QImage::Format_RGB32);
    png.fill(Qt::red);
    png.save(folder + QStringLiteral("/picture.png"));
    WriteFile(folder + QStringLiteral("/empty.bmp"), {});
    WriteFile(folder + QStringLiteral("/text.jpg"), "not a picture");
    QDir(folder).mkdir(QStringLiteral("folder.bmp"));
    for (const char* name : {"missing.bmp", "picture.png", "empty.bmp", "text.jpg", "folder.bmp"})
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

} // namespace
