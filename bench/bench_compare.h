#pragma once

// The Google Benchmark programs hold each benchmark against a floor measured side by side in the
// same run: absolute times move between machines and with the load of a shared one, the ratio to
// a floor measured in the same run much less.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "bench_verdict.h"

namespace kestrix::bench {

// How a benchmark is held against its floor: the quotient of their median real times, or their
// difference in milliseconds.
struct Comparison {
    enum Kind { Ratio, DifferenceMs };
    const char* benchmark;
    const char* floor;
    Kind kind;
    double target;
};

// The console report, keeping each benchmark's median real time in seconds (its only time when it
// ran without repetitions).
class MedianReporter : public benchmark::ConsoleReporter {
public:
    // In colour on a terminal only.
    MedianReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool single = run.repetitions <= 1 && run.aggregate_name.empty();
            if (run.aggregate_name == "median" || single) {
                medians_[run.run_name.function_name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
        }
    }

    // Prints the comparison; false when it was missed or one of the two did not run.
    bool compare(const Comparison& comparison) const {
        const auto benchmark = medians_.find(comparison.benchmark);
        const auto floor = medians_.find(comparison.floor);
        const std::string figure = std::string(comparison.benchmark) +
                                   (comparison.kind == Comparison::Ratio ? " / " : " - ") +
                                   comparison.floor;
        if (benchmark == medians_.end() || floor == medians_.end()) {
            std::printf("%-60s did not run: missed\n", figure.c_str());
            return false;
        }
        if (comparison.kind == Comparison::Ratio) {
            return printVerdict(figure, benchmark->second / floor->second, "x", comparison.target);
        }
        return printVerdict(figure, (benchmark->second - floor->second) * 1e3, " ms",
                            comparison.target);
    }

private:
    std::map<std::string, double> medians_;
};

// Nine repetitions, in milliseconds of real time, reported as their aggregates: their median is
// what is compared.
inline void nineRepetitionsInMilliseconds(benchmark::internal::Benchmark* run) {
    run->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
}

// Runs the program's benchmarks and prints each comparison of the medians. The repetitions of all
// benchmarks run in random order, so that a noisy moment of the shared machine does not fall on
// one side of a comparison only.
inline int runAndCompare(int argc, char** argv, std::initializer_list<Comparison> comparisons) {
    std::vector<char*> arguments(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nMedians against their floors:\n");
    for (const Comparison& comparison : comparisons) {
        reporter.compare(comparison);
    }
    benchmark::Shutdown();
    return 0;
}

}  // namespace kestrix::bench
