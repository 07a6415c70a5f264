#include "bench/SealScenes.h"

#include "output/SealOutput.h"
#include "seal/Records.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace velmr::scenes {
namespace {

enum class Shape
{
    Round,
    Square,
    Oval80,
    Oval60,
    Date
};

struct Recipe
{
    const char* name;
    Shape shape;
    QColor ink;
    QSize canvas;
    int sealPixels;     // the seal's longer side in the picture
    double angle;       // degrees, clockwise
    QColor paper;       // the paper's tint under full light
    double gradient;    // how much darker the far side of the picture is
    double shadow;      // a soft shadow over one corner, this much darker
    bool text;          // black text and a ruled line across the seal
    double grain;       // standard deviation of the grain, in 0..255 steps
    std::uint32_t seed; // of the grain
};

std::int32_t RecordColour(QColor c)
{
    return std::int32_t(c.red()) | (std::int32_t(c.green()) << 8) | (std::int32_t(c.blue()) << 16);
}

output::SealSource SourceFor(const Recipe& recipe)
{
    using seal::Sjis;
    if (recipe.shape == Shape::Date) {
        output::DateSeal date{seal::NewDateStamp(), {}, {2024, 4, 1}};
        date.record.StampColor = RecordColour(recipe.ink);
        return date;
    }
    output::NameSeal name{seal::NewNameStamp(), seal::NewNameStampEx()};
    name.record.StampColor = RecordColour(recipe.ink);
    switch (recipe.shape) {
    case Shape::Round:
        name.record.Text1.Assign(Sjis(u"山"));
        name.record.Text2.Assign(Sjis(u"田"));
        break;
    case Shape::Square:
        name.record.CircleParameter = 0;
        name.record.LineWidth = 8;
        name.record.FontSize = 44;
        name.record.Text1.Assign(Sjis(u"佐藤"));
        name.record.Text2.Assign(Sjis(u"之印"));
        break;
    case Shape::Oval80:
        name.record.CircleParameter = 80;
        name.record.Text1.Assign(Sjis(u"高"));
        name.record.Text2.Assign(Sjis(u"橋"));
        break;
    case Shape::Oval60:
        name.record.CircleParameter = 60;
        name.record.FontSize = 60;
        name.record.Text1.Assign(Sjis(u"鈴"));
        name.record.Text2.Assign(Sjis(u"木"));
        break;
    case Shape::Date:
        break;
    }
    return name;
}

const Recipe kRecipes[] = {
    {"丸・朱肉・文字",
     Shape::Round,
     QColor(255, 0, 0),
     {1200, 900},
     420,
     4,
     QColor(248, 244, 235),
     0.30,
     0,
     true,
     3,
     1},
    {"角・傾き・クリーム紙",
     Shape::Square,
     QColor(255, 0, 0),
     {1200, 900},
     460,
     -8,
     QColor(245, 236, 212),
     0.25,
     0,
     true,
     3,
     2},
    {"楕円80・朱色・影",
     Shape::Oval80,
     QColor(227, 66, 52),
     {1200, 900},
     440,
     2,
     QColor(238, 238, 236),
     0.15,
     0.40,
     true,
     3,
     3},
    {"日付印",
     Shape::Date,
     QColor(255, 0, 0),
     {1200, 900},
     500,
     -3,
     QColor(250, 250, 247),
     0.20,
     0,
     true,
     3,
     4},
    {"楕円60・青",
     Shape::Oval60,
     QColor(0, 0, 255),
     {1200, 900},
     440,
     6,
     QColor(238, 242, 248),
     0.20,
     0,
     true,
     3,
     5},
    {"丸・黒",
     Shape::Round,
     QColor(0, 0, 0),
     {1200, 900},
     400,
     0,
     QColor(246, 246, 244),
     0.30,
     0,
     false,
     3,
     6},
    {"角・スキャン・12度",
     Shape::Square,
     QColor(220, 30, 40),
     {700, 700},
     520,
     12,
     QColor(252, 252, 252),
     0.05,
     0,
     false,
     2,
     7},
    {"丸・暗い写真",
     Shape::Round,
     QColor(255, 0, 0),
     {1200, 900},
     360,
     -5,
     QColor(175, 165, 148),
     0.35,
     0.30,
     true,
     4,
     8},
};

// The seal as drawn, its longer side `pixels`.
QImage DrawSeal(const output::SealSource& source, int pixels)
{
    const output::SealArtwork art(source);
    const QSizeF mm = art.SizeMm();
    const double dpi = pixels / (std::max(mm.width(), mm.height()) / 25.4);
    return output::RenderRaster(art, dpi, output::Background::Transparent)
        .convertToFormat(QImage::Format_ARGB32);
}

// Cheap deterministic grain: a sum of uniform numbers is close to normal.
struct Grain
{
    std::uint32_t state;
    float Next()
    {
        float sum = 0;
        for (int i = 0; i < 4; ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            sum += float(state & 0xffff) / 65535.0f;
        }
        return (sum - 2.0f) * 1.7320508f; // unit variance
    }
};

SealScene Make(const Recipe& recipe, QSize canvas, int sealPixels)
{
    SealScene scene;
    scene.name = QString::fromUtf8(recipe.name);
    scene.ink = recipe.ink;
    scene.squareOutline = recipe.shape == Shape::Square;
    scene.truthUpright = DrawSeal(SourceFor(recipe), sealPixels);

    const int width = canvas.width(), height = canvas.height();
    const QPointF centre(width * 0.52, height * 0.47);
    QImage placed(canvas, QImage::Format_ARGB32_Premultiplied);
    placed.fill(Qt::transparent);
    {
        QPainter painter(&placed);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(centre);
        painter.rotate(recipe.angle);
        painter.drawImage(
            QPointF(-scene.truthUpright.width() / 2.0, -scene.truthUpright.height() / 2.0),
            scene.truthUpright);
    }
    scene.truthInScene = placed.convertToFormat(QImage::Format_ARGB32);
    if (scene.squareOutline) {
        const int pad = sealPixels / 10;
        const int sw = scene.truthUpright.width() + 2 * pad;
        const int sh = scene.truthUpright.height() + 2 * pad;
        scene.truthStraightened = QImage(sw, sh, QImage::Format_ARGB32);
        const double c = std::cos(recipe.angle * M_PI / 180),
                     s = std::sin(recipe.angle * M_PI / 180);
        auto at = [&](int x, int y) -> double {
            return x < 0 || y < 0 || x >= width || y >= height
                       ? 0.0
                       : qAlpha(scene.truthInScene.pixel(x, y));
        };
        for (int v = 0; v < sh; ++v) {
            for (int u = 0; u < sw; ++u) {
                const double du = u + 0.5 - sw / 2.0, dv = v + 0.5 - sh / 2.0;
                const double x = centre.x() + du * c - dv * s - 0.5;
                const double y = centre.y() + du * s + dv * c - 0.5;
                const int ix = int(std::floor(x)), iy = int(std::floor(y));
                const double fx = x - ix, fy = y - iy;
                const double top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * fx;
                const double bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * fx;
                const int a = std::clamp(int(std::lround(top + (bottom - top) * fy)), 0, 255);
                scene.truthStraightened.setPixel(u, v, qRgba(0, 0, 0, a));
            }
        }
    }

    // Black print: a line of text through the seal's lower half and a ruled line above it.
    QImage print(canvas, QImage::Format_RGB32);
    print.fill(Qt::white);
    if (recipe.text) {
        QPainter painter(&print);
        painter.setRenderHint(QPainter::Antialiasing);
        QFont font(QStringLiteral("IPAGothic"));
        font.setPixelSize(std::max(8, sealPixels / 8));
        QPainterPath path;
        path.addText(centre + QPointF(-sealPixels * 0.95, sealPixels * 0.22), font,
                     QStringLiteral("上記の金額を正に領収いたしました。"));
        painter.fillPath(path, QColor(28, 28, 30));
        painter.setPen(QPen(QColor(40, 40, 40), std::max(1.0, sealPixels / 200.0)));
        painter.drawLine(QPointF(0, centre.y() - sealPixels * 0.18),
                         QPointF(width, centre.y() - sealPixels * 0.18));
    }

    // Paper × seal × print, lit unevenly, with grain.
    QImage picture(canvas, QImage::Format_RGB32);
    Grain grain{recipe.seed * 2654435761u + 12345u};
    const float ink[3] = {recipe.ink.redF(), recipe.ink.greenF(), recipe.ink.blueF()};
    const float tint[3] = {float(recipe.paper.red()), float(recipe.paper.green()),
                           float(recipe.paper.blue())};
    for (int y = 0; y < height; ++y) {
        const auto* seal = reinterpret_cast<const QRgb*>(scene.truthInScene.constScanLine(y));
        const auto* text = reinterpret_cast<const QRgb*>(print.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float fx = float(x) / width, fy = float(y) / height;
            float light = 1.0f - float(recipe.gradient) * (0.7f * fx + 0.3f * fy);
            if (recipe.shadow > 0) {
                // A soft-edged shadow over the top-left corner.
                const float edge = std::clamp((fx + fy - 0.55f) / 0.12f, 0.0f, 1.0f);
                light *= 1.0f - float(recipe.shadow) * (1.0f - edge);
            }
            const float a = qAlpha(seal[x]) / 255.0f;
            const float printed[3] = {qRed(text[x]) / 255.0f, qGreen(text[x]) / 255.0f,
                                      qBlue(text[x]) / 255.0f};
            int value[3];
            const float noise = grain.Next() * float(recipe.grain);
            for (int c = 0; c < 3; ++c) {
                const float layer = 1.0f - a * (1.0f - ink[c]);
                const float v = tint[c] * light * layer * printed[c] + noise;
                value[c] = std::clamp(int(std::lround(v)), 0, 255);
            }
            out[x] = qRgb(value[0], value[1], value[2]);
        }
    }

    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPG", 75);
    scene.picture = QImage::fromData(jpeg, "JPG").convertToFormat(QImage::Format_RGB32);
    return scene;
}

std::vector<float> AlphaOf(const QImage& image)
{
    std::vector<float> alpha(std::size_t(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            alpha[std::size_t(y) * image.width() + x] = qAlpha(line[x]) / 255.0f;
        }
    }
    return alpha;
}

QPointF Centroid(const std::vector<float>& alpha, int width)
{
    double sx = 0, sy = 0, s = 0;
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        sx += alpha[i] * double(i % width);
        sy += alpha[i] * double(i / width);
        s += alpha[i];
    }
    return s > 0 ? QPointF(sx / s, sy / s) : QPointF();
}

} // namespace

std::vector<SealScene> MakeSealScenes()
{
    std::vector<SealScene> set;
    for (const Recipe& recipe : kRecipes) {
        set.push_back(Make(recipe, recipe.canvas, recipe.sealPixels));
    }
    return set;
}

SealScene MakeSealScene(std::size_t index)
{
    const Recipe& recipe = kRecipes[index];
    return Make(recipe, recipe.canvas, recipe.sealPixels);
}

std::size_t SealSceneCount()
{
    return std::size(kRecipes);
}

SealScene MakeTimingScene(QSize size)
{
    return Make(kRecipes[0], size, std::min(size.width(), size.height()) / 3);
}

SceneScore ScoreExtraction(const SealScene& scene, const image::Extraction& extraction,
                           QColor expectedInk)
{
    const QImage& reference = scene.squareOutline ? scene.truthStraightened : scene.truthInScene;
    const std::vector<float> truth = AlphaOf(reference);
    const int rw = reference.width(), rh = reference.height();
    double truthSum = 0;
    for (float t : truth) {
        truthSum += t;
    }
    SceneScore score;
    if (!extraction.result || truthSum <= 0) {
        return score;
    }
    const QImage& seal = extraction.result->seal;
    const std::vector<float> alpha = AlphaOf(seal);
    const int sw = seal.width(), sh = seal.height();
    auto truthAt = [&](int x, int y) -> float {
        return x < 0 || y < 0 || x >= rw || y >= rh ? 0.0f : truth[std::size_t(y) * rw + x];
    };

    // The truth at a fractional position (bilinear), 0 outside.
    auto truthNear = [&](float x, float y) -> float {
        const int ix = int(std::floor(x)), iy = int(std::floor(y));
        const float fx = x - ix, fy = y - iy;
        const float top = truthAt(ix, iy) + (truthAt(ix + 1, iy) - truthAt(ix, iy)) * fx;
        const float bottom =
            truthAt(ix, iy + 1) + (truthAt(ix + 1, iy + 1) - truthAt(ix, iy + 1)) * fx;
        return top + (bottom - top) * fy;
    };
    auto errorAt = [&](float dx, float dy) {
        double sum = truthSum;
        if (dx == std::floor(dx) && dy == std::floor(dy)) {
            for (int y = 0; y < sh; ++y) {
                for (int x = 0; x < sw; ++x) {
                    const float t = truthAt(x + int(dx), y + int(dy));
                    sum += std::abs(alpha[std::size_t(y) * sw + x] - t) - t;
                }
            }
            return sum;
        }
        for (int y = 0; y < sh; ++y) {
            for (int x = 0; x < sw; ++x) {
                const float t = truthNear(x + dx, y + dy);
                sum += std::abs(alpha[std::size_t(y) * sw + x] - t) - t;
            }
        }
        return sum;
    };
    constexpr int kSearch = 2;
    const QPointF cs = Centroid(alpha, sw), cr = Centroid(truth, rw);
    const int gx = int(std::lround(cr.x() - cs.x())), gy = int(std::lround(cr.y() - cs.y()));
    double best = 1e300;
    int bx = gx, by = gy;
    for (int dy = gy - kSearch; dy <= gy + kSearch; ++dy) {
        for (int dx = gx - kSearch; dx <= gx + kSearch; ++dx) {
            const double sum = errorAt(float(dx), float(dy));
            if (sum < best) {
                best = sum;
                bx = dx;
                by = dy;
            }
        }
    }
    // A result that was turned back lies between whole pixels: quarter pixels.
    float sx = float(bx), sy = float(by);
    if (scene.squareOutline) {
        for (int qy = -2; qy <= 2; ++qy) {
            for (int qx = -2; qx <= 2; ++qx) {
                const double sum = errorAt(bx + qx / 4.0f, by + qy / 4.0f);
                if (sum < best) {
                    best = sum;
                    sx = bx + qx / 4.0f;
                    sy = by + qy / 4.0f;
                }
            }
        }
    }
    score.dx = sx;
    score.dy = sy;
    score.alphaError = best / truthSum;

    double gradient = 0, truthGradient = 0;
    long long fringe = 0;
    score.fringeMap = QImage(sw, sh, QImage::Format_ARGB32);
    score.fringeMap.fill(Qt::transparent);
    const QRgb inkRgb = expectedInk.rgb() & 0x00ffffff;
    for (int y = 0; y < sh; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(seal.constScanLine(y));
        for (int x = 0; x < sw; ++x) {
            const float tx = x + sx, ty = y + sy;
            const float a = alpha[std::size_t(y) * sw + x];
            if (x + 1 < sw) {
                const float g = alpha[std::size_t(y) * sw + x + 1] - a;
                const float tg = truthNear(tx + 1, ty) - truthNear(tx, ty);
                gradient += std::abs(g - tg);
                truthGradient += std::abs(tg);
            }
            if (y + 1 < sh) {
                const float g = alpha[std::size_t(y + 1) * sw + x] - a;
                const float tg = truthNear(tx, ty + 1) - truthNear(tx, ty);
                gradient += std::abs(g - tg);
                truthGradient += std::abs(tg);
            }
            if (qAlpha(line[x]) > 0 && (line[x] & 0x00ffffff) != inkRgb) {
                ++fringe;
                score.fringeMap.setPixel(x, y, qRgb(0, 0, 255));
                continue;
            }
            if (a > 0.1f) {
                float near = 0;
                for (int ny = -1; ny <= 1; ++ny) {
                    for (int nx = -1; nx <= 1; ++nx) {
                        near = std::max(near, truthNear(tx + nx, ty + ny));
                    }
                }
                if (near == 0) {
                    ++fringe;
                    score.fringeMap.setPixel(x, y, qRgb(0, 0, 0));
                }
            }
        }
    }
    score.gradientError = truthGradient > 0 ? gradient / truthGradient : 1;
    score.fringe = fringe;
    return score;
}

double HueThresholdError(const SealScene& scene)
{
    const float inkHue = scene.ink.hsvHueF() * 360.0f;
    const bool black = scene.ink.valueF() < 0.3f || scene.ink.hsvSaturationF() < 0.2f;
    double error = 0, truthSum = 0;
    for (int y = 0; y < scene.picture.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(scene.picture.constScanLine(y));
        const auto* truth = reinterpret_cast<const QRgb*>(scene.truthInScene.constScanLine(y));
        for (int x = 0; x < scene.picture.width(); ++x) {
            // HSV, as every image library computes it.
            const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
            const int most = std::max({r, g, b}), least = std::min({r, g, b});
            const float value = most / 255.0f;
            const float saturation = most > 0 ? float(most - least) / most : 0.0f;
            bool ink = false;
            if (black) {
                ink = value < 0.35f && saturation < 0.3f;
            } else if (most > least) {
                const float span = float(most - least);
                float hue = most == r   ? 60.0f * (g - b) / span
                            : most == g ? 120.0f + 60.0f * (b - r) / span
                                        : 240.0f + 60.0f * (r - g) / span;
                hue = hue < 0 ? hue + 360.0f : hue;
                float distance = std::abs(hue - inkHue);
                distance = std::min(distance, 360.0f - distance);
                ink = distance <= 20.0f && saturation >= 0.35f && value >= 0.2f;
            }
            const float t = qAlpha(truth[x]) / 255.0f;
            error += std::abs((ink ? 1.0f : 0.0f) - t);
            truthSum += t;
        }
    }
    return truthSum > 0 ? error / truthSum : 1;
}

} // namespace velmr::scenes
