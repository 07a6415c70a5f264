#include "bench/SealScenes.h"
#include "image/SealExtract.h"

#include <QDir>
#include <benchmark/benchmark.h>

#include <cstdlib>

// A clean seal from a scan or a photo: the quality over the benchmark set (one line a picture,
// its counters the scores) and the time for a phone's and a camera's picture.
namespace {

using namespace velmr;

const std::vector<scenes::SealScene>& Scenes()
{
    static const std::vector<scenes::SealScene> set = scenes::MakeSealScenes();
    return set;
}

// VELMR_EXTRACT_DUMP=<folder> writes every picture and its seal there, for people to look at.
void Dump(const scenes::SealScene& scene, const image::Extraction& extraction,
          const scenes::SceneScore& score, int index)
{
    const char* folder = std::getenv("VELMR_EXTRACT_DUMP");
    if (!folder) {
        return;
    }
    const QDir dir(QString::fromLocal8Bit(folder));
    scene.picture.save(dir.filePath(QStringLiteral("scene%1.jpg").arg(index)), "JPG", 95);
    if (extraction.result) {
        extraction.result->seal.save(dir.filePath(QStringLiteral("seal%1.png").arg(index)));
        score.fringeMap.save(dir.filePath(QStringLiteral("fringe%1.png").arg(index)));
    }
}

void BM_ExtractQuality(benchmark::State& state)
{
    const int index = int(state.range(0));
    const scenes::SealScene& scene = Scenes()[std::size_t(index)];
    image::Extraction extraction;
    for (auto _ : state) {
        extraction = image::ExtractSeal(scene.picture);
        benchmark::DoNotOptimize(extraction.result);
    }
    const QColor ink = extraction.result ? extraction.result->measuredInk : QColor();
    const scenes::SceneScore score = scenes::ScoreExtraction(scene, extraction, ink);
    Dump(scene, extraction, score, index);
    const double baseline = scenes::HueThresholdError(scene);
    state.SetLabel(scene.name.toStdString());
    state.counters["alphaErr"] = score.alphaError;
    state.counters["baseline"] = baseline;
    state.counters["ratio"] = score.alphaError / baseline;
    state.counters["gradErr"] = score.gradientError;
    state.counters["fringe"] = double(score.fringe);
}
BENCHMARK(BM_ExtractQuality)->DenseRange(0, 7)->Unit(benchmark::kMillisecond)->Iterations(3);

void ExtractTiming(benchmark::State& state, QSize size)
{
    const QImage picture = scenes::MakeTimingScene(size).picture;
    for (auto _ : state) {
        const image::Extraction extraction = image::ExtractSeal(picture);
        benchmark::DoNotOptimize(extraction.result);
    }
}

void BM_Extract1200x900(benchmark::State& state)
{
    ExtractTiming(state, {1200, 900});
}
BENCHMARK(BM_Extract1200x900)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_Extract4000x3000(benchmark::State& state)
{
    ExtractTiming(state, {4000, 3000});
}
BENCHMARK(BM_Extract4000x3000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace
