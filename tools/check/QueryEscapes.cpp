#include "QueryEscapes.h"

namespace kestrix::check {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string escapeBytes(std::string_view bytes) {
    std::string escaped;
    escaped.reserve(bytes.size());
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '"':
                escaped += "\\\"";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                if (byte < 0x20 || byte >= 0x7F) {
                    escaped += "\\x";
                    escaped += HexDigits[byte >> 4];
                    escaped += HexDigits[byte & 0x0F];
                } else {
                    escaped += c;
                }
        }
    }
    return escaped;
}

std::optional<std::string> unescapeBytes(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case '\\':
                bytes += '\\';
                break;
            case '"':
                bytes += '"';
                break;
            case 't':
                bytes += '\t';
                break;
            case 'n':
                bytes += '\n';
                break;
            case 'r':
                bytes += '\r';
                break;
            case 'x': {
                int high = i + 1 < text.size() ? hexValue(text[i + 1]) : -1;
                int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
                if (high < 0 || low < 0) {
                    return std::nullopt;
                }
                bytes += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return bytes;
}

}  // namespace kestrix::check
