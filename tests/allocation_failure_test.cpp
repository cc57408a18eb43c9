// Memory running out anywhere in a call: every export is run once per allocation it makes, with
// that allocation failing, and must answer ErrOutOfMemory or its normal result, write nothing on
// failure, free everything it allocated, and never end the process. The lists cover each path
// that allocates: widened keys, values too long to be kept in place, conversion with iconv, the
// environment's locale read for a host in the C locale, the release number's classification in
// the locale, and the search's linear fallback.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tests/failing_allocator.h"
#include "tests/host_calls.h"
#include "tests/scoped_locale.h"

namespace {

constexpr int32_t kBufferSize = 64;

using Call = std::function<int32_t(char* out)>;

struct Outcome {
    int32_t result;
    std::string buffer;
    WatchReport report;
};

Outcome CallWatched(const Call& call, std::size_t failAt) {
    std::string buffer(kBufferSize, '#');
    StartWatching(failAt);
    const int32_t result = call(buffer.data());
    const WatchReport report = StopWatching();
    return {result, std::move(buffer), report};
}

// Fails the first allocation, then the second, and so on, until the call makes fewer
// allocations than the one chosen to fail.
void ExpectEveryFailureHandled(
    const std::string& name, const Call& call,
    const std::function<void()>& beforeEachCall = [] {}) {
    SCOPED_TRACE(name);
    beforeEachCall();
    const Outcome normal = CallWatched(call, kFailNone);
    ASSERT_EQ(normal.report.leaked, 0U) << "leaks when nothing fails";
    std::size_t outOfMemory = 0;
    constexpr std::size_t kEnough = 10000;
    for (std::size_t failAt = 0; failAt < kEnough; ++failAt) {
        beforeEachCall();
        const Outcome failing = CallWatched(call, failAt);
        ASSERT_EQ(failing.report.leaked, 0U) << "allocation " << failAt << " failed";
        if (!failing.report.failed) {
            EXPECT_EQ(failing.result, normal.result);
            EXPECT_EQ(failing.buffer, normal.buffer);
            break;
        }
        if (failing.result == ErrOutOfMemory) {
            ++outOfMemory;
            EXPECT_EQ(failing.buffer, std::string(kBufferSize, '#'))
                << "allocation " << failAt << " failed and the buffer was written";
        } else {
            // A failure the platform absorbed without changing the answer is fine.
            EXPECT_EQ(failing.result, normal.result) << "allocation " << failAt << " failed";
            EXPECT_EQ(failing.buffer, normal.buffer) << "allocation " << failAt << " failed";
        }
    }
    if (normal.report.attempts > 0) {
        EXPECT_GT(outOfMemory, 0U) << "no failed allocation was ever reported";
    }
}

struct Scenario {
    const char* name;
    std::string list;
    std::string key;
    int32_t keyType;
    const char* locale;  // nullptr: the process's C locale
    // The locale the environment names, which stands in for the C locale: nullptr leaves the
    // environment as it is.
    const char* environment = nullptr;
};

const std::string kElements =
    "<TITLE>Kumo &amp; Sons &lt;Deluxe&gt;</TITLE><PUBLISHER>Pebble Works</PUBLISHER>"
    "<SAVETYPE>FLASH_V126</SAVETYPE><ROMSIZE>64 Mbit</ROMSIZE><SOURCEROM>Dump &quot;A&quot;"
    "</SOURCEROM><LOCATION>7</LOCATION><RELEASENUMBER>0042</RELEASENUMBER>";
const std::string kJapaneseElements =
    "<TITLE>\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 \xE5\x86\x92\xE9\x99\xBA &amp; Caf\xC3\xA9</TITLE>"
    "<PUBLISHER>\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0</PUBLISHER><SAVETYPE>SRAM</SAVETYPE>"
    "<ROMSIZE>8 Mbit</ROMSIZE><SOURCEROM>Disk</SOURCEROM><LOCATION>21</LOCATION>"
    "<RELEASENUMBER>\xEF\xBC\xA1"
    "12</RELEASENUMBER>";

std::string PeriodicList() {
    std::string list;
    for (int i = 0; i < 4000; ++i) list += ">0";
    return list + Game("0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>", "<TITLE>periodic</TITLE>");
}

// Every text element past the length the plug-in keeps in place, entities included.
std::string LongElements(std::string_view unit) {
    std::string text;
    while (text.size() < 600) text.append(unit).append(" &amp; ");
    std::string elements;
    for (const char* name : {"TITLE", "PUBLISHER", "SAVETYPE", "ROMSIZE", "SOURCEROM"}) {
        elements.append("<").append(name).append(">").append(text);
        elements.append("</").append(name).append(">");
    }
    return elements + "<LOCATION>" + std::string(300, ' ') + "7</LOCATION><RELEASENUMBER>" +
           std::string(300, '4') + "</RELEASENUMBER>";
}

std::vector<Scenario> Scenarios() {
    return {
        {"LongValuesConvertedToShiftJis",
         Utf8List(Game("0000ABCD", LongElements("\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"))), "ABCD",
         0, kShiftJisLocale},
        {"LongValuesOfAnAsciiList", Game("0000ABCD", LongElements("Kumo")), "ABCD", 0, nullptr},
        {"AsciiListInTheCLocale", "<GAMES>" + Game("0000ABCD", kElements) + "</GAMES>", "abcd", 0,
         nullptr},
        {"Utf8ListConvertedToShiftJis", Utf8List(Game("0000ABCD", kJapaneseElements)), "ABCD", 0,
         kShiftJisLocale},
        {"Utf8ListInAUtf8Locale", Utf8List(Game("0000ABCD", kJapaneseElements)), "abcd", 32,
         kUtf8Locale},
        {"Utf8ListInTheCLocaleConvertedForTheEnvironment",
         Utf8List(Game("0000ABCD", kJapaneseElements)), "ABCD", 0, nullptr, kShiftJisLocale},
        {"KeyNotInTheList", Utf8List(Game("0000ABCD", kElements)), "1234", 1, nullptr},
        {"SearchFallsBackToItsAutomaton", PeriodicList(),
         "0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>0>", 2, nullptr},
    };
}

void PrintTo(const Scenario& scenario, std::ostream* stream) { *stream << scenario.name; }

class AllocationFailure : public ::testing::TestWithParam<Scenario> {};

TEST_P(AllocationFailure, EveryExportReportsItOrAnswersAsUsual) {
    const Scenario& scenario = GetParam();
    USE_LOCALE(locale, scenario.locale != nullptr ? scenario.locale : "C");
    std::optional<ScopedEnvironmentVariable> environment;
    if (scenario.environment != nullptr) environment.emplace("LC_ALL", scenario.environment);
    const char* list = scenario.list.c_str();
    const char* key = scenario.key.c_str();
    const int32_t keyType = scenario.keyType;

    for (const NamedTextExport& text : kTextExports) {
        // Lazy set-up inside the C library (conversion modules, the locale's decoder) happens
        // on first use and is kept; it is not the call's to free.
        static_cast<void>(text.query(list, key, keyType, nullptr, 0));
        ExpectEveryFailureHandled(std::string(text.name) + " size query", [&](char*) {
            return text.query(list, key, keyType, nullptr, 0);
        });
        ExpectEveryFailureHandled(std::string(text.name) + " copy", [&](char* buffer) {
            return text.query(list, key, keyType, &buffer, kBufferSize);
        });
    }
    static_cast<void>(GetImgNum(list, key, keyType));
    ExpectEveryFailureHandled("GetImgNum", [&](char*) { return GetImgNum(list, key, keyType); });
}

INSTANTIATE_TEST_SUITE_P(Lists, AllocationFailure, ::testing::ValuesIn(Scenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

// A host in the C locale makes the plug-in load the locale its environment names, once for each
// environment. Here every call follows a change of environment (two spellings of one locale), so
// each load's allocations fail in turn. Without LOCPATH: glibc leaks its copy of it per load.
TEST(AllocationFailure, LoadingTheEnvironmentsLocale) {
    ScopedLocale plain("C");
    ASSERT_TRUE(plain.Active());
    const ScopedEnvironmentVariable noLocpath("LOCPATH", nullptr);
    const std::string list = Utf8List(Game("0000ABCD", kJapaneseElements));
    const char* const spellings[] = {"C.UTF-8", "C.utf8"};
    std::size_t next = 0;
    std::optional<ScopedEnvironmentVariable> environment;
    const auto changeEnvironment = [&] { environment.emplace("LC_ALL", spellings[next++ % 2]); };
    const auto title = [&](char* buffer) {
        return GetTitle(list.c_str(), "ABCD", 0, &buffer, kBufferSize);
    };
    std::string warmUpBuffer(kBufferSize, '#');
    for (int warmUp = 0; warmUp < 2; ++warmUp) {
        changeEnvironment();
        static_cast<void>(title(warmUpBuffer.data()));
    }
    ExpectEveryFailureHandled("GetTitle", title, changeEnvironment);
}

// What a usual ROM's calls need fits in place: the heap is slow under Wine, and every block is one
// more allocation that can fail. (In other codesets iconv_open allocates, natively only.)
TEST(AllocationFailure, UsualValuesNeedNoHeap) {
    USE_LOCALE(utf8, kUtf8Locale);
    for (const std::string& list : {Utf8List(Game("0000ABCD", kJapaneseElements)),
                                    "<GAMES>" + Game("0000ABCD", kElements) + "</GAMES>"}) {
        static_cast<void>(AskEveryExport(list, "ABCD"));  // the locale's decoder is set up once
        std::array<int32_t, 2 * std::size(kTextExports) + 1> results{};
        char buffer[kBufferSize];
        StartWatching(kFailNone);
        std::size_t next = 0;
        for (const NamedTextExport& text : kTextExports) {
            char* out = buffer;
            results[next++] = text.query(list.c_str(), "ABCD", 0, nullptr, 0);
            results[next++] = text.query(list.c_str(), "ABCD", 0, &out, kBufferSize);
        }
        results[next] = GetImgNum(list.c_str(), "ABCD", 0);
        const WatchReport report = StopWatching();
        EXPECT_EQ(report.attempts, 0U) << list;
        for (const int32_t result : results) EXPECT_GE(result, 0) << list;
    }
}

TEST(AllocationFailure, IdentityExportsDoNotAllocate) {
    char buffer[kBufferSize];
    char* out = buffer;
    StartWatching(0);
    const int32_t version = GetPluginVersion();
    const int32_t author = GetPluginAuthor(&out, kBufferSize);
    const int32_t description = GetPluginInfo(&out, kBufferSize);
    const WatchReport report = StopWatching();
    EXPECT_EQ(report.attempts, 0U);
    EXPECT_EQ(version, 101);
    EXPECT_GT(author, 0);
    EXPECT_EQ(description, 43);
}

}  // namespace
