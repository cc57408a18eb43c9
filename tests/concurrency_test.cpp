// Hosts may call from many threads at once, each with its own buffer, on one shared list text,
// and each thread may run in a locale of its own. Every answer must be the one a single thread
// gets. Run under ThreadSanitizer by the tsan preset.
#include <gtest/gtest.h>
#include <locale.h>

#include <atomic>
#include <latch>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/host_calls.h"
#include "tests/scoped_locale.h"
#include "tests/support/game_list_generator.h"

namespace {

constexpr int kThreads = 8;

struct Question {
    std::string key;
    int32_t keyType;
};

// Everything a host can ask about one key: each field export the host's way, and the plug-in's
// identity.
std::vector<HostAnswer> AskEverything(const std::string& list, const Question& question) {
    std::vector<HostAnswer> answers = AskEveryExport(list, question.key, question.keyType);
    char identity[64];
    char* out = identity;
    answers.push_back({GetPluginAuthor(&out, sizeof identity), identity});
    answers.push_back({GetPluginInfo(&out, sizeof identity), identity});
    answers.push_back({GetPluginVersion(), ""});
    return answers;
}

// The first wrong answer any thread saw.
class Mismatches {
public:
    void Report(std::string what) {
        const std::lock_guard lock(mutex_);
        if (first_.empty()) first_ = std::move(what);
    }
    std::string First() const { return first_; }

private:
    std::mutex mutex_;
    std::string first_;
};

// Runs work(thread) on kThreads threads released at the same moment.
template <typename Work>
void RunTogether(Work work) {
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([&, thread] {
            start.arrive_and_wait();
            work(thread);
        });
    }
    for (std::thread& thread : threads) thread.join();
}

TEST(Concurrency, EveryExportFromManyThreadsAnswersAsOneThreadDoes) {
    const GeneratedList generated = GenerateGameList(128 * 1024);
    const std::string list = generated.text + Game("ABCD", "<TITLE>short key</TITLE>");
    std::vector<Question> questions = {{kAbsentKey, 0}, {"abcd", 0}, {"ABCD", 2}};
    for (std::size_t i = 0; i < generated.keys.size(); i += generated.keys.size() / 24) {
        questions.push_back({generated.keys[i], static_cast<int32_t>(i % 3 == 0 ? 32 : 0)});
    }
    std::vector<std::vector<HostAnswer>> expected;
    for (const Question& question : questions) expected.push_back(AskEverything(list, question));

    Mismatches mismatches;
    RunTogether([&](int thread) {
        // Each thread starts at another question, so different keys are looked up at once.
        for (std::size_t round = 0; round < 4 * questions.size(); ++round) {
            const std::size_t index =
                (round + static_cast<std::size_t>(thread) * 5) % questions.size();
            if (AskEverything(list, questions[index]) != expected[index]) {
                mismatches.Report("thread " + std::to_string(thread) + ", key " +
                                  questions[index].key);
            }
        }
    });
    EXPECT_EQ(mismatches.First(), "");
}

// The conversion and the release number's classification follow the calling thread's locale:
// threads in Shift_JIS, UTF-8 and C locales at once each get their own locale's answers.
TEST(Concurrency, ThreadsInDifferentLocalesDoNotDisturbEachOther) {
    const std::string list =
        Utf8List(Game("0000000A",
                      "<TITLE>\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 Caf\xC3\xA9</TITLE>"
                      "<PUBLISHER>\xE5\x86\x92\xE9\x99\xBA &amp; Co</PUBLISHER>"
                      "<RELEASENUMBER>\xC3\xA9"
                      "12</RELEASENUMBER>") +
                 Game("0000000B",
                      "<TITLE>\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0</TITLE>"
                      "<RELEASENUMBER>\xEF\xBC\x91</RELEASENUMBER>"));
    const std::vector<Question> questions = {{"A", 0}, {"b", 0}};
    // The host made these before its threads started (so glibc loads each locale once, outside
    // them); each thread takes one with uselocale.
    const char* const names[] = {kShiftJisLocale, kUtf8Locale, "C"};
    std::vector<locale_t> locales;
    std::vector<std::vector<std::vector<HostAnswer>>> expected;
    for (const char* name : names) {
        locales.push_back(newlocale(LC_ALL_MASK, name, nullptr));
        ASSERT_NE(locales.back(), nullptr) << name << " missing; the test setup generates it";
        uselocale(locales.back());
        expected.emplace_back();
        for (const Question& question : questions) {
            expected.back().push_back(AskEverything(list, question));
        }
        uselocale(LC_GLOBAL_LOCALE);
    }
    ASSERT_NE(expected[0], expected[1]) << "the locales must give different answers";
    ASSERT_NE(expected[1], expected[2]) << "the locales must give different answers";

    Mismatches mismatches;
    RunTogether([&](int thread) {
        const std::size_t which = static_cast<std::size_t>(thread) % locales.size();
        uselocale(locales[which]);
        for (int round = 0; round < 40; ++round) {
            for (std::size_t index = 0; index < questions.size(); ++index) {
                if (AskEverything(list, questions[index]) != expected[which][index]) {
                    mismatches.Report(std::string(names[which]) + ", key " + questions[index].key);
                }
            }
        }
        uselocale(LC_GLOBAL_LOCALE);
    });
    EXPECT_EQ(mismatches.First(), "");
    for (locale_t locale : locales) freelocale(locale);
}

}  // namespace
