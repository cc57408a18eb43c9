// Substring search over the host's NUL-terminated text, ignoring the case of ASCII letters.
//
// The list text is searched where it lies: no copy, no upper-cased copy, no length. A forward
// search stops at the terminating NUL, and every match is verified byte by byte from its first
// byte, so no search ever reads past the NUL however the text is cut off.
//
// Only a-z and A-Z are folded, never through the C locale: a host that sets a locale of its own
// gets the same answers, and a byte inside a double-byte character is folded exactly as an
// upper-cased copy of the text would have it.
//
//     const char* text = "<game><romcrc>1A2B</romcrc>";
//     FindFolded(text, 0, kNoPosition, ">1A2B</ROMCRC>");  // 13
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kNoPosition = std::string_view::npos;

constexpr char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

std::string UpperAscii(std::string_view text);

// Narrows a search to the matches it accepts: the search passes over the others and goes on, in
// the same pass. `accepts` may note what it sees in `context`.
struct MatchFilter {
    bool (*accepts)(const char* text, std::size_t position, void* context) = nullptr;
    void* context = nullptr;
};

// The first position in [from, limit) at which `upperPattern` occurs in `text` (and `filter`
// accepts it), or kNoPosition. A match may run past `limit`; pass kNoPosition to search to the
// end. `from` must not lie past the terminating NUL. `upperPattern` is non-empty, upper-cased
// and free of NUL bytes.
std::size_t FindFolded(const char* text, std::size_t from, std::size_t limit,
                       std::string_view upperPattern, MatchFilter filter = {});

// The last position at or before `at` at which `upperPattern` occurs in `text` (and `filter`
// accepts it), or kNoPosition. `at` must not lie past the terminating NUL.
std::size_t FindLastFolded(const char* text, std::size_t at, std::string_view upperPattern,
                           MatchFilter filter = {});
