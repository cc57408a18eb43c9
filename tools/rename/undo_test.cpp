#include "tools/rename/undo.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>

#include "tools/disk/fake_disk.h"
#include "tools/disk/paths.h"
#include "tools/disk/pretend_disk.h"

namespace fs = std::filesystem;

namespace {

struct Step {
    std::string from;
    std::string to;
    bool placeholder = false;
};

JournalContents Journal(const std::vector<Step>& steps) {
    std::string text;
    for (const Step& step : steps) {
        text += R"({"from":"/roms/)" + step.from + R"(","to":"/roms/)" + step.to + '"' +
                (step.placeholder ? R"(,"placeholder":true)" : "") + "}\n";
    }
    return *ParseJournal(text, "journal");
}

// Undo on a folder that ignores letter case; its own steps go to a journal of its own here, on a
// disk of its own.
class UndoJournalTest : public testing::Test {
protected:
    // Each entry as "line N: outcome[: reason]", last rename first.
    std::vector<std::string> Undo(const JournalContents& journal, bool dryRun = false) {
        std::optional<JournalWriter> own;
        if (!dryRun) own.emplace(*JournalWriter::Open(ownDisk_, "/own.jsonl"));
        PretendDisk pretend(disk_);
        const UndoOutcome outcome =
            dryRun ? UndoJournal(journal, pretend, nullptr) : UndoJournal(journal, disk_, &*own);
        std::vector<std::string> lines;
        for (const UndoneEntry& entry : outcome.entries) {
            lines.push_back("line " + std::to_string(entry.line) + ": " + InWords(entry.outcome) +
                            (entry.reason.empty() ? "" : ": " + entry.reason));
        }
        return lines;
    }

    FakeDisk disk_;
    FakeDisk ownDisk_;
};

// After renames a -> b -> c, x -> X and ｔｈｅ -> ＴＨＥ (case only), one by link and unlink
// stopped between the two, and some done by hand since.
TEST_F(UndoJournalTest, LastRenameFirstAndNothingReplaced) {
    disk_.Add("/roms/c.gba", "A");      // a -> b -> c
    disk_.Add("/roms/X.gba", "X");      // x -> X
    disk_.Add("/roms/never.gba", "N");  // journaled, but the run stopped before the rename
    disk_.Add("/roms/taken.gba", "T");  // o -> n, and a new file took o since
    disk_.Add("/roms/o.gba", "new");
    disk_.Add("/roms/l.gba", "L");  // l -> half, both names still there
    disk_.AddSecondName("/roms/l.gba", "/roms/half.gba");
    disk_.Add(PathFromUtf8("/roms/ＴＨＥ.gba"), "T2");
    const JournalContents journal = Journal({{"a.gba", "b.gba"},
                                             {"b.gba", "c.gba"},
                                             {"x.gba", "X.gba"},
                                             {"never.gba", "renamed.gba"},
                                             {"o.gba", "taken.gba"},
                                             {"gone.gba", "moved.gba"},
                                             {"l.gba", "half.gba"},
                                             {"ｔｈｅ.gba", "ＴＨＥ.gba"}});
    const std::map<std::string, std::string> before = disk_.Files();
    const std::vector<std::string> expected{
        "line 8: restore",
        "line 7: restore",
        "line 6: skipped: neither /roms/gone.gba nor /roms/moved.gba exists: the file was "
        "renamed or removed since",
        "line 5: skipped: /roms/o.gba exists again: /roms/taken.gba is left as it is",
        "line 4: already in place",
        "line 3: restore",
        "line 2: restore",
        "line 1: restore"};
    EXPECT_EQ(Undo(journal, true), expected) << "a dry run sees each step after the one before";
    EXPECT_EQ(disk_.Files(), before) << "and changes nothing";

    std::vector<std::string> done = expected;
    for (std::string& line : done) {
        if (line.ends_with("restore")) line += "d";
    }
    EXPECT_EQ(Undo(journal), done);
    EXPECT_EQ(disk_.Files(), (std::map<std::string, std::string>{{"/roms/a.gba", "A"},
                                                                 {"/roms/l.gba", "L"},
                                                                 {"/roms/never.gba", "N"},
                                                                 {"/roms/o.gba", "new"},
                                                                 {"/roms/taken.gba", "T"},
                                                                 {"/roms/x.gba", "X"},
                                                                 {"/roms/ｔｈｅ.gba", "T2"}}));
}

// exFAT through FUSE, a run stopped at each point of a change of letter case made through a free
// name with held names, then undone, and undone again: every name back, no empty file left, and
// the second undo finds everything in place.
TEST_F(UndoJournalTest, ALetterCaseChangeStoppedAnywhereIsTakenBackWhole) {
    disk_.refusesToReplace = false;
    const std::vector<Step> steps{{"x.gba", ".qbt-rename-1.tmp", true},
                                  {".qbt-rename-1.tmp", "X.gba", true}};
    // The file's name and the empty files present at each point of the run, and the lines
    // journaled by then.
    const std::vector<std::vector<std::string>> stops{{"x.gba"},
                                                      {"x.gba", ".qbt-rename-1.tmp"},
                                                      {".qbt-rename-1.tmp"},
                                                      {".qbt-rename-1.tmp", "X.gba"},
                                                      {"X.gba"}};
    const std::size_t journaled[] = {1, 1, 1, 2, 2};
    for (std::size_t stop = 0; stop < stops.size(); ++stop) {
        disk_ = FakeDisk();
        disk_.refusesToReplace = false;
        disk_.Add("/roms/" + stops[stop].front(), "ROM");
        for (std::size_t held = 1; held < stops[stop].size(); ++held) {
            disk_.Add("/roms/" + stops[stop][held]);
        }
        const JournalContents journal =
            Journal(std::vector<Step>(steps.begin(), steps.begin() + journaled[stop]));
        Undo(journal);
        EXPECT_EQ(disk_.Files(), (std::map<std::string, std::string>{{"/roms/x.gba", "ROM"}}))
            << "stopped at point " << stop;
        for (const std::string& line : Undo(journal)) {
            EXPECT_TRUE(line.ends_with("already in place")) << line << ", point " << stop;
        }
        ownDisk_ = FakeDisk();
    }
}

// An undo stopped after holding the old name with an empty file is run again: the empty file
// is its own, recorded in the journal, and goes; one the journal does not record stays.
TEST_F(UndoJournalTest, AnUndoStoppedMidwayIsRunAgain) {
    disk_.refusesToReplace = false;
    disk_.Add("/roms/1.gba", "A");
    disk_.Add("/roms/a.gba");  // undo's placeholder for 1.gba -> a.gba
    disk_.Add("/roms/2.gba", "B");
    disk_.Add("/roms/b.gba");  // an empty file of the user's
    JournalContents journal = Journal({{"a.gba", "1.gba"}, {"b.gba", "2.gba"}});
    JournalEntry own;
    own.from = "/roms/1.gba";
    own.to = "/roms/a.gba";
    own.placeholder = own.undo = true;
    journal.entries.push_back(own);
    EXPECT_EQ(Undo(journal), (std::vector<std::string>{
                                 "line 2: skipped: /roms/b.gba exists again: /roms/2.gba is left "
                                 "as it is",
                                 "line 1: restored"}));
    EXPECT_EQ(disk_.Files(), (std::map<std::string, std::string>{
                                 {"/roms/2.gba", "B"}, {"/roms/a.gba", "A"}, {"/roms/b.gba", ""}}));
}

// A run killed after a folder's line, before the folder was made, or with a folder the user has
// filled since: undo removes only what the journal records as made and finds empty, never a
// folder that holds anything, nor a link, nor a file, and a dry run changes nothing.
TEST_F(UndoJournalTest, OnlyEmptyFoldersTheJournalRecordsAsMadeAreRemoved) {
    disk_.Add("/roms/a.gba", "A");            // journaled into (U)/, never moved
    disk_.Add("/roms/(E)/mine.gba", "mine");  // made by qbt, filled by the user
    disk_.AddFolder("/roms/(J)");             // made, empty
    disk_.AddFolder("/roms/(W)");             // there before: no line
    disk_.AddFolder("/elsewhere");
    disk_.AddLink("/roms/(L)", "/elsewhere");  // a folder made, since replaced by a link
    disk_.Add("/roms/(F)", "a file since");
    std::string text;
    for (const char* folder : {"(U)", "(E)", "(J)", "(L)", "(F)"}) {
        text += nlohmann::json{{"folder", std::string("/roms/") + folder}}.dump() + "\n";
    }
    text += R"({"from":"/roms/a.gba","to":"/roms/(U)/A.gba"})"
            "\n";
    const JournalContents journal = *ParseJournal(text, "journal");
    ASSERT_EQ(journal.entries.size(), 6u) << "a folder line first is a journal's";
    const std::map<std::string, std::string> before = disk_.Files(true);
    PretendDisk pretend(disk_);
    EXPECT_EQ(UndoJournal(journal, pretend, nullptr).foldersRemoved,
              std::vector<fs::path>{"/roms/(J)"});
    EXPECT_EQ(disk_.Files(true), before) << "a dry run";
    JournalWriter own = *JournalWriter::Open(ownDisk_, "/own.jsonl");
    const UndoOutcome undone = UndoJournal(journal, disk_, &own);
    EXPECT_EQ(undone.entries.front().outcome, Undone::kInPlace);
    EXPECT_EQ(undone.foldersRemoved, std::vector<fs::path>{"/roms/(J)"});
    EXPECT_EQ(undone.foldersKept, std::vector<fs::path>{"/roms/(E)"});
    std::map<std::string, std::string> after = before;
    after.erase("/roms/(J)/");
    EXPECT_EQ(disk_.Files(true), after);
    // A folder line cut short by a kill is the last line's, and never a rename.
    EXPECT_TRUE(ParseJournal(text + R"x({"folder":"/roms/(V)")x", "journal")->tornLastLine);
}

}  // namespace
