// The candidate scanners for SSE2, which every x86-64 processor has and the 32-bit build assumes.
#include <emmintrin.h>

#include "lookup/folded_search_dense.h"
#include "lookup/folded_search_scans.h"

namespace {

struct Sse2 {
    static constexpr std::size_t kWidth = 16;
    QBT_READS_WHOLE_BLOCKS static __m128i Load(const char* aligned) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(aligned));
    }
    QBT_READS_WHOLE_BLOCKS static __m128i LoadUnaligned(const char* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    }
    // The 32-bit build has eight vector registers: a chunk's blocks kept in them would be
    // spilled to the stack, so each is read where it is used.
    static void KeepInRegister(__m128i& /*block*/) {}
    // See Avx2::EndOfBlock.
    static void EndOfBlock([[maybe_unused]] __m128i& least, [[maybe_unused]] __m128i& hits) {
#if defined(__i386__)
        asm volatile("" : "+x"(least), "+x"(hits));
#endif
    }
    static __m128i Splat(unsigned char byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
    static __m128i MatchBytes(__m128i bytes, __m128i fold, __m128i value) {
        return _mm_cmpeq_epi8(_mm_or_si128(bytes, fold), value);
    }
    static __m128i Zero() { return _mm_setzero_si128(); }
    static __m128i ZeroBytes(__m128i bytes) { return _mm_cmpeq_epi8(bytes, _mm_setzero_si128()); }
    static __m128i Equal(__m128i a, __m128i b) { return _mm_cmpeq_epi8(a, b); }
    // a-z to A-Z: a byte is lower case when byte - 'a' is at most 25 as an unsigned byte.
    static __m128i FoldAscii(__m128i bytes) {
        const __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8('a'));
        const __m128i lower = _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(25)), offset);
        return _mm_sub_epi8(bytes, _mm_and_si128(lower, _mm_set1_epi8(0x20)));
    }
    static __m128i Min(__m128i a, __m128i b) { return _mm_min_epu8(a, b); }
    static __m128i And(__m128i a, __m128i b) { return _mm_and_si128(a, b); }
    static __m128i Or(__m128i a, __m128i b) { return _mm_or_si128(a, b); }
    static std::uint32_t Bits(__m128i bytes) {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(bytes));
    }
};

}  // namespace

ScanResult FindSse2(const char* text, std::size_t from, std::size_t limit, const Needle& needle) {
    return FindVector<Sse2>(text, from, limit, needle);
}

std::size_t FindLastSse2(const char* text, std::size_t below, const Needle& needle) {
    return FindLastVector<Sse2>(text, below, needle);
}

ScanResult FindDenseSse2(const char* text, std::size_t from, std::size_t limit,
                         const Needle& needle) {
    return FindDenseVector<Sse2>(text, from, limit, needle);
}
