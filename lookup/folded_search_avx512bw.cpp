// The forward scanner for processors with AVX-512BW; built with -mavx512bw and only called when
// the processor has it. It is the AVX2 scanner with a wider chunk loop: two 64-byte blocks per
// 128-byte chunk, compared into mask registers. On the processors that have it, the AVX2 loop's
// compares and minimums share two ports and bound it at less than half of memchr's speed in
// cache; compares into masks run on the third, and the pair test is a single masked compare.
// Everything else (the first blocks, a chunk with hits, the backward and dense searches) is the
// AVX2 code, reading the same bytes.
#include "lookup/folded_search_avx2.h"

namespace {

class WideAnchors {
public:
    explicit WideAnchors(const Anchors& anchors)
        : nearFold_(_mm512_set1_epi8(static_cast<char>(anchors.nearByte.foldBit))),
          nearValue_(_mm512_set1_epi8(static_cast<char>(anchors.nearByte.value))),
          farFold_(_mm512_set1_epi8(static_cast<char>(anchors.farByte.foldBit))),
          farValue_(_mm512_set1_epi8(static_cast<char>(anchors.farByte.value))) {}

    // Positions of a 64-byte block whose far anchor matches, given the block, and whose near
    // anchor matches too, given the bytes `distance` earlier.
    template <unsigned kFolding>
    __mmask64 Pairs(__m512i bytes, __m512i nearBytes) const {
        if constexpr ((kFolding & kFoldsFar) != 0) {
            bytes = _mm512_or_si512(bytes, farFold_);
        }
        if constexpr ((kFolding & kFoldsNear) != 0) {
            nearBytes = _mm512_or_si512(nearBytes, nearFold_);
        }
        return _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(bytes, farValue_), nearBytes,
                                           nearValue_);
    }

private:
    __m512i nearFold_;
    __m512i nearValue_;
    __m512i farFold_;
    __m512i farValue_;
};

// This loop takes about half the time per chunk that the AVX2 one takes, so it asks for lines
// twice as far ahead to have as many on their way: at the AVX2 loop's distance, lists of 3 to
// 16 MB, which come from the third-level cache, ran 5 to 10% slower than with AVX2.
constexpr std::size_t kWidePrefetchAhead = 2 * kPrefetchAhead;

QBT_READS_WHOLE_BLOCKS __m512i LoadWide(const char* aligned) { return _mm512_load_si512(aligned); }
QBT_READS_WHOLE_BLOCKS __m512i LoadWideUnaligned(const char* at) { return _mm512_loadu_si512(at); }

// ScanChunks (folded_search_scans.h) with the chunk read as two 64-byte blocks: the same chunks,
// pages and near-anchor loads, so the same bytes; a chunk with hits goes to the AVX2 scan.
//
// Its unaligned 64-byte loads always span two cache lines, which costs about a fifth; every way
// found around them costs more. Tried and not kept, as for ScanChunks (key absent, 0.3 and 1 MB,
// over one memchr pass, two runs; standalone copies of the loop unless said):
// - this loop 1.68x and 1.66x, 1.67x and 1.48x; with the near anchor's load aligned (not a
//   scanner: what the split loads cost) 1.40x and 1.37x, 1.39x and 1.41x.
// - the near bytes from the aligned blocks by vpermt2b (VBMI): 2.40x and 2.36x, 2.37x and 1.92x;
//   from two 32-byte loads, one of them within a line, joined by vinserti64x4: 1.91x and 1.88x,
//   1.90x and 1.86x. Both wait for the port the compares into masks use.
// - in the library, four blocks per chunk (one test per 256 bytes): 1.77x and 1.70x against
//   1.78x and 1.70x; the same with pairs as zero bytes by ternary logic, which leaves that port
//   one test per chunk: 1.73x and 1.66x against 1.78x and 1.68x, then 1.68x and 1.65x against
//   1.61x and 1.59x.
// - prefetching into the second-level cache only (prefetcht1): 2.30x and 2.23x against 1.71x
//   and 1.65x (one run); one line per chunk: 1.91x and 1.89x; none: 2.04x and 1.97x (one run);
//   1 to 8 KB ahead: 1.69x to 1.71x and 1.65x (one run).
struct WideChunks {
    template <unsigned kFolding>
    QBT_READS_WHOLE_BLOCKS static ScanResult Scan(ForwardScan<Avx2, kFolding>& scan,
                                                  const char* chunk) {
        constexpr std::size_t kWide = 64;
        static_assert(kChunk == 2 * kWide);
        const std::uintptr_t stop = scan.Stop();
        const WideAnchors anchors(scan.AnchorsInUse());
        const std::size_t distance = scan.Distance();
        for (;;) {
            const char* checkedFrom = chunk;
            const auto pageEnd = (reinterpret_cast<std::uintptr_t>(chunk) | (kPage - 1)) + 1;
            const std::uintptr_t end = std::min(pageEnd, stop);
            __m512i least = _mm512_set1_epi8(-1);
            for (; reinterpret_cast<std::uintptr_t>(chunk) < end; chunk += kChunk) {
                __builtin_prefetch(chunk + kWidePrefetchAhead);
                __builtin_prefetch(chunk + kWidePrefetchAhead + kWide);
                __m512i low = LoadWide(chunk);
                __m512i high = LoadWide(chunk + kWide);
                asm("" : "+v"(low), "+v"(high));  // one load each, as Avx2::KeepInRegister
                least = _mm512_min_epu8(least, _mm512_min_epu8(low, high));
                const __mmask64 lowPairs =
                    anchors.Pairs<kFolding>(low, LoadWideUnaligned(chunk - distance));
                const __mmask64 highPairs =
                    anchors.Pairs<kFolding>(high, LoadWideUnaligned(chunk + kWide - distance));
                if (_kortestz_mask64_u8(lowPairs, highPairs) == 0) {  // any pair in the chunk
                    const bool nulSeen = _mm512_testn_epi8_mask(least, least) != 0;
                    if (auto decided = scan.SettleChunk(checkedFrom, chunk, nulSeen)) {
                        return *decided;
                    }
                }
            }
            if (_mm512_testn_epi8_mask(least, least) != 0 ||
                reinterpret_cast<std::uintptr_t>(chunk) >= stop) {
                return ScanResult{kNoPosition, kNoPosition};
            }
        }
    }
};

}  // namespace

ScanResult FindAvx512(const char* text, std::size_t from, std::size_t limit, const Needle& needle) {
    return FindVector<Avx2, WideChunks>(text, from, limit, needle);
}
