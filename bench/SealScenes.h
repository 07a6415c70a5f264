#pragma once

#include "image/SealExtract.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

// Seals stamped on paper, made by code so that the truth is known: seals drawn by the program
// (their alpha is the truth), printed by multiplication onto paper with a lighting gradient,
// grain, a tint, a slight turn and black text crossing them, then through JPEG at quality 75.
// The test suite and the benchmarks score seal extraction on the same set.
namespace velmr::scenes {

struct SealScene
{
    QString name;
    QImage picture;      // Format_RGB32, what a phone or a scanner gives
    QImage truthUpright; // the seal as drawn (Format_ARGB32, alpha = coverage)
    QImage truthInScene; // the truth where it lies in the picture (picture's size, alpha only)
    // The truth in the scene turned back upright by the scene's own angle, bilinearly, as a
    // straightening extraction resamples.
    QImage truthStraightened;
    QColor ink;                 // the seal's colour
    bool squareOutline = false; // the extraction is to straighten it: scored against
                                // truthStraightened rather than the turned truth
};

// The benchmark set, or one picture of it.
std::vector<SealScene> MakeSealScenes();
SealScene MakeSealScene(std::size_t index);
std::size_t SealSceneCount();
// The first scene of the set drawn on a canvas of `size` (the seal a third of its shorter side):
// pictures for timing.
SealScene MakeTimingScene(QSize size);

struct SceneScore
{
    double alphaError = 1;    // Σ|α − truth| / Σ truth, after alignment
    double gradientError = 1; // Σ|∇α − ∇truth| / Σ|∇truth|
    long long fringe = 0; // α > 0.1 where the truth is 0 within a pixel, or ink of another colour
    float dx = 0, dy = 0; // where the result's top-left fell on the reference
    QImage fringeMap;     // the result's size: the fringe pixels opaque
};

// Scores an extraction against the scene's truth. The result is compared with the truth turned
// back upright by the scene's true angle when the scene has a square outline (the extraction
// straightens it: the truth then goes through the same bilinear resampling, and an error in the
// angle the extraction found still counts), with the truth in the scene otherwise. Alignment: the
// result's alpha centroid is put on the reference's centroid, then the whole-pixel shift within ±2
// pixels that gives the smallest Σ|α − truth| is kept (for a straightened result, which lies
// between whole pixels, refined to a quarter pixel with the truth sampled bilinearly). Truth that
// falls outside the result counts as missed.
SceneScore ScoreExtraction(const SealScene& scene, const image::Extraction& extraction,
                           QColor expectedInk);

// The usual hue threshold, for comparison: HSV of every pixel, the ink's hue range (±20° around
// red or blue; black: dark and grey), saturation ≥ 0.35 and value ≥ 0.2 makes a pixel ink
// (alpha 1), the rest paper. Scored over the whole picture against the truth in the scene.
double HueThresholdError(const SealScene& scene);

} // namespace velmr::scenes
