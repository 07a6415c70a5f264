// A slider dragged across its whole range on the editing panel: every step writes the record,
// draws the seal again and paints the document window, as while the user drags.
#include "image/ImgKit.h"
#include "panel/ControlForm.h"
#include "seal/MdiChild.h"

#include <QApplication>
#include <QSlider>
#include <benchmark/benchmark.h>

namespace {

using namespace velmr;

void DragAcross(benchmark::State& state, bool dateSeal, const char* sliderName)
{
    image::ImgKitLoadLibrary();
    {
        panel::TControlForm form;
        seal::TMDIChild::SetEditPanel(&form);
        seal::TMDIChild document;
        if (dateSeal)
            document.InitNewDateSeal();
        else
            document.InitNewNameSeal();
        document.show();
        form.show();
        QApplication::processEvents();
        auto* slider = form.findChild<QSlider*>(QString::fromLatin1(sliderName));
        std::int64_t steps = 0;
        for (auto _ : state) {
            slider->setValue(slider->minimum());
            while (slider->value() < slider->maximum()) {
                slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
                document.repaint();
                ++steps;
            }
        }
        state.counters["seconds_per_step"] = benchmark::Counter(
            double(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        state.SetItemsProcessed(steps);
        seal::TMDIChild::SetEditPanel(nullptr);
    }
    image::ImgKitUnloadLibrary();
}

// The name seal's text spacing, −50..50: 100 steps.
void BM_PanelDragNameSpacing(benchmark::State& state)
{
    DragAcross(state, false, "TrackBar1");
}
BENCHMARK(BM_PanelDragNameSpacing)->Unit(benchmark::kMillisecond)->UseRealTime();

// The name seal's horizontal text position, −120..120: 240 steps.
void BM_PanelDragNameOffset(benchmark::State& state)
{
    DragAcross(state, false, "tbX");
}
BENCHMARK(BM_PanelDragNameOffset)->Unit(benchmark::kMillisecond)->UseRealTime();

// The date seal's lower text position, −20..20, which also writes two more fields: 40 steps.
void BM_PanelDragDateLower(benchmark::State& state)
{
    DragAcross(state, true, "TrackBar4");
}
BENCHMARK(BM_PanelDragDateLower)->Unit(benchmark::kMillisecond)->UseRealTime();

// The date seal's reduction ratio of the small text, −50..50: 100 steps.
void BM_PanelDragDateRatio(benchmark::State& state)
{
    DragAcross(state, true, "TrackBar6");
}
BENCHMARK(BM_PanelDragDateRatio)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
