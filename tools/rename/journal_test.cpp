#include "tools/rename/journal.h"

#include <optional>

#include "tools/disk/fake_disk.h"
#include "tools/disk/paths.h"
#include "tools/disk/pretend_disk.h"
#include "tools/rename/journal_reading.h"
#include "tools/tests/scratch.h"

namespace fs = std::filesystem;

namespace {

const fs::path kJournal = "/journal.jsonl";

// The steps written to the journal on `disk`, synced.
void Write(FakeDisk& disk, const std::vector<JournalStep>& steps) {
    JournalWriter journal = *JournalWriter::Open(disk, kJournal);
    for (const JournalStep& step : steps) journal.Record(step);
    const DiskResult<> synced = journal.Sync();
    ASSERT_TRUE(synced.Ok()) << synced.Why().reason;
}

std::string TextOf(FakeDisk& disk) { return disk.Files().at(Utf8Of(kJournal)); }

// Added to, never truncated; the room kept after the last line is written over, and a last line
// cut short, whose rename never happened, too.
TEST(Journal, WrittenAfterItsLastLineOverTheRoomAndALineCutShort) {
    FakeDisk disk;
    disk.Add(kJournal, "{\"from\":\"/r/a\",\"to\":\"/r/b\"}\n");
    Write(disk, {{"/r/c", "/r/d"}});
    const std::string two =
        "{\"from\":\"/r/a\",\"to\":\"/r/b\"}\n{\"from\":\"/r/c\",\"to\":\"/r/d\"}\n";
    ASSERT_TRUE(TextOf(disk).starts_with(two));
    EXPECT_EQ(TextOf(disk).find_first_not_of(' ', two.size()), TextOf(disk).size() - 1)
        << "room, then a newline";
    EXPECT_EQ(ReadJournal(disk, kJournal)->entries.size(), 2u);

    disk.Add(kJournal, two + "{\"from\":\"/r/e\",\"to\":\"/r/" + std::string(10, ' ') + "\n");
    const JournalContents torn = *ReadJournal(disk, kJournal);
    EXPECT_TRUE(torn.tornLastLine);
    EXPECT_TRUE(torn.damaged.empty());
    Write(disk, {{"/r/f", "/r/g"}});
    EXPECT_TRUE(TextOf(disk).starts_with(two + "{\"from\":\"/r/f\",\"to\":\"/r/g\"}\n"));
    const JournalContents whole = *ReadJournal(disk, kJournal);
    EXPECT_EQ(whole.entries.size(), 3u);
    EXPECT_FALSE(whole.tornLastLine);
    EXPECT_TRUE(whole.damaged.empty());
}

// Linux names may be any bytes: one that is not UTF-8 comes back byte for byte, and one holding
// a tab, a newline or another control character stays on its line.
TEST(Journal, EntriesComeBackAsWrittenWhateverTheirNamesHold) {
#ifdef _WIN32
    const fs::path odd = PathFromUtf8("/r/Ch\xC3\xA2teau.gba");
#else
    const fs::path odd = fs::path("/r") / std::string("Ch\xE2teau.gba");
#endif
    const std::vector<JournalStep> steps{{odd, PathFromUtf8("/r/星.gba")},
                                         {"/r/a\tb.gba", "/r/c\nd.gba"},
                                         {"/r/\x01\x1f\x7f\"\\.gba", "/r/e.gba"}};
    FakeDisk disk;
    Write(disk, steps);
    const JournalContents contents = *ReadJournal(disk, kJournal);
    ASSERT_EQ(contents.entries.size(), steps.size());
    for (std::size_t at = 0; at < steps.size(); ++at) {
        EXPECT_EQ(contents.entries[at].from, steps[at].from);
        EXPECT_EQ(contents.entries[at].to, steps[at].to);
    }
}

// A rename's lines keep room for undo's: on a disk that the rename filled to the last byte,
// undo's own lines are still written.
TEST(Journal, UndoWritesItsLinesOnADiskLeftFull) {
    FakeDisk disk;
    std::vector<JournalStep> renames;
    std::vector<JournalStep> undone;
    for (const std::string name : {"a", "b", "c"}) {
        renames.push_back({"/roms/" + name + ".gba", "/roms/Game " + name + ".gba"});
        undone.push_back({renames.back().to, renames.back().from, true, true});
    }
    Write(disk, renames);
    disk.spaceLeft = 0;
    Write(disk, undone);
    const JournalContents contents = *ReadJournal(disk, kJournal);
    ASSERT_EQ(contents.entries.size(), 6u);
    EXPECT_TRUE(contents.entries[5].undo && contents.entries[5].placeholder);
}

TEST(Journal, ATornLastLineIsNotDamageButOtherBadLinesAre) {
    const JournalContents torn =
        *ParseJournal("{\"from\":\"/r/a\",\"to\":\"/r/b\"}\n\n{\"from\": \"/r/", "journal");
    EXPECT_EQ(torn.entries.size(), 1u);
    EXPECT_TRUE(torn.tornLastLine);
    EXPECT_TRUE(torn.damaged.empty());

    const JournalContents damaged = *ParseJournal(
        "{\"from\":\"/r/a\",\"to\":\"/r/b\"}\nnot json\n{\"from\":\"/r/c\",\"to\":\"/r/d\"}\n",
        "journal");
    EXPECT_EQ(damaged.entries.size(), 2u);
    ASSERT_EQ(damaged.damaged.size(), 1u);
    EXPECT_TRUE(damaged.damaged[0].starts_with("line 2: ")) << damaged.damaged[0];
}

// Read as written: a rename retried onto a held name is one rename, even with the lines of other
// renames between the two, and the two steps of a change of letter case through a free name are
// one rename from the old spelling to the new.
TEST(Journal, RetriedRenamesAndLetterCaseStepsReadAsOne) {
    const JournalContents journal =
        *ParseJournal(R"({"from":"/r/a","to":"/r/b"})"
                      "\n"
                      R"({"from":"/r/c","to":"/r/d"})"
                      "\n"
                      R"({"from":"/r/a","placeholder":true,"to":"/r/b"})"
                      "\n"
                      R"({"from":"/r/x","to":"/r/.qbt-rename-1.tmp"})"
                      "\n"
                      R"({"from":"/r/.qbt-rename-1.tmp","placeholder":true,"to":"/r/X"})"
                      "\n"
                      R"({"from":"/r/X","to":"/r/.qbt-rename-1.tmp","undo":true})"
                      "\n"
                      R"({"from":"/r/b","to":"/r/a"})"
                      "\n"
                      R"({"from":"/r/a","placeholder":true,"to":"/r/b"})"
                      "\n",
                      "journal");
    ASSERT_EQ(journal.entries.size(), 6u);
    EXPECT_TRUE(journal.entries[0].placeholder);
    EXPECT_FALSE(journal.entries[1].placeholder);
    EXPECT_EQ(journal.entries[2].line, 4u);
    EXPECT_EQ(journal.entries[2].from, "/r/x");
    EXPECT_EQ(journal.entries[2].via, "/r/.qbt-rename-1.tmp");
    EXPECT_EQ(journal.entries[2].to, "/r/X");
    EXPECT_TRUE(journal.entries[3].undo) << "undo's own steps are kept apart";
    EXPECT_EQ(journal.entries[5].line, 8u) << "a -> b again after b -> a is a rename of its own";
}

TEST(Journal, AJournalThatCannotBeReadOrWrittenStopsTheRun) {
    const auto kindOf = [](const auto& result) {
        return result.Ok() ? std::optional<FailureKind>() : result.Why().kind;
    };
    FakeDisk disk;
    EXPECT_EQ(kindOf(ReadJournal(disk, "/absent.jsonl")), FailureKind::kCannotRead);
    // A game list given by mistake is refused in one line, not one complaint per line of it,
    // even without a newline at its end.
    disk.Add("/list.xml", "<?xml version=\"1.0\"?>\n<games>\n</games>");
    EXPECT_EQ(kindOf(ReadJournal(disk, "/list.xml")), FailureKind::kCannotRead);
    disk.Add("/note.txt", "{\"from\": is how it starts");
    EXPECT_EQ(kindOf(ReadJournal(disk, "/note.txt")), FailureKind::kCannotRead);
    PretendDisk dryRun(disk);
    EXPECT_EQ(kindOf(JournalWriter::Open(dryRun, "/journal.jsonl")), FailureKind::kRefused);
}

}  // namespace
