// The vector scans themselves, over the steps of folded_search_simd.h and under its rules: the
// forward chunk loop, the first blocks before it, and the backward scan. Included only by the
// scanners' own files; internal linkage, whole aligned blocks read around the text.
#pragma once

#include "lookup/folded_search_simd.h"

namespace {

// Whole aligned chunks, a page at a time: every block of a chunk is loaded once, its pair hits
// are OR-ed into one vector and its bytes folded into a running minimum, and the chunk costs one
// mask extraction and one branch. The minimum is tested for a NUL once per page: reading past
// the NUL up to the page's end is safe, and a chunk with hits looks at the minimum before any
// candidate is verified, so no candidate past the NUL is ever offered. Keeping the masks in
// registers matters: storing them for the slow path capped the loop at one store port.
//
// The AVX2 loop is at its floor of vector operations: a pair and the NUL take five per block (two
// compares, their AND, the OR into the hits, the minimum), six with a letter anchor, and
// memchr's loop about two. Tried and not kept, key absent, 0.3 and 1 MB, time over one memchr
// pass taken in the same run, two runs (docs/performance.md's Xeon; standalone copies of the
// loop, so the figures are the loop's alone):
// - this loop 2.75x and 2.60x, 2.68x and 2.42x; without the NUL's minimum (not a scanner) 2.45x
//   and 2.10x, 2.35x and 2.01x; the far anchor alone (nor this) 1.14x and 1.16x, 1.13x and 1.09x.
// - pairs as zero bytes: XOR, XOR, OR, one AND-NOT folding both anchors' case, the NUL folded in
//   with a minimum, a tree of minimums and one compare per chunk: 2.76x and 2.65x, 2.73x and 2.52x.
// - 2-grams: the aligned block folded once (OR 0x20), one 16-bit compare for starts at even
//   offsets and one for odd, no unaligned load: 2.48x and 2.53x, 2.49x and 2.52x; and a key's
//   2-grams turn up every 3.5 KB of a list where its anchors do every 23 KB.
// - 256-byte chunks (one mask extraction per eight blocks): 2.72x and 2.55x, 2.67x and 2.31x.
// - the near anchor's load aligned (what loads across two lines cost): 2.56x and 2.52x.
template <typename Vector, unsigned kFolding>
QBT_READS_WHOLE_BLOCKS ScanResult ScanChunks(ForwardScan<Vector, kFolding>& scan,
                                             const char* chunk) {
    constexpr std::size_t kWidth = Vector::kWidth;
    const std::uintptr_t stop = scan.Stop();
    // Copies the loop can keep in registers: the slow path may change the scan, so the compiler
    // would otherwise load them from it on every chunk.
    const AnchorMatcher<Vector, kFolding> match = scan.Matcher();
    const std::size_t distance = scan.Distance();
    for (;;) {
        const char* checkedFrom = chunk;
        // Never 0: the address space's last page is not mapped for programs on any system the
        // library runs on.
        const auto pageEnd = (reinterpret_cast<std::uintptr_t>(chunk) | (kPage - 1)) + 1;
        const std::uintptr_t end = std::min(pageEnd, stop);
        auto least = Vector::Splat(0xFF);
        for (; reinterpret_cast<std::uintptr_t>(chunk) < end; chunk += kChunk) {
            // Lists larger than the cache come from memory, where the hardware's own
            // prefetching keeps too few lines in flight (64 MB ran at half of memchr's speed
            // without this). Both lines of the chunk: a prefetch costs a load port, not one of
            // the vector units the loop waits on. A prefetch never faults, past the NUL or not.
            __builtin_prefetch(chunk + kPrefetchAhead);
            __builtin_prefetch(chunk + kPrefetchAhead + kChunk / 2);
            auto hits = Vector::Zero();
            for (std::size_t at = 0; at < kChunk; at += kWidth) {
                auto bytes = Vector::Load(chunk + at);
                Vector::KeepInRegister(bytes);
                least = Vector::Min(least, bytes);
                const auto near = match.Near(Vector::LoadUnaligned(chunk - distance + at));
                hits = Vector::Or(hits, Vector::And(match.Far(bytes), near));
                Vector::EndOfBlock(least, hits);
            }
            if (Vector::Bits(hits) != 0) {
                const bool nulSeen = Vector::Bits(Vector::ZeroBytes(least)) != 0;
                if (auto decided = scan.SettleChunk(checkedFrom, chunk, nulSeen)) {
                    return *decided;
                }
            }
        }
        if (Vector::Bits(Vector::ZeroBytes(least)) != 0 ||
            reinterpret_cast<std::uintptr_t>(chunk) >= stop) {
            return ScanResult{kNoPosition, kNoPosition};
        }
    }
}

// The loop over whole chunks a scanner runs: by default ScanChunks over its own blocks. A wider
// loop may stand in for it, as long as it reads no other bytes and leaves every chunk with hits to
// the scan's SettleChunk.
struct OwnBlockChunks {
    template <typename Vector, unsigned kFolding>
    static ScanResult Scan(ForwardScan<Vector, kFolding>& scan, const char* chunk) {
        return ScanChunks(scan, chunk);
    }
};

// The block holding `from`, then single blocks up to a chunk's start, then whole chunks.
template <typename Vector, typename Chunks, unsigned kFolding>
QBT_READS_WHOLE_BLOCKS ScanResult FindVectorWith(const char* text, std::size_t from,
                                                 std::size_t limit, const Needle& needle) {
    constexpr std::size_t kWidth = Vector::kWidth;
    ForwardScan<Vector, kFolding> scan(text, from, limit, needle);
    const char* block = AlignDown<Vector>(text + from);
    if (auto decided = scan.FirstBlock(block)) return *decided;
    for (block += kWidth; (reinterpret_cast<std::uintptr_t>(block) & (kChunk - 1)) != 0;
         block += kWidth) {
        const auto bytes = Vector::Load(block);
        if (auto decided =
                scan.Decide(block, scan.HitsIn(block, bytes), Vector::ZeroBytes(bytes))) {
            return *decided;
        }
    }
    return Chunks::Scan(scan, block);
}

template <typename Vector, typename Chunks = OwnBlockChunks>
ScanResult FindVector(const char* text, std::size_t from, std::size_t limit, const Needle& needle) {
    const Anchors& anchors = needle.anchors;
    const unsigned folding = (anchors.nearByte.foldBit != 0 ? kFoldsNear : kFoldsNeither) |
                             (anchors.farByte.foldBit != 0 ? kFoldsFar : kFoldsNeither);
    switch (folding) {
        case kFoldsNeither:
            return FindVectorWith<Vector, Chunks, kFoldsNeither>(text, from, limit, needle);
        case kFoldsNear:
            return FindVectorWith<Vector, Chunks, kFoldsNear>(text, from, limit, needle);
        case kFoldsFar: return FindVectorWith<Vector, Chunks, kFoldsFar>(text, from, limit, needle);
        default: return FindVectorWith<Vector, Chunks, kFoldsBoth>(text, from, limit, needle);
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
            if (MatchedLengthByBlocks<Vector>(text + start, needle) == needle.upperPattern.size() &&
                Accepts(needle, text, start)) {
                return start;
            }
        }
        if (blockPosition <= nearOffset) return kNoPosition;
    }
}

}  // namespace
