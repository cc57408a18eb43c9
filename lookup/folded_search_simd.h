// The vector scanners, written once for any block width. Included only by
// folded_search_sse2.cpp and folded_search_avx2.cpp, each compiled for its own instruction set;
// everything here has internal linkage so the linker can never mix the two builds of a function.
//
// Each aligned block of text is loaded once and compared with zero (the end of the text) and
// with the far anchor; the near anchor's bytes, `distance` earlier, come from one unaligned load
// that stays within this block and the one before. Aligned loads never cross a page, which is
// what lets a scan run to the NUL without knowing the text's length.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lookup/folded_search.h"
#include "lookup/folded_search_kernels.h"

// The scanners read whole aligned blocks around the text on purpose (see above), which
// AddressSanitizer would report as overflows, and ThreadSanitizer as races with whoever owns the
// bytes next to the text. GCC does not inline an instrumented function into one that is not, so
// the loads themselves carry the mark as well.
#if defined(__clang__) || defined(__GNUC__)
#define QBT_READS_WHOLE_BLOCKS __attribute__((no_sanitize("address", "thread")))
#else
#define QBT_READS_WHOLE_BLOCKS
#endif

namespace {

unsigned CountTrailingZeros(std::uint32_t bits) {
    return static_cast<unsigned>(__builtin_ctz(bits));
}
unsigned HighestBit(std::uint32_t bits) { return 31U - static_cast<unsigned>(__builtin_clz(bits)); }

constexpr std::size_t kPrefetchAhead = 2048;

// Block bits at positions >= first (relative to the block).
template <std::size_t kWidth>
constexpr std::uint32_t BitsFrom(std::ptrdiff_t first) {
    constexpr std::uint32_t all = kWidth == 32 ? 0xFFFFFFFFU : (1U << kWidth) - 1;
    if (first <= 0) return all;
    if (first >= static_cast<std::ptrdiff_t>(kWidth)) return 0;
    return all & ~((1U << first) - 1);
}

// Block bits at positions < end (relative to the block).
template <std::size_t kWidth>
constexpr std::uint32_t BitsBelow(std::ptrdiff_t end) {
    return ~BitsFrom<kWidth>(end) & BitsFrom<kWidth>(0);
}

// The two anchor bytes spread over a vector each: one OR and one compare find every position of
// a block that holds one of them.
template <typename Vector>
class AnchorMatcher {
public:
    using Block = decltype(Vector::Zero());
    explicit AnchorMatcher(const Anchors& anchors)
        : nearFold_(Vector::Splat(anchors.nearByte.foldBit)),
          nearValue_(Vector::Splat(anchors.nearByte.value)),
          farFold_(Vector::Splat(anchors.farByte.foldBit)),
          farValue_(Vector::Splat(anchors.farByte.value)) {}
    Block Near(Block bytes) const { return Vector::MatchBytes(bytes, nearFold_, nearValue_); }
    Block Far(Block bytes) const { return Vector::MatchBytes(bytes, farFold_, farValue_); }

private:
    Block nearFold_;
    Block nearValue_;
    Block farFold_;
    Block farValue_;
};

template <typename Vector>
const char* AlignDown(const char* at) {
    const auto address = reinterpret_cast<std::uintptr_t>(at);
    return reinterpret_cast<const char*>(address & ~std::uintptr_t{Vector::kWidth - 1});
}

// Whether a vector load at `at` stays on one page. Pages are 4 KiB or a multiple of it, so such
// a load only touches the page of `at`, which belongs to the text.
template <typename Vector>
bool LoadStaysOnPage(const char* at) {
    constexpr std::uintptr_t kPage = 4096;
    return (reinterpret_cast<std::uintptr_t>(at) & (kPage - 1)) <= kPage - Vector::kWidth;
}

// Bytes of the pattern that match at `at`, a vector at a time: one compare against the padded
// head decides most candidates, and long patterns go on block by block once `at` is aligned.
// Stops at the first mismatch, and the text's NUL is one.
template <typename Vector>
QBT_READS_WHOLE_BLOCKS std::size_t MatchedLength(const char* at, const Needle& needle) {
    constexpr std::size_t kWidth = Vector::kWidth;
    const std::string_view upperPattern = needle.upperPattern;
    const std::size_t length = upperPattern.size();
    std::size_t matched = 0;
    if (LoadStaysOnPage<Vector>(at)) {
        const auto text = Vector::FoldAscii(Vector::LoadUnaligned(at));
        const std::uint32_t differ = ~Vector::Bits(Vector::Equal(text, Vector::Load(needle.head))) &
                                     BitsBelow<kWidth>(static_cast<std::ptrdiff_t>(length));
        if (differ != 0) return CountTrailingZeros(differ);
        if (length <= kWidth) return length;
        matched = kWidth;
    }
    const auto scalarStep = [&] { return FoldAscii(at[matched]) == upperPattern[matched]; };
    while (matched < length && AlignDown<Vector>(at + matched) != at + matched) {
        if (!scalarStep()) return matched;
        ++matched;
    }
    for (; matched + kWidth <= length; matched += kWidth) {
        const auto text = Vector::FoldAscii(Vector::Load(at + matched));
        const auto pattern = Vector::LoadUnaligned(upperPattern.data() + matched);
        const std::uint32_t differ =
            ~Vector::Bits(Vector::Equal(text, pattern)) & BitsFrom<kWidth>(0);
        if (differ != 0) return matched + CountTrailingZeros(differ);
    }
    while (matched < length && scalarStep()) ++matched;
    return matched;
}

template <typename Vector>
QBT_READS_WHOLE_BLOCKS ScanResult FindVector(const char* text, std::size_t from, std::size_t limit,
                                             const Needle& needle) {
    constexpr std::size_t kWidth = Vector::kWidth;
    constexpr auto kStep = static_cast<std::ptrdiff_t>(kWidth);
    const Anchors& anchors = needle.anchors;
    const std::size_t length = needle.upperPattern.size();
    const AnchorMatcher<Vector> match(anchors);
    const std::size_t distance = anchors.farOffset - anchors.nearOffset;

    // Positions below are those of the far anchor, relative to `text`; a candidate starts
    // farOffset bytes earlier.
    const auto farOffset = static_cast<std::ptrdiff_t>(anchors.farOffset);
    const std::ptrdiff_t firstFar = static_cast<std::ptrdiff_t>(from) + farOffset;
    // No text reaches half the address space, so that stands for "no limit" and leaves room to
    // subtract block positions without overflow.
    constexpr std::ptrdiff_t kUnlimited = PTRDIFF_MAX / 2;
    const std::ptrdiff_t farLimit = limit >= static_cast<std::size_t>(kUnlimited)
                                        ? kUnlimited
                                        : static_cast<std::ptrdiff_t>(limit) + farOffset;

    const char* block = AlignDown<Vector>(text + from);
    std::ptrdiff_t blockPosition = block - text;
    ScanResult result{kNoPosition, kNoPosition};
    std::size_t wasted = 0;

    // Verifies the candidates of a block with hits or the NUL in it. True when the search is
    // decided: a match, the end of the text or the limit, or anchors that have failed.
    const auto settle = [&](std::ptrdiff_t position, std::uint32_t candidates, std::uint32_t ends) {
        candidates &= BitsFrom<kWidth>(firstFar - position);
        candidates &= BitsBelow<kWidth>(farLimit - position);
        if (ends != 0) {
            // The whole pattern must end before the NUL.
            const std::ptrdiff_t end = position + CountTrailingZeros(ends);
            const std::ptrdiff_t lastFar = end - static_cast<std::ptrdiff_t>(length) + farOffset;
            candidates &= BitsBelow<kWidth>(lastFar + 1 - position);
        }
        for (; candidates != 0; candidates &= candidates - 1) {
            const auto start =
                static_cast<std::size_t>(position + CountTrailingZeros(candidates) - farOffset);
            const std::size_t matched = MatchedLength<Vector>(text + start, needle);
            if (matched == length && Accepts(needle, text, start)) {
                result.match = start;
                return true;
            }
            wasted += kCandidateCost + matched / kWidth;
            if (AnchorsHaveFailed(wasted, start - from)) {
                result.resumeAt = start + 1;
                return true;
            }
        }
        return ends != 0 || position + kStep >= farLimit;
    };

    // The first block: bytes before `from` may lie before the text and hold anything, and the
    // block before it may be on an unmapped page. A candidate's near anchor lies at or after
    // `from`, so inside this block.
    auto bytes = Vector::Load(block);
    const std::uint32_t firstEnds =
        Vector::Bits(Vector::ZeroBytes(bytes)) &
        BitsFrom<kWidth>(static_cast<std::ptrdiff_t>(from) - blockPosition);
    const auto nearAtFar =
        static_cast<std::uint32_t>(std::uint64_t{Vector::Bits(match.Near(bytes))} << distance);
    if (settle(blockPosition, Vector::Bits(match.Far(bytes)) & nearAtFar, firstEnds)) {
        return result;
    }
    // The near anchor's bytes, `distance` back, come from one unaligned load that stays within
    // this block and the one before, already read.
    using Block = decltype(bytes);
    const auto hitsIn = [&](const char* at, Block blockBytes) {
        return Vector::And(match.Far(blockBytes), match.Near(Vector::LoadUnaligned(at - distance)));
    };
    const auto decide = [&](std::ptrdiff_t position, Block hits, Block ends) {
        if (Vector::Bits(Vector::Or(hits, ends)) == 0) return position + kStep >= farLimit;
        return settle(position, Vector::Bits(hits), Vector::Bits(ends));
    };

    // Single blocks up to a cache line's start, then whole lines with their blocks tested
    // together: the blocks of a line share a page, so a line may be read whole even when its
    // first block holds the NUL.
    constexpr std::size_t kLine = 64;
    constexpr std::size_t kBlocksPerLine = kLine / kWidth;
    const auto startsLine = [](const char* at) {
        return (reinterpret_cast<std::uintptr_t>(at) & (kLine - 1)) == 0;
    };
    for (block += kWidth, blockPosition += kStep; !startsLine(block);
         block += kWidth, blockPosition += kStep) {
        bytes = Vector::Load(block);
        if (decide(blockPosition, hitsIn(block, bytes), Vector::ZeroBytes(bytes))) return result;
    }
    for (;; block += kLine, blockPosition += static_cast<std::ptrdiff_t>(kLine)) {
        // Lists larger than the cache come from memory, where the hardware's own prefetching
        // keeps too few lines in flight for this loop (64 MB ran at half of memchr's speed
        // without this, close to it with). A prefetch never faults, past the NUL or not.
        __builtin_prefetch(block + kPrefetchAhead);
        Block hits[kBlocksPerLine];
        Block ends[kBlocksPerLine];
        auto any = Vector::Zero();
        for (std::size_t i = 0; i < kBlocksPerLine; ++i) {
            const char* at = block + i * kWidth;
            const auto lineBytes = Vector::Load(at);
            hits[i] = hitsIn(at, lineBytes);
            ends[i] = Vector::ZeroBytes(lineBytes);
            any = Vector::Or(any, Vector::Or(hits[i], ends[i]));
        }
        if (Vector::Bits(any) == 0) {
            if (blockPosition + static_cast<std::ptrdiff_t>(kLine) >= farLimit) return result;
            continue;
        }
        for (std::size_t i = 0; i < kBlocksPerLine; ++i) {
            if (decide(blockPosition + static_cast<std::ptrdiff_t>(i) * kStep, hits[i], ends[i])) {
                return result;
            }
        }
    }
}

template <typename Vector>
QBT_READS_WHOLE_BLOCKS std::size_t FindLastVector(const char* text, std::size_t below,
                                                  const Needle& needle) {
    constexpr std::size_t kWidth = Vector::kWidth;
    constexpr auto kStep = static_cast<std::ptrdiff_t>(kWidth);
    if (below == 0) return kNoPosition;
    const Anchors& anchors = needle.anchors;
    const AnchorMatcher<Vector> match(anchors);
    const std::size_t distance = anchors.farOffset - anchors.nearOffset;

    // Positions below are those of the near anchor; the far anchor lies `distance` bytes later,
    // in the same block or the one above, whose far bits the previous round computed.
    const auto nearOffset = static_cast<std::ptrdiff_t>(anchors.nearOffset);
    const std::ptrdiff_t lastNear = static_cast<std::ptrdiff_t>(below) - 1 + nearOffset;
    const std::ptrdiff_t knownEnd = static_cast<std::ptrdiff_t>(below + anchors.farOffset);

    const char* block = AlignDown<Vector>(text + lastNear);
    std::ptrdiff_t blockPosition = block - text;
    std::uint32_t higherFar = 0;
    // Only look at the block above if a candidate's far anchor can reach into the known text.
    if (blockPosition + kStep < knownEnd) {
        higherFar = Vector::Bits(match.Far(Vector::Load(block + kWidth)));
    }
    for (;; block -= kWidth, blockPosition -= kStep) {
        const auto bytes = Vector::Load(block);
        const std::uint32_t far = Vector::Bits(match.Far(bytes));
        const auto farAtNear =
            static_cast<std::uint32_t>(((std::uint64_t{higherFar} << kWidth) | far) >> distance);
        higherFar = far;

        std::uint32_t candidates = Vector::Bits(match.Near(bytes)) & farAtNear;
        candidates &= BitsBelow<kWidth>(lastNear + 1 - blockPosition);
        candidates &= BitsFrom<kWidth>(nearOffset - blockPosition);  // candidate start >= 0
        for (; candidates != 0; candidates &= ~(1U << HighestBit(candidates))) {
            const auto start =
                static_cast<std::size_t>(blockPosition + HighestBit(candidates) - nearOffset);
            if (MatchedLength<Vector>(text + start, needle) == needle.upperPattern.size() &&
                Accepts(needle, text, start)) {
                return start;
            }
        }
        if (blockPosition <= nearOffset) return kNoPosition;
    }
}

}  // namespace
