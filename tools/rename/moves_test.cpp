#include "tools/rename/moves.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <tuple>

#include "tools/disk/fake_disk.h"
#include "tools/disk/paths.h"
#include "tools/rename/undo.h"

namespace fs = std::filesystem;

namespace {

const fs::path kJournal = "/journal.jsonl";

// The journal's lines as last synced, all a crash would leave, without the room after them.
std::vector<std::string> LinesOf(const FakeDisk& disk) {
    std::istringstream text(disk.SyncedText(kJournal));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        if (line.find_first_not_of(' ') != std::string::npos) lines.push_back(line);
    }
    return lines;
}

// Whether a line synced names the step; with no `from`, a step onto a name held first.
bool Synced(const FakeDisk& journal, const fs::path& from, const fs::path& to) {
    for (const std::string& line : LinesOf(journal)) {
        const nlohmann::json step = nlohmann::json::parse(line);
        // value(), not [], which on a const object is undefined for a key a folder line lacks.
        const bool fromMatches = from.empty() ? step.value("placeholder", false)
                                              : step.value("from", "") == Utf8Of(from);
        if (step.value("to", "") == Utf8Of(to) && fromMatches) {
            return true;
        }
    }
    return false;
}

// How a move went: "moved", or why not ("name taken", "refused", "journal failed").
std::string HowItWent(const MoveResult& moved) {
    if (moved.Ok()) return "moved";
    switch (moved.Why().kind) {
        case MoveError::kNameTaken: return "name taken";
        case MoveError::kRefused: return "refused";
        case MoveError::kJournalFailed: return "journal failed";
    }
    return "";
}

// Moves on a folder that ignores letter case, journaled on a disk of the journal's own; at each
// rename the disk is asked for, and each name held, the journal as synced must already name it.
// Run on a disk with the kernel's RENAME_NOREPLACE and on one as exfat-fuse mounts exFAT, with
// neither it nor hard links.
class MoveNameTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        journal_.emplace(*JournalWriter::Open(journalDisk_, kJournal));
        mover_.emplace(disk_, &*journal_);
        disk_.refusesToReplace = GetParam();
        disk_.beforeRename = [this](const fs::path& from, const fs::path& to) {
            // Asked once more onto the held name, where the first try could not refuse.
            const std::string rename = Utf8Of(from.filename()) + " -> " + Utf8Of(to.filename());
            if (renames_.empty() || renames_.back() != rename) renames_.push_back(rename);
            EXPECT_TRUE(Synced(journalDisk_, from, to)) << rename << ": not journaled";
        };
        disk_.beforeReserve = [this](const fs::path& path) {
            EXPECT_TRUE(Synced(journalDisk_, {}, path))
                << Utf8Of(path) << ": held before the journal says so";
        };
    }

    std::string MoveTo(const std::string& from, const std::string& to) {
        return HowItWent(
            mover_->MoveName(PathFromUtf8("/roms/" + from), PathFromUtf8("/roms/" + to)));
    }

    FakeDisk disk_;
    FakeDisk journalDisk_;
    std::optional<JournalWriter> journal_;
    std::optional<Mover> mover_;
    std::vector<std::string> renames_;
};

TEST_P(MoveNameTest, JournalsEachMoveBeforeItAndNeverReplaces) {
    disk_.Add("/roms/a.gba", "A");
    disk_.Add("/roms/b.gba", "B");
    EXPECT_EQ(MoveTo("a.gba", "B.GBA"), "name taken");
    EXPECT_EQ(MoveTo("a.gba", "c.gba"), "moved");
    EXPECT_EQ(disk_.Files(),
              (std::map<std::string, std::string>{{"/roms/b.gba", "B"}, {"/roms/c.gba", "A"}}));
    EXPECT_EQ(renames_, std::vector<std::string>{"a.gba -> c.gba"});
}

// One step would be refused: the folder takes the new spelling for the file's own name, whatever
// its letters (exFAT and NTFS ignore the case of all of them).
TEST_P(MoveNameTest, ALetterCaseChangeGoesThroughAFreeNameInTwoJournaledSteps) {
    disk_.Add("/roms/.qbt-rename-1.tmp", "someone else's");
    std::map<std::string, std::string> expected{{"/roms/.qbt-rename-1.tmp", "someone else's"}};
    for (const auto& [from, to] :
         std::vector<std::pair<std::string, std::string>>{{"lanternfish.gba", "Lanternfish.gba"},
                                                          {"ærøskøbing.gba", "Ærøskøbing.gba"},
                                                          {"ｔｈｅ.gba", "ＴＨＥ.gba"}}) {
        disk_.Add(PathFromUtf8("/roms/" + from), to);
        renames_.clear();
        EXPECT_EQ(MoveTo(from, to), "moved") << to;
        expected["/roms/" + to] = to;
        EXPECT_EQ(disk_.Files(), expected);
        EXPECT_EQ(renames_, (std::vector<std::string>{from + " -> .qbt-rename-2.tmp",
                                                      ".qbt-rename-2.tmp -> " + to}));
    }
}

// A plan's renames wait for one sync of the journal per batch, not one each (on exFAT one more,
// when the first rename finds that the folder needs held names), and read back as one each.
TEST_P(MoveNameTest, APlanIsJournaledOneSyncPerBatch) {
    std::vector<RenameItem> items;
    std::vector<std::size_t> order;
    for (int number = 0; number < 100; ++number) {
        const std::string name = std::to_string(number);
        disk_.Add("/roms/" + name + ".gba", name);
        items.push_back({"/roms/" + name + ".gba", "", "Game " + name + ".gba", Outcome::kRename,
                         "", std::nullopt});
        order.push_back(items.size() - 1);
    }
    ApplyPlan(items, order, *journal_, disk_);
    for (const RenameItem& item : items) EXPECT_EQ(item.outcome, Outcome::kRenamed) << item.reason;
    EXPECT_EQ(disk_.Files().count("/roms/Game 99.gba"), 1u);
    EXPECT_EQ(renames_.size(), 100u);
    EXPECT_LE(journalDisk_.syncs, 4u);
    const JournalContents journal = *ReadJournal(journalDisk_, kJournal);
    ASSERT_EQ(journal.entries.size(), 100u);
    EXPECT_EQ(journal.entries[0].placeholder, !GetParam());
}

// Folders a pattern makes: each is on the journal's disk before it is made, one that was there
// is not journaled, a link put on the way once planned is a conflict; undo puts every file back
// and takes away the folders made, deepest first, and nothing else.
TEST_P(MoveNameTest, FoldersAreJournaledBeforeTheyAreMadeAndUndoTakesThemAway) {
    disk_.Add("/roms/(E)/keep.gba", "K");
    disk_.AddFolder("/elsewhere");
    disk_.AddLink("/roms/(J)", "/elsewhere");
    std::vector<RenameItem> items;
    for (const auto& [file, newName] :
         std::vector<std::pair<std::string, std::string>>{{"a.gba", "(U)/x/A.gba"},
                                                          {"b.gba", "(E)/B.gba"},
                                                          {"c.gba", "(U)/C.gba"},
                                                          {"d.gba", "(J)/D.gba"}}) {
        disk_.Add("/roms/" + file, file);
        items.push_back({"/roms/" + file, "", newName, Outcome::kRename, "", std::nullopt});
    }
    const std::map<std::string, std::string> before = disk_.Files(true);
    std::vector<fs::path> made;
    disk_.beforeMakeFolder = [&](const fs::path& folder) {
        made.push_back(folder);
        EXPECT_NE(journalDisk_.SyncedText(kJournal).find(
                      nlohmann::json{{"folder", Utf8Of(folder)}}.dump()),
                  std::string::npos)
            << Utf8Of(folder) << ": made before the journal says so";
    };
    ApplyPlan(items, {0, 1, 2, 3}, *journal_, disk_);
    EXPECT_EQ(items[3].outcome, Outcome::kConflict);
    EXPECT_EQ(made, (std::vector<fs::path>{Absolute("/roms/(U)"), Absolute("/roms/(U)/x")}));
    EXPECT_EQ(disk_.Files(), (std::map<std::string, std::string>{{"/roms/(E)/B.gba", "b.gba"},
                                                                 {"/roms/(E)/keep.gba", "K"},
                                                                 {"/roms/(J)", "-> /elsewhere"},
                                                                 {"/roms/(U)/C.gba", "c.gba"},
                                                                 {"/roms/(U)/x/A.gba", "a.gba"},
                                                                 {"/roms/d.gba", "d.gba"}}));
    disk_.beforeRename = nullptr;  // undo journals to a disk of its own
    disk_.beforeReserve = nullptr;
    FakeDisk ownDisk;
    JournalWriter own = *JournalWriter::Open(ownDisk, "/own.jsonl");
    const UndoOutcome undone = UndoJournal(*ReadJournal(journalDisk_, kJournal), disk_, &own);
    EXPECT_EQ(undone.foldersRemoved,
              (std::vector<fs::path>{Absolute("/roms/(U)/x"), Absolute("/roms/(U)")}));
    EXPECT_EQ(disk_.Files(true), before);
}

INSTANTIATE_TEST_SUITE_P(Disks, MoveNameTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& refuses) {
                             return refuses.param ? "RenameNoReplace" : "ExfatFuse";
                         });

// Where the file system can refuse to replace a file in no way, the journal says that the new
// name is held first, before the empty file is made; the folder is asked once, by its first
// rename, and the later ones go that way at once. A rename onto the held name that fails leaves
// no empty file under the new name.
TEST(Mover, WithoutRenameNoReplaceTheNameIsHeldFirstAndEachFolderAskedOnce) {
    FakeDisk journalDisk;
    FakeDisk disk;
    disk.refusesToReplace = false;
    disk.Add("/roms/a.gba", "A");
    disk.Add("/roms/b.gba", "B");
    disk.Add("/roms/held.gba", "");  // an empty file of the user's: never replaced
    disk.Add("/roms/d.gba", "D");
    disk.failingRenames.insert("/roms/d.gba");
    disk.Add("/other/c.gba", "C");
    {
        JournalWriter journal = *JournalWriter::Open(journalDisk, kJournal);
        Mover mover(disk, &journal);
        EXPECT_EQ(HowItWent(mover.MoveName("/roms/a.gba", "/roms/1.gba")), "moved");
        EXPECT_EQ(HowItWent(mover.MoveName("/roms/b.gba", "/roms/held.gba")), "name taken");
        EXPECT_EQ(HowItWent(mover.MoveName("/roms/b.gba", "/roms/2.gba")), "moved");
        EXPECT_EQ(HowItWent(mover.MoveName("/roms/d.gba", "/roms/4.gba")), "refused");
        EXPECT_EQ(HowItWent(mover.MoveName("/other/c.gba", "/other/3.gba")), "moved");
    }
    EXPECT_EQ(disk.Files(), (std::map<std::string, std::string>{{"/other/3.gba", "C"},
                                                                {"/roms/1.gba", "A"},
                                                                {"/roms/2.gba", "B"},
                                                                {"/roms/d.gba", "D"},
                                                                {"/roms/held.gba", ""}}));
    const std::string held = ",\"placeholder\":true,";
    EXPECT_EQ(
        LinesOf(journalDisk),
        (std::vector<std::string>{R"({"from":"/roms/a.gba","to":"/roms/1.gba"})",
                                  R"({"from":"/roms/a.gba")" + held + R"("to":"/roms/1.gba"})",
                                  R"({"from":"/roms/b.gba")" + held + R"("to":"/roms/2.gba"})",
                                  R"({"from":"/roms/d.gba")" + held + R"("to":"/roms/4.gba"})",
                                  R"({"from":"/other/c.gba","to":"/other/3.gba"})",
                                  R"({"from":"/other/c.gba")" + held + R"("to":"/other/3.gba"})"}));
}

// What a run stopped between holding a name and renaming onto it leaves is cleared by the next
// run that adds to its journal; nothing else, not even an empty file of the user's.
TEST(ClearStrayPlaceholders, OnlyAnEmptyPlaceholderOfARenameThatNeverHappenedIsCleared) {
    FakeDisk disk;
    disk.Add("/roms/a.gba", "A");  // held 1.gba, stopped before the rename
    disk.Add("/roms/1.gba", "");
    disk.Add("/roms/2.gba", "B");  // renamed b -> 2: not a placeholder any more
    disk.Add("/roms/c.gba", "C");  // c -> 3 held, but 3.gba has been filled since
    disk.Add("/roms/3.gba", "mine");
    disk.Add("/roms/4.gba", "");  // an empty file the journal records as no placeholder
    disk.Add("/roms/d.gba", "D");
    JournalContents journal;
    for (const auto& [from, to, placeholder] :
         std::vector<std::tuple<std::string, std::string, bool>>{
             {"a", "1", true}, {"b", "2", true}, {"c", "3", true}, {"d", "4", false}}) {
        JournalEntry entry;
        entry.from = "/roms/" + from + ".gba";
        entry.to = "/roms/" + to + ".gba";
        entry.placeholder = placeholder;
        journal.entries.push_back(entry);
    }
    EXPECT_EQ(ClearStrayPlaceholders(journal, disk), 1u);
    EXPECT_EQ(disk.Files(), (std::map<std::string, std::string>{{"/roms/2.gba", "B"},
                                                                {"/roms/3.gba", "mine"},
                                                                {"/roms/4.gba", ""},
                                                                {"/roms/a.gba", "A"},
                                                                {"/roms/c.gba", "C"},
                                                                {"/roms/d.gba", "D"}}));
}

}  // namespace
