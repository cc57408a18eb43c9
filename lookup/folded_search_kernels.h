// Inside the folded search: the candidate scanners, one per instruction set, and the way to pick
// one explicitly (tests and benchmarks run every available scanner on the same texts).
//
// A scanner does not match whole patterns. It looks for two anchor bytes of the pattern at their
// distance from each other and reports the candidate starts where both are present; the search
// driver in folded_search.cpp verifies each candidate in full. The vector scanners read whole
// aligned blocks, which never cross a page, so they may look at bytes before the first position
// asked for and after the terminating NUL but never fault; those bytes never reach a result.
#pragma once

#include <cstddef>
#include <string_view>

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

// The first candidate start s in [from, limit) whose anchors match, or kNoPosition. A scanner
// that comes across the NUL may use `patternLength` to drop candidates that would run past it.
// `limit` may be kNoPosition; `from` must not lie past the NUL.
using ForwardScanner = std::size_t (*)(const char* text, std::size_t from, std::size_t limit,
                                       const Anchors& anchors, std::size_t patternLength);

// The last candidate start s < `below` whose anchors match, or kNoPosition. Every byte before
// below + anchors.farOffset must belong to the text and not be its NUL.
using BackwardScanner = std::size_t (*)(const char* text, std::size_t below,
                                        const Anchors& anchors);

std::size_t FindCandidateScalar(const char* text, std::size_t from, std::size_t limit,
                                const Anchors& anchors, std::size_t patternLength);
std::size_t FindLastCandidateScalar(const char* text, std::size_t below, const Anchors& anchors);

#if defined(__x86_64__) || defined(__i386__)
#define QBT_HAVE_X86_SCANNERS 1
std::size_t FindCandidateSse2(const char* text, std::size_t from, std::size_t limit,
                              const Anchors& anchors, std::size_t patternLength);
std::size_t FindLastCandidateSse2(const char* text, std::size_t below, const Anchors& anchors);
#endif
#if defined(__x86_64__)
#define QBT_HAVE_AVX2_SCANNERS 1
std::size_t FindCandidateAvx2(const char* text, std::size_t from, std::size_t limit,
                              const Anchors& anchors, std::size_t patternLength);
std::size_t FindLastCandidateAvx2(const char* text, std::size_t below, const Anchors& anchors);
#endif

enum class SearchScanner { kScalar, kSse2, kAvx2 };

// Whether this build and this processor can run the scanner.
bool ScannerAvailable(SearchScanner scanner);

// The searches of folded_search.h with a chosen scanner; the plain functions use the best one.
std::size_t FindFoldedWith(SearchScanner scanner, const char* text, std::size_t from,
                           std::size_t limit, std::string_view upperPattern);
std::size_t FindLastFoldedWith(SearchScanner scanner, const char* text, std::size_t at,
                               std::string_view upperPattern);

Anchors ChooseAnchors(std::string_view upperPattern);
