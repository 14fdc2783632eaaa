#pragma once

// What every benchmark program prints at its end: each figure beside its target with "met" or
// "missed".

#include <cstdio>
#include <string>

namespace kestrix::bench {

// Prints one figure against the most it may be; true when the target is met.
inline bool printVerdict(const std::string& figure, double value, const char* unit, double target) {
    const bool met = value <= target;
    std::printf("%-60s %8.2f%-4s (target <= %.2f%s): %s\n", figure.c_str(), value, unit, target,
                unit, met ? "met" : "missed");
    std::fflush(stdout);
    return met;
}

}  // namespace kestrix::bench
