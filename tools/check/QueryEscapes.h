#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrix::check {

// The escapes of batch queries and answers, so that every byte fits on one TAB-separated line:
// \\ \" \t \n \r, and \xHH (two hex digits) for any other byte below 0x20 or from 0x7F on.

std::string escapeBytes(std::string_view bytes);

// The bytes of an escaped text, or nothing when it holds an unknown or unfinished escape.
std::optional<std::string> unescapeBytes(std::string_view text);

}  // namespace kestrix::check
