#pragma once

#include <cstddef>
#include <string_view>

// Case folding by ASCII rules alone: only A to Z and a to z fold. Bytes from
// 0x80 up never do, whatever the system's code page, and the locale is never
// consulted.
constexpr char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when `text` ends with `lowerSuffix` (written in lower case), ignoring
// the case of ASCII letters in `text`.
constexpr bool EndsWithIgnoringCase(std::string_view text, std::string_view lowerSuffix)
{
    if (text.size() < lowerSuffix.size()) {
        return false;
    }
    const std::string_view tail = text.substr(text.size() - lowerSuffix.size());
    for (std::size_t i = 0; i < lowerSuffix.size(); ++i) {
        if (LowerAscii(tail[i]) != lowerSuffix[i]) {
            return false;
        }
    }
    return true;
}

// True when `text` equals `lower` (written in lower case) but for the case of
// ASCII letters.
constexpr bool EqualsIgnoringCase(std::string_view text, std::string_view lower)
{
    return text.size() == lower.size() && EndsWithIgnoringCase(text, lower);
}
