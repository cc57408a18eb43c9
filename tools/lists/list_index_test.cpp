// The list index against the whole list: every export, asked over the text the index hands the
// plug-in and over the whole list, answers alike, for lists built to collide with the lookup's
// rules, realistic lists and lists built against the search, in a UTF-8 and a Shift_JIS locale.
#include "tools/lists/list_index.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/scoped_locale.h"
#include "tests/support/game_list_generator.h"
#include "tests/support/index_difference.h"

namespace {

constexpr std::int32_t kKeyTypes[] = {0, 1, 2, 32, -1};

// Pieces that collide: declarations in and out of place, "UTF-8" and "?>" in values, record tags
// whole, cut, with attributes, in other cases and inside comments, comments left open, keys that
// differ in padding and case, key elements outside records, fields of every export, and bytes
// that differ between conversions. The lookup knows nothing of comments, so neither may the index.
const std::vector<std::string> kFragments = {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                                             "<?xml version=\"1.0\"?>",
                                             "?>",
                                             "UTF-8",
                                             "utf-8",
                                             std::string(300, ' '),
                                             "<GAME>",
                                             "<game>",
                                             "</GAME>",
                                             "</Game>",
                                             "<GAME id=\"1\">",
                                             "<!--",
                                             "-->",
                                             "<!-- <GAME> -->",
                                             "<GAM",
                                             "<ROMCRC>",
                                             "<romcrc a=\"b\">",
                                             "</ROMCRC>",
                                             "</romcrc>",
                                             "1234",
                                             "00001234",
                                             "0123",
                                             "123",
                                             "abcd",
                                             "0000ABCD",
                                             "DEADBEEF",
                                             "",
                                             ">",
                                             "<",
                                             "x",
                                             "\n",
                                             "<GAME><ROMCRC>00001234</ROMCRC>",
                                             "<GAME>1234</ROMCRC>",
                                             "</GAME><ROMCRC>abcd</ROMCRC>",
                                             "<TITLE>T\xC3\xA9 \xE3\x83\x86 &amp;lt;</TITLE>",
                                             "<TITLE>\x83\x65\x83\x58</TITLE>",
                                             "<PUBLISHER>P?>UTF-8</PUBLISHER>",
                                             "<SAVETYPE>S</SAVETYPE>",
                                             "<LOCATION>7</LOCATION>",
                                             "<RELEASENUMBER>12</RELEASENUMBER>",
                                             "<RELEASENUMBER>\xC3\xA9"
                                             "12</RELEASENUMBER>",
                                             "<ROMSIZE>8 Mbit</ROMSIZE>",
                                             "<SOURCEROM>Disk</SOURCEROM>",
                                             "<TITLE>",
                                             "</TITLE>"};
const std::vector<std::string> kKeys = {"1234",     "123",      "abcd",     "ABCD",     "",
                                        "0000abcd", "00001234", "DEADBEEF", "F00DF00D", "12<34"};

std::string RandomList(std::mt19937& random) {
    std::uniform_int_distribution<std::size_t> pick(0, kFragments.size() - 1);
    std::string list;
    const int pieces = std::uniform_int_distribution<int>(0, 50)(random);
    for (int i = 0; i < pieces; ++i) list += kFragments[pick(random)];
    return list;
}

// Every key and key type given, and every key the index holds, with each key type.
void ExpectSameAnswers(const std::string& list, const std::vector<std::string>& keys) {
    const ListIndex index(list);
    std::vector<std::string> asked = keys;
    for (const ListIndex::Entry& entry : index.Entries()) asked.push_back(entry.key);
    for (const std::string& key : asked) {
        for (const std::int32_t keyType : kKeyTypes) {
            ASSERT_EQ(DifferenceOverIndexedText(index, list, key, keyType), "")
                << testing::PrintToString(list);
        }
    }
}

// Runs `check` with the host's locale set per thread to UTF-8 and to Shift_JIS, and with the C
// locale and Shift_JIS named by the environment only (POSIX).
void InEveryLocale(const std::function<void()>& check) {
#if defined(_WIN32)
    {
        SCOPED_TRACE("system code page");
        check();
    }
    {
        USE_LOCALE(scope, kShiftJisLocale);
        SCOPED_TRACE(kShiftJisLocale);
        check();
    }
#else
    for (const char* name : {kUtf8Locale, kShiftJisLocale}) {
        USE_LOCALE(scope, name);
        SCOPED_TRACE(name);
        check();
    }
    const ScopedEnvironmentVariable all("LC_ALL", nullptr);
    const ScopedEnvironmentVariable ctype("LC_CTYPE", nullptr);
    const ScopedEnvironmentVariable lang("LANG", kShiftJisLocale);
    SCOPED_TRACE("LANG=ja_JP.SJIS");
    check();
#endif
}

TEST(ListIndex, SameAnswersAsTheWholeListOnListsBuiltToCollide) {
    InEveryLocale([] {
        std::mt19937 random(19);
        for (int round = 0; round < 400; ++round) {
            ExpectSameAnswers(RandomList(random), {kKeys[random() % kKeys.size()]});
            if (testing::Test::HasFatalFailure()) return;
        }
    });
}

TEST(ListIndex, SameAnswersAsTheWholeListOnRealisticAndHostileLists) {
    const GeneratedList generated = GenerateGameList(16 * 1024);
    // Without its declaration, the list is taken for UTF-8 by the first "UTF-8" in a value.
    const std::string undeclared = generated.text.substr(generated.text.find("?>") + 2) +
                                   "<GAME><ROMCRC>1</ROMCRC><TITLE>UTF-8</TITLE></GAME>";
    InEveryLocale([&] {
        ExpectSameAnswers(generated.text, {kAbsentKey});
        ExpectSameAnswers(undeclared, {kAbsentKey});
        for (const HostileList& hostile : GenerateHostileLists(4 * 1024)) {
            SCOPED_TRACE(hostile.name);
            ExpectSameAnswers(hostile.text, {hostile.key});
        }
    });
}

// The index must hand over the record and no more: a text of the whole list would pass every
// comparison above.
TEST(ListIndex, HandsOverOnlyTheRecord) {
    const std::string list =
        "<?xml encoding=\"utf-8\"?><GAMES><GAME><ROMCRC>0000ABCD</ROMCRC><TITLE>A</TITLE></GAME>"
        "<GAME><ROMCRC>1234</ROMCRC></GAME></GAMES>";
    const ListIndex index(list);
    EXPECT_EQ(index.TextFor("abcd", 0), "UTF-8?><GAME><ROMCRC>0000ABCD</ROMCRC><TITLE>A</TITLE>");
    EXPECT_EQ(index.TextFor("1234", 2), "UTF-8?><GAME><ROMCRC>1234</ROMCRC>");
    EXPECT_EQ(index.TextFor("F00D", 0), "UTF-8?>");
    EXPECT_EQ(index.TextFor("<GAME>", 2), std::nullopt);
    EXPECT_EQ(index.Entries().size(), 2u);
}

}  // namespace
