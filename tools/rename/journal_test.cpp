#include "tools/rename/journal.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tools/os/errors.h"
#include "tools/os/paths.h"

namespace fs = std::filesystem;

namespace {

class JournalTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("qbt_journal_" + std::string(testing::UnitTest::GetInstance()
                                                    ->current_test_info()
                                                    ->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path Write(const std::string& text) {
        std::ofstream(folder_ / "journal.jsonl", std::ios::binary) << text;
        return folder_ / "journal.jsonl";
    }
    std::string Read() {
        std::ifstream file(folder_ / "journal.jsonl", std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    fs::path folder_;
};

TEST_F(JournalTest, AnExistingJournalIsAddedToNeverTruncated) {
    Write("{\"from\":\"/r/a\",\"to\":\"/r/b\"}\n");
    {
        JournalWriter journal(folder_ / "journal.jsonl");
        std::string error;
        ASSERT_TRUE(journal.Record("/r/c", "/r/d", error)) << error;
    }
    EXPECT_EQ(Read(), "{\"from\":\"/r/a\",\"to\":\"/r/b\"}\n{\"from\":\"/r/c\",\"to\":\"/r/d\"}\n");
}

// A name that is not UTF-8 (Linux allows any bytes) comes back byte for byte.
TEST_F(JournalTest, EntriesComeBackAsWrittenEvenNamesThatAreNotUtf8) {
#ifndef _WIN32
    const fs::path odd = fs::path("/r") / std::string("Ch\xE2teau.gba");
#else
    const fs::path odd = PathFromUtf8("/r/Ch\xC3\xA2teau.gba");
#endif
    {
        JournalWriter journal(folder_ / "journal.jsonl");
        std::string error;
        ASSERT_TRUE(journal.Record(odd, PathFromUtf8("/r/星.gba"), error)) << error;
    }
    const JournalContents contents = ReadJournal(folder_ / "journal.jsonl");
    ASSERT_EQ(contents.entries.size(), 1u);
    EXPECT_EQ(contents.entries[0].from, odd);
    EXPECT_EQ(contents.entries[0].to, PathFromUtf8("/r/星.gba"));
}

TEST_F(JournalTest, ATornLastLineIsNotDamageButOtherBadLinesAre) {
    const JournalContents torn =
        ReadJournal(Write("{\"from\":\"/r/a\",\"to\":\"/r/b\"}\n\n{\"from\": \"/r/"));
    EXPECT_EQ(torn.entries.size(), 1u);
    EXPECT_TRUE(torn.tornLastLine);
    EXPECT_TRUE(torn.damaged.empty());

    // A game list given by mistake: every line is damaged, none is an entry.
    const JournalContents list = ReadJournal(Write("<?xml version=\"1.0\"?>\n<games>\n</games>\n"));
    EXPECT_TRUE(list.entries.empty());
    EXPECT_EQ(list.damaged.size(), 3u);
    EXPECT_FALSE(list.tornLastLine);
    EXPECT_TRUE(list.damaged[0].starts_with("line 1: ")) << list.damaged[0];
}

TEST_F(JournalTest, AJournalThatCannotBeReadOrWrittenStopsTheRun) {
    try {
        ReadJournal(folder_ / "absent.jsonl");
        ADD_FAILURE();
    } catch (const ToolError& error) {
        EXPECT_EQ(error.exitCode, kExitUnreadableFile);
    }
    try {
        JournalWriter journal(folder_ / "absent" / "journal.jsonl");
        ADD_FAILURE();
    } catch (const ToolError& error) {
        EXPECT_EQ(error.exitCode, kExitRenameFailed);
    }
}

}  // namespace
