// The plug-in timed as a host calls it, the same source built natively and for 32-bit Windows:
// each shared library loaded at run time by its file name, and its exports called through
// pointers. The shipped library runs the scanner it chooses; beside it, copies built to run one
// scanner each (bench/CMakeLists.txt) time every scanner this machine runs, and one memchr pass
// over the same text is the yardstick. Calls are interleaved, one of each in turn, so that what
// the machine's other work costs falls on all of them alike. Google Benchmark has no Windows
// build here, so this takes medians with the standard clock (wall time): the figures are meant
// to be read as ratios taken in one run.
//
// Usage: host_speed [RUNS [KIBIBYTES...]]
// Prints, per list size and library, the median and the least of RUNS rounds (RUNS times 16 MB
// over the list's size, for lists under 16 MB) of GetTitle with the key absent, its median as a
// multiple of memchr's, and for the shipped library one ROM's lookups (key in the middle); the
// answers are checked against the literal lookup first.
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "lookup/folded_search_kernels.h"
#include "plugin/exports.h"
#include "tests/support/game_list_generator.h"
#include "tests/support/literal_lookup.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/mman.h>
#endif

namespace {

using TextExport = decltype(&GetTitle);
using NumberExport = decltype(&GetImgNum);

// The exports a renaming host asks about each ROM, from one loaded library.
struct Plugin {
    std::string name;
    TextExport maker = nullptr;
    TextExport title = nullptr;
    TextExport saveInfo = nullptr;
    TextExport mediaInfo = nullptr;
    TextExport country = nullptr;
    NumberExport releaseNumber = nullptr;
};

bool Load(const std::string& file, Plugin& plugin) {
#if defined(_WIN32)
    HMODULE library = LoadLibraryA(file.c_str());
    const auto find = [&](const char* name) {
        return library != nullptr ? reinterpret_cast<void*>(GetProcAddress(library, name))
                                  : nullptr;
    };
#else
    // Each copy on its own: the copies export the same names.
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
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

constexpr const char* kScannerNames[] = {"scalar", "sse2", "avx2", "avx512"};
// The instruction sets the copies are named after (CMakeLists.txt's QBT_VECTOR_SCANNERS).
constexpr const char* kScannerBuilds[] = {"scalar", "sse2", "avx2", "avx512bw"};
constexpr SearchScanner kScanners[] = {SearchScanner::kScalar, SearchScanner::kSse2,
                                       SearchScanner::kAvx2, SearchScanner::kAvx512};

std::string OneScannerPluginFile(SearchScanner scanner) {
    const std::string build = kScannerBuilds[static_cast<int>(scanner)];
#if defined(_WIN32)
    return "Quillbridge_to_Tamberlow_" + build + ".dll";
#else
    return std::string(QBT_ONE_SCANNER_PLUGIN_DIR) + "/libQuillbridge_to_Tamberlow_" + build +
           ".so";
#endif
}

// The shipped library first, then a copy for each scanner this machine runs. This program's
// own copy of the core makes the choice the libraries make: the same code on the same processor.
bool LoadPlugins(std::vector<Plugin>& plugins) {
#if defined(_WIN32)
    const std::string shipped = "Quillbridge_to_Tamberlow.dll";
#else
    const std::string shipped = QBT_PLUGIN_PATH;
#endif
    Plugin chosen;
    chosen.name = std::string("chosen:") + kScannerNames[static_cast<int>(ChosenScanner())];
    if (!Load(shipped, chosen)) return false;
    plugins.push_back(chosen);
    for (SearchScanner scanner : kScanners) {
        if (!ScannerAvailable(scanner)) continue;
        Plugin copy;
        copy.name = kScannerNames[static_cast<int>(scanner)];
        if (!Load(OneScannerPluginFile(scanner), copy)) return false;
        plugins.push_back(copy);
    }
    return true;
}

std::int32_t Title(const Plugin& plugin, const char* list, const char* key) {
    char buffer[256];
    char* out = buffer;
    return plugin.title(list, key, 0, &out, sizeof buffer);
}

// Each text field as a size query and then a copy, and the release number: eleven calls, the
// same as lookup_benchmark's OneRom (whose literal counterpart reads thirteen elements).
std::int64_t OneRom(const Plugin& plugin, const char* list, const char* key) {
    std::int64_t sum = 0;
    for (TextExport query :
         {plugin.maker, plugin.title, plugin.saveInfo, plugin.mediaInfo, plugin.country}) {
        char buffer[1024];
        char* out = buffer;
        const std::int32_t size = query(list, key, 0, nullptr, 0);
        sum += size > 0 ? query(list, key, 0, &out, size) : size;
    }
    return sum + plugin.releaseNumber(list, key, 0);
}

// The list as a host hands it over, placed the same way in both builds so that neither the
// heap nor its pages tell them apart: at the start of pages of its own, of the system's base
// size. A host on Windows reads the list into its heap, where there are no huge pages; natively,
// a system that gives large mappings huge pages of its own accord would speed the native library
// up alone (16 MB lists ran 8 to 17% faster on huge pages on the Xeon of docs/performance.md).
class PlacedText {
public:
    explicit PlacedText(const std::string& text) : bytes_(text.size() + 1) {
#if defined(_WIN32)
        memory_ = VirtualAlloc(nullptr, bytes_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
        memory_ = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory_ == MAP_FAILED) memory_ = nullptr;
        if (memory_ != nullptr) madvise(memory_, bytes_, MADV_NOHUGEPAGE);
#endif
        if (memory_ != nullptr) std::memcpy(memory_, text.c_str(), bytes_);
    }
    ~PlacedText() {
#if defined(_WIN32)
        if (memory_ != nullptr) VirtualFree(memory_, 0, MEM_RELEASE);
#else
        if (memory_ != nullptr) munmap(memory_, bytes_);
#endif
    }
    PlacedText(const PlacedText&) = delete;
    PlacedText& operator=(const PlacedText&) = delete;

    const char* Text() const { return static_cast<const char*>(memory_); }
    std::size_t Size() const { return bytes_ - 1; }

private:
    std::size_t bytes_;
    void* memory_ = nullptr;
};

// The answers the timed calls give, against the literal lookup: the key absent, and the middle
// key's title found (titles are converted under Wine, so only the outcome is compared).
bool AnswersAgree(const Plugin& plugin, const PlacedText& list, const std::string& key) {
    const auto literal = [&](const char* sought) {
        return LiteralFindField(list.Text(), sought, 0, "TITLE").outcome;
    };
    return Title(plugin, list.Text(), kAbsentKey) == ErrKeyNotFound &&
           literal(kAbsentKey) == LookupOutcome::kKeyAbsent &&
           Title(plugin, list.Text(), key.c_str()) > 0 &&
           literal(key.c_str()) == LookupOutcome::kFound &&
           OneRom(plugin, list.Text(), key.c_str()) > 0;
}

// Times of one kind of call, one per round. On a machine shared with other work the least is
// the steadier figure: a call that loses the processor midway only ever takes longer.
class Times {
public:
    template <typename Call>
    void Take(Call&& call) {
        const auto start = std::chrono::steady_clock::now();
        call();
        const std::chrono::duration<double, std::micro> took =
            std::chrono::steady_clock::now() - start;
        times_.push_back(took.count());
    }
    double Median() {
        std::sort(times_.begin(), times_.end());
        return times_[times_.size() / 2];
    }
    double Least() { return *std::min_element(times_.begin(), times_.end()); }

private:
    std::vector<double> times_;
};

// What one list size gives: every library's key-absent GetTitle and memchr, interleaved round
// by round, then the shipped library's one ROM on its own (timed among the others, its eleven
// calls kept that library's code warm for its next key-absent call).
struct SizeTimes {
    std::vector<Times> absent;
    Times memchrPass;
    Times oneRom;
};

SizeTimes TimeInterleaved(const std::vector<Plugin>& plugins, const PlacedText& list,
                          const std::string& key, int rounds, std::int64_t& sink) {
    SizeTimes times;
    times.absent.resize(plugins.size());
    const auto memchrPass = [&] {
        sink += std::memchr(list.Text(), '\x01', list.Size()) != nullptr;
    };
    // The list's pages and each library's first-call set-up are not timed.
    memchrPass();
    for (const Plugin& plugin : plugins) sink += Title(plugin, list.Text(), kAbsentKey);
    // Each round makes the calls in a new order, so that every call follows every other as
    // often: what a call leaves in the caches and the prefetchers (and what it costs to switch
    // the vector units between widths) falls on all of them alike.
    std::vector<std::size_t> order(plugins.size() + 1);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::mt19937 random(20261208);
    for (int round = 0; round < rounds; ++round) {
        std::shuffle(order.begin(), order.end(), random);
        for (std::size_t call : order) {
            if (call == plugins.size()) {
                times.memchrPass.Take(memchrPass);
            } else {
                times.absent[call].Take(
                    [&] { sink += Title(plugins[call], list.Text(), kAbsentKey); });
            }
        }
    }
    for (int round = 0; round < rounds; ++round) {
        times.oneRom.Take([&] { sink += OneRom(plugins[0], list.Text(), key.c_str()); });
    }
    return times;
}

// One row per call: list size, call, median and least in microseconds, and the median as a
// multiple of memchr's (bench/dll_against_native.sh reads these columns).
void PrintSize(std::size_t kibibytes, std::size_t bytes, const std::vector<Plugin>& plugins,
               SizeTimes& times) {
    const double memchrMedian = times.memchrPass.Median();
    const auto row = [&](const std::string& call, Times& taken) {
        const double median = taken.Median();
        std::printf("%-8zu %10zu %-20s %10.1f %10.1f %8.2f\n", kibibytes, bytes, call.c_str(),
                    median, taken.Least(), median / memchrMedian);
    };
    row("memchr", times.memchrPass);
    for (std::size_t i = 0; i < plugins.size(); ++i) {
        row("absent:" + plugins[i].name, times.absent[i]);
    }
    row("one_rom:" + plugins[0].name, times.oneRom);
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

    std::vector<Plugin> plugins;
    if (!LoadPlugins(plugins)) {
        std::puts("a plug-in or one of its exports did not load");
        return 1;
    }
    std::printf("%-8s %10s %-20s %10s %10s %8s\n", "KiB", "bytes", "call", "median_us", "least_us",
                "/memchr");
    std::int64_t sink = 0;  // printed, so that the calls cannot be dropped
    for (std::size_t kibibytes : sizes) {
        const GeneratedList generated = GenerateGameList(kibibytes << 10);
        const PlacedText list(generated.text);
        if (list.Text() == nullptr) {
            std::printf("%zu KiB: no memory for the list\n", kibibytes);
            return 1;
        }
        const std::string key = generated.keys[generated.keys.size() / 2];
        for (const Plugin& plugin : plugins) {
            if (!AnswersAgree(plugin, list, key)) {
                std::printf("%zu KiB, %s: answers differ from the literal lookup\n", kibibytes,
                            plugin.name.c_str());
                return 1;
            }
        }
        // Smaller lists get more rounds, so that every size is timed for about as long: a few
        // dozen calls of a few microseconds were at the mercy of the machine's other work.
        const int rounds = runs * static_cast<int>(std::max<std::size_t>(1, 16384 / kibibytes));
        SizeTimes times = TimeInterleaved(plugins, list, key, rounds, sink);
        PrintSize(kibibytes, list.Size(), plugins, times);
        std::fflush(stdout);
    }
    std::printf("(median and least of %d rounds or more; checksum %lld)\n", runs,
                static_cast<long long>(sink));
    return 0;
}
