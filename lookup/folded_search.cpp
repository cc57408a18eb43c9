#include "lookup/folded_search.h"

namespace {

// Stops at the first mismatch, so the text's NUL (which no pattern byte equals) ends the compare.
bool MatchesFoldedAt(const char* at, std::string_view upperPattern) {
    for (std::size_t i = 0; i < upperPattern.size(); ++i) {
        if (FoldAscii(at[i]) != upperPattern[i]) return false;
    }
    return true;
}

}  // namespace

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = FoldAscii(c);
    return upper;
}

std::size_t FindFolded(const char* text, std::size_t from, std::size_t limit,
                       std::string_view upperPattern) {
    const char first = upperPattern.front();
    for (std::size_t at = from; at < limit && text[at] != '\0'; ++at) {
        if (FoldAscii(text[at]) == first && MatchesFoldedAt(text + at, upperPattern)) return at;
    }
    return kNoPosition;
}

std::size_t FindLastFolded(const char* text, std::size_t at, std::string_view upperPattern) {
    for (std::size_t start = at + 1; start-- > 0;) {
        if (MatchesFoldedAt(text + start, upperPattern)) return start;
    }
    return kNoPosition;
}
