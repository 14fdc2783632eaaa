#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrix::check {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

// One verb of kestrix-check: its name on the command line, its usage lines and what it does with
// the arguments that follow its name. run returns the exit code; ExitUsage means the arguments
// were wrong, and the caller then prints the usage.
struct Verb {
    std::string_view name;
    std::string_view usage;
    int (*run)(const std::vector<std::string>& arguments);
};

}  // namespace kestrix::check
