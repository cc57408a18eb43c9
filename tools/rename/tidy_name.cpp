#include "tools/rename/tidy_name.h"

#include <algorithm>
#include <string_view>

namespace {

bool IsSeparator(char byte) {
    return std::string_view(" -_,;.~+:/|").find(byte) != std::string_view::npos;
}
bool IsOpening(char byte) { return byte == '(' || byte == '[' || byte == '{'; }
bool IsClosing(char byte) { return byte == ')' || byte == ']' || byte == '}'; }

// Just past the field text that starts at `at`.
std::size_t PastField(const std::string& text, std::size_t at) {
    return std::min(text.find(kFieldEnd, at), text.size() - 1) + 1;
}

// A bracket pair of the pattern around nothing but its separators and at least one missing
// field becomes one missing field, so that the separators around it go as for any other.
bool MarkOneEmptyBracketPair(std::string& text) {
    for (std::size_t open = 0; open < text.size(); ++open) {
        if (text[open] == kFieldStart) open = PastField(text, open) - 1;
        if (!IsOpening(text[open])) continue;
        std::size_t close = open + 1;
        bool missing = false;
        while (close < text.size() && (IsSeparator(text[close]) || text[close] == kMissingField)) {
            missing = missing || text[close] == kMissingField;
            ++close;
        }
        if (missing && close < text.size() && IsClosing(text[close])) {
            text.replace(open, close - open + 1, 1, kMissingField);
            return true;
        }
    }
    return false;
}

// The separators beside the mark are the pattern's: a field's text is marked, and the marks are
// no separators.
void RemoveMissingField(std::string& text, std::size_t mark) {
    std::size_t left = mark;
    while (left > 0 && IsSeparator(text[left - 1])) --left;
    std::size_t right = mark + 1;
    while (right < text.size() && IsSeparator(text[right])) ++right;
    const bool textBefore =
        left > 0 && !IsOpening(text[left - 1]) && text[left - 1] != kMissingField;
    const bool textAfter =
        right < text.size() && !IsClosing(text[right]) && text[right] != kMissingField;
    std::string kept;
    if (textBefore && textAfter) {
        kept =
            mark > left ? text.substr(left, mark - left) : text.substr(mark + 1, right - mark - 1);
    }
    text.replace(left, right - left, kept);
}

}  // namespace

std::string TidyName(std::string formatted) {
    while (MarkOneEmptyBracketPair(formatted)) {
    }
    for (std::size_t mark; (mark = formatted.find(kMissingField)) != std::string::npos;) {
        RemoveMissingField(formatted, mark);
    }
    std::size_t begin = formatted.find_first_not_of(' ');
    std::size_t end = formatted.find_last_not_of(' ');
    std::string tidy;
    for (std::size_t at = begin; end != std::string::npos && at <= end; ++at) {
        if (formatted[at] != kFieldStart && formatted[at] != kFieldEnd) tidy += formatted[at];
    }
    return tidy;
}
