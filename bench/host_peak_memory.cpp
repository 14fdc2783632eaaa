// Peak memory of a window with the 20 plug-in modules of a full two-machine line, shown offscreen
// while the modules' simulations tick, against the same window with 20 plain child widgets. Each
// is measured in a process of its own (this program started again with "modules" or "plain"),
// which prints its peak resident set size in MiB. The target for the modules is at most 30 MiB.

#include <sys/resource.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_self_run.h"
#include "bench_verdict.h"
#include "host_line_window.h"

namespace {

constexpr double TargetMiB = 30.0;

// Shows the window, lets the modules paint and tick a few times, and prints the peak.
int measure(int argc, char** argv, bool plain) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    kestrix::bench::LineSetup line;
    if (!plain && !line.findsEveryKind()) {
        return 1;
    }
    auto window = plain ? kestrix::bench::LineSetup::plainWindow() : line.pluginWindow();
    window->show();
    QTimer::singleShot(2500, &application, &QApplication::quit);
    application.exec();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.1f\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}

// The peak that this program reports when started again with the argument; -1 when it fails.
double peakOfAnotherRun(const char* argument) {
    const auto output = kestrix::bench::outputOfSelfRun(argument);
    char* end = nullptr;
    const double mib = output ? std::strtod(output->c_str(), &end) : -1;
    return output && end != output->c_str() ? mib : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "plain") == 0 || std::strcmp(argv[1], "modules") == 0)) {
        return measure(argc, argv, std::strcmp(argv[1], "plain") == 0);
    }
    const double plain = peakOfAnotherRun("plain");
    const double modules = peakOfAnotherRun("modules");
    if (plain < 0 || modules < 0) {
        std::fprintf(stderr, "a measuring run failed\n");
        return 1;
    }
    std::printf("20 plain child widgets: peak RSS %.1f MiB (the floor)\n", plain);
    kestrix::bench::printVerdict("20 plug-in modules: peak RSS", modules, " MiB", TargetMiB);
    return 0;
}
