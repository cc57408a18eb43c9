#include "tools/rename/moves.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tools/os/fake_disk.h"

namespace fs = std::filesystem;

namespace {

std::string LastLineOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::string last;
    while (std::getline(in, line)) last = line;
    return last;
}

// Moves on a folder that ignores letter case, journaled to a real file; at each rename the disk
// is asked for, the journal's last line must already name it.
class MoveNameTest : public testing::Test {
protected:
    void SetUp() override {
        journalPath_ = fs::temp_directory_path() /
                       ("qbt_moves_" +
                        std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                        ".jsonl");
        fs::remove(journalPath_);
        journal_.emplace(journalPath_);
        disk_.beforeRename = [this](const fs::path& from, const fs::path& to) {
            renames_.push_back(from.filename().string() + " -> " + to.filename().string());
            const std::string expected = "{\"from\":\"" + from.generic_string() + "\",\"to\":\"" +
                                         to.generic_string() + "\"}";
            EXPECT_EQ(LastLineOf(journalPath_), expected) << "journaled before the rename";
        };
    }
    void TearDown() override {
        journal_.reset();
        fs::remove(journalPath_);
    }

    Move MoveTo(const std::string& from, const std::string& to) {
        std::string error;
        return MoveName("/roms/" + from, "/roms/" + to, &*journal_, disk_, error);
    }

    FakeDisk disk_;
    fs::path journalPath_;
    std::optional<JournalWriter> journal_;
    std::vector<std::string> renames_;
};

TEST_F(MoveNameTest, JournalsEachMoveBeforeItAndNeverReplaces) {
    disk_.Add("/roms/a.gba", "A");
    disk_.Add("/roms/b.gba", "B");
    EXPECT_EQ(MoveTo("a.gba", "B.GBA"), Move::kNameTaken);
    EXPECT_EQ(MoveTo("a.gba", "c.gba"), Move::kMoved);
    EXPECT_EQ(disk_.Files(), (std::map<std::string, std::string>{{"/roms/b.gba", "B"},
                                                                 {"/roms/c.gba", "A"}}));
    EXPECT_EQ(renames_, std::vector<std::string>{"a.gba -> c.gba"});
}

// One step would be refused: the folder takes the new spelling for the file's own name.
TEST_F(MoveNameTest, ALetterCaseChangeGoesThroughAFreeNameInTwoJournaledSteps) {
    disk_.Add("/roms/lanternfish.gba", "L");
    disk_.Add("/roms/.qbt-rename-1.tmp", "someone else's");
    EXPECT_EQ(MoveTo("lanternfish.gba", "Lanternfish.gba"), Move::kMoved);
    EXPECT_EQ(disk_.Files(),
              (std::map<std::string, std::string>{{"/roms/.qbt-rename-1.tmp", "someone else's"},
                                                  {"/roms/Lanternfish.gba", "L"}}));
    EXPECT_EQ(renames_, (std::vector<std::string>{"lanternfish.gba -> .qbt-rename-2.tmp",
                                                  ".qbt-rename-2.tmp -> Lanternfish.gba"}));
}

}  // namespace
