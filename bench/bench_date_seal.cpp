#include "calendar/CalendarDate.h"
#include "seal/DateSealRenderer.h"

#include <benchmark/benchmark.h>

namespace {

using namespace velmr::seal;

// The default date seal with today's date, drawn as after every control change.
void BM_DrawDefaultDateSeal(benchmark::State& state)
{
    const DateStampRecord record = NewDateStamp();
    const DateStampExRecord ex{};
    QImage picture(kDateSealSize, kDateSealSize, QImage::Format_RGB32);
    for (auto _ : state) {
        DrawDateSeal(picture, record, ex, 96.0);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_DrawDefaultDateSeal)->Unit(benchmark::kMicrosecond);

// Every text of a date seal, double ring.
void BM_DrawFullDateSeal(benchmark::State& state)
{
    DateStampRecord record = NewDateStamp();
    record.TwinRing = 1;
    record.Header.Assign(Sjis(u"受"));
    DateStampExRecord ex{};
    ex.Text3.Assign(Sjis(u"総務"));
    ex.Text4.Assign(Sjis(u"印"));
    ex.Text5.Assign(Sjis(u"課長"));
    ex.L_T2FontSize = 50;
    QImage picture(kDateSealSize, kDateSealSize, QImage::Format_RGB32);
    for (auto _ : state) {
        DrawDateSeal(picture, record, ex, 96.0);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_DrawFullDateSeal)->Unit(benchmark::kMicrosecond);

// Today's date in the band's style, as each drawing asks for it.
void BM_CalendarToday(benchmark::State& state)
{
    for (auto _ : state) {
        velmr::calendar::CalendarDate date;
        date.eraYear = 1;
        benchmark::DoNotOptimize(date.SetToday());
    }
}
BENCHMARK(BM_CalendarToday);

} // namespace
