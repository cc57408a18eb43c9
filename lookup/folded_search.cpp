// Anchor choice, the fallbacks when anchors fail (dense mode, the automaton), and each scanner's
// entry points.
#include "lookup/folded_search.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>
#include <tuple>
#include <vector>

#include "lookup/folded_search_kernels.h"

namespace {

// How often bytes (upper-cased) turn up in game lists, in classes a factor of two apart, the
// most common first: 8 percent of all bytes and more (white space, "E"), 4 to 8 (markup, the
// letters of common tags), and so on. Measured on generated lists; only the order matters.
// Anchoring on rare bytes keeps candidates, and so verification, rare.
constexpr std::string_view kBytesByCommonness[] = {" \t\r\nE", "<>/RMA", "OICTSNLUGB", "1P",
                                                   "DVH23468"};

// Letters and digits not named above, and bytes of multi-byte characters, come next; the rest
// (punctuation, control bytes) hardly occur at all.
constexpr int Commonness(unsigned char byte) {
    int commonness = static_cast<int>(std::size(kBytesByCommonness)) + 1;
    for (std::string_view bytes : kBytesByCommonness) {
        if (bytes.find(static_cast<char>(byte)) != std::string_view::npos) return commonness;
        --commonness;
    }
    if ((byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || byte >= 0x80) return 1;
    return 0;
}

constexpr ByteCommonness ListByteCommonness() {
    ByteCommonness table{};
    for (int byte = 0; byte < 256; ++byte) {
        table[byte] = Commonness(static_cast<unsigned char>(byte));
    }
    return table;
}
constexpr ByteCommonness kListByteCommonness = ListByteCommonness();

// How often each byte (upper-cased) occurs in the text ahead of `from`, over a stretch long
// enough to be typical of it and short enough to cost little beside the search.
ByteCommonness CommonnessInText(const char* text, std::size_t from) {
    constexpr std::size_t kSample = 64 * 1024;
    ByteCommonness counts{};
    for (const char* at = text + from; *at != '\0' && at < text + from + kSample; ++at) {
        ++counts[static_cast<unsigned char>(FoldAscii(*at))];
    }
    return counts;
}

AnchorByte ToAnchorByte(char upper) {
    const auto byte = static_cast<unsigned char>(upper);
    if (byte >= 'A' && byte <= 'Z') return {0x20, static_cast<unsigned char>(byte | 0x20)};
    return {0, byte};
}

// Knuth-Morris-Pratt: linear whatever the text, but a byte at a time. Used only when the anchors
// have proved useless on this text.
std::size_t FindWithAutomaton(const char* text, std::size_t from, std::size_t limit,
                              const Needle& needle) {
    const std::string_view upperPattern = needle.upperPattern;
    const std::size_t length = upperPattern.size();
    std::vector<std::size_t> border(length, 0);
    for (std::size_t i = 1, k = 0; i < length; ++i) {
        while (k > 0 && upperPattern[i] != upperPattern[k]) k = border[k - 1];
        if (upperPattern[i] == upperPattern[k]) ++k;
        border[i] = k;
    }
    std::size_t matched = 0;
    for (std::size_t at = from; text[at] != '\0'; ++at) {
        const char byte = FoldAscii(text[at]);
        while (matched > 0 && byte != upperPattern[matched]) matched = border[matched - 1];
        if (byte == upperPattern[matched]) ++matched;
        const std::size_t start = at + 1 - matched;
        if (start >= limit) return kNoPosition;
        if (matched == length) {
            if (Accepts(needle, text, start)) return start;
            matched = border[length - 1];
        }
    }
    return kNoPosition;
}

std::size_t FindWithScanners(const Scanners& scanners, const char* text, std::size_t from,
                             std::size_t limit, std::string_view upperPattern, MatchFilter filter) {
    const ForwardScanner scan = scanners.forward;
    Needle needle = MakeNeedle(upperPattern, filter);
    ScanResult scanned = scan(text, from, limit, needle);
    if (scanned.resumeAt == kNoPosition) return scanned.match;
    // Anchors that suit game lists have failed on this text. Bytes of the pattern that are rare
    // in the text itself often do better (a text made of few byte values lacks most of the
    // pattern's); only if they fail too does the search compare every start with the whole
    // pattern (dense mode, patterns of up to 32 bytes, vector builds) or go on a byte at a time.
    const Anchors textAnchors =
        ChooseAnchorsBy(upperPattern, CommonnessInText(text, scanned.resumeAt));
    if (textAnchors.nearOffset != needle.anchors.nearOffset ||
        textAnchors.farOffset != needle.anchors.farOffset) {
        needle.anchors = textAnchors;
        scanned = scan(text, scanned.resumeAt, limit, needle);
        if (scanned.resumeAt == kNoPosition) return scanned.match;
    }
    if (scanners.dense != nullptr && upperPattern.size() <= kMaxDenseLength) {
        return scanners.dense(text, scanned.resumeAt, limit, needle).match;
    }
    return FindWithAutomaton(text, scanned.resumeAt, limit, needle);
}

std::size_t FindLastWithScanner(BackwardScanner scan, const char* text, std::size_t at,
                                std::string_view upperPattern, MatchFilter filter) {
    const Needle needle = MakeNeedle(upperPattern, filter);
    // Starts whose far anchor lies at `at` or beyond may run into the NUL: the scanner must not
    // see them, so they are checked one by one.
    const std::size_t farOffset = needle.anchors.farOffset;
    const std::size_t scannedBelow = at >= farOffset ? at - farOffset : 0;
    for (std::size_t start = at + 1; start-- > scannedBelow;) {
        if (MatchedLength(text + start, upperPattern) == upperPattern.size() &&
            Accepts(needle, text, start)) {
            return start;
        }
    }
    return scan(text, scannedBelow, needle);
}

// Looked up once, by the first search.
const Scanners& BestScanners() {
    static const Scanners best = ScannersFor(ChosenScanner());
    return best;
}

}  // namespace

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = FoldAscii(c);
    return upper;
}

Needle MakeNeedle(std::string_view upperPattern, MatchFilter filter) {
    Needle needle{upperPattern, ChooseAnchors(upperPattern), filter, {}, {}};
    for (std::size_t at = 0; at < kWidestBlock && at < upperPattern.size(); ++at) {
        const AnchorByte byte = ToAnchorByte(upperPattern[at]);
        needle.headFold[at] = static_cast<char>(byte.foldBit);
        needle.headValue[at] = static_cast<char>(byte.value);
    }
    return needle;
}

Anchors ChooseAnchors(std::string_view upperPattern) {
    return ChooseAnchorsBy(upperPattern, kListByteCommonness);
}

Anchors ChooseAnchorsBy(std::string_view upperPattern, const ByteCommonness& byteCommonness) {
    const auto commonness = [&](std::size_t at) {
        return byteCommonness[static_cast<unsigned char>(upperPattern[at])];
    };
    // The rarest byte is sought near the ends only, so a pattern of a megabyte costs no more to
    // prepare than one of a kilobyte; a key pattern's markup and digits all lie there.
    const std::size_t length = upperPattern.size();
    std::size_t rarest = 0;
    for (std::size_t at = 1; at < length; ++at) {
        if (at == kAnchorReach && length > 2 * kAnchorReach) at = length - kAnchorReach;
        if (commonness(at) < commonness(rarest)) rarest = at;
    }
    // The second anchor: preferably another byte value (a run of one byte in the text would
    // otherwise match both), then the rarer, then the farther away, so that a short unit
    // repeated in the text ("<GAME<GAME") rarely holds both.
    const auto rank = [&](std::size_t at) {
        const auto distance = static_cast<std::ptrdiff_t>(at > rarest ? at - rarest : rarest - at);
        return std::tuple(upperPattern[at] == upperPattern[rarest], commonness(at), -distance);
    };
    std::size_t second = rarest;
    const std::size_t first = rarest > kMaxAnchorDistance ? rarest - kMaxAnchorDistance : 0;
    const std::size_t last = std::min(upperPattern.size() - 1, rarest + kMaxAnchorDistance);
    for (std::size_t at = first; at <= last; ++at) {
        if (at != rarest && (second == rarest || rank(at) < rank(second))) second = at;
    }
    const std::size_t nearOffset = std::min(rarest, second);
    const std::size_t farOffset = std::max(rarest, second);
    return {nearOffset, farOffset, ToAnchorByte(upperPattern[nearOffset]),
            ToAnchorByte(upperPattern[farOffset])};
}

Scanners ScannersFor(SearchScanner scanner) {
    switch (scanner) {
#ifdef QBT_SCANNER_AVX512BW
        case SearchScanner::kAvx512: return {FindAvx512, FindLastAvx2, FindDenseAvx2};
#endif
#ifdef QBT_SCANNER_AVX2
        case SearchScanner::kAvx2: return {FindAvx2, FindLastAvx2, FindDenseAvx2};
#endif
#ifdef QBT_SCANNER_SSE2
        case SearchScanner::kSse2: return {FindSse2, FindLastSse2, FindDenseSse2};
#endif
        default: return {FindScalar, FindLastScalar, nullptr};
    }
}

std::size_t FindFoldedWith(SearchScanner scanner, const char* text, std::size_t from,
                           std::size_t limit, std::string_view upperPattern, MatchFilter filter) {
    return FindWithScanners(ScannersFor(scanner), text, from, limit, upperPattern, filter);
}

std::size_t FindLastFoldedWith(SearchScanner scanner, const char* text, std::size_t at,
                               std::string_view upperPattern, MatchFilter filter) {
    return FindLastWithScanner(ScannersFor(scanner).backward, text, at, upperPattern, filter);
}

std::size_t FindFolded(const char* text, std::size_t from, std::size_t limit,
                       std::string_view upperPattern, MatchFilter filter) {
    return FindWithScanners(BestScanners(), text, from, limit, upperPattern, filter);
}

std::size_t FindLastFolded(const char* text, std::size_t at, std::string_view upperPattern,
                           MatchFilter filter) {
    return FindLastWithScanner(BestScanners().backward, text, at, upperPattern, filter);
}
