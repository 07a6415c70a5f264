#include "image/SealExtract.h"

#include "image/ImgKit.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

// How a seal comes out of a picture:
//
// 1. The paper. The picture is cut into a coarse grid; in each cell the brightest fifth of the
//    pixels (by the sum of the channels) is averaged, which is the paper however much ink, text or
//    grain the cell holds. Light and shadow scale every channel alike, so a cell coloured off the
//    typical paper is solid ink and takes its neighbours' paper; a 3 × 3 median over the grid
//    smooths the rest. The grid is interpolated bilinearly, so lighting gradients, shadows and a
//    tint all divide out: every pixel becomes a reflectance relative to its own paper (1 = paper,
//    0 = black).
// 2. The ink. Among strongly absorbing pixels, the coloured ones are grouped by hue; the biggest
//    group's strongest pixels give the ink's absorption (1 − reflectance per channel). Without
//    enough coloured pixels the ink is black, from the neutral ones.
// 3. Coverage. A print is paper × (1 − α + α × ink): linear in α within the seal's layer, so α is
//    the least-squares fit of the absorption along the ink's. Black print over or beside a
//    coloured seal is a second layer that multiplies: in optical density (−log reflectance) it
//    adds the same amount to every channel. The difference between the ink's darkest and lightest
//    channel cancels it, and gives α where the black is (a table inverts it). Pixels the grey
//    layer darkens take that estimate, the others the least-squares one.
// 4. Cleaning. Under dark print only ink wider than a few pixels stays (a grey opening), so the
//    colour JPEG smears onto print beside the seal is not ink; a faint pixel stays only when it
//    touches solid ink (the ripple compression leaves beside an edge goes). Connected pieces of
//    ink that are too small or too faint are specks and go; only the seal's own cluster of pieces
//    and the faint pixels right beside it stay. Holes are never filled.
// 5. Geometry. A square outline shows as sharp peaks in the ink's projections; the angle (within
//    ±15°) that sharpens them most straightens it. The seal is cut to a centred square with a
//    margin of a twentieth of its size on each side.
namespace velmr::image {
namespace {

// The grid's cells: the picture's shorter side in this many cells, at least kSmallestCell pixels.
constexpr int kCellsOnShortSide = 8;
constexpr int kSmallestCell = 8;
// A cell whose channels differ from the typical paper's by more than this ratio is not paper.
constexpr float kPaperTint = 1.3f;
// The smallest picture a seal can be taken from, and the longest to shortest side.
constexpr int kSmallestSide = 16;
constexpr double kMostElongated = 6.0;
// Reflectances are clamped to [kDarkest, 1]: below it a camera's numbers are noise.
constexpr float kDarkest = 0.03f;
// Resolution of the reflectance → density table.
constexpr int kReflectanceSteps = 4096;
// Coverage below kFaint is paper (grain, compression), from kSolid on it is full ink.
constexpr float kFaint = 0.10f;
constexpr float kSolid = 0.90f;
// The density difference that noise and compression give a pixel of reflectance 1 (the darker, the
// more: it is divided by the reflectance).
constexpr float kColourNoise = 0.03f;
// Coverage that a dark channel saturated under print makes full ink.
constexpr float kSaturatedEvidence = 0.2f;
// A grey layer (black print) from kLeastGrey on takes over the coverage from the ink's own
// estimate, wholly from kMostGrey on.
constexpr float kLeastGrey = 0.08f;
constexpr float kMostGrey = 0.25f;
// Under black print of more than this density a pixel's colour is mostly the compression's
// (a JPEG keeps colour at half the resolution): there the ink must also be wide enough to be
// more than a trace along the print.
constexpr float kUntrustedGrey = 0.3f;
// Beside black print of more than this density a faint pixel is ink only right at the edge of
// solid ink (TrimFaint).
constexpr float kPrintGrey = 0.12f;
// Coverage below which a pixel away from print is a ripple unless it touches solid ink.
constexpr std::uint8_t kRippleInk = 64;
// What the coverage pass says of a pixel besides its coverage.
enum PrintFlag : std::uint8_t
{
    kUntrusted = 1,  // under print darker than kUntrustedGrey
    kBesidePrint = 2 // under print darker than kPrintGrey
};
// About this many pixels are looked at to measure the ink, and to find a square outline's tilt.
constexpr double kInkSamples = 100000.0;
constexpr double kTiltSamples = 120000.0;
// From this many pixels on, the coverage is worked out in two threads.
constexpr qint64 kPixelsWorthAThread = 400000;
// The margin around the seal, as a part of its size, on each side.
constexpr double kMargin = 0.05;

struct Rgb
{
    float r = 0, g = 0, b = 0;
};

float Clamp01(float v)
{
    return std::clamp(v, 0.0f, 1.0f);
}

float Smoothstep(float v, float from, float to)
{
    const float t = Clamp01((v - from) / (to - from));
    return t * t * (3 - 2 * t);
}

QString Size(const QImage& picture)
{
    return QStringLiteral("%1 × %2 画素").arg(picture.width()).arg(picture.height());
}

// The picture as 32-bit RGB; transparent parts on white.
QImage OpaqueRgb(const QImage& picture)
{
    if (!picture.hasAlphaChannel()) {
        return picture.convertToFormat(QImage::Format_RGB32);
    }
    QImage opaque(picture.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, picture);
    painter.end();
    return opaque;
}

// ---------------------------------------------------------------------------------------------
// The paper

class PaperMap
{
public:
    explicit PaperMap(const QImage& rgb);

    // The reciprocal of the paper's colour, channel by channel, along row `y`: one value for
    // each block of 2^BlockShift() pixels (the paper changes little across one; a cell is at
    // least 32 blocks wide), pixel x in reciprocal[x >> BlockShift()].
    void Row(int y, std::vector<Rgb>& reciprocal) const;
    int BlockShift() const { return shift_; }
    // The median paper colour over the picture (0..255).
    Rgb Typical() const { return typical_; }

private:
    int width_ = 0, height_ = 0, cell_ = 0, columns_ = 0, rows_ = 0, shift_ = 0;
    std::vector<Rgb> cells_; // reciprocal paper colour per cell
    std::vector<int> left_;  // per block of pixels: the cell column at its left
    std::vector<float> weight_;
    Rgb typical_;
};

PaperMap::PaperMap(const QImage& rgb) : width_(rgb.width()), height_(rgb.height())
{
    cell_ = std::max(kSmallestCell, std::min(width_, height_) / kCellsOnShortSide);
    columns_ = (width_ + cell_ - 1) / cell_;
    rows_ = (height_ + cell_ - 1) / cell_;
    std::vector<Rgb> paper(std::size_t(columns_) * rows_);
    const int step = std::max(1, cell_ / 24);
    std::array<int, 766> histogram{};
    for (int cy = 0; cy < rows_; ++cy) {
        const int y0 = cy * cell_, y1 = std::min(height_, y0 + cell_);
        for (int cx = 0; cx < columns_; ++cx) {
            const int x0 = cx * cell_, x1 = std::min(width_, x0 + cell_);
            histogram.fill(0);
            int count = 0;
            for (int y = y0; y < y1; y += step) {
                const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
                for (int x = x0; x < x1; x += step) {
                    const QRgb p = line[x];
                    ++histogram[qRed(p) + qGreen(p) + qBlue(p)];
                    ++count;
                }
            }
            // The brightest fifth.
            int wanted = std::max(1, count / 5), threshold = 765;
            for (int seen = 0; threshold > 0; --threshold) {
                seen += histogram[threshold];
                if (seen >= wanted) {
                    break;
                }
            }
            double r = 0, g = 0, b = 0;
            int n = 0;
            for (int y = y0; y < y1; y += step) {
                const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
                for (int x = x0; x < x1; x += step) {
                    const QRgb p = line[x];
                    if (qRed(p) + qGreen(p) + qBlue(p) >= threshold) {
                        r += qRed(p);
                        g += qGreen(p);
                        b += qBlue(p);
                        ++n;
                    }
                }
            }
            paper[std::size_t(cy) * columns_ + cx] = {float(r / n), float(g / n), float(b / n)};
        }
    }

    auto median = [](std::vector<float>& v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    std::vector<float> r, g, b;
    for (const Rgb& p : paper) {
        r.push_back(p.r);
        g.push_back(p.g);
        b.push_back(p.b);
    }
    typical_ = {median(r), median(g), median(b)};

    // Light and shadow change every channel alike; a cell whose colour is off the typical paper's
    // by more than that is ink (a seal's solid part), and takes its neighbours' paper instead.
    std::vector<char> good(paper.size());
    bool anyGood = false;
    for (std::size_t i = 0; i < paper.size(); ++i) {
        const float qr = paper[i].r / std::max(1.0f, typical_.r);
        const float qg = paper[i].g / std::max(1.0f, typical_.g);
        const float qb = paper[i].b / std::max(1.0f, typical_.b);
        good[i] = std::max({qr, qg, qb}) <= kPaperTint * std::min({qr, qg, qb});
        anyGood = anyGood || good[i];
    }
    for (bool filling = anyGood; filling;) {
        filling = false;
        std::vector<char> filled = good;
        for (int cy = 0; cy < rows_; ++cy) {
            for (int cx = 0; cx < columns_; ++cx) {
                const std::size_t i = std::size_t(cy) * columns_ + cx;
                if (good[i]) {
                    continue;
                }
                Rgb sum;
                int n = 0;
                for (int ny = std::max(0, cy - 1); ny <= std::min(rows_ - 1, cy + 1); ++ny) {
                    for (int nx = std::max(0, cx - 1); nx <= std::min(columns_ - 1, cx + 1); ++nx) {
                        const std::size_t j = std::size_t(ny) * columns_ + nx;
                        if (good[j]) {
                            sum = {sum.r + paper[j].r, sum.g + paper[j].g, sum.b + paper[j].b};
                            ++n;
                        }
                    }
                }
                if (n > 0) {
                    paper[i] = {sum.r / n, sum.g / n, sum.b / n};
                    filled[i] = true;
                } else {
                    filling = true; // next round, from the cells filled in this one
                }
            }
        }
        good.swap(filled);
    }

    // A 3 × 3 median, channel by channel.
    cells_.resize(paper.size());
    for (int cy = 0; cy < rows_; ++cy) {
        for (int cx = 0; cx < columns_; ++cx) {
            r.clear();
            g.clear();
            b.clear();
            for (int ny = std::max(0, cy - 1); ny <= std::min(rows_ - 1, cy + 1); ++ny) {
                for (int nx = std::max(0, cx - 1); nx <= std::min(columns_ - 1, cx + 1); ++nx) {
                    const Rgb& p = paper[std::size_t(ny) * columns_ + nx];
                    r.push_back(p.r);
                    g.push_back(p.g);
                    b.push_back(p.b);
                }
            }
            const Rgb m{median(r), median(g), median(b)};
            cells_[std::size_t(cy) * columns_ + cx] = {
                1.0f / std::max(m.r, 1.0f), 1.0f / std::max(m.g, 1.0f), 1.0f / std::max(m.b, 1.0f)};
        }
    }

    // Columns: the cell centres at the left and the weight of the right one.
    while ((2 << shift_) * 32 <= cell_) {
        ++shift_;
    }
    const int blocks = ((width_ - 1) >> shift_) + 1;
    left_.resize(blocks);
    weight_.resize(blocks);
    for (int block = 0; block < blocks; ++block) {
        const int x = std::min(width_ - 1, (block << shift_) + (1 << shift_) / 2);
        const float position = (x + 0.5f) / cell_ - 0.5f;
        const int left = std::clamp(int(std::floor(position)), 0, std::max(0, columns_ - 2));
        left_[block] = left;
        weight_[block] = columns_ == 1 ? 0.0f : Clamp01(position - left);
    }
}

void PaperMap::Row(int y, std::vector<Rgb>& reciprocal) const
{
    const float position = (y + 0.5f) / cell_ - 0.5f;
    const int top = std::clamp(int(std::floor(position)), 0, std::max(0, rows_ - 2));
    const int bottom = std::min(top + 1, rows_ - 1);
    const float wy = rows_ == 1 ? 0.0f : Clamp01(position - top);
    Rgb column[2];
    reciprocal.resize(left_.size());
    int cached = -1;
    for (std::size_t x = 0; x < left_.size(); ++x) {
        const int left = left_[x];
        if (left != cached) {
            for (int i = 0; i < 2; ++i) {
                const int cx = std::min(left + i, columns_ - 1);
                const Rgb& a = cells_[std::size_t(top) * columns_ + cx];
                const Rgb& b = cells_[std::size_t(bottom) * columns_ + cx];
                column[i] = {a.r + (b.r - a.r) * wy, a.g + (b.g - a.g) * wy,
                             a.b + (b.b - a.b) * wy};
            }
            cached = left;
        }
        const float wx = weight_[x];
        reciprocal[x] = {column[0].r + (column[1].r - column[0].r) * wx,
                         column[0].g + (column[1].g - column[0].g) * wx,
                         column[0].b + (column[1].b - column[0].b) * wx};
    }
}

// ---------------------------------------------------------------------------------------------
// The ink

struct Ink
{
    std::array<float, 3> absorption{}; // 1 − the ink's reflectance relative to the paper
    bool coloured = false;
};

std::array<float, 3> Absorption(QRgb p, const Rgb& reciprocal)
{
    return {1.0f - std::clamp(qRed(p) * reciprocal.r, kDarkest, 1.0f),
            1.0f - std::clamp(qGreen(p) * reciprocal.g, kDarkest, 1.0f),
            1.0f - std::clamp(qBlue(p) * reciprocal.b, kDarkest, 1.0f)};
}

std::optional<Ink> MeasureInk(const QImage& rgb, const PaperMap& paper)
{
    const qint64 pixels = qint64(rgb.width()) * rgb.height();
    const int stride = std::max(1, int(std::lround(std::sqrt(double(pixels) / kInkSamples))));
    struct Sample
    {
        std::array<float, 3> e;
        float strength;
        int hue;
    };
    constexpr int kHues = 72;
    std::vector<Sample> coloured, neutral;
    std::array<double, kHues> hues{};
    std::vector<Rgb> reciprocal;
    qint64 samples = 0;
    for (int y = stride / 2; y < rgb.height(); y += stride) {
        paper.Row(y, reciprocal);
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = stride / 2; x < rgb.width(); x += stride) {
            ++samples;
            const auto e = Absorption(line[x], reciprocal[x >> paper.BlockShift()]);
            const float most = std::max({e[0], e[1], e[2]});
            const float least = std::min({e[0], e[1], e[2]});
            if (most < 0.3f) {
                continue;
            }
            const float chroma = (most - least) / most;
            if (chroma > 0.4f) {
                const float hx = e[0] - (e[1] + e[2]) / 2;
                const float hy = 0.8660254f * (e[1] - e[2]);
                const double angle = std::atan2(hy, hx) * 180.0 / M_PI + 180.0;
                const int hue = std::clamp(int(angle / (360.0 / kHues)), 0, kHues - 1);
                hues[hue] += most;
                coloured.push_back({e, most, hue});
            } else if (chroma < 0.25f && least > 0.4f) {
                neutral.push_back({e, least, 0});
            }
        }
    }
    const qint64 enough = std::max<qint64>(20, samples / 2000);

    // The strongest part of a group: its average absorption.
    auto strongest = [](std::vector<Sample>& group) {
        std::sort(group.begin(), group.end(),
                  [](const Sample& a, const Sample& b) { return a.strength > b.strength; });
        const std::size_t n = std::max<std::size_t>(1, group.size() * 2 / 5);
        std::array<double, 3> sum{};
        for (std::size_t i = 0; i < n; ++i) {
            for (int c = 0; c < 3; ++c) {
                sum[c] += group[i].e[c];
            }
        }
        return std::array<float, 3>{float(sum[0] / n), float(sum[1] / n), float(sum[2] / n)};
    };

    if (qint64(coloured.size()) >= enough) {
        int peak = 0;
        double best = -1;
        for (int h = 0; h < kHues; ++h) {
            const double around = hues[(h + kHues - 1) % kHues] + hues[h] + hues[(h + 1) % kHues];
            if (around > best) {
                best = around;
                peak = h;
            }
        }
        std::vector<Sample> group;
        for (const Sample& s : coloured) {
            const int distance = std::abs(s.hue - peak);
            if (std::min(distance, kHues - distance) <= 3) {
                group.push_back(s);
            }
        }
        if (qint64(group.size()) >= enough) {
            return Ink{strongest(group), true};
        }
    }
    if (qint64(neutral.size()) >= enough) {
        return Ink{strongest(neutral), false};
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Coverage

class Unmixer
{
public:
    explicit Unmixer(const Ink& ink);
    // The coverage of one pixel, 0..255; `print` tells (PrintFlag) how much black print darkens
    // it.
    std::uint8_t Coverage(QRgb p, const Rgb& reciprocal, std::uint8_t& print) const;
    // Whether black print is told apart from the ink.
    bool Layered() const { return layered_; }

private:
    static int Step(float reflectance) { return int(reflectance * (kReflectanceSteps - 1) + 0.5f); }
    float Density(float reflectance) const { return density_[Step(reflectance)]; }

    std::array<float, 3> a_{}; // the ink's absorption
    float aNorm_ = 1;          // 1 / |a|²
    float paperFloor_ = 1;     // above it in every channel a pixel is plain paper
    bool layered_ = false;     // a coloured ink: black print is a separate layer
    int light_ = 0, dark_ = 0;
    std::vector<float> density_;              // by reflectance
    std::vector<float> noise_;                // kColourNoise / reflectance, by reflectance
    std::vector<float> coverageByDifference_; // by density difference
    float differenceStep_ = 1;
    std::vector<float> lightDensity_; // the lightest channel's density by coverage
};

constexpr int kCoverageSteps = 1024;

Unmixer::Unmixer(const Ink& ink)
{
    for (int c = 0; c < 3; ++c) {
        a_[c] = std::clamp(ink.absorption[c], 0.0f, 1.0f - kDarkest);
    }
    aNorm_ = 1.0f / std::max(1e-4f, a_[0] * a_[0] + a_[1] * a_[1] + a_[2] * a_[2]);
    // Above this reflectance in every channel neither estimate reaches kFaint, and no grey layer
    // shows (below the smallest grey that counts, 0.08): plain paper, told at once.
    const float faintest = kFaint / std::max(1e-4f, (a_[0] + a_[1] + a_[2]) * aNorm_);
    paperFloor_ = 1.0f - 0.999f * std::min(faintest, 1.0f - std::exp(-kLeastGrey));
    density_.resize(kReflectanceSteps);
    noise_.resize(kReflectanceSteps);
    for (int i = 0; i < kReflectanceSteps; ++i) {
        const float reflectance = std::max(kDarkest, float(i) / (kReflectanceSteps - 1));
        density_[i] = -std::log(reflectance);
        noise_[i] = kColourNoise / reflectance;
    }
    light_ = int(std::min_element(a_.begin(), a_.end()) - a_.begin());
    dark_ = int(std::max_element(a_.begin(), a_.end()) - a_.begin());
    layered_ = ink.coloured && a_[dark_] - a_[light_] > 0.3f;
    if (!layered_) {
        return;
    }
    // The density difference between the dark and the light channel grows with the coverage.
    std::vector<float> difference(kCoverageSteps + 1);
    lightDensity_.resize(kCoverageSteps + 1);
    for (int i = 0; i <= kCoverageSteps; ++i) {
        const float alpha = float(i) / kCoverageSteps;
        lightDensity_[i] = -std::log(1 - alpha * a_[light_]);
        difference[i] = -std::log(1 - alpha * a_[dark_]) - lightDensity_[i];
    }
    const float largest = difference.back();
    differenceStep_ = largest / kCoverageSteps;
    coverageByDifference_.resize(kCoverageSteps + 1);
    int i = 0;
    for (int k = 0; k <= kCoverageSteps; ++k) {
        const float d = k * differenceStep_;
        while (i < kCoverageSteps && difference[i + 1] < d) {
            ++i;
        }
        const float span = difference[std::min(i + 1, kCoverageSteps)] - difference[i];
        const float t = span > 0 ? Clamp01((d - difference[i]) / span) : 0.0f;
        coverageByDifference_[k] = (i + t) / kCoverageSteps;
    }
}

std::uint8_t Unmixer::Coverage(QRgb p, const Rgb& reciprocal, std::uint8_t& print) const
{
    print = 0;
    const float r[3] = {std::clamp(qRed(p) * reciprocal.r, kDarkest, 1.0f),
                        std::clamp(qGreen(p) * reciprocal.g, kDarkest, 1.0f),
                        std::clamp(qBlue(p) * reciprocal.b, kDarkest, 1.0f)};
    if (std::min({r[0], r[1], r[2]}) > paperFloor_) {
        return 0;
    }
    float alpha = ((1 - r[0]) * a_[0] + (1 - r[1]) * a_[1] + (1 - r[2]) * a_[2]) * aNorm_;
    if (layered_) {
        const float light = Density(r[light_]);
        // Dark pixels carry little of their colour: what a camera's noise and compression can
        // make of it does not count.
        const float noise = noise_[Step(r[light_])];
        const float difference = std::max(0.0f, Density(r[dark_]) - light - noise);
        const int k = std::min(kCoverageSteps, int(difference / differenceStep_ + 0.5f));
        float layered = coverageByDifference_[k];
        // A dark channel at the darkest a camera tells apart, under a lighter one: the ink is
        // there and the print darkens it past measuring (the difference only bounds it from
        // below): full ink.
        if (layered > kSaturatedEvidence) {
            layered += (1 - layered) * Smoothstep(-r[dark_], -2 * kDarkest, -kDarkest);
        }
        // What the ink does not explain in its lightest channel is a grey layer.
        const float grey = light - lightDensity_[int(layered * kCoverageSteps + 0.5f)];
        const float w = Smoothstep(grey, kLeastGrey, kMostGrey);
        alpha += (layered - alpha) * w;
        print = (grey > kUntrustedGrey ? kUntrusted : 0) | (grey > kPrintGrey ? kBesidePrint : 0);
    }
    alpha = Clamp01((alpha - kFaint) / (kSolid - kFaint));
    return std::uint8_t(alpha * 255 + 0.5f);
}

// Under black print, keeps only ink at least five pixels wide: a grey opening (the largest of the
// smallest values around) taken where the print is, so that the colour that JPEG smears from the
// seal onto the print beside it (a few pixels, whatever the picture's size) does not become ink.
// Few inked pixels lie under print: each is worked out on its own.
void OpenUnderPrint(std::vector<std::uint8_t>& alpha, const std::vector<std::uint8_t>& underPrint,
                    int width, int height)
{
    constexpr int kRadius = 2;
    std::vector<std::pair<std::size_t, std::uint8_t>> opened;
    auto at = [&](int x, int y) -> std::uint8_t {
        return x < 0 || y < 0 || x >= width || y >= height ? 0 : alpha[std::size_t(y) * width + x];
    };
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = alpha.data() + std::size_t(y) * width;
        const std::uint8_t* print = underPrint.data() + std::size_t(y) * width;
        for (int x = 0; x < width; ++x) {
            if (x + 8 <= width) {
                std::uint64_t eight;
                std::memcpy(&eight, row + x, 8);
                if (eight == 0) {
                    x += 7;
                    continue;
                }
            }
            if (row[x] == 0 || !(print[x] & kUntrusted)) {
                continue;
            }
            std::uint8_t largest = 0;
            for (int qy = y - kRadius; qy <= y + kRadius; ++qy) {
                for (int qx = x - kRadius; qx <= x + kRadius; ++qx) {
                    std::uint8_t smallest = 255;
                    for (int ry = qy - kRadius; ry <= qy + kRadius && smallest > largest; ++ry) {
                        for (int rx = qx - kRadius; rx <= qx + kRadius; ++rx) {
                            smallest = std::min(smallest, at(rx, ry));
                        }
                    }
                    largest = std::max(largest, smallest);
                }
            }
            if (largest < row[x]) {
                opened.emplace_back(std::size_t(y) * width + x, largest);
            }
        }
    }
    for (const auto& [i, value] : opened) {
        alpha[i] = value;
    }
}

// A faint pixel stays only when it touches solid ink: the edge of a stroke, not the ripple that
// JPEG leaves a pixel or two beside it. Beside black print (`print`, when given) the colour is
// less sure, and "faint" and "solid" both reach higher.
void TrimFaint(std::vector<std::uint8_t>& alpha, const std::vector<std::uint8_t>& print, int width,
               int height)
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = std::size_t(y) * width + x;
            if (x + 8 <= width) {
                std::uint64_t eight;
                std::memcpy(&eight, alpha.data() + i, 8);
                if (eight == 0) {
                    x += 7;
                    continue;
                }
            }
            const bool besidePrint = !print.empty() && (print[i] & kBesidePrint);
            const std::uint8_t faint = besidePrint ? 128 : kRippleInk;
            if (alpha[i] == 0 || alpha[i] >= faint) {
                continue;
            }
            const std::uint8_t solid = besidePrint ? 200 : 128;
            bool touches = false;
            for (int dy = std::max(0, y - 1); dy <= std::min(height - 1, y + 1) && !touches; ++dy) {
                for (int dx = std::max(0, x - 1); dx <= std::min(width - 1, x + 1); ++dx) {
                    if (alpha[std::size_t(dy) * width + dx] >= solid) {
                        touches = true;
                        break;
                    }
                }
            }
            if (!touches) {
                alpha[i] = 0;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Cleaning

struct Piece
{
    int left = 0, top = 0, right = -1, bottom = -1; // inclusive
    qint64 solid = 0;                               // pixels of coverage ≥ kPieceSolid
    int strongest = 0;
    bool kept = false;
};

// Coverage from which a pixel belongs to a piece, and from which it counts as solid ink. Fainter
// pixels stay only near a piece that stays (see KeepNear).
constexpr std::uint8_t kPiecePixel = 77;
constexpr std::uint8_t kPieceSolid = 128;

// The pieces of ink: runs of pixels of coverage ≥ kPiecePixel along each row, joined to the runs
// they touch (also diagonally) in the row above.
class Pieces
{
public:
    explicit Pieces(const std::vector<std::uint8_t>& alpha, int width, int height);

    struct Run
    {
        int y, left, right; // inclusive
        std::int32_t piece; // index into `pieces`
    };
    std::vector<Run> runs; // row by row, left to right
    std::vector<Piece> pieces;

private:
    std::int32_t Find(std::int32_t i)
    {
        while (parent_[i] != i) {
            parent_[i] = parent_[parent_[i]];
            i = parent_[i];
        }
        return i;
    }
    std::vector<std::int32_t> parent_; // by run
};

Pieces::Pieces(const std::vector<std::uint8_t>& alpha, int width, int height)
{
    std::vector<qint64> solid;
    std::vector<int> strongest;
    std::size_t above = 0, aboveEnd = 0; // the previous row's runs
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = alpha.data() + std::size_t(y) * width;
        const std::size_t rowStart = runs.size();
        for (int x = 0; x < width;) {
            // Eight pixels of paper at a time.
            if (x + 8 <= width) {
                std::uint64_t eight;
                std::memcpy(&eight, row + x, 8);
                if (eight == 0) {
                    x += 8;
                    continue;
                }
            }
            if (row[x] < kPiecePixel) {
                ++x;
                continue;
            }
            const int left = x;
            qint64 solidHere = 0;
            int strongestHere = 0;
            while (x < width && row[x] >= kPiecePixel) {
                solidHere += row[x] >= kPieceSolid;
                strongestHere = std::max<int>(strongestHere, row[x]);
                ++x;
            }
            const auto index = std::int32_t(runs.size());
            runs.push_back({y, left, x - 1, index});
            parent_.push_back(index);
            solid.push_back(solidHere);
            strongest.push_back(strongestHere);
            // Join the runs above that touch it.
            while (above < aboveEnd && runs[above].right < left - 1) {
                ++above;
            }
            for (std::size_t j = above; j < aboveEnd && runs[j].left <= x; ++j) {
                const std::int32_t a = Find(std::int32_t(j)), b = Find(index);
                if (a != b) {
                    parent_[std::max(a, b)] = std::min(a, b);
                }
            }
        }
        above = rowStart;
        aboveEnd = runs.size();
    }
    // Number the pieces and gather what is known of them.
    std::vector<std::int32_t> piece(runs.size(), -1);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::int32_t root = Find(std::int32_t(i));
        if (piece[root] < 0) {
            piece[root] = std::int32_t(pieces.size());
            Piece p;
            p.left = width;
            p.top = height;
            pieces.push_back(p);
        }
        Run& run = runs[i];
        run.piece = piece[root];
        Piece& p = pieces[run.piece];
        p.left = std::min(p.left, run.left);
        p.right = std::max(p.right, run.right);
        p.top = std::min(p.top, run.y);
        p.bottom = std::max(p.bottom, run.y);
        p.solid += solid[i];
        p.strongest = std::max(p.strongest, strongest[i]);
    }
}

struct Box
{
    int left = 0, top = 0, right = -1, bottom = -1;
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};

// Keeps the seal's cluster of pieces: the biggest, and every piece near what is kept already.
// Nothing when no piece is big enough to be a seal.
std::optional<Box> KeepSeal(Pieces& found)
{
    qint64 total = 0;
    int biggest = -1;
    for (int i = 0; i < int(found.pieces.size()); ++i) {
        total += found.pieces[i].solid;
        if (biggest < 0 || found.pieces[i].solid > found.pieces[biggest].solid) {
            biggest = i;
        }
    }
    if (biggest < 0 || found.pieces[biggest].solid < 16) {
        return std::nullopt;
    }
    const qint64 speck = std::max<qint64>(4, total / 1500);
    Piece& seed = found.pieces[biggest];
    seed.kept = true;
    Box box{seed.left, seed.top, seed.right, seed.bottom};
    for (bool grew = true; grew;) {
        grew = false;
        const int reach = std::max(4, std::max(box.Width(), box.Height()) / 6);
        for (Piece& p : found.pieces) {
            if (p.kept || p.solid < speck || p.strongest < kPieceSolid) {
                continue;
            }
            if (p.right < box.left - reach || p.left > box.right + reach ||
                p.bottom < box.top - reach || p.top > box.bottom + reach) {
                continue;
            }
            p.kept = true;
            box = {std::min(box.left, p.left), std::min(box.top, p.top),
                   std::max(box.right, p.right), std::max(box.bottom, p.bottom)};
            grew = true;
        }
    }
    return box;
}

// Clears every pixel farther than `reach` (chessboard distance) from a kept piece: the faint
// edges of the seal's strokes stay, specks and the faint traces along black print go. Only the
// seal's `region` (its pieces' extent widened by `reach`) can keep anything.
void KeepNear(std::vector<std::uint8_t>& alpha, const Pieces& found, int width, const Box& region,
              int reach)
{
    const int rw = region.Width(), rh = region.Height();
    std::vector<std::uint8_t> distance(std::size_t(rw) * rh);
    std::fill(distance.begin(), distance.end(), std::uint8_t(255));
    for (const Pieces::Run& run : found.runs) {
        if (!found.pieces[run.piece].kept || run.y < region.top || run.y > region.bottom) {
            continue;
        }
        const int left = std::max(run.left, region.left), right = std::min(run.right, region.right);
        if (left <= right) {
            std::fill_n(distance.data() + std::size_t(run.y - region.top) * rw +
                            (left - region.left),
                        right - left + 1, std::uint8_t(0));
        }
    }
    auto relax = [&](std::size_t i, std::size_t from) {
        const int d = distance[from] + 1;
        if (d < distance[i]) {
            distance[i] = std::uint8_t(d);
        }
    };
    for (int y = 0; y < rh; ++y) {
        for (int x = 0; x < rw; ++x) {
            const std::size_t i = std::size_t(y) * rw + x;
            if (x > 0) {
                relax(i, i - 1);
            }
            if (y > 0) {
                relax(i, i - rw);
                if (x > 0) {
                    relax(i, i - rw - 1);
                }
                if (x + 1 < rw) {
                    relax(i, i - rw + 1);
                }
            }
        }
    }
    for (int y = rh - 1; y >= 0; --y) {
        for (int x = rw - 1; x >= 0; --x) {
            const std::size_t i = std::size_t(y) * rw + x;
            if (x + 1 < rw) {
                relax(i, i + 1);
            }
            if (y + 1 < rh) {
                relax(i, i + rw);
                if (x + 1 < rw) {
                    relax(i, i + rw + 1);
                }
                if (x > 0) {
                    relax(i, i + rw - 1);
                }
            }
        }
    }
    // Outside the region nothing stays; inside, what is near enough.
    const std::size_t height = alpha.size() / std::size_t(width);
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = alpha.data() + y * width;
        if (int(y) < region.top || int(y) > region.bottom) {
            std::fill_n(row, width, std::uint8_t(0));
            continue;
        }
        std::fill_n(row, region.left, std::uint8_t(0));
        std::fill(row + region.right + 1, row + width, std::uint8_t(0));
        const std::uint8_t* near = distance.data() + std::size_t(int(y) - region.top) * rw;
        for (int x = 0; x < rw; ++x) {
            if (near[x] > reach) {
                row[region.left + x] = 0;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Geometry

struct Straightening
{
    double angle = 0; // radians; the seal is turned back by it
    bool square = false;
};

// A square outline's tilt, from the sharpness of the ink's projections.
Straightening FindTilt(const std::vector<std::uint8_t>& alpha, int width, const Box& box)
{
    std::vector<std::pair<float, float>> points;
    const qint64 area = qint64(box.Width()) * box.Height();
    const int stride = std::max(1, int(std::lround(std::sqrt(double(area) / kTiltSamples))));
    const float cx = (box.left + box.right) / 2.0f, cy = (box.top + box.bottom) / 2.0f;
    for (int y = box.top; y <= box.bottom; y += stride) {
        const std::uint8_t* row = alpha.data() + std::size_t(y) * width;
        for (int x = box.left; x <= box.right; x += stride) {
            if (row[x] >= kPieceSolid) {
                points.emplace_back(x - cx, y - cy);
            }
        }
    }
    if (points.size() < 50) {
        return {};
    }
    const float size = float(std::max(box.Width(), box.Height()));
    float bin = std::max(1.0f, size / 150.0f);
    int bins = int(size * 1.5f / bin) + 2;
    std::vector<int> hx(bins), hy(bins);
    auto score = [&](double angle) {
        std::fill(hx.begin(), hx.end(), 0);
        std::fill(hy.begin(), hy.end(), 0);
        const float c = float(std::cos(angle)), s = float(std::sin(angle));
        for (const auto& [x, y] : points) {
            const int u = std::clamp(int((x * c + y * s) / bin + bins / 2), 0, bins - 1);
            const int v = std::clamp(int((-x * s + y * c) / bin + bins / 2), 0, bins - 1);
            ++hx[u];
            ++hy[v];
        }
        double sum = 0;
        for (int i = 0; i < bins; ++i) {
            sum += double(hx[i]) * hx[i] + double(hy[i]) * hy[i];
        }
        return sum;
    };
    const double degree = M_PI / 180.0;
    double best = 0, bestScore = -1;
    for (double a = -15; a <= 15.001; a += 0.5) {
        const double s = score(a * degree);
        if (s > bestScore) {
            bestScore = s;
            best = a;
        }
    }
    // Finer, with bins of about a pixel.
    const double coarse = best;
    bin = std::max({1.0f, size / 600.0f, float(stride)});
    bins = int(size * 1.5f / bin) + 2;
    hx.resize(bins);
    hy.resize(bins);
    bestScore = -1;
    for (double a = coarse - 0.5; a <= coarse + 0.501; a += 0.05) {
        const double s = score(a * degree);
        if (s > bestScore) {
            bestScore = s;
            best = a;
        }
    }
    // A square outline: ink along most of each side of the turned extent.
    const float c = float(std::cos(best * degree)), s = float(std::sin(best * degree));
    float u0 = 1e9f, u1 = -1e9f, v0 = 1e9f, v1 = -1e9f;
    for (const auto& [x, y] : points) {
        const float u = x * c + y * s, v = -x * s + y * c;
        u0 = std::min(u0, u);
        u1 = std::max(u1, u);
        v0 = std::min(v0, v);
        v1 = std::max(v1, v);
    }
    constexpr int kSideBins = 40;
    std::array<std::array<bool, kSideBins>, 4> covered{};
    const float bandU = (u1 - u0) * 0.06f + 1, bandV = (v1 - v0) * 0.06f + 1;
    for (const auto& [x, y] : points) {
        const float u = x * c + y * s, v = -x * s + y * c;
        const int along_v =
            std::clamp(int((v - v0) / (v1 - v0 + 1e-3f) * kSideBins), 0, kSideBins - 1);
        const int along_u =
            std::clamp(int((u - u0) / (u1 - u0 + 1e-3f) * kSideBins), 0, kSideBins - 1);
        if (u < u0 + bandU) {
            covered[0][along_v] = true;
        }
        if (u > u1 - bandU) {
            covered[1][along_v] = true;
        }
        if (v < v0 + bandV) {
            covered[2][along_u] = true;
        }
        if (v > v1 - bandV) {
            covered[3][along_u] = true;
        }
    }
    for (const auto& side : covered) {
        if (std::count(side.begin(), side.end(), true) < kSideBins * 7 / 10) {
            return {};
        }
    }
    return {best * degree, true};
}

QImage CutSquare(const std::vector<std::uint8_t>& alpha, int width, int height, const Box& box,
                 const Straightening& turn, QRgb ink)
{
    const QRgb clear = ink & 0x00ffffff;
    if (!turn.square || std::abs(turn.angle) < 0.25 * M_PI / 180.0) {
        const int extent = std::max(box.Width(), box.Height());
        const int side = extent + 2 * std::max(1, int(std::lround(extent * kMargin)));
        const int left = box.left - (side - box.Width()) / 2;
        const int top = box.top - (side - box.Height()) / 2;
        QImage seal(side, side, QImage::Format_ARGB32);
        for (int y = 0; y < side; ++y) {
            auto* out = reinterpret_cast<QRgb*>(seal.scanLine(y));
            const int sy = top + y;
            for (int x = 0; x < side; ++x) {
                const int sx = left + x;
                std::uint8_t a = 0;
                if (sy >= 0 && sy < height && sx >= 0 && sx < width) {
                    a = alpha[std::size_t(sy) * width + sx];
                }
                out[x] = clear | (QRgb(a) << 24);
            }
        }
        return seal;
    }
    // The turned extent: the corners of every inked pixel turned back.
    const double c = std::cos(turn.angle), s = std::sin(turn.angle);
    const double cx = (box.left + box.right + 1) / 2.0, cy = (box.top + box.bottom + 1) / 2.0;
    double u0 = 1e18, u1 = -1e18, v0 = 1e18, v1 = -1e18;
    for (int y = box.top; y <= box.bottom; ++y) {
        const std::uint8_t* row = alpha.data() + std::size_t(y) * width;
        for (int x = box.left; x <= box.right; ++x) {
            if (row[x] < kPiecePixel) {
                continue;
            }
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double u = dx * c + dy * s, v = -dx * s + dy * c;
            u0 = std::min(u0, u);
            u1 = std::max(u1, u);
            v0 = std::min(v0, v);
            v1 = std::max(v1, v);
        }
    }
    const double extent = std::max(u1 - u0, v1 - v0) + 1;
    const int side = int(std::ceil(extent)) + 2 * std::max(1, int(std::lround(extent * kMargin)));
    const double mu = (u0 + u1) / 2, mv = (v0 + v1) / 2;
    QImage seal(side, side, QImage::Format_ARGB32);
    auto at = [&](int x, int y) -> float {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            return 0.0f;
        }
        return alpha[std::size_t(y) * width + x];
    };
    for (int y = 0; y < side; ++y) {
        auto* out = reinterpret_cast<QRgb*>(seal.scanLine(y));
        const double v = y + 0.5 - side / 2.0 + mv;
        for (int x = 0; x < side; ++x) {
            const double u = x + 0.5 - side / 2.0 + mu;
            // Back to the picture: (u, v) turned by the angle.
            const double sx = cx + u * c - v * s - 0.5, sy = cy + u * s + v * c - 0.5;
            const int ix = int(std::floor(sx)), iy = int(std::floor(sy));
            const float fx = float(sx - ix), fy = float(sy - iy);
            const float top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * fx;
            const float bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * fx;
            const int a = std::clamp(int(top + (bottom - top) * fy + 0.5f), 0, 255);
            out[x] = clear | (QRgb(a) << 24);
        }
    }
    return seal;
}

} // namespace

QColor InkColorFor(InkChoice ink, QColor measured)
{
    switch (ink) {
    case InkChoice::Measured:
        return measured;
    case InkChoice::Vermilion:
        return QColor(227, 66, 52);
    case InkChoice::Red:
        return QColor(255, 0, 0);
    case InkChoice::Black:
        return QColor(0, 0, 0);
    case InkChoice::Blue:
        return QColor(0, 0, 255);
    }
    return measured;
}

Extraction ExtractSeal(const QImage& picture, InkChoice ink)
{
    Extraction extraction;
    if (picture.isNull()) {
        extraction.error = QStringLiteral("画像がありません。");
        return extraction;
    }
    const int width = picture.width(), height = picture.height();
    if (width > kMaxSide || height > kMaxSide ||
        std::uint64_t(width) * std::uint64_t(height) * 4 > kMaxPixelBytes) {
        extraction.error = QStringLiteral("画像が大きすぎます (%1)。扱える画像は一辺 %2 画素、"
                                          "画素データ 256 MiB までです。")
                               .arg(Size(picture))
                               .arg(kMaxSide);
        return extraction;
    }
    if (std::min(width, height) < kSmallestSide) {
        extraction.error = QStringLiteral("画像が小さすぎます (%1)。印影を取り込むには縦横とも "
                                          "%2 画素以上の画像が必要です。")
                               .arg(Size(picture))
                               .arg(kSmallestSide);
        return extraction;
    }
    if (std::max(width, height) > kMostElongated * std::min(width, height)) {
        extraction.error = QStringLiteral("画像が細長すぎます (%1)。印影の画像は長い辺が短い辺の "
                                          "%2 倍までです。")
                               .arg(Size(picture))
                               .arg(kMostElongated);
        return extraction;
    }

    const QImage rgb = OpaqueRgb(picture);
    const PaperMap paper(rgb);
    const Rgb typical = paper.Typical();
    const float brightest = std::max({typical.r, typical.g, typical.b});
    const float darkest = std::min({typical.r, typical.g, typical.b});
    if (brightest < 40 || darkest < 0.3f * brightest) {
        extraction.error =
            QStringLiteral("画像に紙の部分が見つかりません (全体がインクか暗い色です)。"
                           "印影の周りに白い紙が写った画像を選んでください。");
        return extraction;
    }
    const std::optional<Ink> measured = MeasureInk(rgb, paper);
    if (!measured) {
        extraction.error =
            QStringLiteral("画像に印影のインクが見つかりません。"
                           "白い紙に押した印影の写真かスキャン画像を選んでください。");
        return extraction;
    }

    // Coverage, row by row.
    const Unmixer unmix(*measured);
    std::vector<std::uint8_t> alpha(std::size_t(width) * height);
    std::vector<std::uint8_t> underPrint(unmix.Layered() ? alpha.size() : 0);
    const int shift = paper.BlockShift();
    auto cover = [&](int from, int to) {
        std::vector<Rgb> reciprocal;
        for (int y = from; y < to; ++y) {
            paper.Row(y, reciprocal);
            const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            std::uint8_t* out = alpha.data() + std::size_t(y) * width;
            std::uint8_t* under =
                unmix.Layered() ? underPrint.data() + std::size_t(y) * width : nullptr;
            for (int x = 0; x < width; ++x) {
                std::uint8_t print = 0;
                out[x] = unmix.Coverage(line[x], reciprocal[x >> shift], print);
                if (under) {
                    under[x] = print;
                }
            }
        }
    };
    // Big pictures in two halves at once (each row on its own: the same result either way).
    if (qint64(width) * height >= kPixelsWorthAThread) {
        std::thread lower(cover, height / 2, height);
        cover(0, height / 2);
        lower.join();
    } else {
        cover(0, height);
    }
    if (unmix.Layered()) {
        OpenUnderPrint(alpha, underPrint, width, height);
    }

    TrimFaint(alpha, underPrint, width, height);
    Pieces found(alpha, width, height);
    const std::optional<Box> box = KeepSeal(found);
    if (!box) {
        extraction.error =
            QStringLiteral("画像に印影のインクが見つかりません。"
                           "白い紙に押した印影の写真かスキャン画像を選んでください。");
        return extraction;
    }
    const int reach = std::max(2, std::min(width, height) / 450);
    const Box seen{std::max(0, box->left - reach), std::max(0, box->top - reach),
                   std::min(width - 1, box->right + reach),
                   std::min(height - 1, box->bottom + reach)};
    KeepNear(alpha, found, width, seen, reach);

    const auto& a = measured->absorption;
    const QColor inkColour(int(std::lround((1 - a[0]) * 255)), int(std::lround((1 - a[1]) * 255)),
                           int(std::lround((1 - a[2]) * 255)));
    const QColor chosen = InkColorFor(ink, inkColour);
    const Straightening turn = FindTilt(alpha, width, seen);
    ExtractedSeal seal;
    seal.seal = CutSquare(alpha, width, height, seen, turn, chosen.rgb());
    seal.measuredInk = inkColour;
    extraction.result = std::move(seal);
    return extraction;
}

} // namespace velmr::image
