// libFuzzer target for the INI lookup. The first line of the input names the look-up, "SECTION",
// a TAB, "KEY"; the rest is the file's content. Besides crashes and sanitizer findings it checks
// the rules every found value must keep.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "config/IniFile.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string asciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t lineEnd = input.find('\n');
    std::string_view query = input.substr(0, lineEnd);
    std::string_view content =
        lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);
    std::size_t tab = query.find('\t');
    std::string_view section = query.substr(0, tab);
    std::string_view key = tab == std::string_view::npos ? query : query.substr(tab + 1);

    std::optional<std::string> value = kestrix::findIniValue(content, section, key);
    if (value) {
        // A value fits the readers' buffer and never reaches past the end of its line.
        require(value->size() <= kestrix::IniValueCapacity);
        require(value->find_first_of(std::string_view("\n\r\0", 3)) == std::string::npos);
        kestrix::iniNumber(*value);
    }
    // Names compare without regard to ASCII case.
    require(kestrix::findIniValue(content, asciiUpper(section), asciiUpper(key)) == value);
    return 0;
}
