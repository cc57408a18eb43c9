// The plug-in against the literal lookup, built the same way, for the 32-bit Windows build under
// Wine. Google Benchmark has no Windows build to link against here, so this times medians with
// the standard clock: only the ratios, taken in one run, are meant to be read.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "tests/support/game_list_generator.h"
#include "tests/support/literal_lookup.h"

namespace {

template <typename Call>
double MedianMicroseconds(int runs, Call&& call) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        call();
        const std::chrono::duration<double, std::micro> took =
            std::chrono::steady_clock::now() - start;
        times.push_back(took.count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<std::size_t>(runs / 2)];
}

std::int32_t Title(const std::string& list, const char* key) {
    char buffer[256];
    char* out = buffer;
    return GetTitle(list.c_str(), key, 0, &out, sizeof buffer);
}

LookupOutcome LiteralTitle(const std::string& list, const char* key) {
    const LiteralField title = LiteralFindField(list.c_str(), key, 0, "TITLE");
    static_cast<void>(LiteralDecodeEntities(title.text));
    return title.outcome;
}

}  // namespace

// Usage: windows_speed [MEBIBYTES [RUNS]]
int main(int argc, char** argv) {
    const std::size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 15;
    const GeneratedList list = GenerateGameList(mebibytes << 20);
    const std::string middleKey = list.keys[list.keys.size() / 2];

    if (Title(list.text, kAbsentKey) != ErrKeyNotFound ||
        LiteralTitle(list.text, kAbsentKey) != LookupOutcome::kKeyAbsent ||
        Title(list.text, middleKey.c_str()) < 0 ||
        LiteralTitle(list.text, middleKey.c_str()) != LookupOutcome::kFound) {
        std::puts("answers differ from the literal lookup");
        return 1;
    }
    std::int64_t sink = 0;  // printed, so the calls cannot be dropped
    const double absent = MedianMicroseconds(runs, [&] { sink += Title(list.text, kAbsentKey); });
    const auto literalTitle = [&](const char* key) {
        sink += static_cast<int>(LiteralTitle(list.text, key));
    };
    const double literalAbsent = MedianMicroseconds(runs, [&] { literalTitle(kAbsentKey); });
    const double middle =
        MedianMicroseconds(runs, [&] { sink += Title(list.text, middleKey.c_str()); });
    const double literalMiddle = MedianMicroseconds(runs, [&] { literalTitle(middleKey.c_str()); });
    const double memchrPass = MedianMicroseconds(
        runs, [&] { sink += std::memchr(list.text.data(), '\x01', list.text.size()) != nullptr; });

    std::printf("list %zu bytes, median of %d runs\n", list.text.size(), runs);
    std::printf("GetTitle, key absent:  %10.1f us   literal %10.1f us   %5.1fx faster\n", absent,
                literalAbsent, literalAbsent / absent);
    std::printf("GetTitle, key middle:  %10.1f us   literal %10.1f us   %5.1fx faster\n", middle,
                literalMiddle, literalMiddle / middle);
    std::printf("memchr pass:           %10.1f us   GetTitle absent is %.2fx a memchr pass\n",
                memchrPass, absent / memchrPass);
    std::printf("(checksum %lld)\n", static_cast<long long>(sink));
    return 0;
}
