// Deterministic game lists of any size for benchmarks and large-input tests: realistic records
// (UTF-8 declaration, Latin, accented and Japanese titles, entities, the usual elements), the
// same bytes on every run and machine.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct GeneratedList {
    std::string text;
    std::vector<std::string> keys;           // each record's ROMCRC, in list order
    std::vector<std::size_t> recordOffsets;  // where each record's "<GAME>" begins
};

// Records are appended until the text holds at least `minimumBytes`.
GeneratedList GenerateGameList(std::size_t minimumBytes, unsigned seed = 1);

// A key that no record of a generated list holds.
inline constexpr const char* kAbsentKey = "F00DF00D";

// Texts built against the searches: long runs and near-misses that a naive search, or a search
// that trusts its filter bytes, would spend its time on. Each holds about `bytes` bytes and, at
// its very end, the key `key` with the title "found", so every search runs through the whole
// text before it succeeds.
struct HostileList {
    const char* name;
    std::string text;
    std::string key;
};
std::vector<HostileList> GenerateHostileLists(std::size_t bytes);
