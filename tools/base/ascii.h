// ASCII letter case, folded by arithmetic and never by the locale: under a Turkish locale
// std::tolower('I') is not 'i', and names and encodings must compare the same everywhere.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The text with ASCII letters in upper case, as the plug-in compares keys; every other byte as it
// is.
inline std::string AsciiUpperCased(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    return upper;
}

// The text with ASCII letters in lower case; every other byte as it is.
inline std::string AsciiFolded(std::string_view text) {
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower);
    return folded;
}

// Whether `text` equals `lowerPattern` (written in lower case) when ASCII case is ignored.
constexpr bool EqualsFolded(std::string_view text, std::string_view lowerPattern) {
    return text.size() == lowerPattern.size() &&
           std::equal(text.begin(), text.end(), lowerPattern.begin(),
                      [](char c, char lower) { return AsciiLower(c) == lower; });
}

// The first position at or after `from` where `lowerPattern` occurs, ASCII case ignored.
constexpr std::size_t FindFolded(std::string_view text, std::string_view lowerPattern,
                                 std::size_t from = 0) {
    for (std::size_t at = from; at + lowerPattern.size() <= text.size(); ++at) {
        if (EqualsFolded(text.substr(at, lowerPattern.size()), lowerPattern)) return at;
    }
    return std::string_view::npos;
}
