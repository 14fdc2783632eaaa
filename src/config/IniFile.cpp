#include "config/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "files/OpenFile.h"

namespace kestrix {

namespace {

bool isBlank(char c) {
    switch (c) {
        case ' ':
        case '\t':
        case '\v':
        case '\f':
        case '\r':
        case '\x1A':
            return true;
        default:
            return false;
    }
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view trimLeadingBlanks(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size() && isBlank(text[first])) {
        ++first;
    }
    return text.substr(first);
}

std::string_view trimBlanks(std::string_view text) {
    text = trimLeadingBlanks(text);
    std::size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1])) {
        --end;
    }
    return text.substr(0, end);
}

// A name handed in by a caller reads as a C string would: it ends at a NUL.
std::string_view upToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// The lines of a file's content, each up to its first NUL. Lines end at LF, CRLF or a lone CR.
// The next LF and the next CR are remembered, so that the whole content is searched only once
// even when one kind of line end is far away.
class LineSplitter {
public:
    explicit LineSplitter(std::string_view content) : content_(content) {}

    bool next(std::string_view& line) {
        if (position_ >= content_.size()) {
            return false;
        }
        nextLf_ = nextAfterPosition('\n', nextLf_);
        nextCr_ = nextAfterPosition('\r', nextCr_);
        std::size_t end = std::min(nextLf_, nextCr_);
        line = upToNul(content_.substr(position_, end - position_));
        position_ = end + 1;
        if (end == nextCr_ && position_ < content_.size() && content_[position_] == '\n') {
            ++position_;  // CRLF is one line end
        }
        return true;
    }

private:
    std::size_t nextAfterPosition(char c, std::size_t remembered) const {
        if (remembered != Unsearched && remembered >= position_) {
            return remembered;
        }
        const void* found =
            std::memchr(content_.data() + position_, c, content_.size() - position_);
        return found ? static_cast<const char*>(found) - content_.data() : content_.size();
    }

    static constexpr std::size_t Unsearched = std::string_view::npos;

    std::string_view content_;
    std::size_t position_ = 0;
    std::size_t nextLf_ = Unsearched;
    std::size_t nextCr_ = Unsearched;
};

// What one line of a profile file is.
struct IniLine {
    enum class Kind { Other, SectionHeader, Entry };
    Kind kind = Kind::Other;
    std::string_view name;      // section name or key, trimmed
    std::string_view rawValue;  // an entry's text after the '=', untrimmed
};

IniLine classify(std::string_view line) {
    std::string_view text = trimLeadingBlanks(line);
    if (text.empty() || text.front() == ';') {
        return {};
    }
    if (text.front() == '[') {
        std::size_t close = text.find(']');
        if (close != std::string_view::npos) {
            return {IniLine::Kind::SectionHeader, trimBlanks(text.substr(1, close - 1)), {}};
        }
    }
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return {};
    }
    return {IniLine::Kind::Entry, trimBlanks(text.substr(0, equals)), text.substr(equals + 1)};
}

// The value as the readers see it: trimmed, one matching pair of outer quotes removed, cut to the
// buffer's capacity.
std::string valueOf(std::string_view rawValue) {
    std::string_view value = trimBlanks(rawValue);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, IniValueCapacity));
}

// The whole content of a regular file, in one buffer the size of the file. Anything else (a
// directory, a pipe that could block, a device without end) is refused.
bool readRegularFile(const std::string& path, std::string& content) {
    if (path.find('\0') != std::string::npos) {
        return false;
    }
    OpenFile file;
    file.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (file.descriptor() < 0 || ::fstat(file.descriptor(), &status) != 0 ||
        !S_ISREG(status.st_mode)) {
        return false;
    }
    content.resize(static_cast<std::size_t>(status.st_size));
    std::size_t filled = 0;
    while (filled < content.size()) {
        ssize_t count = ::read(file.descriptor(), content.data() + filled, content.size() - filled);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            break;  // the file shrank since its size was taken
        }
        filled += static_cast<std::size_t>(count);
    }
    content.resize(filled);
    return true;
}

// Hands each entry of the first section of that name to visit, in file order, until visit
// returns true.
template <class Visit>
void visitSectionEntries(std::string_view content, std::string_view section, Visit&& visit) {
    section = trimBlanks(upToNul(section));
    constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
    if (content.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
        content.remove_prefix(ByteOrderMark.size());
    }
    bool inSection = false;
    LineSplitter lines(content);
    std::string_view line;
    while (lines.next(line)) {
        IniLine parsed = classify(line);
        if (parsed.kind == IniLine::Kind::SectionHeader) {
            if (inSection) {
                return;  // only the first section of that name counts
            }
            inSection = equalsIgnoringAsciiCase(parsed.name, section);
        } else if (parsed.kind == IniLine::Kind::Entry && inSection && visit(parsed)) {
            return;
        }
    }
}

}  // namespace

std::optional<std::string> findIniValue(std::string_view content, std::string_view section,
                                        std::string_view key) {
    key = trimBlanks(upToNul(key));
    if (key.empty()) {
        return std::nullopt;  // an empty key name never names an entry
    }
    std::optional<std::string> value;
    visitSectionEntries(content, section, [&](const IniLine& entry) {
        if (equalsIgnoringAsciiCase(entry.name, key)) {
            value = valueOf(entry.rawValue);
        }
        return value.has_value();
    });
    return value;
}

std::optional<std::string> readIniValue(const std::string& path, std::string_view section,
                                        std::string_view key) noexcept {
    try {
        std::string content;
        if (!readRegularFile(path, content)) {
            return std::nullopt;
        }
        return findIniValue(content, section, key);
    } catch (...) {
        return std::nullopt;  // out of memory for a huge file reads as a missing entry
    }
}

std::vector<std::string> readIniKeys(const std::string& path, std::string_view section) noexcept {
    std::vector<std::string> keys;
    try {
        std::string content;
        if (readRegularFile(path, content)) {
            visitSectionEntries(content, section, [&](const IniLine& entry) {
                keys.emplace_back(entry.name);
                return false;
            });
        }
    } catch (...) {
        keys.clear();  // out of memory for a huge file reads as a section without entries
    }
    return keys;
}

uint32_t iniNumber(std::string_view value) {
    std::string_view text = trimLeadingBlanks(value);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    uint32_t number = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            break;
        }
        number = number * 10u + static_cast<uint32_t>(c - '0');  // unsigned: wraps modulo 2^32
    }
    return negative ? 0u - number : number;
}

}  // namespace kestrix
