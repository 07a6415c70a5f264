// A clean seal from a scan or a photo, scored on the benchmark set that the benchmarks use too.
#include "image/SealExtract.h"

#include "bench/SealScenes.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

using namespace velmr;

namespace {

// Every picture of the set: within a fifth of the truth, at most a third of the hue threshold's
// error, and no fringe.
TEST(SealExtractTest, QualityOverTheBenchmarkSet)
{
    for (const scenes::SealScene& scene : scenes::MakeSealScenes()) {
        SCOPED_TRACE(scene.name.toStdString());
        const image::Extraction extraction = image::ExtractSeal(scene.picture);
        ASSERT_TRUE(extraction.result) << extraction.error.toStdString();
        const scenes::SceneScore score =
            scenes::ScoreExtraction(scene, extraction, extraction.result->measuredInk);
        const double baseline = scenes::HueThresholdError(scene);
        EXPECT_LE(score.alphaError, 0.20);
        EXPECT_LE(score.alphaError, baseline / 3);
        EXPECT_EQ(score.fringe, 0);
        const QImage& seal = extraction.result->seal;
        EXPECT_EQ(seal.width(), seal.height());
        EXPECT_EQ(seal.format(), QImage::Format_ARGB32);
    }
}

// The ink chosen for the result colours every pixel of it; the measured ink is the seal's.
TEST(SealExtractTest, TheChosenInkColoursEveryPixel)
{
    const scenes::SealScene scene = scenes::MakeSealScene(0); // red ink
    const struct
    {
        image::InkChoice ink;
        QColor colour; // invalid: the measured one
    } cases[] = {
        {image::InkChoice::Measured, QColor()},
        {image::InkChoice::Vermilion, QColor(227, 66, 52)},
        {image::InkChoice::Red, QColor(255, 0, 0)},
        {image::InkChoice::Black, QColor(0, 0, 0)},
        {image::InkChoice::Blue, QColor(0, 0, 255)},
    };
    for (const auto& c : cases) {
        const image::Extraction extraction = image::ExtractSeal(scene.picture, c.ink);
        ASSERT_TRUE(extraction.result);
        const QColor measured = extraction.result->measuredInk;
        EXPECT_GT(measured.red(), 200);
        EXPECT_LT(measured.green(), 60);
        EXPECT_LT(measured.blue(), 60);
        const QRgb expected = (c.colour.isValid() ? c.colour : measured).rgb() & 0xffffff;
        EXPECT_EQ(image::InkColorFor(c.ink, measured).rgb() & 0xffffff, expected);
        const QImage& seal = extraction.result->seal;
        long long off = 0, inked = 0;
        for (int y = 0; y < seal.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(seal.constScanLine(y));
            for (int x = 0; x < seal.width(); ++x) {
                off += (line[x] & 0xffffff) != expected;
                inked += qAlpha(line[x]) == 255;
            }
        }
        EXPECT_EQ(off, 0);
        EXPECT_GT(inked, seal.width() * seal.height() / 20);
    }
}

QImage Filled(QSize size, QColor colour)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

// Paper lit from one side, with grain, and nothing on it.
QImage EmptyPaper()
{
    QImage picture(640, 480, QImage::Format_RGB32);
    std::uint32_t state = 7;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = int(state >> 29) - 4;
            const int light = 245 - x / 8 + grain;
            picture.setPixel(x, y, qRgb(light, light - 3, light - 10));
        }
    }
    return picture;
}

QImage StripWithASeal()
{
    QImage picture = Filled({20000, 60}, Qt::white);
    QPainter painter(&picture);
    painter.setPen(QPen(Qt::red, 4));
    painter.drawEllipse(QRect(9970, 5, 50, 50));
    return picture;
}

TEST(SealExtractTest, BadPicturesGetAMessageAndNoSeal)
{
    const struct
    {
        const char* name;
        QImage picture;
        const char* says;
    } cases[] = {
        {"none", QImage(), "画像がありません"},
        {"no ink", EmptyPaper(), "インクが見つかりません"},
        {"all red", Filled({400, 300}, QColor(215, 25, 30)), "紙の部分が見つかりません"},
        {"one pixel", Filled({1, 1}, Qt::white), "小さすぎます"},
        {"a strip", StripWithASeal(), "細長すぎます"},
        {"over the library's side", Filled({20001, 40}, Qt::white), "大きすぎます"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const image::Extraction extraction = image::ExtractSeal(c.picture);
        EXPECT_FALSE(extraction.result);
        EXPECT_TRUE(extraction.error.contains(QString::fromUtf8(c.says)))
            << extraction.error.toStdString();
    }
}

} // namespace
