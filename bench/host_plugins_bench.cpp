// The 20 plug-in modules of a full two-machine line created and laid out in a window, against
// the same window with 20 plain child widgets, in one run. The target is a difference of at most
// 12 ms per window. The libraries load once, in the first iteration, as in the shell.

#include <benchmark/benchmark.h>

#include <QApplication>

#include "host_bench_main.h"

namespace {

kestrix::bench::LineSetup* setup = nullptr;

void BM_PlainChildWidgets(benchmark::State& state) {
    for (auto _ : state) {
        auto window = kestrix::bench::LineSetup::plainWindow();
        window->show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.get());
    }
}
BENCHMARK(BM_PlainChildWidgets)->Apply(kestrix::bench::nineRepetitionsInMilliseconds);

void BM_TwentyPluginModules(benchmark::State& state) {
    for (auto _ : state) {
        auto window = setup->pluginWindow();
        window->show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.get());
    }
}
BENCHMARK(BM_TwentyPluginModules)->Apply(kestrix::bench::nineRepetitionsInMilliseconds);

}  // namespace

int main(int argc, char** argv) {
    return kestrix::bench::runOnALine(argc, argv, setup,
                                      {{"BM_TwentyPluginModules", "BM_PlainChildWidgets",
                                        kestrix::bench::Comparison::DifferenceMs, 12.0}});
}
