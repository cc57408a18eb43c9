// The scalar scanners: a byte at a time, in every build. They are the plain definition the vector
// scanners are tested against, and the scanners of processors without SSE2.
#include "lookup/folded_search.h"
#include "lookup/folded_search_kernels.h"

namespace {

bool Matches(char byte, AnchorByte anchor) {
    return (static_cast<unsigned char>(byte) | anchor.foldBit) == anchor.value;
}

}  // namespace

std::size_t MatchedLength(const char* at, std::string_view upperPattern) {
    std::size_t matched = 0;
    while (matched < upperPattern.size() && FoldAscii(at[matched]) == upperPattern[matched]) {
        ++matched;
    }
    return matched;
}

ScanResult FindScalar(const char* text, std::size_t from, std::size_t limit, const Needle& needle) {
    const Anchors& anchors = needle.anchors;
    const std::size_t distance = anchors.farOffset - anchors.nearOffset;
    const std::size_t length = needle.upperPattern.size();
    std::size_t wasted = 0;
    // Reads each byte once, in order, up to the NUL: the far anchor's position leads.
    for (std::size_t far = from; text[far] != '\0'; ++far) {
        if (far < from + anchors.farOffset) continue;
        const std::size_t start = far - anchors.farOffset;
        if (start >= limit) break;
        if (!Matches(text[far], anchors.farByte) ||
            !Matches(text[far - distance], anchors.nearByte)) {
            continue;
        }
        const std::size_t matched = MatchedLength(text + start, needle.upperPattern);
        if (matched == length && Accepts(needle, text, start)) return {start, kNoPosition};
        wasted += kCandidateCost + matched;
        if (AnchorsHaveFailed(wasted, start - from)) return {kNoPosition, start + 1};
    }
    return {kNoPosition, kNoPosition};
}

std::size_t FindLastScalar(const char* text, std::size_t below, const Needle& needle) {
    const Anchors& anchors = needle.anchors;
    for (std::size_t start = below; start-- > 0;) {
        if (Matches(text[start + anchors.nearOffset], anchors.nearByte) &&
            Matches(text[start + anchors.farOffset], anchors.farByte) &&
            MatchedLength(text + start, needle.upperPattern) == needle.upperPattern.size() &&
            Accepts(needle, text, start)) {
            return start;
        }
    }
    return kNoPosition;
}
