// The in-place search against the obvious definition: std::string::find over an upper-cased copy.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "lookup/folded_search.h"

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

TEST(FoldedSearch, FoldsAsciiLettersOnly) {
    EXPECT_EQ(UpperAscii("aZ\xE9\x83\x65{`@["), "AZ\xE9\x83\x45{`@[");
    EXPECT_EQ(FindFolded("<game><Game>", 0, kNoPosition, "<GAME>"), 0U);
    EXPECT_EQ(FindFolded("\xC1\xE1", 0, kNoPosition, "\xC1"), 0U);
    EXPECT_EQ(FindFolded("\xE1", 0, kNoPosition, "\xC1"), kNoPosition) << "no Latin-1 folding";
}

TEST(FoldedSearch, LimitBoundsWhereAMatchMayStartNotWhereItEnds) {
    const char* text = "..<TITLE>..";
    EXPECT_EQ(FindFolded(text, 0, 3, "<TITLE>"), 2U);
    EXPECT_EQ(FindFolded(text, 0, 2, "<TITLE>"), kNoPosition);
    EXPECT_EQ(FindFolded(text, 3, kNoPosition, "<TITLE>"), kNoPosition);
    EXPECT_EQ(FindFolded(text, 11, kNoPosition, "."), kNoPosition) << "from at the NUL";
}

TEST(FoldedSearch, StopsAtTheNulEvenInsideAPartialMatch) {
    const std::string storage = std::string("xx<GAM") + '\0' + "E>";
    EXPECT_EQ(FindFolded(storage.c_str(), 0, kNoPosition, "<GAME>"), kNoPosition);
    EXPECT_EQ(FindLastFolded(storage.c_str(), 5, "<GAME>"), kNoPosition);
}

TEST(FoldedSearch, LastMatchMayRunPastTheStartingPoint) {
    const char* text = "<game>ab<game>";
    EXPECT_EQ(FindLastFolded(text, 8, "<GAME>"), 8U);
    EXPECT_EQ(FindLastFolded(text, 7, "<GAME>"), 0U);
    EXPECT_EQ(FindLastFolded(text, 0, "<GAME>"), 0U);
}

TEST(FoldedSearch, AgreesWithTheUpperCasedCopyOnRandomTexts) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = RandomText(random, "aAbB<>/0", 40);
        const std::string pattern = UpperAscii(RandomText(random, "aAbB<>/0", 4));
        if (pattern.empty()) continue;
        std::uniform_int_distribution<std::size_t> position(0, text.size());
        const std::size_t from = position(random);
        const std::size_t limit = round % 3 == 0 ? kNoPosition : position(random);
        ASSERT_EQ(FindFolded(text.c_str(), from, limit, pattern),
                  ReferenceFind(text, from, limit, pattern))
            << text << " / " << pattern << " from " << from << " limit " << limit;
        ASSERT_EQ(FindLastFolded(text.c_str(), from, pattern),
                  ReferenceFindLast(text, from, pattern))
            << text << " / " << pattern << " at " << from;
    }
}

}  // namespace
