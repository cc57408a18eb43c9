// The in-place search and lookup against their obvious definitions, on the same inputs:
//   - FindFoldedWith and FindLastFoldedWith, with every scanner this machine runs, against
//     std::string::find and rfind over an upper-cased copy, with and without a match filter;
//   - FindKeyRecord and FindField, with the plug-in's entity decoding, against LiteralFindField
//     (the lookup done with copies and plain finds).
// The key is the pattern and the key alike. Options byte: key type (bits 0-2), filter (bits
// 3-4), field (bits 5-7). Amount byte: where the searches start (low four bits, in fifteenths of
// the text) and where forward searches stop (high four bits; 0 for no limit).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "lookup/field_extraction.h"
#include "lookup/folded_search.h"
#include "lookup/folded_search_kernels.h"
#include "tests/support/literal_lookup.h"

namespace {

constexpr SearchScanner kScanners[] = {SearchScanner::kScalar, SearchScanner::kSse2,
                                       SearchScanner::kAvx2, SearchScanner::kAvx512};
constexpr const char* kScannerNames[] = {"scalar", "SSE2", "AVX2", "AVX-512"};
constexpr ElementTag kFields[] = {ElementTag("TITLE"),    ElementTag("PUBLISHER"),
                                  ElementTag("SAVETYPE"), ElementTag("LOCATION"),
                                  ElementTag("ROMSIZE"),  ElementTag("RELEASENUMBER"),
                                  ElementTag("ROMCRC"),   ElementTag("GAME")};

[[noreturn]] void Differ(const char* what, const char* scanner, std::size_t got,
                         std::size_t expected) {
    std::fprintf(stderr, "%s (%s): %zd, expected %zd\n", what, scanner,
                 static_cast<std::ptrdiff_t>(got), static_cast<std::ptrdiff_t>(expected));
    std::abort();
}

// Filters of the kinds the lookup uses: one that looks at the text before the match, one that
// looks at the position only, one that rejects everything (every match is then passed over), and
// one that keeps a count, which only works if matches are offered in text order.
struct FilterState {
    unsigned kind;
    unsigned offered = 0;
};

bool Accepts(const char* text, std::size_t position, void* context) {
    auto& state = *static_cast<FilterState*>(context);
    switch (state.kind) {
        case 0: return position > 0 && text[position - 1] == '>';
        case 1: return position % 3 == 0;
        case 2: return false;
        default: return ++state.offered == 2;
    }
}

std::size_t ReferenceFind(const std::string& upperText, const char* text, std::size_t from,
                          std::size_t limit, const std::string& pattern, FilterState* filter) {
    for (std::size_t at = upperText.find(pattern, from); at != std::string::npos && at < limit;
         at = upperText.find(pattern, at + 1)) {
        if (filter == nullptr || Accepts(text, at, filter)) return at;
    }
    return kNoPosition;
}

std::size_t ReferenceFindLast(const std::string& upperText, const char* text, std::size_t at,
                              const std::string& pattern, FilterState* filter) {
    for (std::size_t found = upperText.rfind(pattern, at); found != std::string::npos;
         found = found == 0 ? std::string::npos : upperText.rfind(pattern, found - 1)) {
        if (filter == nullptr || Accepts(text, found, filter)) return found;
    }
    return kNoPosition;
}

void CompareSearches(const FuzzInput& input, unsigned filterKind) {
    const std::string pattern = UpperAscii(input.key);
    if (pattern.empty()) return;
    const std::string& text = input.listText;
    const std::string upperText = UpperAscii(text);
    const std::size_t from = (input.amount & 15U) * text.size() / 15;
    const unsigned limitStep = input.amount >> 4;
    const std::size_t limit = limitStep == 0 ? kNoPosition : limitStep * text.size() / 15;

    for (const bool filtered : {false, true}) {
        FilterState referenceState{filterKind};
        FilterState* reference = filtered ? &referenceState : nullptr;
        const std::size_t forward =
            ReferenceFind(upperText, text.c_str(), from, limit, pattern, reference);
        referenceState.offered = 0;
        const std::size_t backward =
            ReferenceFindLast(upperText, text.c_str(), from, pattern, reference);
        for (std::size_t i = 0; i < std::size(kScanners); ++i) {
            if (!ScannerAvailable(kScanners[i])) continue;
            FilterState state{filterKind};
            const MatchFilter filter = filtered ? MatchFilter{Accepts, &state} : MatchFilter{};
            const std::size_t found =
                FindFoldedWith(kScanners[i], text.c_str(), from, limit, pattern, filter);
            if (found != forward) Differ("forward search", kScannerNames[i], found, forward);
            state.offered = 0;
            const std::size_t last =
                FindLastFoldedWith(kScanners[i], text.c_str(), from, pattern, filter);
            if (last != backward) Differ("backward search", kScannerNames[i], last, backward);
        }
    }
}

void CompareLookups(const FuzzInput& input, std::int32_t keyType, const ElementTag& field) {
    const std::string difference =
        DifferenceFromLiteral(input.listText.c_str(), input.key.c_str(), keyType, field);
    if (!difference.empty()) {
        std::fprintf(stderr, "lookup against the literal one: %s\n", difference.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzInput input = SplitFuzzInput(data, size);
    const std::int32_t keyType = kFuzzKeyTypes[(input.options & 7U) % kFuzzKeyTypeCount];
    CompareSearches(input, (input.options >> 3) & 3U);
    CompareLookups(input, keyType, kFields[input.options >> 5]);
    CompareLookups(input, keyType, kFields[0]);
    return 0;
}
