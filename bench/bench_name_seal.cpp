#include "seal/NameSealRenderer.h"
#include "seal/Records.h"

#include <benchmark/benchmark.h>

namespace {

using namespace velmr::seal;

// The default name seal, drawn into its picture as after every control change.
void BM_DrawDefaultNameSeal(benchmark::State& state)
{
    const NameStampRecord record = NewNameStamp();
    const NameStampExRecord ex = NewNameStampEx();
    QImage picture(kNameSealSize, kNameSealSize, QImage::Format_RGB32);
    for (auto _ : state) {
        DrawNameSeal(picture, record, ex, 96.0);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_DrawDefaultNameSeal)->Unit(benchmark::kMicrosecond);

// Four lines and a composited second name: the most text a name seal draws.
void BM_DrawFullNameSeal(benchmark::State& state)
{
    NameStampRecord record = NewNameStamp();
    record.Text3.Assign(Sjis(u"田"));
    record.Text4.Assign(Sjis(u"中"));
    record.FontSize = 40;
    NameStampExRecord ex = NewNameStampEx();
    ex.UseNameEX = 1;
    for (auto* text : {&ex.ExText1, &ex.ExText2, &ex.ExText3, &ex.ExText4})
        text->Assign(Sjis(u"鈴"));
    ex.ExFontSize = 30;
    QImage picture(kNameSealSize, kNameSealSize, QImage::Format_RGB32);
    for (auto _ : state) {
        DrawNameSeal(picture, record, ex, 96.0);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_DrawFullNameSeal)->Unit(benchmark::kMicrosecond);

} // namespace
