// AVX2 blocks for the vector scanners: the AVX2 scanner's own, and the blocks the AVX-512
// scanner works on outside its chunk loop. Included only by files built for AVX2 or more.
#pragma once

#include <immintrin.h>

#include "lookup/folded_search_scans.h"

namespace {

struct Avx2 {
    static constexpr std::size_t kWidth = 32;
    QBT_READS_WHOLE_BLOCKS static __m256i Load(const char* aligned) {
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(aligned));
    }
    QBT_READS_WHOLE_BLOCKS static __m256i LoadUnaligned(const char* at) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    }
    // Left alone, GCC folds a block's load into each instruction that uses it, which reads the
    // block twice: the chunk loop then made 12 loads per 128 bytes instead of 8, more than the
    // two 256-bit loads a cycle of the AMD machines it is tuned for, where loads and not vector
    // operations would then bound it.
    static void KeepInRegister(__m256i& block) { asm("" : "+x"(block)); }
    // The end of a block's work in the chunk loop. 32-bit code has eight vector registers: with
    // a chunk's four blocks loaded ahead of their use, the running minimum went to the stack and
    // back on every chunk, and the 32-bit loop ran at half the 64-bit one's speed. Tying the two
    // running values here, memory included, keeps one block in flight.
    static void EndOfBlock([[maybe_unused]] __m256i& least, [[maybe_unused]] __m256i& hits) {
#if defined(__i386__)
        asm volatile("" : "+x"(least), "+x"(hits));
#endif
    }
    static __m256i Splat(unsigned char byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }
    static __m256i MatchBytes(__m256i bytes, __m256i fold, __m256i value) {
        return _mm256_cmpeq_epi8(_mm256_or_si256(bytes, fold), value);
    }
    static __m256i Zero() { return _mm256_setzero_si256(); }
    static __m256i ZeroBytes(__m256i bytes) {
        return _mm256_cmpeq_epi8(bytes, _mm256_setzero_si256());
    }
    static __m256i Equal(__m256i a, __m256i b) { return _mm256_cmpeq_epi8(a, b); }
    // a-z to A-Z: a byte is lower case when byte - 'a' is at most 25 as an unsigned byte.
    static __m256i FoldAscii(__m256i bytes) {
        const __m256i offset = _mm256_sub_epi8(bytes, _mm256_set1_epi8('a'));
        const __m256i lower =
            _mm256_cmpeq_epi8(_mm256_min_epu8(offset, _mm256_set1_epi8(25)), offset);
        return _mm256_sub_epi8(bytes, _mm256_and_si256(lower, _mm256_set1_epi8(0x20)));
    }
    static __m256i Min(__m256i a, __m256i b) { return _mm256_min_epu8(a, b); }
    static __m256i And(__m256i a, __m256i b) { return _mm256_and_si256(a, b); }
    static __m256i Or(__m256i a, __m256i b) { return _mm256_or_si256(a, b); }
    static std::uint32_t Bits(__m256i bytes) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
    }
};

}  // namespace
