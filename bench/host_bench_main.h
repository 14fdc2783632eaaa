#pragma once

// What the host benchmarks' programs do first: an offscreen application and a line whose plug-in
// folder serves every module kind; then their benchmarks and comparisons run.

#include <QApplication>
#include <initializer_list>

#include "bench_compare.h"
#include "host_line_window.h"

namespace kestrix::bench {

// The line lives while the benchmarks run; they reach it through `line`.
inline int runOnALine(int argc, char** argv, LineSetup*& line,
                      std::initializer_list<Comparison> comparisons) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    LineSetup setup;
    if (!setup.findsEveryKind()) {
        return 1;
    }
    line = &setup;
    return runAndCompare(argc, argv, comparisons);
}

}  // namespace kestrix::bench
