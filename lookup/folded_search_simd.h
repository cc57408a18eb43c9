// The vector candidate scanners, written once for any block width. Included only by
// folded_search_sse2.cpp and folded_search_avx2.cpp, each compiled for its own instruction set;
// everything here has internal linkage so the linker can never mix the two builds of a function.
//
// Each aligned block of text is loaded once and compared three ways: with zero (the end of the
// text), with the near anchor and with the far anchor. A candidate needs the far anchor at a
// position and the near anchor `distance` bytes before it, which may lie in the previous block;
// the previous block's near bits are kept for that. Aligned loads never cross a page, which is
// what lets a scan run to the NUL without knowing the text's length.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lookup/folded_search.h"
#include "lookup/folded_search_kernels.h"

// The scanners read whole aligned blocks around the text on purpose (see above), which
// AddressSanitizer would report as overflows.
#if defined(__clang__) || defined(__GNUC__)
#define QBT_READS_WHOLE_BLOCKS __attribute__((no_sanitize_address))
#else
#define QBT_READS_WHOLE_BLOCKS
#endif

namespace {

constexpr unsigned CountTrailingZeros(std::uint32_t bits) {
    return static_cast<unsigned>(__builtin_ctz(bits));
}
constexpr unsigned HighestBit(std::uint32_t bits) {
    return 31U - static_cast<unsigned>(__builtin_clz(bits));
}

// Block bits at positions >= first (relative to the block), for a block of `width` bits.
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

template <typename Vector>
QBT_READS_WHOLE_BLOCKS std::size_t FindCandidateVector(const char* text, std::size_t from,
                                                       std::size_t limit, const Anchors& anchors,
                                                       std::size_t patternLength) {
    constexpr std::size_t kWidth = Vector::kWidth;
    constexpr auto kStep = static_cast<std::ptrdiff_t>(kWidth);
    const auto nearFold = Vector::Splat(anchors.nearByte.foldBit);
    const auto nearValue = Vector::Splat(anchors.nearByte.value);
    const auto farFold = Vector::Splat(anchors.farByte.foldBit);
    const auto farValue = Vector::Splat(anchors.farByte.value);
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

    const auto firstAddress = reinterpret_cast<std::uintptr_t>(text + from);
    const char* block = reinterpret_cast<const char*>(firstAddress & ~std::uintptr_t{kWidth - 1});
    std::ptrdiff_t blockPosition = block - text;

    // Decides a block with hits or the NUL in it: the first candidate, or kNoPosition once the
    // text or the limit has ended; false to go on with the next block.
    std::size_t result = kNoPosition;
    const auto settle = [&](std::uint32_t candidates, std::uint32_t ends) {
        candidates &= BitsFrom<kWidth>(firstFar - blockPosition);
        candidates &= BitsBelow<kWidth>(farLimit - blockPosition);
        if (ends != 0) {
            // The whole pattern must end before the NUL.
            const std::ptrdiff_t end = blockPosition + CountTrailingZeros(ends);
            const std::ptrdiff_t lastFar =
                end - static_cast<std::ptrdiff_t>(patternLength) + farOffset;
            candidates &= BitsBelow<kWidth>(lastFar + 1 - blockPosition);
        }
        if (candidates != 0) {
            result = static_cast<std::size_t>(blockPosition + CountTrailingZeros(candidates) -
                                              farOffset);
        }
        return candidates != 0 || ends != 0 || blockPosition + kStep >= farLimit;
    };

    // The first block: bytes before `from` may lie before the text and hold anything, and the
    // block before it may be on an unmapped page. A candidate's near anchor lies at or after
    // `from`, so inside this block.
    auto bytes = Vector::Load(block);
    const std::uint32_t firstEnds =
        Vector::Bits(Vector::ZeroBytes(bytes)) &
        BitsFrom<kWidth>(static_cast<std::ptrdiff_t>(from) - blockPosition);
    const auto nearAtFar = static_cast<std::uint32_t>(
        std::uint64_t{Vector::Bits(Vector::MatchBytes(bytes, nearFold, nearValue))} << distance);
    if (settle(Vector::Bits(Vector::MatchBytes(bytes, farFold, farValue)) & nearAtFar, firstEnds)) {
        return result;
    }
    // Later blocks: the near anchor's bytes, `distance` back, lie in this block or the one just
    // read, so one unaligned load lines them up with the far anchor's.
    for (;;) {
        block += kWidth;
        blockPosition += kStep;
        bytes = Vector::Load(block);
        const auto hits = Vector::And(
            Vector::MatchBytes(bytes, farFold, farValue),
            Vector::MatchBytes(Vector::LoadUnaligned(block - distance), nearFold, nearValue));
        const auto ends = Vector::ZeroBytes(bytes);
        if (Vector::Bits(Vector::Or(hits, ends)) == 0) {
            if (blockPosition + kStep >= farLimit) return kNoPosition;
            continue;
        }
        if (settle(Vector::Bits(hits), Vector::Bits(ends))) return result;
    }
}

template <typename Vector>
QBT_READS_WHOLE_BLOCKS std::size_t FindLastCandidateVector(const char* text, std::size_t below,
                                                           const Anchors& anchors) {
    constexpr std::size_t kWidth = Vector::kWidth;
    constexpr auto kStep = static_cast<std::ptrdiff_t>(kWidth);
    if (below == 0) return kNoPosition;
    const auto nearFold = Vector::Splat(anchors.nearByte.foldBit);
    const auto nearValue = Vector::Splat(anchors.nearByte.value);
    const auto farFold = Vector::Splat(anchors.farByte.foldBit);
    const auto farValue = Vector::Splat(anchors.farByte.value);
    const std::size_t distance = anchors.farOffset - anchors.nearOffset;

    // Positions below are those of the near anchor; the far anchor lies `distance` bytes later,
    // in the same block or the one above, whose far bits the previous round computed.
    const auto nearOffset = static_cast<std::ptrdiff_t>(anchors.nearOffset);
    const std::ptrdiff_t lastNear = static_cast<std::ptrdiff_t>(below) - 1 + nearOffset;
    const std::ptrdiff_t textEnd = static_cast<std::ptrdiff_t>(below + anchors.farOffset);

    const auto lastAddress = reinterpret_cast<std::uintptr_t>(text + lastNear);
    const char* block = reinterpret_cast<const char*>(lastAddress & ~std::uintptr_t{kWidth - 1});
    std::ptrdiff_t blockPosition = block - text;
    std::uint32_t higherFar = 0;
    // Only look at the block above if a candidate's far anchor can reach into the known text.
    if (blockPosition + kStep < textEnd) {
        higherFar =
            Vector::Bits(Vector::MatchBytes(Vector::Load(block + kWidth), farFold, farValue));
    }
    for (;; block -= kWidth, blockPosition -= kStep) {
        const auto bytes = Vector::Load(block);
        const std::uint32_t far = Vector::Bits(Vector::MatchBytes(bytes, farFold, farValue));
        const auto farAtNear =
            static_cast<std::uint32_t>(((std::uint64_t{higherFar} << kWidth) | far) >> distance);
        higherFar = far;

        std::uint32_t candidates =
            Vector::Bits(Vector::MatchBytes(bytes, nearFold, nearValue)) & farAtNear;
        candidates &= BitsBelow<kWidth>(lastNear + 1 - blockPosition);
        candidates &= BitsFrom<kWidth>(nearOffset - blockPosition);  // candidate start >= 0
        if (candidates != 0) {
            return static_cast<std::size_t>(blockPosition + HighestBit(candidates) - nearOffset);
        }
        if (blockPosition <= nearOffset) return kNoPosition;
    }
}

}  // namespace
