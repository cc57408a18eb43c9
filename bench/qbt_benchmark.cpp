// What qbt itself adds to a run, beside the plug-in's lookups: building the list index once per
// list, against one lookup over the whole list (the cost the index saves on every call after),
// and the CRC-32 of a ROM with libdeflate against zlib. All in one binary, so the figures are
// ratios taken in one run. Every benchmark checks its answer before it starts timing.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdlib>
#include <map>
#include <string>

#include "plugin/exports.h"
#include "tests/support/game_list_generator.h"
#include "tools/lists/list_index.h"

namespace {

constexpr std::size_t kMiB = 1 << 20;

const GeneratedList& ListOf(std::int64_t mebibytes) {
    static std::map<std::int64_t, GeneratedList> lists;
    auto found = lists.find(mebibytes);
    if (found == lists.end()) {
        found =
            lists.emplace(mebibytes, GenerateGameList(static_cast<std::size_t>(mebibytes) * kMiB))
                .first;
    }
    return found->second;
}

void Check(bool holds, benchmark::State& state, const char* what) {
    if (!holds) state.SkipWithError(what);
}

void BuildListIndex(benchmark::State& state) {
    const GeneratedList& list = ListOf(state.range(0));
    Check(ListIndex(list.text).Entries().size() == list.keys.size(), state,
          "the index does not hold every key");
    for (auto _ : state) {
        const ListIndex index(list.text);
        benchmark::DoNotOptimize(index.Entries().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(list.text.size()));
}

// One lookup that scans the whole list: GetTitle with a key the list lacks.
void WholeListLookup(benchmark::State& state) {
    const GeneratedList& list = ListOf(state.range(0));
    char buffer[256];
    char* out = buffer;
    Check(GetTitle(list.text.c_str(), kAbsentKey, 0, &out, sizeof buffer) == ErrKeyNotFound, state,
          "the absent key is found");
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetTitle(list.text.c_str(), kAbsentKey, 0, &out, sizeof buffer));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(list.text.size()));
}

// The same lookup over the text the index hands over for a key in the middle of the list.
void IndexedLookup(benchmark::State& state) {
    const GeneratedList& list = ListOf(state.range(0));
    const ListIndex index(list.text);
    const std::string& key = list.keys[list.keys.size() / 2];
    char buffer[256];
    char* out = buffer;
    Check(GetTitle(index.TextFor(key, 0)->c_str(), key.c_str(), 0, &out, sizeof buffer) > 0, state,
          "the key is not found over its record");
    for (auto _ : state) {
        const std::string text = *index.TextFor(key, 0);
        benchmark::DoNotOptimize(GetTitle(text.c_str(), key.c_str(), 0, &out, sizeof buffer));
    }
}

// A ROM of 256 KB, the size of the rename benchmark's, in the cache as after a read.
const std::string& Rom() {
    static const std::string rom = [] {
        std::string bytes(256 * 1024, '\0');
        std::uint32_t state = 0x2545F491U;
        for (char& byte : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<char>(state);
        }
        return bytes;
    }();
    return rom;
}

std::uint32_t ZlibCrc(const std::string& bytes) {
    return static_cast<std::uint32_t>(crc32(crc32(0, Z_NULL, 0),
                                            reinterpret_cast<const Bytef*>(bytes.data()),
                                            static_cast<uInt>(bytes.size())));
}

std::uint32_t LibdeflateCrc(const std::string& bytes) {
    return libdeflate_crc32(0, bytes.data(), bytes.size());
}

template <std::uint32_t (*kCrc)(const std::string&)>
void Crc32OfRom(benchmark::State& state) {
    const std::string& rom = Rom();
    Check(kCrc(rom) == ZlibCrc(rom) && LibdeflateCrc("123456789") == 0xCBF43926U, state,
          "the libraries disagree");
    for (auto _ : state) benchmark::DoNotOptimize(kCrc(rom));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(rom.size()));
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
    for (const std::int64_t mebibytes : {1, 2, 4, 8, 16, 32, 64}) benchmark->Arg(mebibytes);
}

}  // namespace

BENCHMARK(BuildListIndex)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(WholeListLookup)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(IndexedLookup)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(Crc32OfRom<ZlibCrc>)->Name("Crc32OfRom/zlib")->Unit(benchmark::kMicrosecond);
BENCHMARK(Crc32OfRom<LibdeflateCrc>)->Name("Crc32OfRom/libdeflate")->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
