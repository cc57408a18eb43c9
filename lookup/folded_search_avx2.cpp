// The candidate scanners for AVX2; built with -mavx2 and only called when the processor has it.
#include "lookup/folded_search_avx2.h"

#include "lookup/folded_search_dense.h"

ScanResult FindAvx2(const char* text, std::size_t from, std::size_t limit, const Needle& needle) {
    return FindVector<Avx2>(text, from, limit, needle);
}

std::size_t FindLastAvx2(const char* text, std::size_t below, const Needle& needle) {
    return FindLastVector<Avx2>(text, below, needle);
}

ScanResult FindDenseAvx2(const char* text, std::size_t from, std::size_t limit,
                         const Needle& needle) {
    return FindDenseVector<Avx2>(text, from, limit, needle);
}
