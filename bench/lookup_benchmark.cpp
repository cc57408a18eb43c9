// Time per call against the list's size, for the plug-in and for what bounds it: the literal
// lookup (copies and an upper-cased copy searched with std::string::find) above, and one memchr
// or strlen pass over the same text below. All in one binary, so the figures are ratios taken in
// one run. Every benchmark checks its answer before it starts timing.
#include <benchmark/benchmark.h>
#include <locale.h>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "lookup/folded_search.h"
#include "lookup/folded_search_kernels.h"
#include "plugin/exports.h"
#include "tests/support/game_list_generator.h"
#include "tests/support/literal_lookup.h"

// Counting allocator: every operator new in this process goes through here, so one call's heap
// use can be read off (the plug-in allocates only through operator new).
namespace {
std::atomic<bool> gCountingHeap{false};
std::atomic<std::size_t> gHeapBytes{0};
}  // namespace

void* operator new(std::size_t size) {
    if (gCountingHeap.load(std::memory_order_relaxed)) gHeapBytes += size;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

constexpr std::size_t kKiB = 1 << 10;
constexpr std::size_t kMiB = 1 << 20;

// List sizes in KiB: 0.3, 1, 3, 4, 16 and 64 MB. The common lists are 1 to 6 MB and stay in the
// processor's caches; 64 MB comes from memory on most machines.
constexpr std::int64_t kSizesInKiB[] = {307, 1024, 3072, 4096, 16384, 65536};
// A text that stays in the first-level cache, for the key search and memchr only: what the
// search loop itself costs, with no cache level to wait for.
constexpr std::int64_t kFirstLevelSizeInKiB = 32;

using TextExport = decltype(&GetTitle);

const GeneratedList& ListOf(std::int64_t kibibytes) {
    static std::map<std::int64_t, GeneratedList> lists;
    auto found = lists.find(kibibytes);
    if (found == lists.end()) {
        found =
            lists.emplace(kibibytes, GenerateGameList(static_cast<std::size_t>(kibibytes) * kKiB))
                .first;
    }
    return found->second;
}

const char* ScannerName(SearchScanner scanner) {
    constexpr const char* kNames[] = {"scalar", "sse2", "avx2", "avx512"};
    return kNames[static_cast<int>(scanner)];
}

enum KeyPlace { kStart, kMiddle, kEnd, kAbsent };
const char* const kPlaceNames[] = {"start", "middle", "end", "absent"};

std::string KeyAt(const GeneratedList& list, std::int64_t place) {
    switch (place) {
        case kStart: return list.keys.front();
        case kMiddle: return list.keys[list.keys.size() / 2];
        case kEnd: return list.keys.back();
        default: return kAbsentKey;
    }
}

std::int32_t Title(const char* text, const char* key) {
    char buffer[256];
    char* out = buffer;
    return GetTitle(text, key, 0, &out, sizeof buffer);
}

// The literal lookup and entity decoding; the list's titles need no conversion (see main).
std::int32_t LiteralTitle(const char* text, const char* key) {
    const LiteralField title = LiteralFindField(text, key, 0, "TITLE");
    if (title.outcome != LookupOutcome::kFound) return ErrKeyNotFound;
    const std::string value = LiteralDecodeEntities(title.text);
    return static_cast<std::int32_t>(std::min<std::size_t>(value.size(), 255));
}

// What a renaming host asks about one ROM: each text field as a size query and then a copy,
// and the release number.
std::int64_t OneRom(const char* text, const char* key) {
    std::int64_t sum = 0;
    for (TextExport query : {GetMaker, GetTitle, GetSaveInfo, GetMediaInfo, GetCountry}) {
        char buffer[1024];
        char* out = buffer;
        const std::int32_t size = query(text, key, 0, nullptr, 0);
        sum += size > 0 ? query(text, key, 0, &out, size) : size;
    }
    return sum + GetImgNum(text, key, 0);
}

// The same thirteen lookups done literally (GetMediaInfo reads two elements); the count of
// fields not found.
std::int64_t LiteralOneRom(const char* text, const char* key) {
    std::int64_t missing = 0;
    const auto read = [&](const char* field) {
        const LiteralField found = LiteralFindField(text, key, 0, field);
        missing += found.outcome != LookupOutcome::kFound;
        benchmark::DoNotOptimize(LiteralDecodeEntities(found.text));
    };
    for (const char* field :
         {"PUBLISHER", "TITLE", "SAVETYPE", "ROMSIZE", "SOURCEROM", "LOCATION"}) {
        for (int call = 0; call < 2; ++call) read(field);
    }
    read("RELEASENUMBER");
    return missing;
}

void SetBytes(benchmark::State& state, std::size_t perIteration) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * perIteration));
}

void CheckTitleAgainstLiteral(benchmark::State& state, const char* text, const char* key) {
    const std::int32_t expected = LiteralTitle(text, key);
    if (Title(text, key) != expected)
        state.SkipWithError("GetTitle differs from the literal lookup");
    if ((expected < 0) != (state.range(1) == kAbsent)) state.SkipWithError("key placed wrongly");
}

// GetTitle, or its literal counterpart, for the key placed as the second argument says.
void TimeTitleInList(benchmark::State& state, std::int32_t (*title)(const char*, const char*)) {
    const GeneratedList& list = ListOf(state.range(0));
    const std::string key = KeyAt(list, state.range(1));
    CheckTitleAgainstLiteral(state, list.text.c_str(), key.c_str());
    for (auto _ : state) benchmark::DoNotOptimize(title(list.text.c_str(), key.c_str()));
    SetBytes(state, list.text.size());
    state.SetLabel(kPlaceNames[state.range(1)]);
}

// Named after the scanner this processor runs.
void GetTitleInList(benchmark::State& state) {
    TimeTitleInList(state, Title);
    state.SetLabel(std::string(kPlaceNames[state.range(1)]) + ", " + ScannerName(ChosenScanner()));
}
void LiteralGetTitleInList(benchmark::State& state) { TimeTitleInList(state, LiteralTitle); }

void OneRomInMiddle(benchmark::State& state) {
    const GeneratedList& list = ListOf(state.range(0));
    const std::string key = KeyAt(list, kMiddle);
    if (OneRom(list.text.c_str(), key.c_str()) <= 0) state.SkipWithError("ROM not answered");
    for (auto _ : state) benchmark::DoNotOptimize(OneRom(list.text.c_str(), key.c_str()));
    SetBytes(state, list.text.size());
}

void LiteralOneRomInMiddle(benchmark::State& state) {
    const GeneratedList& list = ListOf(state.range(0));
    const std::string key = KeyAt(list, kMiddle);
    if (LiteralOneRom(list.text.c_str(), key.c_str()) != 0) state.SkipWithError("lookup failed");
    for (auto _ : state) benchmark::DoNotOptimize(LiteralOneRom(list.text.c_str(), key.c_str()));
    SetBytes(state, list.text.size());
}

// One conversion in a one-record list, with the calling thread in the C locale, where the
// codeset comes from the locale the environment names, or in C.UTF-8. Run it with LANG naming
// another locale than C.UTF-8: main() holds that one loaded, which makes loading it again cheap.
void GetTitleConvertedInLocale(benchmark::State& state) {
    const std::string list =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GAMES><GAME><ROMCRC>0000000A</ROMCRC>"
        "<TITLE>\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 Caf\xC3\xA9</TITLE></GAME></GAMES>\n";
    const bool plain = state.range(0) == 0;
    if (plain) uselocale(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr)));
    if (Title(list.c_str(), "A") <= 0) state.SkipWithError("title not found");
    for (auto _ : state) benchmark::DoNotOptimize(Title(list.c_str(), "A"));
    uselocale(LC_GLOBAL_LOCALE);
    state.SetLabel(plain ? "C locale, the environment's codeset" : "C.UTF-8");
}

void MemchrPass(benchmark::State& state) {
    const GeneratedList& list = ListOf(state.range(0));
    if (std::memchr(list.text.data(), '\x01', list.text.size()) != nullptr) {
        state.SkipWithError("the byte sought must be absent");
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::memchr(list.text.data(), '\x01', list.text.size()));
    }
    SetBytes(state, list.text.size());
}

void StrlenPass(benchmark::State& state) {
    const GeneratedList& list = ListOf(state.range(0));
    if (std::strlen(list.text.c_str()) != list.text.size()) state.SkipWithError("bad length");
    for (auto _ : state) benchmark::DoNotOptimize(std::strlen(list.text.c_str()));
    SetBytes(state, list.text.size());
}

// The key search alone with each scanner, key absent: the whole text is scanned.
void KeySearchWithScanner(benchmark::State& state) {
    const auto scanner = static_cast<SearchScanner>(state.range(1));
    if (!ScannerAvailable(scanner)) {
        state.SkipWithError("scanner not available on this machine");
        return;
    }
    const GeneratedList& list = ListOf(state.range(0));
    const std::string pattern = std::string(">") + kAbsentKey + "</ROMCRC>";
    const char* text = list.text.c_str();
    if (FindFoldedWith(scanner, text, 0, kNoPosition, pattern) != kNoPosition) {
        state.SkipWithError("absent key found");
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindFoldedWith(scanner, text, 0, kNoPosition, pattern));
    }
    SetBytes(state, list.text.size());
    state.SetLabel(ScannerName(scanner));
}

// Texts built against the searches, each with its one record at the very end; compare with
// GetTitleInList/16384/3, a benign list of the same size whose key is absent.
void GetTitleInHostileList(benchmark::State& state) {
    static const std::vector<HostileList> lists = GenerateHostileLists(16 * kMiB);
    const HostileList& list = lists[static_cast<std::size_t>(state.range(0))];
    char buffer[16];
    char* out = buffer;
    if (GetTitle(list.text.c_str(), list.key.c_str(), 0, &out, sizeof buffer) != 5) {
        state.SkipWithError("the record at the end was not found");
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            GetTitle(list.text.c_str(), list.key.c_str(), 0, &out, sizeof buffer));
    }
    SetBytes(state, list.text.size());
    state.SetLabel(list.name);
}

// Heap bytes a call allocates, read off the counting allocator; timing is incidental. With the
// key absent there is no value, so the figure is the lookup's own overhead.
void HeapPerCall(benchmark::State& state) {
    const GeneratedList& list = ListOf(state.range(0));
    const std::string key = KeyAt(list, kMiddle);
    const auto heapOf = [](auto&& call) {
        gHeapBytes = 0;
        gCountingHeap = true;
        call();
        gCountingHeap = false;
        return static_cast<double>(gHeapBytes.load());
    };
    for (auto _ : state) {
        state.counters["absent_key_bytes"] =
            heapOf([&] { benchmark::DoNotOptimize(Title(list.text.c_str(), kAbsentKey)); });
        state.counters["one_rom_bytes"] =
            heapOf([&] { benchmark::DoNotOptimize(OneRom(list.text.c_str(), key.c_str())); });
    }
}

void SizesAndPlaces(benchmark::internal::Benchmark* benchmark) {
    for (std::int64_t kibibytes : kSizesInKiB) {
        for (std::int64_t place : {kStart, kMiddle, kEnd, kAbsent}) {
            benchmark->Args({kibibytes, place});
        }
    }
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
    for (std::int64_t kibibytes : kSizesInKiB) benchmark->Arg(kibibytes);
}

void SizesFromFirstLevel(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(kFirstLevelSizeInKiB);
    Sizes(benchmark);
}

void SizesFromFirstLevelAndScanners(benchmark::internal::Benchmark* benchmark) {
    const auto withEachScanner = [&](std::int64_t kibibytes) {
        for (auto scanner : {SearchScanner::kScalar, SearchScanner::kSse2, SearchScanner::kAvx2,
                             SearchScanner::kAvx512}) {
            benchmark->Args({kibibytes, static_cast<std::int64_t>(scanner)});
        }
    };
    withEachScanner(kFirstLevelSizeInKiB);
    for (std::int64_t kibibytes : kSizesInKiB) withEachScanner(kibibytes);
}

BENCHMARK(GetTitleInList)->Apply(SizesAndPlaces)->Unit(benchmark::kMicrosecond);
BENCHMARK(LiteralGetTitleInList)->Apply(SizesAndPlaces)->Unit(benchmark::kMicrosecond);
BENCHMARK(OneRomInMiddle)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(LiteralOneRomInMiddle)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(GetTitleConvertedInLocale)->Arg(0)->Arg(1);
BENCHMARK(MemchrPass)->Apply(SizesFromFirstLevel)->Unit(benchmark::kMicrosecond);
BENCHMARK(StrlenPass)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(KeySearchWithScanner)
    ->Apply(SizesFromFirstLevelAndScanners)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(GetTitleInHostileList)->DenseRange(0, 7)->Unit(benchmark::kMicrosecond);
BENCHMARK(HeapPerCall)->Apply(Sizes)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    // Titles pass through unconverted, so the figures are those of the search.
    std::setlocale(LC_ALL, "C.UTF-8");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
