// The in-place search, with every scanner this machine runs, against the obvious definition:
// std::string::find and rfind over an upper-cased copy.
#include "lookup/folded_search.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "lookup/folded_search_kernels.h"

#if !defined(_WIN32)
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

std::string RandomText(std::mt19937& random, std::string_view alphabet, std::size_t maxLength) {
    std::string text(std::uniform_int_distribution<std::size_t>(0, maxLength)(random), ' ');
    for (char& c : text) {
        c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    }
    return text;
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

#if !defined(_WIN32)
// Texts placed against unmapped pages, at every alignment: right after one (a backward scan that
// looked below the text would fault) and ending right before one (a forward scan that read past
// the NUL would fault).
TEST_P(EveryScanner, NeverReadsOutsideThePagesOfTheText) {
    const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* mapping =
        mmap(nullptr, 3 * pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapping, MAP_FAILED);
    char* page = static_cast<char*>(mapping) + pageSize;
    ASSERT_EQ(mprotect(mapping, pageSize, PROT_NONE), 0);
    ASSERT_EQ(mprotect(page + pageSize, pageSize, PROT_NONE), 0);
    for (std::size_t length = 0; length < 100; ++length) {
        for (char* text : {page, page + pageSize - length - 1}) {
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
    munmap(mapping, 3 * pageSize);
}
#endif

INSTANTIATE_TEST_SUITE_P(
    Scanners, EveryScanner,
    ::testing::Values(SearchScanner::kScalar, SearchScanner::kSse2, SearchScanner::kAvx2),
    [](const auto& info) {
        return std::string(std::array{"Scalar", "Sse2", "Avx2"}[static_cast<int>(info.param)]);
    });

}  // namespace
