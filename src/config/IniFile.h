#pragma once

// The lookup of one value in a profile file (an INI file of 8-bit text), by the rules the Windows
// profile functions follow. Plain C++ over bytes, so that it can be built and fuzzed on its own.
//
//   - Lines end at LF, CRLF or a lone CR; a NUL byte ends the content of its line. A UTF-8
//     byte-order mark at the start of the content is no part of the first line.
//   - Blanks are space, tab, vertical tab, form feed, CR and 0x1A (the old end-of-file mark).
//   - "[name]" starts a section: the name ends at the first ']', blanks around it do not count,
//     text after the ']' is ignored. A line without ']' is not a section header.
//   - "key = value" is an entry; blanks around the key and around the value do not count, inner
//     blanks do. One matching pair of outer '"' or '\'' quotes is removed from the value.
//   - A line whose first non-blank byte is ';' is a comment; a line without '=' is ignored; an
//     entry before the first section header belongs to no section and cannot be read.
//   - Section and key names compare without regard to ASCII case. The first of duplicate sections
//     counts, and within it the first of duplicate keys.
//   - A value is cut to IniValueCapacity bytes; other bytes (also those above 0x7F) pass unchanged.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// The readers' value buffer holds 255 characters, one of which is the terminating NUL.
inline constexpr std::size_t IniValueCapacity = 254;

// The value of key in section within the file content, or nothing when the section or the key is
// not there. An entry with an empty value is found, with the empty text.
std::optional<std::string> findIniValue(std::string_view content, std::string_view section,
                                        std::string_view key);

// The same lookup in the file at path, read afresh. Only a regular file is read; a file that is
// missing, unreadable or not a regular file, and any failure while reading, count as not found.
std::optional<std::string> readIniValue(const std::string& path, std::string_view section,
                                        std::string_view key) noexcept;

// The keys of the entries in the first section of that name in the file at path, in file order,
// as they are written (duplicates included); none when the file or the section is missing.
std::vector<std::string> readIniKeys(const std::string& path, std::string_view section) noexcept;

// The leading whole number of a value: optional blanks, an optional sign, then decimal digits up
// to the first other byte. No digits give 0; the number wraps modulo 2^32 as it is read.
uint32_t iniNumber(std::string_view value);

}  // namespace kestrix
