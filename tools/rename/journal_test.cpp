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
        ASSERT_TRUE(journal.Record({"/r/c", "/r/d"}, error)) << error;
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
        ASSERT_TRUE(journal.Record({odd, PathFromUtf8("/r/星.gba")}, error)) << error;
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

    WriteFile(
        scratch_ / "damaged.jsonl",
        "{\"from\":\"/r/a\",\"to\":\"/r/b\"}\nnot json\n{\"from\":\"/r/c\",\"to\":\"/r/d\"}\n");
    const JournalContents damaged = ReadJournal(scratch_ / "damaged.jsonl");
    EXPECT_EQ(damaged.entries.size(), 2u);
    ASSERT_EQ(damaged.damaged.size(), 1u);
    EXPECT_TRUE(damaged.damaged[0].starts_with("line 2: ")) << damaged.damaged[0];
}

// Read as written: a rename retried onto a held name is one rename, and the two steps of a change
// of letter case through a free name are one rename from the old spelling to the new.
TEST_F(JournalTest, RetriedRenamesAndLetterCaseStepsReadAsOne) {
    const JournalContents journal =
        ParseJournal(R"({"from":"/r/a","to":"/r/b"})"
                     "\n"
                     R"({"from":"/r/a","placeholder":true,"to":"/r/b"})"
                     "\n"
                     R"({"from":"/r/x","to":"/r/.qbt-rename-1.tmp"})"
                     "\n"
                     R"({"from":"/r/.qbt-rename-1.tmp","placeholder":true,"to":"/r/X"})"
                     "\n"
                     R"({"from":"/r/X","to":"/r/.qbt-rename-1.tmp","undo":true})"
                     "\n",
                     "journal");
    ASSERT_EQ(journal.entries.size(), 3u);
    EXPECT_TRUE(journal.entries[0].placeholder);
    EXPECT_EQ(journal.entries[1].line, 3u);
    EXPECT_EQ(journal.entries[1].from, "/r/x");
    EXPECT_EQ(journal.entries[1].via, "/r/.qbt-rename-1.tmp");
    EXPECT_EQ(journal.entries[1].to, "/r/X");
    EXPECT_TRUE(journal.entries[2].undo) << "undo's own steps are kept apart";
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
    // A game list given by mistake is refused in one line, not one complaint per line of it.
    WriteFile(scratch_ / "list.xml", "<?xml version=\"1.0\"?>\n<games>\n</games>\n");
    EXPECT_EQ(exitCodeOf([&] { ReadJournal(scratch_ / "list.xml"); }), kExitUnreadableFile);
    EXPECT_EQ(exitCodeOf([&] { JournalWriter(scratch_ / "absent" / "journal.jsonl"); }),
              kExitRenameFailed);
}

}  // namespace
