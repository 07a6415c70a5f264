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
    QColor ink;          // the seal's colour
    bool squareOutline = false; // the extraction is to straighten it: scored against the upright
                                // truth rather than the turned one
};

// The benchmark set.
std::vector<SealScene> MakeSealScenes();
// The first scene of the set drawn on a canvas of `size` (the seal a third of its shorter side):
// pictures for timing.
SealScene MakeTimingScene(QSize size);

struct SceneScore
{
    double alphaError = 1;    // Σ|α − truth| / Σ truth, after alignment
    double gradientError = 1; // Σ|∇α − ∇truth| / Σ|∇truth|
    long long fringe = 0; // α > 0.1 where the truth is 0 within a pixel, or ink of another colour
    int dx = 0, dy = 0;   // where the result's top-left fell on the reference
};

// Scores an extraction against the scene's truth. The result is compared with the upright truth
// when the scene has a square outline (the extraction straightens it), with the truth in the
// scene otherwise. Alignment: the result's alpha centroid is put on the reference's centroid, then
// the whole-pixel shift within ±4 pixels that gives the smallest Σ|α − truth| is kept. Truth that
// falls outside the result counts as missed.
SceneScore ScoreExtraction(const SealScene& scene, const image::Extraction& extraction,
                           QColor expectedInk);

// The usual hue threshold, for comparison: HSV of every pixel, the ink's hue range (±20° around
// red or blue; black: dark and grey), saturation ≥ 0.35 and value ≥ 0.2 makes a pixel ink
// (alpha 1), the rest paper. Scored over the whole picture against the truth in the scene.
double HueThresholdError(const SealScene& scene);

} // namespace velmr::scenes
