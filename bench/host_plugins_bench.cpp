// The 20 plug-in modules of a full two-machine line created and laid out in a window, against
// the same window with 20 plain child widgets, in one run. The target is a difference of at most
// 12 ms per window. The libraries load once, in the first iteration, as in the shell.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>

#include "bench_compare.h"
#include "host_line_window.h"

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
BENCHMARK(BM_PlainChildWidgets)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_TwentyPluginModules(benchmark::State& state) {
    for (auto _ : state) {
        auto window = setup->pluginWindow();
        window->show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.get());
    }
}
BENCHMARK(BM_TwentyPluginModules)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    kestrix::bench::LineSetup line;
    if (line.registeredKinds() != 8) {
        std::fprintf(stderr, "the eight module plug-ins are not in %s\n",
                     qPrintable(kestrix::bench::pluginFolder()));
        return 1;
    }
    setup = &line;
    return kestrix::bench::runAndCompare(argc, argv,
                                         {{"BM_TwentyPluginModules", "BM_PlainChildWidgets",
                                           kestrix::bench::Comparison::DifferenceMs, 12.0}});
}
