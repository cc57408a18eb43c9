#include "tools/rename/moves.h"

#include <nlohmann/json.hpp>
#include <optional>

#include "tools/os/fake_disk.h"
#include "tools/os/paths.h"
#include "tools/tests/scratch.h"

namespace fs = std::filesystem;

namespace {

// Moves in a folder that ignores letter case, journaled to a real file: each rename the disk is
// asked for must already be the journal's last line.
class MoveNameTest : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        journal_.emplace(scratch_ / "journal.jsonl");
        disk_.beforeRename = [this](const fs::path& from, const fs::path& to) {
            renames_.push_back(from.filename().string() + " -> " + to.filename().string());
            const std::string journal = ReadFile(scratch_ / "journal.jsonl");
            const nlohmann::json line{{"from", Utf8Of(from)}, {"to", Utf8Of(to)}};
            EXPECT_TRUE(journal.ends_with(line.dump() + "\n"))
                << "journaled before the rename: " << journal;
        };
    }
    void TearDown() override {
        journal_.reset();
        ScratchTest::TearDown();
    }

    Move MoveTo(const std::string& from, const std::string& to) {
        std::string error;
        return MoveName("/roms/" + from, "/roms/" + to, &*journal_, disk_, error);
    }

    FakeDisk disk_;
    std::optional<JournalWriter> journal_;
    std::vector<std::string> renames_;
};

TEST_F(MoveNameTest, JournalsEachMoveBeforeItAndNeverReplaces) {
    disk_.Add("/roms/a.gba", "A");
    disk_.Add("/roms/b.gba", "B");
    EXPECT_EQ(MoveTo("a.gba", "B.GBA"), Move::kNameTaken);
    EXPECT_EQ(MoveTo("a.gba", "c.gba"), Move::kMoved);
    EXPECT_EQ(disk_.Files(),
              (std::map<std::string, std::string>{{"/roms/b.gba", "B"}, {"/roms/c.gba", "A"}}));
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
