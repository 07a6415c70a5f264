#include "image/ImgKit.h"

#include <gtest/gtest.h>

using namespace velmr::image;

namespace {

// A packed bitmap of the given size and depth, colour table grey or coloured.
std::vector<std::uint8_t> Dib(std::int32_t width, std::int32_t height, std::uint16_t bits,
                              bool greyTable = false, std::uint32_t compression = 0)
{
    const std::uint32_t colours = bits <= 8 ? 1u << bits : 0;
    const std::uint32_t table = bits <= 8 ? colours * 4 : (compression == 3 ? 12 : 0);
    const std::uint32_t row = ((std::uint32_t(width) * bits + 31) / 32) * 4;
    std::vector<std::uint8_t> dib(40 + table + row * std::uint32_t(height), 0);
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            dib[at + i] = std::uint8_t(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, std::uint32_t(width));
    put32(8, std::uint32_t(height));
    dib[12] = 1;
    dib[14] = std::uint8_t(bits);
    put32(16, compression);
    put32(20, row * std::uint32_t(height));
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::uint8_t level = std::uint8_t(i * 255 / (colours - 1));
        dib[40 + 4 * i] = level;
        dib[40 + 4 * i + 1] = level;
        dib[40 + 4 * i + 2] = greyTable ? level : std::uint8_t(255 - level);
    }
    return dib;
}

class ImgKitTest : public ::testing::Test
{
protected:
    void SetUp() override { ImgKitLoadLibrary(); }
    void TearDown() override { ImgKitUnloadLibrary(); }
};

TEST_F(ImgKitTest, ColorTypeCodes)
{
    struct Case
    {
        std::uint16_t bits;
        bool grey;
        std::uint32_t compression;
        std::int32_t colorType;
    };
    const Case cases[] = {
        {1, false, 0, 0},  {4, false, 0, 1},  {4, true, 0, 2},   {8, false, 0, 3},
        {8, true, 0, 4},   {24, false, 0, 5}, {32, false, 0, 6}, {32, false, 3, 7},
        {16, false, 0, 7}, {16, false, 3, 7},
    };
    for (const Case& c : cases) {
        const ImgKitImage image = ImgKitFromPackedDib(Dib(33, 7, c.bits, c.grey, c.compression));
        ASSERT_NE(image, 0u) << c.bits;
        ImageInfoRecord info;
        ASSERT_TRUE(ImgKitImageInfo(image, info));
        EXPECT_EQ(info.Width, 33);
        EXPECT_EQ(info.Height, 7);
        EXPECT_EQ(info.ColorType, c.colorType) << c.bits << " bits, grey " << c.grey;
        ImgKitMemFree(image);
    }
}

TEST_F(ImgKitTest, RefusesWhatIsNotAPackedBitmapWithinTheLimits)
{
    std::vector<std::vector<std::uint8_t>> bad = {
        {}, Dib(0, 5, 24), Dib(5, 0, 24), Dib(5, -5, 24), Dib(20001, 1, 1), Dib(3, 3, 7),
    };
    std::vector<std::uint8_t> truncated = Dib(10, 10, 24);
    truncated.pop_back();
    bad.push_back(truncated);
    std::vector<std::uint8_t> tooManyColours = Dib(4, 4, 8);
    tooManyColours[32] = 0x01; // 257 colours used
    tooManyColours[33] = 0x01;
    bad.push_back(tooManyColours);
    for (const auto& dib : bad)
        EXPECT_EQ(ImgKitFromPackedDib(dib), 0u);
    EXPECT_EQ(ImgKitLiveImageCount(), 0u);
}

TEST_F(ImgKitTest, FreeingUnknownOrFreedHandlesIsIgnored)
{
    const ImgKitImage image = ImgKitFromPackedDib(Dib(2, 2, 24));
    ASSERT_NE(image, 0u);
    ImgKitMemFree(0);
    ImgKitMemFree(image + 12345);
    EXPECT_EQ(ImgKitLiveImageCount(), 1u);
    ImgKitMemFree(image);
    ImgKitMemFree(image);
    EXPECT_EQ(ImgKitLiveImageCount(), 0u);
    ImageInfoRecord info{1, 2, 3, 0, 0};
    EXPECT_FALSE(ImgKitImageInfo(image, info));
    EXPECT_EQ(info.Width, 1) << "an unknown handle leaves the record alone";
    EXPECT_EQ(ImgKitCopy(image, {}, {}), 0u);
    EXPECT_TRUE(ImgKitLock(image).empty());
}

TEST_F(ImgKitTest, CopyIsIndependentAndByteIdentical)
{
    const ImgKitImage image = ImgKitFromPackedDib(Dib(5, 3, 8));
    const ImgKitImage copy = ImgKitCopy(image, QStringLiteral("t"), QStringLiteral("m"));
    ASSERT_NE(copy, 0u);
    EXPECT_NE(copy, image);
    const auto a = ImgKitLock(image);
    const auto b = ImgKitLock(copy);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
    ImgKitMemFree(image);
    EXPECT_FALSE(ImgKitLock(copy).empty());
    ImgKitMemFree(copy);
}

TEST_F(ImgKitTest, ReplacementRule)
{
    // A different result replaces the picture; the old one and the result are released.
    ImgKitImage picture = ImgKitFromPackedDib(Dib(8, 8, 24));
    const ImgKitImage result = ImgKitFromPackedDib(Dib(4, 2, 8));
    ImageInfoRecord info;
    ReplacePicture(picture, result, info);
    EXPECT_EQ(info.Width, 4);
    EXPECT_EQ(info.Height, 2);
    EXPECT_EQ(info.ColorType, kColorType8BitColor);
    EXPECT_EQ(ImgKitLiveImageCount(), 1u);
    EXPECT_FALSE(ImgKitLock(picture).empty());

    // The same picture back ("nothing changed") keeps it.
    const ImgKitImage before = picture;
    ReplacePicture(picture, picture, info);
    EXPECT_EQ(picture, before);
    EXPECT_EQ(ImgKitLiveImageCount(), 1u);

    // A failed operation (null result) keeps the picture the document had.
    ReplacePicture(picture, 0, info);
    EXPECT_EQ(picture, before);
    EXPECT_EQ(info.Width, 4);
    EXPECT_EQ(ImgKitLiveImageCount(), 1u);
    ImgKitMemFree(picture);
}

TEST_F(ImgKitTest, UnloadingReleasesEverything)
{
    ImgKitFromPackedDib(Dib(2, 2, 1));
    ImgKitFromPackedDib(Dib(2, 2, 4));
    EXPECT_TRUE(ImgKitLibraryLoaded());
    ImgKitUnloadLibrary();
    EXPECT_EQ(ImgKitLiveImageCount(), 0u);
    EXPECT_FALSE(ImgKitLibraryLoaded());
}

} // namespace
