// Scrolling: the operator drags the scroll bar through the stack of a full line's 20 modules in
// 100 steps, down and up again; each step moves PictureHaupt and repaints (offscreen). Against
// the same modules in a plain QScrollArea dragged the same way, in one run. The target is at most
// 1.5 times the floor's time per step.

#include <benchmark/benchmark.h>

#include <QApplication>

#include "host_bench_main.h"

namespace {

constexpr int Steps = 100;

kestrix::bench::LineSetup* setup = nullptr;

// One iteration drags the bar from one end to the other in Steps steps, letting the window paint
// after each; the next one drags it back.
void dragThrough(benchmark::State& state, const kestrix::bench::LineWindow& line) {
    line.window->show();
    QApplication::processEvents();
    QScrollBar& bar = *line.scrollBar;
    const int first = bar.minimum();
    const int last = bar.maximum();
    bool down = true;
    for (auto _ : state) {
        bar.setSliderDown(true);
        for (int step = 1; step <= Steps; ++step) {
            const int travelled = (last - first) * step / Steps;
            bar.setSliderPosition(down ? first + travelled : last - travelled);
            QApplication::processEvents();
        }
        bar.setSliderDown(false);
        // The stack must have followed the bar to its end: one pixel per position.
        const int expectedTop = down ? -(last - first) : 0;
        if (line.pictureHaupt->y() != expectedTop) {
            state.SkipWithError("the modules did not follow the scroll bar");
            return;
        }
        down = !down;
    }
    state.counters["per_step"] = benchmark::Counter(
        Steps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ScrollAreaFloor(benchmark::State& state) {
    dragThrough(state, setup->scrolledByAScrollArea());
}

void BM_ScrollBarControl(benchmark::State& state) {
    dragThrough(state, setup->scrolledByTheScrollBarControl());
}

BENCHMARK(BM_ScrollAreaFloor)->Apply(kestrix::bench::nineRepetitionsInMilliseconds);
BENCHMARK(BM_ScrollBarControl)->Apply(kestrix::bench::nineRepetitionsInMilliseconds);

}  // namespace

int main(int argc, char** argv) {
    return kestrix::bench::runOnALine(
        argc, argv, setup,
        {{"BM_ScrollBarControl", "BM_ScrollAreaFloor", kestrix::bench::Comparison::Ratio, 1.5}});
}
