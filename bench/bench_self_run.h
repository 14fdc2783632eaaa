#pragma once

// Memory is measured in a process of its own: a program runs itself again with arguments naming
// what to measure, and reads the figures that run prints.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace kestrix::bench {

// The standard output of this program run again with the arguments, or nothing when that run
// could not start or failed.
inline std::optional<std::string> outputOfSelfRun(const std::string& arguments) {
    const std::string command =
        std::filesystem::read_symlink("/proc/self/exe").string() + ' ' + arguments;
    FILE* run = popen(command.c_str(), "r");
    if (run == nullptr) {
        return std::nullopt;
    }
    std::string output;
    char buffer[4096];
    while (std::size_t count = std::fread(buffer, 1, sizeof buffer, run)) {
        output.append(buffer, count);
    }
    if (pclose(run) != 0) {
        return std::nullopt;
    }
    return output;
}

}  // namespace kestrix::bench
