// The in-place search, with every scanner this machine runs, against the obvious definition:
// std::string::find and rfind over an upper-cased copy.
#include "lookup/folded_search.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "lookup/folded_search_kernels.h"
#include "tests/misaligned_stack.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif
#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

std::size_t ReferenceFind(const std::string& text, std::size_t from, std::size_t limit,
                          const std::string& pattern) {
    const std::size_t found = UpperAscii(text).find(pattern, from);
    return found < limit ? found : kNoPosition;
}

std::size_t ReferenceFindLast(const std::string& text, std::size_t at, const std::string& pattern) {
    return UpperAscii(text).rfind(pattern, at);
}

std::string RandomBytes(std::mt19937& random, std::string_view alphabet, std::size_t length) {
    std::string text(length, ' ');
    for (char& c : text) {
        c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    }
    return text;
}

std::string RandomText(std::mt19937& random, std::string_view alphabet, std::size_t maxLength) {
    return RandomBytes(random, alphabet,
                       std::uniform_int_distribution<std::size_t>(0, maxLength)(random));
}

class EveryScanner : public ::testing::TestWithParam<SearchScanner> {
protected:
    void SetUp() override {
        if (!ScannerAvailable(GetParam())) GTEST_SKIP() << "not on this machine";
    }
    // Texts are searched up to their first NUL, as the library searches the host's.
    std::size_t Find(const std::string& text, std::size_t from, std::size_t limit,
                     std::string_view pattern) const {
        return FindFoldedWith(GetParam(), text.c_str(), from, limit, pattern);
    }
    std::size_t FindLast(const std::string& text, std::size_t at, std::string_view pattern) const {
        return FindLastFoldedWith(GetParam(), text.c_str(), at, pattern);
    }
    void ExpectAgreement(const std::string& text, const std::string& pattern,
                         std::mt19937& random) const {
        std::uniform_int_distribution<std::size_t> position(0, text.size());
        const std::size_t from = position(random);
        const std::size_t limit = random() % 3 == 0 ? kNoPosition : position(random);
        ASSERT_EQ(Find(text, from, limit, pattern), ReferenceFind(text, from, limit, pattern))
            << text << " / " << pattern << " from " << from << " limit " << limit;
        ASSERT_EQ(FindLast(text, from, pattern), ReferenceFindLast(text, from, pattern))
            << text << " / " << pattern << " at " << from;
    }
};

TEST_P(EveryScanner, FoldsAsciiLettersOnly) {
    EXPECT_EQ(UpperAscii("aZ\xE9\x83\x65{`@["), "AZ\xE9\x83\x45{`@[");
    EXPECT_EQ(Find("<game><Game>", 0, kNoPosition, "<GAME>"), 0U);
    EXPECT_EQ(Find("\xC1\xE1", 0, kNoPosition, "\xC1"), 0U);
    EXPECT_EQ(Find("\xE1", 0, kNoPosition, "\xC1"), kNoPosition) << "no Latin-1 folding";
    EXPECT_EQ(Find("{[@`", 0, kNoPosition, "["), 1U) << "'{' is not a lower-case '['";
}

TEST_P(EveryScanner, LimitBoundsWhereAMatchMayStartNotWhereItEnds) {
    const std::string text = "..<TITLE>..";
    EXPECT_EQ(Find(text, 0, 3, "<TITLE>"), 2U);
    EXPECT_EQ(Find(text, 0, 2, "<TITLE>"), kNoPosition);
    EXPECT_EQ(Find(text, 3, kNoPosition, "<TITLE>"), kNoPosition);
    EXPECT_EQ(Find(text, 11, kNoPosition, "."), kNoPosition) << "from at the NUL";
}

TEST_P(EveryScanner, StopsAtTheNulEvenInsideAPartialMatch) {
    const std::string storage = std::string("xx<GAM") + '\0' + "E> <GAME>";
    EXPECT_EQ(Find(storage, 0, kNoPosition, "<GAME>"), kNoPosition);
    EXPECT_EQ(FindLast(storage, 6, "<GAME>"), kNoPosition);
}

TEST_P(EveryScanner, LastMatchMayRunPastTheStartingPoint) {
    const std::string text = "<game>ab<game>";
    EXPECT_EQ(FindLast(text, 8, "<GAME>"), 8U);
    EXPECT_EQ(FindLast(text, 7, "<GAME>"), 0U);
    EXPECT_EQ(FindLast(text, 0, "<GAME>"), 0U);
}

TEST_P(EveryScanner, AgreesWithTheUpperCasedCopyOnRandomTexts) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 23000; ++round) {
        std::string text;
        std::string pattern;
        if (round % 23 >= 3) {
            // Short texts and patterns: every small overlap of the two.
            text = RandomText(random, "aAbB<>/0", 40);
            pattern = UpperAscii(RandomText(random, "aAbB<>/0", 4));
        } else {
            // Long texts, patterns cut out of them (so that they occur, sometimes several times)
            // or cut and spoilt: patterns wider than a block, matches across blocks and lines.
            text = RandomText(random, "abAB0<", 700);
            const std::size_t length = 1 + random() % 40;
            const std::size_t at = text.size() > length ? random() % (text.size() - length) : 0;
            pattern = UpperAscii(text.substr(at, length));
            if (!pattern.empty() && round % 2 == 0) pattern.back() ^= 'A' ^ 'B';
        }
        if (!pattern.empty()) ExpectAgreement(text, pattern, random);
    }
}

TEST_P(EveryScanner, TextsBuiltAgainstTheAnchorsStillGiveTheFirstMatch) {
    std::string periodic;
    for (int i = 0; i < 5000; ++i) periodic += "ab";
    const std::string pattern = UpperAscii(periodic.substr(0, 40)) + "C";
    EXPECT_EQ(Find(periodic + pattern, 0, kNoPosition, pattern), periodic.size());
    EXPECT_EQ(Find(periodic + pattern, 0, 9000, pattern), kNoPosition);

    // Anchors rare in the text take over when those chosen for game lists fail: every other
    // position here starts a partial match thousands of bytes long, but the text has no "<".
    std::string pairs;
    for (int i = 0; i < 20000; ++i) pairs += ">0";
    const std::string markedPattern = UpperAscii(pairs.substr(0, 4001)) + "</ROMCRC>";
    EXPECT_EQ(Find(pairs + markedPattern, 0, kNoPosition, markedPattern), pairs.size());
    EXPECT_EQ(Find(pairs + markedPattern, 0, pairs.size(), markedPattern), kNoPosition);
    // A pattern made only of the text's own bytes leaves the automaton to finish.
    const std::string ownBytes = UpperAscii(periodic.substr(0, 40)) + "BA";
    EXPECT_EQ(Find(periodic + ownBytes, 0, kNoPosition, ownBytes), periodic.size());

    const std::string zeros(100000, '0');
    EXPECT_EQ(Find(zeros, 0, kNoPosition, ">00000000</ROMCRC>"), kNoPosition);
    EXPECT_EQ(Find(zeros + ">00000000</romcrc>", 0, kNoPosition, ">00000000</ROMCRC>"),
              zeros.size());
    EXPECT_EQ(FindLast(zeros + "<game>", zeros.size(), "<GAME>"), zeros.size());
    EXPECT_EQ(FindLast("<game>" + zeros, zeros.size(), "<GAME>"), 0U);
}

// Long texts that start benign and turn into a flood of candidates (every repetition of the
// unit holds both anchors of a pattern made of it), so that a search gives its anchors up part
// of the way through, tries anchors rare in the text, then compares every start (patterns of up
// to 32 bytes) or runs the automaton (longer ones). Matches, starting points and limits fall
// before, across and after the switch; the filter passes every other match over.
TEST_P(EveryScanner, AnswersStayTheSameWhenTheSearchChangesModeMidText) {
    const std::string units[] = {">0", "<GAME", ">1A2B3C4D</ROMCRX>", "x4D</ROMCRC>", "aB"};
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        const std::string& unit = units[round % std::size(units)];
        const std::size_t length = 2 + random() % 45;
        std::string pattern;
        while (pattern.size() < length) pattern += unit;
        pattern = UpperAscii(pattern.substr(random() % unit.size(), length));
        pattern.back() = round % 3 == 0 ? pattern.back() : '#';
        std::string text = RandomText(random, "ab<>/0x", 3000);
        const std::size_t floodBytes = random() % 9000;
        while (text.size() < floodBytes) text += unit;
        text.insert(random() % (text.size() + 1), UpperAscii(pattern));
        text += RandomText(random, "ab<>/0#", 200);
        std::uniform_int_distribution<std::size_t> position(0, text.size());
        const std::size_t from = random() % 2 == 0 ? 0 : position(random);
        const std::size_t limit = random() % 2 == 0 ? kNoPosition : position(random);
        std::size_t expected = ReferenceFind(text, from, limit, pattern);
        ASSERT_EQ(Find(text, from, limit, pattern), expected)
            << unit << " / " << pattern << " from " << from << " limit " << limit;
        const auto evenOnly = [](const char*, std::size_t at, void*) { return at % 2 == 0; };
        while (expected != kNoPosition && expected % 2 != 0) {
            expected = ReferenceFind(text, expected + 1, limit, pattern);
        }
        ASSERT_EQ(FindFoldedWith(GetParam(), text.c_str(), from, limit, pattern, {evenOnly}),
                  expected)
            << unit << " / " << pattern << " from " << from << " limit " << limit;
    }
}

// A flood in which every repetition of the unit is a match and the filter accepts only one:
// the anchors fail at once and the search compares every start (patterns of up to 32 bytes) or
// runs the automaton. The one match lies near the text's end, next to the limit or the start.
TEST_P(EveryScanner, TheOneAcceptedMatchOfAFloodNearTheEndTheLimitOrTheStart) {
    const auto isTarget = [](const char*, std::size_t at, void* target) {
        return at == *static_cast<std::size_t*>(target);
    };
    for (const std::string unit : {">0", "<GAME", "aB"}) {
        for (std::size_t length : {8, 31, 32, 33}) {
            for (std::size_t bytes = 6000; bytes < 6070; bytes += 3) {
                std::string text;
                while (text.size() < bytes) text += unit;
                text.resize(bytes);
                const std::string pattern = UpperAscii(text.substr(0, length));
                const std::size_t last = (bytes - length) / unit.size() * unit.size();
                for (std::size_t target : {last, last - unit.size()}) {
                    const auto find = [&](std::size_t from, std::size_t limit) {
                        return FindFoldedWith(GetParam(), text.c_str(), from, limit, pattern,
                                              {isTarget, &target});
                    };
                    ASSERT_EQ(find(0, kNoPosition), target)
                        << unit << " " << length << " " << bytes;
                    EXPECT_EQ(find(0, target), kNoPosition);
                    EXPECT_EQ(find(0, target + 1), target);
                    EXPECT_EQ(find(target, kNoPosition), target);
                    EXPECT_EQ(find(target + 1, kNoPosition), kNoPosition);
                }
            }
        }
    }
}

// Pages of memory between two inaccessible ones, so that a read before or after them faults.
class GuardedPages {
public:
    explicit GuardedPages(std::size_t pages) : pages_(pages) {
#if defined(_WIN32)
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        pageSize_ = system.dwPageSize;
        void* mapping = VirtualAlloc(nullptr, (pages_ + 2) * pageSize_, MEM_RESERVE | MEM_COMMIT,
                                     PAGE_READWRITE);
        EXPECT_NE(mapping, nullptr);
        first_ = static_cast<char*>(mapping) + pageSize_;
        DWORD old = 0;
        EXPECT_TRUE(VirtualProtect(mapping, pageSize_, PAGE_NOACCESS, &old));
        EXPECT_TRUE(VirtualProtect(first_ + Bytes(), pageSize_, PAGE_NOACCESS, &old));
#else
        pageSize_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* mapping = mmap(nullptr, (pages_ + 2) * pageSize_, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(mapping, MAP_FAILED);
        first_ = static_cast<char*>(mapping) + pageSize_;
        EXPECT_EQ(mprotect(mapping, pageSize_, PROT_NONE), 0);
        EXPECT_EQ(mprotect(first_ + Bytes(), pageSize_, PROT_NONE), 0);
#endif
    }
    ~GuardedPages() {
#if defined(_WIN32)
        VirtualFree(first_ - pageSize_, 0, MEM_RELEASE);
#else
        munmap(first_ - pageSize_, (pages_ + 2) * pageSize_);
#endif
    }
    GuardedPages(const GuardedPages&) = delete;
    GuardedPages& operator=(const GuardedPages&) = delete;

    char* First() const { return first_; }
    std::size_t Bytes() const { return pages_ * pageSize_; }
    std::size_t PageSize() const { return pageSize_; }

    // `text` and its NUL at the start of the pages, `gap` spaces after it, then `garbage`
    // repeated to their end.
    const char* Place(const std::string& text, std::string_view garbage, std::size_t gap = 0) {
        const std::size_t garbageFrom = text.size() + 1 + gap;
        for (std::size_t at = 0; at < Bytes(); ++at) {
            first_[at] = at < garbageFrom ? ' ' : garbage[(at - garbageFrom) % garbage.size()];
        }
        text.copy(first_, text.size());
        first_[text.size()] = '\0';
        return first_;
    }

private:
    std::size_t pages_;
    std::size_t pageSize_ = 0;
    char* first_ = nullptr;
};

// Texts placed against inaccessible pages, at every alignment: right after one (a backward scan
// that looked below the text would fault) and ending right before one (a forward scan that read
// past the NUL would fault).
TEST_P(EveryScanner, NeverReadsOutsideThePagesOfTheText) {
    GuardedPages pages(1);
    char* page = pages.First();
    for (std::size_t length = 0; length < 100; ++length) {
        for (char* text : {page, page + pages.Bytes() - length - 1}) {
            for (std::size_t i = 0; i < length; ++i) text[i] = "<GAME>AB00"[i % 10];
            text[length] = '\0';
            for (std::size_t from = 0; from <= length; from += 7) {
                EXPECT_EQ(FindFoldedWith(GetParam(), text, from, kNoPosition, "<GAME>X"),
                          kNoPosition);
                EXPECT_EQ(FindFoldedWith(GetParam(), text, from, kNoPosition, "</ROMCRC>"),
                          kNoPosition);
                EXPECT_EQ(FindLastFoldedWith(GetParam(), text, from, "X<GAME>"), kNoPosition);
            }
            EXPECT_EQ(FindLastFoldedWith(GetParam(), text, length, "<GAME>X"), kNoPosition);
        }
    }
}

// Pages of a text in front of an inaccessible one, filled after the NUL with copies of the
// patterns sought, so that every block read past the NUL is full of candidates. The scan reads
// whole chunks and looks for the NUL only once per page and when a chunk has candidates; matches
// straddle blocks, chunks and pages; the NUL falls anywhere in the last page.
TEST_P(EveryScanner, NothingPastTheNulInTheLastPageIsFound) {
    GuardedPages pages(3);
    const std::string patterns[] = {">F00DF00D</ROMCRC>", "<GAME>", "GAME>", "</TITLE>"};
    std::mt19937 random(11);
    const std::string filler = RandomBytes(random, "ab<>/0 ", pages.Bytes());
    for (const std::string& pattern : patterns) {
        const std::string garbage = " " + pattern + "0" + pattern.substr(0, 5);
        for (std::size_t end = pages.Bytes() - 1; end + 300 > pages.Bytes(); end -= 1 + end % 7) {
            // A match ending at the NUL, one cut by it, and none.
            for (std::size_t cut : {std::size_t{0}, std::size_t{1}, pattern.size()}) {
                std::string text = filler.substr(0, end);
                text.replace(end - pattern.size() + cut, pattern.size() - cut,
                             pattern.substr(0, pattern.size() - cut));
                const char* placed = pages.Place(text, garbage);
                const std::size_t from = (end * 13) % end;
                ASSERT_EQ(FindFoldedWith(GetParam(), placed, from, kNoPosition, pattern),
                          ReferenceFind(text, from, kNoPosition, pattern))
                    << pattern << " ending " << cut << " before the NUL at " << end;
            }
        }
    }
}

// A limit inside the last page ends the scan there, before the page's end, but the NUL comes
// first: in a chunk with no candidate, the copies of the pattern only in later chunks, up to the
// limit and past it. The NUL has to be noticed though no chunk that holds it is ever settled.
TEST_P(EveryScanner, NothingPastTheNulBeforeALimitInTheLastPageIsFound) {
    GuardedPages pages(3);
    const std::size_t lastPage = pages.Bytes() - pages.PageSize();
    std::mt19937 random(7);
    const std::string filler = RandomBytes(random, "ab<>/0 ", pages.Bytes());
    for (const std::string pattern : {">F00DF00D</ROMCRC>", "<GAME>"}) {
        for (std::size_t nul : {lastPage + 3, lastPage + 700, lastPage + 2100}) {
            const std::string text = filler.substr(0, nul);
            // From the NUL to the first copy, and from there to the limit.
            for (std::size_t gap : {0, 60, 128, 300, 1000}) {
                const char* placed = pages.Place(text, pattern, gap);
                for (std::size_t reach : {1, 200, 1500}) {
                    const std::size_t limit = nul + 1 + gap + reach;
                    if (limit >= pages.Bytes()) continue;
                    for (std::size_t from : {std::size_t{0}, nul - 1}) {
                        ASSERT_EQ(FindFoldedWith(GetParam(), placed, from, limit, pattern),
                                  ReferenceFind(text, from, limit, pattern))
                            << pattern << " NUL at " << nul << ", copies " << gap
                            << " bytes after it, limit " << limit << ", from " << from;
                    }
                }
            }
        }
    }
}

TEST_P(EveryScanner, MatchesAcrossBlockChunkAndPageEnds) {
    GuardedPages pages(3);
    const std::string pattern = ">F00DF00D</ROMCRC>";
    std::mt19937 random(3);
    const std::string filler = RandomBytes(random, "ab<>/0 ", pages.Bytes() - 1);
    for (std::size_t boundary : {std::size_t{128}, std::size_t{4096}, std::size_t{8192 - 128}}) {
        for (std::size_t before = 0; before <= pattern.size() + 16; ++before) {
            std::string text = filler;
            text.replace(boundary - before, pattern.size(), "<game>" + pattern.substr(6));
            text.replace(boundary - before, 6, pattern.substr(0, 6));
            const char* placed = pages.Place(text, pattern);
            const std::size_t expected = boundary - before;
            EXPECT_EQ(FindFoldedWith(GetParam(), placed, 0, kNoPosition, pattern), expected);
            EXPECT_EQ(FindFoldedWith(GetParam(), placed, 0, expected, pattern), kNoPosition);
            EXPECT_EQ(FindFoldedWith(GetParam(), placed, expected, expected + 1, pattern),
                      expected);
            EXPECT_EQ(FindLastFoldedWith(GetParam(), placed, text.size(), pattern), expected);
        }
    }
}

#if QBT_CAN_MISALIGN_THE_STACK
// Each entry point of a scanner, and the whole search through it, called with the stack at each
// alignment a 32-bit host may leave. The entry points are called directly: each must realign for
// itself what it keeps on the stack, not rely on the search before it having done so. Needles are
// made outside the calls, as their alignment would realign the caller.
TEST_P(EveryScanner, RunsOnAStackAlignedToFourBytes) {
    const Scanners scanners = ScannersFor(GetParam());
    std::mt19937 random(5);
    const std::string text = RandomBytes(random, "ab<>/0 ", 5000) + "<game>x</GAME>";
    const Needle tag = MakeNeedle("<GAME>X</", {});
    // A flood of candidates that all fail at their last byte but one near the end: the anchors
    // give up, then dense mode (the short pattern) or the automaton (the long one) takes over.
    std::string flood;
    while (flood.size() < 9000) flood += ">0";
    flood += "0";
    const std::string floodPattern = flood.substr(0, 20) + "0";
    const std::string longFloodPattern = flood.substr(0, 60) + "0";
    const std::size_t floodMatch = ReferenceFind(flood, 0, kNoPosition, floodPattern);
    const Needle floodNeedle = MakeNeedle(floodPattern, {});
    AtEveryStackAlignment([&] {
        EXPECT_EQ(scanners.forward(text.c_str(), 0, kNoPosition, tag).match, 5000U);
        EXPECT_EQ(scanners.backward(text.c_str(), 5001, tag), 5000U);
        if (scanners.dense != nullptr) {
            EXPECT_EQ(scanners.dense(flood.c_str(), 0, kNoPosition, floodNeedle).match, floodMatch);
        }
        EXPECT_EQ(Find(flood, 0, kNoPosition, floodPattern), floodMatch);
        EXPECT_EQ(Find(flood, 0, kNoPosition, longFloodPattern),
                  ReferenceFind(flood, 0, kNoPosition, longFloodPattern));
        EXPECT_EQ(FindLast(text, text.size(), "<GAME>X</"), 5000U);
    });
}
#endif

#if defined(__i386__) || defined(__x86_64__)
// The widest scanner this processor runs and its system saves the registers of, read from the
// processor itself rather than through the compiler's run-time checks that the choice uses.
SearchScanner WidestScannerByCpuid() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0 || (edx & bit_SSE2) == 0) {
        return SearchScanner::kScalar;
    }
    std::uint64_t savedStates = 0;  // XCR0
    if ((ecx & bit_OSXSAVE) != 0) {
        unsigned low = 0, high = 0;
        asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        savedStates = (std::uint64_t{high} << 32) | low;
    }
    const bool avx = (ecx & bit_AVX) != 0 && (savedStates & 0x6) == 0x6;  // XMM and YMM
    unsigned leaf7 = 0;
    if (__get_cpuid_count(7, 0, &eax, &leaf7, &ecx, &edx) == 0) leaf7 = 0;
    if (!avx || (leaf7 & bit_AVX2) == 0) return SearchScanner::kSse2;
    // Opmask and both halves of the ZMM registers.
    const bool avx512 =
        (savedStates & 0xE0) == 0xE0 && (leaf7 & bit_AVX512F) != 0 && (leaf7 & bit_AVX512BW) != 0;
    return avx512 ? SearchScanner::kAvx512 : SearchScanner::kAvx2;
}

bool IsIntelByCpuid() {
    unsigned maxLeaf = 0, ebx = 0, ecx = 0, edx = 0;
    __get_cpuid(0, &maxLeaf, &ebx, &ecx, &edx);
    char vendor[13] = {};
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    return std::string(vendor) == "GenuineIntel";
}

// The widest scanner, except that AVX-512 runs only on Intel's processors, the family on which
// it was measured faster than AVX2. In the 32-bit DLL as in the 64-bit library.
TEST(ScannerChoice, IsTheWidestThisProcessorRunsButAvx512OnIntelOnly) {
    SearchScanner expected = WidestScannerByCpuid();
    if (expected == SearchScanner::kAvx512 && !IsIntelByCpuid()) expected = SearchScanner::kAvx2;
    EXPECT_EQ(ChosenScanner(), expected) << "scanners: 0 scalar, 1 SSE2, 2 AVX2, 3 AVX-512BW";
    EXPECT_TRUE(ScannerAvailable(ChosenScanner()));
}
#endif

INSTANTIATE_TEST_SUITE_P(Scanners, EveryScanner,
                         ::testing::Values(SearchScanner::kScalar, SearchScanner::kSse2,
                                           SearchScanner::kAvx2, SearchScanner::kAvx512),
                         [](const auto& info) {
                             return std::string(std::array{"Scalar", "Sse2", "Avx2",
                                                           "Avx512"}[static_cast<int>(info.param)]);
                         });

}  // namespace
