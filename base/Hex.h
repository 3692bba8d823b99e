#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace trilo {

// The one table of hexadecimal digits, upper case, for every place that writes hex.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Bytes as two digits each, separated by blanks: "1E 91 01".
inline std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kHexDigits[b >> 4];
        text += kHexDigits[b & 0x0F];
    }
    return text;
}

// The value of one hexadecimal digit in either case, or -1 when the character is none.
inline constexpr int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace trilo
