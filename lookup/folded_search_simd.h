// The vector scanners' parts, written once for any block width: the anchors spread over vectors,
// verification, and a forward scan's state and steps (the loops over them are in
// folded_search_scans.h). Included only by the scanners' own files (folded_search_sse2.cpp,
// folded_search_avx2.cpp, folded_search_avx512bw.cpp), each compiled for its own instruction set;
// everything here has internal linkage so the linker can never mix two builds of a function.
//
// Each aligned block of text is loaded once and compared with the far anchor; the near anchor's
// bytes, `distance` earlier, come from one unaligned load that stays within this block and the
// one before. Aligned loads never cross a page, and a page is only left once it is known to hold
// no NUL, which is what lets a scan run to the NUL without knowing the text's length.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

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
// Only the backward scan needs it, and the AVX-512 file has none of its own.
[[maybe_unused]] unsigned HighestBit(std::uint32_t bits) {
    return 31U - static_cast<unsigned>(__builtin_clz(bits));
}

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

// Which anchors are letters, whose case the scan folds with an OR before it compares: the near
// anchor (bit 0), the far one (bit 1). Digits and markup need no OR, which saves one of the
// scan's five to seven vector operations per block for each of them.
constexpr unsigned kFoldsNeither = 0;
constexpr unsigned kFoldsNear = 1;
constexpr unsigned kFoldsFar = 2;
constexpr unsigned kFoldsBoth = 3;

// The two anchor bytes spread over a vector each: one compare (after the OR, for a letter) finds
// every position of a block that holds one of them.
template <typename Vector, unsigned kFolding = kFoldsBoth>
class AnchorMatcher {
public:
    using Block = decltype(Vector::Zero());
    explicit AnchorMatcher(const Anchors& anchors)
        : nearFold_(Vector::Splat(anchors.nearByte.foldBit)),
          nearValue_(Vector::Splat(anchors.nearByte.value)),
          farFold_(Vector::Splat(anchors.farByte.foldBit)),
          farValue_(Vector::Splat(anchors.farByte.value)) {}
    Block Near(Block bytes) const {
        return Match<(kFolding & kFoldsNear) != 0>(bytes, nearFold_, nearValue_);
    }
    Block Far(Block bytes) const {
        return Match<(kFolding & kFoldsFar) != 0>(bytes, farFold_, farValue_);
    }

private:
    template <bool kFolds>
    static Block Match(Block bytes, Block fold, Block value) {
        if constexpr (kFolds) return Vector::MatchBytes(bytes, fold, value);
        return Vector::Equal(bytes, value);
    }

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

// MatchedLength(at, needle.upperPattern), given that its first `matched` bytes match: a byte at a
// time up to an aligned block (a block beyond the NUL is only safe to read aligned), then block
// by block, and the last bytes one at a time.
template <typename Vector>
[[gnu::noinline]] QBT_READS_WHOLE_BLOCKS std::size_t MatchedLengthFrom(const char* at,
                                                                       const Needle& needle,
                                                                       std::size_t matched) {
    constexpr std::size_t kWidth = Vector::kWidth;
    const std::string_view upperPattern = needle.upperPattern;
    const std::size_t length = upperPattern.size();
    const std::size_t unaligned =
        (0 - reinterpret_cast<std::uintptr_t>(at + matched)) & (kWidth - 1);
    const std::size_t aligned = std::min(length, matched + unaligned);
    matched += MatchedLength(at + matched, upperPattern.substr(matched, aligned - matched));
    if (matched < aligned) return matched;
    for (; matched + kWidth <= length; matched += kWidth) {
        const auto text = Vector::FoldAscii(Vector::Load(at + matched));
        const auto pattern = Vector::LoadUnaligned(upperPattern.data() + matched);
        const std::uint32_t differ =
            ~Vector::Bits(Vector::Equal(text, pattern)) & BitsFrom<kWidth>(0);
        if (differ != 0) return matched + CountTrailingZeros(differ);
    }
    return matched + MatchedLength(at + matched, upperPattern.substr(matched));
}

// MatchedLength(at, needle.upperPattern), a vector at a time: one compare against the padded
// head decides most candidates. The rest lies in a function of its own so that this one needs no
// registers saved: with the calls inline, key near-misses ran 14% slower.
template <typename Vector>
QBT_READS_WHOLE_BLOCKS std::size_t MatchedLengthByBlocks(const char* at, const Needle& needle) {
    constexpr std::size_t kWidth = Vector::kWidth;
    if (!LoadStaysOnPage<Vector>(at)) return MatchedLengthFrom<Vector>(at, needle, 0);
    const std::size_t length = needle.upperPattern.size();
    const auto head = Vector::MatchBytes(Vector::LoadUnaligned(at), Vector::Load(needle.headFold),
                                         Vector::Load(needle.headValue));
    const std::uint32_t differ =
        ~Vector::Bits(head) & BitsBelow<kWidth>(static_cast<std::ptrdiff_t>(length));
    if (differ != 0) return CountTrailingZeros(differ);
    if (length <= kWidth) return length;
    return MatchedLengthFrom<Vector>(at, needle, kWidth);
}

// The bytes the fast loop reads and decides on at a time, and how often it looks for the NUL.
constexpr std::size_t kChunk = 128;
constexpr std::uintptr_t kPage = 4096;

// One forward scan in progress: the anchors spread over vectors, where a candidate may lie, and
// the work candidates have wasted so far. Positions are those of the far anchor, relative to the
// text; a candidate starts farOffset bytes earlier. Each step that may end the scan returns its
// answer, or nothing when the scan goes on.
template <typename Vector, unsigned kFolding>
class ForwardScan {
public:
    using Block = decltype(Vector::Zero());
    static constexpr std::size_t kWidth = Vector::kWidth;

    ForwardScan(const char* text, std::size_t from, std::size_t limit, const Needle& needle)
        : text_(text),
          from_(from),
          needle_(needle),
          match_(needle.anchors),
          distance_(needle.anchors.farOffset - needle.anchors.nearOffset),
          farOffset_(static_cast<std::ptrdiff_t>(needle.anchors.farOffset)),
          firstFar_(static_cast<std::ptrdiff_t>(from) + farOffset_),
          farLimit_(limit >= static_cast<std::size_t>(kUnlimited)
                        ? kUnlimited
                        : static_cast<std::ptrdiff_t>(limit) + farOffset_) {}

    // The block holding `from`: its bytes before `from` may lie before the text and hold
    // anything, and the block before it may be unmapped, so only hits whose near anchor lies in
    // this block count (every candidate's does).
    QBT_READS_WHOLE_BLOCKS std::optional<ScanResult> FirstBlock(const char* block) {
        const auto bytes = Vector::Load(block);
        const std::ptrdiff_t position = block - text_;
        const std::uint32_t ends = Vector::Bits(Vector::ZeroBytes(bytes)) &
                                   BitsFrom<kWidth>(static_cast<std::ptrdiff_t>(from_) - position);
        const auto nearAtFar = static_cast<std::uint32_t>(
            std::uint64_t{Vector::Bits(match_.Near(bytes))} << distance_);
        return Settle(position, Vector::Bits(match_.Far(bytes)) & nearAtFar, ends);
    }

    // The far anchor's hits in the block at `at` whose near anchor matches too; the near anchor's
    // bytes come from one unaligned load within this block and the one before, already read.
    QBT_READS_WHOLE_BLOCKS Block HitsIn(const char* at, Block bytes) const {
        return Vector::And(match_.Far(bytes), match_.Near(Vector::LoadUnaligned(at - distance_)));
    }

    // Any block after the first, given its hits (from HitsIn) and its NUL bytes.
    std::optional<ScanResult> Decide(const char* block, Block hits, Block ends) {
        if (Vector::Bits(Vector::Or(hits, ends)) == 0) return EndsAt(block + kWidth);
        return Settle(block - text_, Vector::Bits(hits), Vector::Bits(ends));
    }

    const AnchorMatcher<Vector, kFolding>& Matcher() const { return match_; }
    const Anchors& AnchorsInUse() const { return needle_.anchors; }
    std::size_t Distance() const { return distance_; }

    // "Not found" once the limit leaves no candidate whose far anchor lies at `end` or beyond.
    std::optional<ScanResult> EndsAt(const char* end) const {
        if (end - text_ >= farLimit_) return kNotFound;
        return std::nullopt;
    }

    // The first address at which no far anchor of a candidate can lie: the limit as a pointer,
    // or the top of the address space when there is none.
    std::uintptr_t Stop() const {
        const auto text = reinterpret_cast<std::uintptr_t>(text_);
        const auto farLimit = static_cast<std::uintptr_t>(farLimit_);
        if (farLimit_ == kUnlimited || farLimit > UINTPTR_MAX - text) return UINTPTR_MAX;
        return text + farLimit;
    }

    // A chunk of the fast loop that has hits, given whether the chunks read since `checkedFrom`
    // (this one included) hold a NUL. The chunk's blocks are read again, since the loop kept
    // nothing but that; a NUL before the chunk ends the scan without them, one inside it ends it
    // after the candidates before it. Not inlined: it would crowd the loop's registers.
    [[gnu::noinline]] QBT_READS_WHOLE_BLOCKS std::optional<ScanResult> SettleChunk(
        const char* checkedFrom, const char* chunk, bool nulSeen) {
        const char* end = chunk + kChunk;
        if (nulSeen) {
            const char* nulBlock = checkedFrom;
            while (Vector::Bits(Vector::ZeroBytes(Vector::Load(nulBlock))) == 0) nulBlock += kWidth;
            if (nulBlock < chunk) return kNotFound;
            end = nulBlock + kWidth;
        }
        for (const char* block = chunk; block < end; block += kWidth) {
            const auto bytes = Vector::Load(block);
            const std::uint32_t hits = Vector::Bits(HitsIn(block, bytes));
            const std::uint32_t ends = Vector::Bits(Vector::ZeroBytes(bytes));
            if (hits == 0 && ends == 0) continue;
            if (auto decided = Settle(block - text_, hits, ends)) return decided;
        }
        return std::nullopt;
    }

private:
    // No text reaches half the address space, so that stands for "no limit" and leaves room to
    // subtract block positions without overflow.
    static constexpr std::ptrdiff_t kUnlimited = PTRDIFF_MAX / 2;
    static constexpr ScanResult kNotFound{kNoPosition, kNoPosition};

    // The block at `position` with its hits and its NUL bytes: verifies the candidates among the
    // hits, and ends the scan at the first match, at the NUL or the limit, or when the anchors
    // have failed.
    std::optional<ScanResult> Settle(std::ptrdiff_t position, std::uint32_t hits,
                                     std::uint32_t ends) {
        if (auto decided = Verify(position, Candidates(position, hits, ends))) return decided;
        if (ends != 0) return kNotFound;
        return EndsAt(text_ + position + static_cast<std::ptrdiff_t>(kWidth));
    }

    // The hits at which a match may start: not before `from`, before the limit, and with room
    // for the whole pattern before the NUL.
    std::uint32_t Candidates(std::ptrdiff_t position, std::uint32_t hits,
                             std::uint32_t ends) const {
        hits &= BitsFrom<kWidth>(firstFar_ - position);
        hits &= BitsBelow<kWidth>(farLimit_ - position);
        if (ends != 0) {
            const std::ptrdiff_t end = position + CountTrailingZeros(ends);
            const auto length = static_cast<std::ptrdiff_t>(needle_.upperPattern.size());
            const std::ptrdiff_t lastFar = end - length + farOffset_;
            hits &= BitsBelow<kWidth>(lastFar + 1 - position);
        }
        return hits;
    }

    // The first candidate that matches in full and that the filter accepts, or where the anchors
    // have wasted too much work on candidates; nothing if neither happens in this block.
    std::optional<ScanResult> Verify(std::ptrdiff_t position, std::uint32_t candidates) {
        const std::size_t length = needle_.upperPattern.size();
        for (; candidates != 0; candidates &= candidates - 1) {
            const auto start =
                static_cast<std::size_t>(position + CountTrailingZeros(candidates) - farOffset_);
            const std::size_t matched = MatchedLengthByBlocks<Vector>(text_ + start, needle_);
            if (matched == length && Accepts(needle_, text_, start)) {
                return ScanResult{start, kNoPosition};
            }
            wasted_ += kCandidateCost + matched / kWidth;
            if (AnchorsHaveFailed(wasted_, start - from_)) {
                return ScanResult{kNoPosition, start + 1};
            }
        }
        return std::nullopt;
    }

    const char* text_;
    std::size_t from_;
    const Needle& needle_;
    AnchorMatcher<Vector, kFolding> match_;
    std::size_t distance_;
    std::ptrdiff_t farOffset_;
    std::ptrdiff_t firstFar_;
    std::ptrdiff_t farLimit_;
    std::size_t wasted_ = 0;
};

}  // namespace
