// Inside the folded search: the scanners, one per instruction set, and the way to pick one
// explicitly (tests and benchmarks run every available scanner on the same texts).
//
//   folded_search.cpp         anchor choice, the fallbacks (dense mode, automaton), each
//                             scanner's entry points
//   scanner_choice.cpp        which scanner runs on this processor
//   folded_search_scalar.cpp  the scalar scanners, which every build has
//   folded_search_simd.h      the vector scanners' parts, written once for any block width
//   folded_search_scans.h     ... and their loops
//   folded_search_sse2.cpp    ... built for SSE2
//   folded_search_avx2.cpp    ... built for AVX2
//   folded_search_avx512bw.cpp  a wider chunk loop for AVX-512BW, the rest from AVX2
//
// A scanner looks for two anchor bytes of the pattern at their distance from each other, which
// few places in a list have, and verifies each such candidate in full. The vector scanners read
// whole aligned blocks, which never cross a page, so they may look at bytes before the first
// position asked for and after the terminating NUL but never fault; those bytes never reach a
// result.
//
// Which vector scanners a build has is decided by CMakeLists.txt alone, which compiles their
// files and tells folded_search.cpp and scanner_choice.cpp through QBT_SCANNER_SSE2,
// QBT_SCANNER_AVX2 and QBT_SCANNER_AVX512BW. They are declared here in every build; only the
// dispatch, which knows, refers to them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lookup/folded_search.h"

// One byte of the pattern as a scanner compares it: a text byte matches when
// (byte | foldBit) == value, so an ASCII letter matches in either case with one OR and one compare.
struct AnchorByte {
    unsigned char foldBit;
    unsigned char value;
};

struct Anchors {
    std::size_t nearOffset;  // offset in the pattern; nearOffset <= farOffset
    std::size_t farOffset;
    AnchorByte nearByte;
    AnchorByte farByte;
};

// The scanners keep one block of history, so anchors are at most this far apart.
inline constexpr std::size_t kMaxAnchorDistance = 16;

// The widest vector a scanner uses, in bytes.
inline constexpr std::size_t kWidestBlock = 32;

struct Needle {
    std::string_view upperPattern;  // non-empty, upper-cased, no NUL
    Anchors anchors;
    MatchFilter filter;
    // The pattern's first bytes as AnchorBytes, padded to a whole vector, so that a candidate's
    // first block is verified with one OR and one compare whatever the pattern's length.
    alignas(kWidestBlock) char headFold[kWidestBlock];
    alignas(kWidestBlock) char headValue[kWidestBlock];
};

Needle MakeNeedle(std::string_view upperPattern, MatchFilter filter);

inline bool Accepts(const Needle& needle, const char* text, std::size_t position) {
    return needle.filter.accepts == nullptr ||
           needle.filter.accepts(text, position, needle.filter.context);
}

// Anchors for a pattern: its rarest byte near either end (within kAnchorReach of it), and the
// byte beside it, at most kMaxAnchorDistance away, that best tells candidates apart. Rarity
// comes from a table: how common each byte is in game lists, or in the text being searched.
inline constexpr std::size_t kAnchorReach = 256;
using ByteCommonness = std::array<std::uint32_t, 256>;
Anchors ChooseAnchors(std::string_view upperPattern);
Anchors ChooseAnchorsBy(std::string_view upperPattern, const ByteCommonness& byteCommonness);

// A text built so that nearly every position is a candidate (or a match the filter rejects)
// would make verification quadratic. Scanners count the work candidates waste (about kCandidateCost
// each, plus the bytes compared) and give up on their anchors once it passes twice the bytes
// scanned; the search then tries anchors rare in the text itself, and if those fail too, finishes
// in dense mode (patterns of up to kMaxDenseLength bytes) or with an automaton, both linear
// whatever the text. Normal lists waste a few bytes per kilobyte; a candidate every eight bytes
// already costs more than the scan itself. Counting a candidate as 128 bytes sent floods to the
// dense mode sooner, which made key near-misses half as slow again as verifying them.
inline constexpr std::size_t kCandidateCost = 16;
inline constexpr bool AnchorsHaveFailed(std::size_t wasted, std::size_t scanned) {
    return wasted > 4096 + 2 * scanned;
}

struct ScanResult {
    std::size_t match;     // the first match, or kNoPosition
    std::size_t resumeAt;  // kNoPosition, or where the anchors were given up; `match` is then
                           // meaningless and the search goes on from here another way
};

// The first match starting in [from, limit) (limit may be kNoPosition); `from` must not lie past
// the NUL.
using ForwardScanner = ScanResult (*)(const char* text, std::size_t from, std::size_t limit,
                                      const Needle& needle);

// The last match starting before `below`. Every byte before below + anchors.farOffset must
// belong to the text and not be its NUL.
using BackwardScanner = std::size_t (*)(const char* text, std::size_t below, const Needle& needle);

// Dense mode: the first match starting in [from, limit) found without anchors, comparing every
// start with the whole pattern (see folded_search_dense.h); patterns of up to kMaxDenseLength
// bytes. The result's resumeAt is always kNoPosition.
inline constexpr std::size_t kMaxDenseLength = 32;

ScanResult FindScalar(const char* text, std::size_t from, std::size_t limit, const Needle& needle);
std::size_t FindLastScalar(const char* text, std::size_t below, const Needle& needle);
ScanResult FindSse2(const char* text, std::size_t from, std::size_t limit, const Needle& needle);
ScanResult FindDenseSse2(const char* text, std::size_t from, std::size_t limit,
                         const Needle& needle);
std::size_t FindLastSse2(const char* text, std::size_t below, const Needle& needle);
ScanResult FindAvx2(const char* text, std::size_t from, std::size_t limit, const Needle& needle);
ScanResult FindDenseAvx2(const char* text, std::size_t from, std::size_t limit,
                         const Needle& needle);
std::size_t FindLastAvx2(const char* text, std::size_t below, const Needle& needle);
// Forward only: the backward and dense searches of AVX2 serve AVX-512 processors as they are.
ScanResult FindAvx512(const char* text, std::size_t from, std::size_t limit, const Needle& needle);

// Bytes of `upperPattern` that match at `at`, stopping at the first mismatch (the text's NUL is
// one), so it never reads past the text. Every scanner verifies with it, the vector ones for what
// their blocks leave over. Not inline: a copy built for AVX2 must never serve the other scanners.
std::size_t MatchedLength(const char* at, std::string_view upperPattern);

enum class SearchScanner { kScalar, kSse2, kAvx2, kAvx512 };

// Whether this build and this processor can run the scanner.
bool ScannerAvailable(SearchScanner scanner);

// The scanner the plain searches use: of those this build has and this processor runs, the one
// measured fastest on its family (scanner_choice.cpp).
SearchScanner ChosenScanner();

// A scanner's entry points, by the decision CMakeLists.txt made: the scalar ones for a scanner
// this build lacks. A build without vector scanners has no dense mode either.
struct Scanners {
    ForwardScanner forward;
    BackwardScanner backward;
    ForwardScanner dense;
};
Scanners ScannersFor(SearchScanner scanner);

// The searches of folded_search.h with a chosen scanner; the plain functions use the best one.
std::size_t FindFoldedWith(SearchScanner scanner, const char* text, std::size_t from,
                           std::size_t limit, std::string_view upperPattern,
                           MatchFilter filter = {});
std::size_t FindLastFoldedWith(SearchScanner scanner, const char* text, std::size_t at,
                               std::string_view upperPattern, MatchFilter filter = {});
