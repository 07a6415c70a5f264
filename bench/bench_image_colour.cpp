// Colour reduction and scaling on pictures made here: a photograph-like scene at 1200 × 900 and
// 4000 × 3000 and a red seal on grainy paper at 450 × 450. Each colour reduction reports, besides
// its time, the PSNR of its result against the 24-bit input, as it is ("PSNR") and after a
// Gaussian blur of σ 1.5 applied to both ("PSNR_blur", how the dithered picture looks from a
// little way off). Scaling is timed against QImage::scaled with smooth transformation on the same
// picture.
//
// The pictures are also written once as 24-bit BMP files into $TMPDIR/velmr-bench-colour, so that
// other tools can be run and scored on exactly the same input.

#include "image/ImgKit.h"
#include "image/PackedDib.h"
#include "image/Quantize.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace velmr::image;

// ---- Pictures

// Top-down rows of B, G, R bytes, tightly packed.
struct Pixels
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;
};

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// Uniform in -1..1 at a lattice point.
double Lattice(int x, int y, std::uint32_t seed)
{
    return double(Hash(std::uint32_t(x), std::uint32_t(y), seed) >> 8) / double(1 << 23) - 1.0;
}

// Smooth value noise, -1..1, features about one unit wide.
double ValueNoise(double x, double y, std::uint32_t seed)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    const double tx = x - fx, ty = y - fy;
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const double a = Lattice(ix, iy, seed), b = Lattice(ix + 1, iy, seed);
    const double c = Lattice(ix, iy + 1, seed), d = Lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

// Fractal noise: `octaves` layers of value noise, each twice as fine and half as strong.
double Fractal(double x, double y, int octaves, std::uint32_t seed)
{
    double sum = 0, amplitude = 0.5;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * ValueNoise(x, y, seed + std::uint32_t(i));
        x *= 2.03;
        y *= 2.03;
        amplitude *= 0.5;
    }
    return sum;
}

// Gaussian-like sensor noise in levels (sum of uniforms), per pixel and channel.
double Grain(int x, int y, int channel, std::uint32_t seed)
{
    double sum = 0;
    for (std::uint32_t k = 0; k < 3; ++k)
        sum +=
            double(Hash(std::uint32_t(x), std::uint32_t(y), seed + 7 * std::uint32_t(channel) + k) &
                   0xFFFF) /
                65535.0 -
            0.5;
    return sum * 2.0; // σ ≈ 1
}

double Smooth(double edge0, double edge1, double v)
{
    const double t = std::clamp((v - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

std::array<double, 3> Mix(const std::array<double, 3>& a, const std::array<double, 3>& b, double t)
{
    return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

// A landscape photograph: a sky with clouds, hazy hills, a textured meadow with flowers, a red
// ball, a skin-coloured and a white object with soft shading, a dark trunk, vignetting and sensor
// grain. The scene is defined in picture-relative coordinates, so both sizes show the same view;
// the small picture has more detail per pixel, as a downscaled photograph does.
Pixels Photograph(int width, int height)
{
    Pixels p{width, height, std::vector<std::uint8_t>(3 * std::size_t(width) * height)};
    const double aspect = double(width) / height;
    // Blur of the edges: about one pixel of the small picture.
    const double edge = 1.2 / 900.0;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = p.bgr.data() + 3 * std::size_t(width) * y;
        const double v = (y + 0.5) / height;
        for (int x = 0; x < width; ++x, out += 3) {
            const double u = (x + 0.5) / width;
            const double wu = u * aspect; // square units
            // Sky.
            std::array<double, 3> c =
                Mix({40, 90, 175}, {175, 205, 230}, Smooth(0.0, 0.5, v)); // r, g, b
            // Evening light towards the right.
            c = Mix(c, {235, 170, 150}, 0.6 * Smooth(0.5, 1.0, u) * Smooth(0.15, 0.42, v));
            const double cloud = Fractal(wu * 3, v * 6, 5, 11);
            const double cover = Smooth(0.05, 0.35, cloud + 0.15 - v * 0.3);
            const double shade = 0.82 + 0.18 * Fractal(wu * 9 + 3, v * 12, 3, 19);
            c = Mix(c, {250 * shade, 248 * shade, 245 * shade}, cover);
            // Hills.
            const double ridge = 0.42 + 0.06 * Fractal(wu * 2.5, 0.5, 4, 23);
            const double hill = Smooth(ridge - edge, ridge + edge, v);
            const double hillTexture = Fractal(wu * 40, v * 60, 4, 29);
            const double haze = Smooth(ridge, ridge + 0.15, v);
            std::array<double, 3> hillColour =
                Mix({120, 140, 150}, {70, 105, 60}, haze * (0.85 + 0.15 * hillTexture));
            // Woods in autumn colours on the nearer slopes.
            const double woods = Fractal(wu * 14, v * 20, 4, 30);
            hillColour =
                Mix(hillColour, Mix({175, 85, 35}, {205, 165, 50}, Smooth(-0.3, 0.3, hillTexture)),
                    haze * Smooth(0.0, 0.2, woods));
            hillColour = Mix(hillColour, {125, 40, 35}, haze * Smooth(0.25, 0.4, woods));
            c = Mix(c, hillColour, hill);
            // Meadow with grass texture and flowers.
            const double field = 0.55 + 0.03 * Fractal(wu * 4, 1.5, 3, 31);
            const double meadow = Smooth(field - edge, field + edge, v);
            const double grass = Fractal(wu * 90, v * 25, 6, 37);
            const double patches = Fractal(wu * 6, v * 8, 3, 41);
            std::array<double, 3> meadowColour =
                Mix({95, 135, 45}, {170, 175, 70}, Smooth(-0.3, 0.4, patches));
            // Blades of other greens and of dry straw.
            meadowColour = Mix(meadowColour, {55, 125, 95},
                               Smooth(0.0, 0.3, Fractal(wu * 160, v * 40, 3, 39)));
            meadowColour = Mix(meadowColour, {185, 150, 95},
                               Smooth(0.15, 0.35, Fractal(wu * 200, v * 30, 3, 40)));
            const double depth = 0.65 + 0.45 * (v - field) / (1 - field);
            for (double& channel : meadowColour)
                channel *= depth * (0.8 + 0.45 * grass);
            // Flowers of many colours: each blob of the flower noise takes a hue of its own.
            const double flowerNoise = Fractal(wu * 70, v * 70, 3, 43);
            const double flowers = Smooth(0.16, 0.22, flowerNoise) * Smooth(-0.2, 0.1, patches);
            if (flowers > 0) {
                static const std::array<double, 3> kPetals[] = {
                    {235, 200, 40}, {210, 40, 60},   {150, 70, 190}, {245, 245, 240},
                    {250, 140, 30}, {240, 120, 170}, {70, 110, 220},
                };
                const std::uint32_t blob =
                    Hash(std::uint32_t(wu * 70 / 1.7), std::uint32_t(v * 70 / 1.7), 45) % 7;
                const double petal = 0.75 + 0.3 * Fractal(wu * 400, v * 400, 2, 47);
                std::array<double, 3> colour = kPetals[blob];
                for (double& channel : colour)
                    channel *= petal;
                meadowColour = Mix(meadowColour, colour, flowers);
            }
            c = Mix(c, meadowColour, meadow);
            // A brick house on the left with a slate roof and a window that mirrors the sky.
            if (wu < 0.25 * aspect && v > 0.2 && v < 0.64) {
                const double wall = Smooth(edge, -edge, wu - 0.22 * aspect) *
                                    Smooth(0.34 - edge, 0.34 + edge, v) *
                                    Smooth(0.62 + edge, 0.62 - edge, v);
                const double rowHeight = 0.012, brickWidth = 0.03;
                const int row = int(v / rowHeight);
                const double shifted = wu / brickWidth + (row & 1) * 0.5;
                const int column = int(shifted);
                const double mortar = std::max(Smooth(0.12, 0.0, v / rowHeight - row),
                                               Smooth(0.06, 0.0, shifted - column));
                const double tone =
                    double(Hash(std::uint32_t(column), std::uint32_t(row), 83) % 1000) / 1000;
                std::array<double, 3> brick = Mix({150, 65, 45}, {200, 110, 70}, tone);
                const double dirt = 0.85 + 0.2 * Fractal(wu * 150, v * 150, 3, 89);
                for (double& channel : brick)
                    channel *= dirt;
                std::array<double, 3> house = Mix(brick, {175, 170, 160}, mortar);
                const double window = Smooth(edge, -edge, std::abs(wu - 0.11 * aspect) - 0.045) *
                                      Smooth(edge, -edge, std::abs(v - 0.46) - 0.06);
                house =
                    Mix(house, Mix({60, 80, 110}, {150, 180, 210}, Smooth(0.52, 0.40, v)), window);
                c = Mix(c, house, wall);
                const double roofLine = 0.34 - 0.12 * (1 - std::abs(wu / (0.22 * aspect) * 2 - 1));
                const double roof = Smooth(edge, -edge, wu - 0.23 * aspect) *
                                    Smooth(roofLine - edge, roofLine + edge, v) *
                                    Smooth(0.34 + edge, 0.34 - edge, v);
                const double slate = 0.8 + 0.3 * Fractal(wu * 80, v * 200, 3, 97);
                c = Mix(c, {70 * slate, 72 * slate, 85 * slate}, roof);
            }
            // A striped umbrella over the right of the meadow.
            {
                const double du = (wu - 0.86 * aspect) / 0.16, dv = (v - 0.44) / 0.09;
                const double canopy = Smooth(1 + edge / 0.1, 1 - edge / 0.1, std::hypot(du, dv)) *
                                      Smooth(edge / 0.09, -edge / 0.09, dv);
                if (canopy > 0) {
                    static const std::array<double, 3> kStripes[] = {
                        {220, 35, 45}, {245, 240, 230}, {40, 80, 170}, {245, 200, 40}};
                    const double angle = std::atan2(-dv, du);
                    const int stripe = int(angle / (3.14159265 / 8)) & 3;
                    const double fold = 0.75 + 0.25 * std::cos(angle * 16);
                    std::array<double, 3> colour = kStripes[stripe];
                    for (double& channel : colour)
                        channel *= fold * (0.8 + 0.2 * (1 - std::abs(du)));
                    c = Mix(c, colour, canopy);
                }
                const double pole = Smooth(edge, -edge, std::abs(wu - 0.86 * aspect) - 0.004) *
                                    Smooth(0.44 - edge, 0.44 + edge, v) *
                                    Smooth(0.66 + edge, 0.66 - edge, v);
                c = Mix(c, {200, 200, 195}, pole);
            }
            // A trunk and its crown.
            const double trunk = Smooth(edge, -edge, std::abs(wu - 0.28 * aspect) - 0.018) *
                                 Smooth(0.30 - edge, 0.30 + edge, v) *
                                 Smooth(0.70 + edge, 0.70 - edge, v);
            c = Mix(c, {60 + 20 * grass, 42 + 12 * grass, 30}, trunk);
            const double crownDist = std::hypot(wu - 0.28 * aspect, (v - 0.22) * 1.3) - 0.16 -
                                     0.03 * Fractal(wu * 12, v * 12, 3, 47);
            const double crown = Smooth(edge, -edge, crownDist);
            const double leaves = Fractal(wu * 60, v * 60, 4, 53);
            c = Mix(c, {40 + 50 * leaves, 85 + 60 * leaves, 30 + 20 * leaves}, crown);
            // Round objects lit from the upper left: a red ball, a skin-coloured one, a white one.
            struct Ball
            {
                double cu, cv, radius;
                std::array<double, 3> colour;
                double gloss;
            };
            static const Ball balls[] = {
                {0.62, 0.72, 0.11, {205, 30, 35}, 1.0},
                {0.80, 0.62, 0.085, {228, 178, 150}, 0.25},
                {0.47, 0.83, 0.07, {240, 240, 236}, 0.5},
                {0.30, 0.86, 0.06, {120, 50, 160}, 0.8},
            };
            for (const Ball& ball : balls) {
                const double dx = (wu - ball.cu * aspect) / ball.radius;
                const double dy = (v - ball.cv) / ball.radius;
                const double r2 = dx * dx + dy * dy;
                const double inside =
                    Smooth(1 + edge / ball.radius, 1 - edge / ball.radius, std::sqrt(r2));
                if (inside <= 0)
                    continue;
                const double dz = std::sqrt(std::max(0.0, 1 - r2));
                const double light = std::max(0.0, (-0.5 * dx - 0.6 * dy + 0.62 * dz));
                const double spec = ball.gloss * std::pow(std::max(0.0, light), 40);
                std::array<double, 3> lit;
                for (int k = 0; k < 3; ++k)
                    lit[std::size_t(k)] =
                        ball.colour[std::size_t(k)] * (0.18 + 0.85 * light) + 230 * spec;
                c = Mix(c, lit, inside);
            }
            // Uneven light and colour casts over the whole frame, vignetting, then the sensor's
            // grain (stronger in the shadows).
            const double vignette =
                1 - 0.35 * std::pow(std::hypot(u - 0.5, (v - 0.5) * 0.9) * 1.45, 2.5);
            for (int k = 0; k < 3; ++k) {
                const double cast =
                    1 + 0.12 * Fractal(wu * 4, v * 4, 3, 101 + 7 * std::uint32_t(k));
                const double level = c[std::size_t(2 - k)] * vignette * cast;
                const double noise = Grain(x, y, k, 5) * (3.5 + 3.0 * (1 - level / 255));
                out[k] = std::uint8_t(std::clamp(std::lround(level + noise), 0l, 255l));
            }
        }
    }
    return p;
}

// A red seal pressed on grainy paper: off-white, mottled paper with fibres; a ring and strokes of
// uneven ink with thin places and gaps.
Pixels SealOnPaper(int size)
{
    Pixels p{size, size, std::vector<std::uint8_t>(3 * std::size_t(size) * size)};
    const double s = size / 450.0;
    struct Stroke
    {
        double x0, y0, x1, y1, half;
    };
    // Four blocky characters in two columns inside the ring.
    const Stroke strokes[] = {
        {240, 110, 330, 110, 9}, {285, 95, 285, 205, 10}, {245, 160, 325, 160, 8},
        {250, 205, 320, 205, 9}, {120, 120, 200, 120, 9}, {160, 100, 140, 210, 9},
        {160, 160, 205, 200, 8}, {125, 175, 150, 150, 7}, {240, 250, 330, 250, 9},
        {240, 250, 240, 345, 9}, {330, 250, 330, 345, 9}, {240, 345, 330, 345, 9},
        {240, 298, 330, 298, 8}, {120, 255, 205, 255, 9}, {162, 240, 162, 350, 10},
        {120, 300, 205, 300, 8}, {125, 345, 200, 345, 9},
    };
    for (int y = 0; y < size; ++y) {
        std::uint8_t* out = p.bgr.data() + 3 * std::size_t(size) * y;
        for (int x = 0; x < size; ++x, out += 3) {
            const double fx = (x + 0.5) / s, fy = (y + 0.5) / s;
            const double mottle = Fractal(fx / 60, fy / 60, 3, 61);
            const double fibre = Fractal(fx / 3, fy / 14, 4, 67);
            std::array<double, 3> paper = {238 + 6 * mottle + 5 * fibre,
                                           231 + 6 * mottle + 5 * fibre,
                                           214 + 7 * mottle + 4 * fibre};
            // Distance to the nearest part of the seal, in pixels of the 450 picture.
            double dist = std::abs(std::hypot(fx - 225, fy - 225) - 195) - 10;
            for (const Stroke& st : strokes) {
                const double dx = st.x1 - st.x0, dy = st.y1 - st.y0;
                const double len2 = dx * dx + dy * dy;
                const double t =
                    std::clamp(((fx - st.x0) * dx + (fy - st.y0) * dy) / len2, 0.0, 1.0);
                dist =
                    std::min(dist, std::hypot(fx - st.x0 - t * dx, fy - st.y0 - t * dy) - st.half);
            }
            const double cover = Smooth(0.9, -0.9, dist * s);
            const double ink =
                cover * std::clamp(0.78 + 0.35 * Fractal(fx / 9, fy / 9, 4, 71) -
                                       0.5 * Smooth(0.3, 0.45, Fractal(fx / 25, fy / 25, 3, 73)),
                                   0.0, 1.0);
            const std::array<double, 3> red = {196 + 10 * fibre, 28 + 8 * mottle, 38 + 6 * fibre};
            const std::array<double, 3> c = Mix(paper, red, ink);
            for (int k = 0; k < 3; ++k) {
                const double level = c[std::size_t(2 - k)] + 1.5 * Grain(x, y, k, 79);
                out[k] = std::uint8_t(std::clamp(std::lround(level), 0l, 255l));
            }
        }
    }
    return p;
}

ImgKitImage ToImage(const Pixels& p)
{
    const std::size_t rowBytes = std::size_t(RowBytesFor(p.width, 24));
    std::vector<std::uint8_t> dib(kInfoHeaderSize + rowBytes * std::size_t(p.height), 0);
    const auto put32 = [&dib](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            dib[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    };
    put32(0, kInfoHeaderSize);
    put32(4, std::uint32_t(p.width));
    put32(8, std::uint32_t(p.height));
    dib[12] = 1;
    dib[14] = 24;
    put32(20, std::uint32_t(rowBytes * std::size_t(p.height)));
    put32(24, 3780);
    put32(28, 3780);
    for (int y = 0; y < p.height; ++y)
        std::copy_n(p.bgr.data() + 3 * std::size_t(p.width) * y, 3 * std::size_t(p.width),
                    dib.data() + kInfoHeaderSize + rowBytes * std::size_t(p.height - 1 - y));
    return ImgKitFromPackedDib(std::move(dib));
}

// The pixels of any picture the library holds, widened to B, G, R.
Pixels FromImage(ImgKitImage image)
{
    const std::span<const std::uint8_t> dib = ImgKitLock(image);
    const std::optional<DibLayout> layout = DibLayout::Of(dib);
    Pixels p;
    if (!layout)
        return p;
    p.width = layout->width;
    p.height = layout->height;
    p.bgr.resize(3 * std::size_t(p.width) * p.height);
    DibRowReader reader(dib, *layout);
    for (int y = 0; y < p.height; ++y)
        std::copy_n(reader.Row(y), 3 * std::size_t(p.width),
                    p.bgr.data() + 3 * std::size_t(p.width) * y);
    return p;
}

// ---- Quality

// Separable Gaussian blur of σ 1.5 (radius 5, edges repeated), as floats.
std::vector<float> Blurred(const Pixels& p)
{
    constexpr int kRadius = 5;
    constexpr double kSigma = 1.5;
    float kernel[2 * kRadius + 1];
    double total = 0;
    for (int i = -kRadius; i <= kRadius; ++i)
        total += std::exp(-i * i / (2 * kSigma * kSigma));
    for (int i = -kRadius; i <= kRadius; ++i)
        kernel[i + kRadius] = float(std::exp(-i * i / (2 * kSigma * kSigma)) / total);
    const int w = p.width, h = p.height;
    std::vector<float> across(3 * std::size_t(w) * h), out(across.size());
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = p.bgr.data() + 3 * std::size_t(w) * y;
        float* dst = across.data() + 3 * std::size_t(w) * y;
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                float sum = 0;
                for (int k = -kRadius; k <= kRadius; ++k)
                    sum += kernel[k + kRadius] * row[3 * std::clamp(x + k, 0, w - 1) + c];
                dst[3 * x + c] = sum;
            }
    }
    for (int y = 0; y < h; ++y) {
        float* dst = out.data() + 3 * std::size_t(w) * y;
        for (int k = -kRadius; k <= kRadius; ++k) {
            const float* src = across.data() + 3 * std::size_t(w) * std::clamp(y + k, 0, h - 1);
            for (int i = 0; i < 3 * w; ++i)
                dst[i] += kernel[k + kRadius] * src[i];
        }
    }
    return out;
}

template <typename A, typename B> double Psnr(const A& a, const B& b)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    const double mse = sum / double(std::max<std::size_t>(a.size(), 1));
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// ---- The benchmarked pictures, made once.

struct Input
{
    Pixels pixels;
    ImgKitImage image = 0;
    std::vector<float> blurred;
    QImage qimage; // RGB32, for the scaling peer
};

void WriteForOtherTools(const std::string& name, ImgKitImage image)
{
    const QString folder = QDir::temp().filePath(QStringLiteral("velmr-bench-colour"));
    QDir().mkpath(folder);
    const QString path =
        folder + QLatin1Char('/') + QString::fromStdString(name) + QStringLiteral(".bmp");
    if (!QFile::exists(path))
        ImgKitBmpFileSave(path, image, {}, {}, 0);
}

const Input& Picture(const std::string& name)
{
    static std::map<std::string, Input> made;
    auto found = made.find(name);
    if (found != made.end())
        return found->second;
    Input input;
    if (name == "photo1200x900")
        input.pixels = Photograph(1200, 900);
    else if (name == "photo4000x3000")
        input.pixels = Photograph(4000, 3000);
    else
        input.pixels = SealOnPaper(450);
    input.image = ToImage(input.pixels);
    input.qimage = QImage(input.pixels.width, input.pixels.height, QImage::Format_RGB32);
    for (int y = 0; y < input.pixels.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(input.qimage.scanLine(y));
        const std::uint8_t* p = input.pixels.bgr.data() + 3 * std::size_t(input.pixels.width) * y;
        for (int x = 0; x < input.pixels.width; ++x, p += 3)
            line[x] = qRgb(p[2], p[1], p[0]);
    }
    WriteForOtherTools(name, input.image);
    return made.emplace(name, std::move(input)).first->second;
}

// ---- Benchmarks

void Reduce(benchmark::State& state, const std::string& picture, int bits, int palette, int dither)
{
    const Input& input = Picture(picture);
    if (input.image == 0) {
        state.SkipWithError("picture not made");
        return;
    }
    ImgKitImage last = 0;
    for (auto _ : state) {
        ImgKitMemFree(last);
        last = ImgKitConvertColor(input.image, bits, palette, dither, {}, {});
        benchmark::DoNotOptimize(last);
    }
    const Pixels result = FromImage(last);
    ImgKitMemFree(last);
    state.counters["PSNR"] = Psnr(input.pixels.bgr, result.bgr);
    if (input.blurred.empty())
        const_cast<Input&>(input).blurred = Blurred(input.pixels);
    state.counters["PSNR_blur"] = Psnr(input.blurred, Blurred(result));
    state.SetItemsProcessed(state.iterations() * std::int64_t(input.pixels.width) *
                            input.pixels.height);
}

// 256 colours, optimised palette, error diffusion: the dialog's first choice for a photograph.
BENCHMARK_CAPTURE(Reduce, Colours256OptimisedDiffused_Photo1200x900, "photo1200x900", 8, 0, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Colours256OptimisedDiffused_Photo4000x3000, "photo4000x3000", 8, 0, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Colours256OptimisedDiffused_Seal450, "seal450", 8, 0, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Colours16OptimisedDiffused_Photo1200x900, "photo1200x900", 4, 0, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Colours16OptimisedDiffused_Seal450, "seal450", 4, 0, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Colours256OptimisedNearest_Photo1200x900, "photo1200x900", 8, 0, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Colours16OptimisedNearest_Photo1200x900, "photo1200x900", 4, 0, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Colours256FixedDiffused_Photo1200x900, "photo1200x900", 8, 1, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Colours16FixedNearest_Photo1200x900, "photo1200x900", 4, 1, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, BlackWhiteDiffused_Photo1200x900, "photo1200x900", 1, 0, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, BlackWhiteDiffused_Seal450, "seal450", 1, 0, 1)
    ->Unit(benchmark::kMillisecond);

void ScaleImgKit(benchmark::State& state, const std::string& picture, int width, int height)
{
    const Input& input = Picture(picture);
    ImgKitImage last = 0;
    for (auto _ : state) {
        ImgKitMemFree(last);
        last = ImgKitImageSize(input.image, {}, {}, width, height);
        benchmark::DoNotOptimize(last);
    }
    ImgKitMemFree(last);
    state.SetItemsProcessed(state.iterations() * std::int64_t(width) * height);
}

void ScaleQImage(benchmark::State& state, const std::string& picture, int width, int height)
{
    const Input& input = Picture(picture);
    for (auto _ : state) {
        QImage scaled =
            input.qimage.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(scaled.constBits());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(width) * height);
}

BENCHMARK_CAPTURE(ScaleImgKit, Shrink4000x3000To450x338, "photo4000x3000", 450, 338)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScaleQImage, Shrink4000x3000To450x338, "photo4000x3000", 450, 338)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScaleImgKit, Enlarge450x450To900x900, "seal450", 900, 900)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScaleQImage, Enlarge450x450To900x900, "seal450", 900, 900)
    ->Unit(benchmark::kMillisecond);

} // namespace
