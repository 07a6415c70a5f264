#include "output/SealOutput.h"
#include "seal/Records.h"

#include <QMimeData>
#include <benchmark/benchmark.h>

namespace {

using namespace velmr::output;

// The default name seal leaving the program as a file's bytes: laid out, painted, encoded.
void ExportDefaultNameSeal(benchmark::State& state, const ExportOptions& options)
{
    const NameSeal seal{velmr::seal::NewNameStamp(), velmr::seal::NewNameStampEx()};
    for (auto _ : state) {
        const SealArtwork art(seal);
        const Rendered rendered = RenderFile(art, options);
        benchmark::DoNotOptimize(rendered.bytes.constData());
    }
}

void BM_ExportNameSealPng1200(benchmark::State& state)
{
    ExportDefaultNameSeal(state, {Format::Png, 1200, Background::Transparent});
}
BENCHMARK(BM_ExportNameSealPng1200)->Unit(benchmark::kMillisecond);

void BM_ExportNameSealSvg(benchmark::State& state)
{
    ExportDefaultNameSeal(state, {Format::Svg, 0, Background::Transparent});
}
BENCHMARK(BM_ExportNameSealSvg)->Unit(benchmark::kMillisecond);

void BM_ExportNameSealPdf(benchmark::State& state)
{
    ExportDefaultNameSeal(state, {Format::Pdf, 0, Background::Transparent});
}
BENCHMARK(BM_ExportNameSealPdf)->Unit(benchmark::kMillisecond);

// The date seal, a day chosen, at 1200 dpi: the largest of the usual exports.
void BM_ExportDateSealPng1200(benchmark::State& state)
{
    const DateSeal seal{velmr::seal::NewDateStamp(), {}, {2019, 5, 1}};
    for (auto _ : state) {
        const SealArtwork art(seal);
        const Rendered rendered = RenderFile(art, {Format::Png, 1200, Background::Transparent});
        benchmark::DoNotOptimize(rendered.bytes.constData());
    }
}
BENCHMARK(BM_ExportDateSealPng1200)->Unit(benchmark::kMillisecond);

// "透過画像としてコピー": the PNG at 600 dpi and the SVG.
void BM_ClipboardDataNameSeal(benchmark::State& state)
{
    const NameSeal seal{velmr::seal::NewNameStamp(), velmr::seal::NewNameStampEx()};
    for (auto _ : state) {
        const SealArtwork art(seal);
        const std::unique_ptr<QMimeData> data = ClipboardData(art);
        benchmark::DoNotOptimize(data.get());
    }
}
BENCHMARK(BM_ClipboardDataNameSeal)->Unit(benchmark::kMillisecond);

} // namespace
