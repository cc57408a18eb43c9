#include "tools/rename/journal.h"

#include "tools/os/errors.h"
#include "tools/os/paths.h"
#include "tools/tests/scratch.h"

namespace fs = std::filesystem;

namespace {

using JournalTest = ScratchTest;

TEST_F(JournalTest, AnExistingJournalIsAddedToNeverTruncated) {
    WriteFile(scratch_ / "journal.jsonl", "{\"from\":\"/r/a\",\"to\":\"/r/b\"}\n");
    {
        JournalWriter journal(scratch_ / "journal.jsonl");
        std::string error;
        ASSERT_TRUE(journal.Record("/r/c", "/r/d", error)) << error;
    }
    EXPECT_EQ(ReadFile(scratch_ / "journal.jsonl"),
              "{\"from\":\"/r/a\",\"to\":\"/r/b\"}\n{\"from\":\"/r/c\",\"to\":\"/r/d\"}\n");
}

// Linux names may be any bytes: one that is not UTF-8 comes back byte for byte.
TEST_F(JournalTest, EntriesComeBackAsWrittenEvenNamesThatAreNotUtf8) {
#ifdef _WIN32
    const fs::path odd = PathFromUtf8("/r/Ch\xC3\xA2teau.gba");
#else
    const fs::path odd = fs::path("/r") / std::string("Ch\xE2teau.gba");
#endif
    {
        JournalWriter journal(scratch_ / "journal.jsonl");
        std::string error;
        ASSERT_TRUE(journal.Record(odd, PathFromUtf8("/r/星.gba"), error)) << error;
    }
    const JournalContents contents = ReadJournal(scratch_ / "journal.jsonl");
    ASSERT_EQ(contents.entries.size(), 1u);
    EXPECT_EQ(contents.entries[0].from, odd);
    EXPECT_EQ(contents.entries[0].to, PathFromUtf8("/r/星.gba"));
}

TEST_F(JournalTest, ATornLastLineIsNotDamageButOtherBadLinesAre) {
    WriteFile(scratch_ / "torn.jsonl", "{\"from\":\"/r/a\",\"to\":\"/r/b\"}\n\n{\"from\": \"/r/");
    const JournalContents torn = ReadJournal(scratch_ / "torn.jsonl");
    EXPECT_EQ(torn.entries.size(), 1u);
    EXPECT_TRUE(torn.tornLastLine);
    EXPECT_TRUE(torn.damaged.empty());

    // A game list given by mistake: every line is damaged, none is an entry.
    WriteFile(scratch_ / "list.xml", "<?xml version=\"1.0\"?>\n<games>\n</games>\n");
    const JournalContents list = ReadJournal(scratch_ / "list.xml");
    EXPECT_TRUE(list.entries.empty());
    EXPECT_EQ(list.damaged.size(), 3u);
    EXPECT_FALSE(list.tornLastLine);
    EXPECT_TRUE(list.damaged[0].starts_with("line 1: ")) << list.damaged[0];
}

TEST_F(JournalTest, AJournalThatCannotBeReadOrWrittenStopsTheRun) {
    const auto exitCodeOf = [](auto&& open) {
        try {
            open();
        } catch (const ToolError& error) {
            return error.exitCode;
        }
        return kExitEveryRomFound;
    };
    EXPECT_EQ(exitCodeOf([&] { ReadJournal(scratch_ / "absent.jsonl"); }), kExitUnreadableFile);
    EXPECT_EQ(exitCodeOf([&] { JournalWriter(scratch_ / "absent" / "journal.jsonl"); }),
              kExitRenameFailed);
}

}  // namespace
