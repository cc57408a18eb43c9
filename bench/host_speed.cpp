// The plug-in timed as a host calls it, the same source built natively and for 32-bit Windows:
// the shared library loaded at run time by its file name, and its exports called through
// pointers. Google Benchmark has no Windows build here, so this takes medians with the standard
// clock (wall time): the figures are meant to be read as ratios between the two builds, taken
// in one run by bench/dll_against_native.sh.
//
// Usage: host_speed [RUNS [KIBIBYTES...]]
// Prints, per list size, the median and the least of RUNS calls (RUNS times 16 MB over the
// list's size, for lists under 16 MB) of GetTitle with the key absent and of one ROM's lookups
// (key in the middle), after checking both against the literal lookup.
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "tests/support/game_list_generator.h"
#include "tests/support/literal_lookup.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using TextExport = decltype(&GetTitle);
using NumberExport = decltype(&GetImgNum);

// The exports a renaming host asks about each ROM, from the loaded library.
struct Plugin {
    TextExport maker = nullptr;
    TextExport title = nullptr;
    TextExport saveInfo = nullptr;
    TextExport mediaInfo = nullptr;
    TextExport country = nullptr;
    NumberExport releaseNumber = nullptr;
};

bool Load(Plugin& plugin) {
#if defined(_WIN32)
    HMODULE library = LoadLibraryA("Quillbridge_to_Tamberlow.dll");
    const auto find = [&](const char* name) {
        return library != nullptr ? reinterpret_cast<void*>(GetProcAddress(library, name))
                                  : nullptr;
    };
#else
    void* library = dlopen(QBT_PLUGIN_PATH, RTLD_NOW);
    const auto find = [&](const char* name) {
        return library != nullptr ? dlsym(library, name) : nullptr;
    };
#endif
    plugin.maker = reinterpret_cast<TextExport>(find("GetMaker"));
    plugin.title = reinterpret_cast<TextExport>(find("GetTitle"));
    plugin.saveInfo = reinterpret_cast<TextExport>(find("GetSaveInfo"));
    plugin.mediaInfo = reinterpret_cast<TextExport>(find("GetMediaInfo"));
    plugin.country = reinterpret_cast<TextExport>(find("GetCountry"));
    plugin.releaseNumber = reinterpret_cast<NumberExport>(find("GetImgNum"));
    return plugin.maker && plugin.title && plugin.saveInfo && plugin.mediaInfo && plugin.country &&
           plugin.releaseNumber;
}

// The median and the least of `runs` timed calls. On a machine shared with other work the least
// is the steadier figure: a call that loses the processor midway only ever takes longer.
struct Timing {
    double median;
    double least;
};

template <typename Call>
Timing TimeMicroseconds(int runs, Call&& call) {
    call();  // the list's pages and the library's first-call set-up are not timed
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        call();
        const std::chrono::duration<double, std::micro> took =
            std::chrono::steady_clock::now() - start;
        times.push_back(took.count());
    }
    std::sort(times.begin(), times.end());
    return {times[static_cast<std::size_t>(runs / 2)], times.front()};
}

std::int32_t Title(const Plugin& plugin, const std::string& list, const char* key) {
    char buffer[256];
    char* out = buffer;
    return plugin.title(list.c_str(), key, 0, &out, sizeof buffer);
}

// Each text field as a size query and then a copy, and the release number: eleven calls, the
// same as lookup_benchmark's OneRom (whose literal counterpart reads thirteen elements).
std::int64_t OneRom(const Plugin& plugin, const std::string& list, const char* key) {
    std::int64_t sum = 0;
    for (TextExport query :
         {plugin.maker, plugin.title, plugin.saveInfo, plugin.mediaInfo, plugin.country}) {
        char buffer[1024];
        char* out = buffer;
        const std::int32_t size = query(list.c_str(), key, 0, nullptr, 0);
        sum += size > 0 ? query(list.c_str(), key, 0, &out, size) : size;
    }
    return sum + plugin.releaseNumber(list.c_str(), key, 0);
}

// The answers the timed calls give, against the literal lookup: the key absent, and the middle
// key's title found (titles are converted under Wine, so only the outcome is compared).
bool AnswersAgree(const Plugin& plugin, const GeneratedList& list, const std::string& key) {
    const auto literal = [&](const char* sought) {
        return LiteralFindField(list.text.c_str(), sought, 0, "TITLE").outcome;
    };
    return Title(plugin, list.text, kAbsentKey) == ErrKeyNotFound &&
           literal(kAbsentKey) == LookupOutcome::kKeyAbsent &&
           Title(plugin, list.text, key.c_str()) > 0 &&
           literal(key.c_str()) == LookupOutcome::kFound &&
           OneRom(plugin, list.text, key.c_str()) > 0;
}

}  // namespace

int main(int argc, char** argv) {
#if !defined(_WIN32)
    // Titles pass through unconverted, as in lookup_benchmark; under Wine the ANSI code page is
    // the prefix's.
    std::setlocale(LC_ALL, "C.UTF-8");
#endif
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
    std::vector<std::size_t> sizes;
    for (int arg = 2; arg < argc; ++arg) sizes.push_back(std::strtoul(argv[arg], nullptr, 10));
    if (sizes.empty()) sizes = {307, 1024, 3072, 16384, 65536};

    Plugin plugin;
    if (!Load(plugin)) {
        std::puts("the plug-in or one of its exports did not load");
        return 1;
    }
    std::printf("%-10s %10s %12s %12s %12s %12s\n", "KiB", "bytes", "absent_us", "one_rom_us",
                "absent_min", "one_rom_min");
    std::int64_t sink = 0;  // printed, so that the calls cannot be dropped
    for (std::size_t kibibytes : sizes) {
        const GeneratedList list = GenerateGameList(kibibytes << 10);
        const std::string key = list.keys[list.keys.size() / 2];
        if (!AnswersAgree(plugin, list, key)) {
            std::printf("%zu KiB: answers differ from the literal lookup\n", kibibytes);
            return 1;
        }
        // Smaller lists get more calls, so that every size is timed for about as long: a few
        // dozen calls of a few microseconds were at the mercy of the machine's other work.
        const int sizeRuns = runs * static_cast<int>(std::max<std::size_t>(1, 16384 / kibibytes));
        const Timing absent =
            TimeMicroseconds(sizeRuns, [&] { sink += Title(plugin, list.text, kAbsentKey); });
        const Timing oneRom =
            TimeMicroseconds(sizeRuns, [&] { sink += OneRom(plugin, list.text, key.c_str()); });
        std::printf("%-10zu %10zu %12.1f %12.1f %12.1f %12.1f\n", kibibytes, list.text.size(),
                    absent.median, oneRom.median, absent.least, oneRom.least);
        std::fflush(stdout);
    }
    std::printf("(median and least of %d runs or more; checksum %lld)\n", runs,
                static_cast<long long>(sink));
    return 0;
}
