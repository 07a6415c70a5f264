#include "seal/FitToFrame.h"
#include "seal/Records.h"

#include <benchmark/benchmark.h>

namespace {

using namespace velmr::seal;

// "枠に合わせる" on a four-line name seal of four characters a line (must stay within 20 ms).
void BM_FitFourLineNameSeal(benchmark::State& state)
{
    NameStampRecord record = NewNameStamp();
    const char16_t* lines[] = {u"勅使河原", u"長谷川辺", u"木下藤吉", u"鷹司豊臣"};
    Text20* fields[] = {&record.Text1, &record.Text2, &record.Text3, &record.Text4};
    for (int i = 0; i < 4; ++i)
        fields[i]->Assign(Sjis(lines[i]));
    record.CircleParameter = state.range(0);
    const NameStampExRecord ex = NewNameStampEx();
    for (auto _ : state) {
        NameStampRecord fitted = record;
        NameStampExRecord fittedEx = ex;
        benchmark::DoNotOptimize(FitNameSeal(fitted, fittedEx, 96.0));
    }
}
BENCHMARK(BM_FitFourLineNameSeal)->Arg(100)->Arg(60)->Arg(0)->Unit(benchmark::kMillisecond);

// "枠に合わせる" on a date seal with two upper lines and a small lower text.
void BM_FitDateSeal(benchmark::State& state)
{
    DateStampRecord record = NewDateStamp();
    DateStampExRecord ex{};
    record.Text1.Assign(Sjis(u"株式会社"));
    ex.Text3.Assign(Sjis(u"経理部"));
    ex.Text4.Assign(Sjis(u"印"));
    ex.L_T2FontSize = 40;
    for (auto _ : state) {
        DateStampRecord fitted = record;
        DateStampExRecord fittedEx = ex;
        benchmark::DoNotOptimize(FitDateSeal(fitted, fittedEx, 96.0));
    }
}
BENCHMARK(BM_FitDateSeal)->Unit(benchmark::kMillisecond);

} // namespace
