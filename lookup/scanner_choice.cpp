// Which scanner the plain searches run: of those this build has and this processor (and its
// system) runs, the one measured fastest on the processor's family, not simply the widest.
#include "lookup/folded_search_kernels.h"

namespace {

#ifdef QBT_ONLY_SCANNER
// A copy of the plug-in built for the benchmarks (bench/CMakeLists.txt) runs this scanner
// wherever it can, so that each scanner is timed through the exports as a host calls them.
constexpr SearchScanner kOnlyScanner = SearchScanner::QBT_ONLY_SCANNER;
#endif

// Whether this build has the scanner and this processor (and its system) can run it.
bool CanRun(SearchScanner scanner) {
    switch (scanner) {
        case SearchScanner::kScalar: return true;
        case SearchScanner::kSse2:
#ifdef QBT_SCANNER_SSE2
            return true;
#else
            return false;
#endif
        case SearchScanner::kAvx2:
#ifdef QBT_SCANNER_AVX2
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2");
#else
            return false;
#endif
        case SearchScanner::kAvx512:
#ifdef QBT_SCANNER_AVX512BW
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512bw");
#else
            return false;
#endif
    }
    return false;
}

// AVX-512 only where it was measured faster than AVX2 (docs/performance.md): on Intel's
// processors the AVX2 loop's compares share two ports, which its compares into mask registers
// leave free. AMD's Zen 4 runs AVX-512 as two 256-bit halves, and there the AVX-512 scanner ran
// no faster than the AVX2 one, and slower on lists of up to 3 MB; other makers are unmeasured.
bool Avx512IsFasterThanAvx2() {
#if defined(__i386__) || defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_is("intel");
#else
    return false;
#endif
}

SearchScanner FastestScannerOfThisProcessor() {
#ifdef QBT_ONLY_SCANNER
    if (CanRun(kOnlyScanner)) return kOnlyScanner;
#endif
    if (CanRun(SearchScanner::kAvx512) && Avx512IsFasterThanAvx2()) return SearchScanner::kAvx512;
    for (SearchScanner scanner : {SearchScanner::kAvx2, SearchScanner::kSse2}) {
        if (CanRun(scanner)) return scanner;
    }
    return SearchScanner::kScalar;
}

}  // namespace

bool ScannerAvailable(SearchScanner scanner) { return CanRun(scanner); }

SearchScanner ChosenScanner() {
    // Chosen once, by the first search; the searches after it only load the choice.
    static const SearchScanner chosen = FastestScannerOfThisProcessor();
    return chosen;
}
