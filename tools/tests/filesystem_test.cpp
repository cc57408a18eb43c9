// qbt rename and undo on the file systems of cards, mounted as many systems mount them: exFAT
// through exfat-fuse (no RENAME_NOREPLACE, no hard links, letter case ignored, a new inode
// number for each spelling of a name) and NTFS through ntfs-3g (no RENAME_NOREPLACE). Each test
// makes its image and mounts it with filesystems/image.sh, and takes it away after.
#include <signal.h>
#include <sys/vfs.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "tools/tests/tool_test.h"

namespace fs = std::filesystem;

namespace {

constexpr decltype(statfs::f_type) kFuseMagic = 0x65735546;

class OnCard : public ToolTest, public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        const fs::path mounts = scratch_ / "mounts";
        ASSERT_EQ(Image("mount"), 0);
        const fs::path skip = mounts / (std::string(GetParam()) + ".skip");
        if (fs::exists(skip)) GTEST_SKIP() << ReadFile(skip);
        // Never a plain folder in its place: the test would pass on the wrong file system.
        struct statfs mounted {};
        ASSERT_EQ(statfs((mounts / GetParam()).c_str(), &mounted), 0) << "not mounted";
        ASSERT_EQ(mounted.f_type, kFuseMagic) << GetParam() << " is not mounted through FUSE";
        card_ = mounts / GetParam();
    }
    void TearDown() override {
        EXPECT_EQ(Image("unmount"), 0);
        ToolTest::TearDown();
    }

    int Image(const std::string& action) {
        const std::string command = "bash '" QBT_CARD_IMAGES "' " + action + " " + GetParam() +
                                    " '" + (scratch_ / "mounts").string() + "' >/dev/null";
        return std::system(command.c_str());
    }

    fs::path card_;
};

// A few hundred ROMs and one already named but for the letter case (two steps through a free
// name): renamed, undone; then renamed again, killed midway, undone. Every name and byte is back
// each time, and no held name or free name is left.
TEST_P(OnCard, RenamesUndoesAndUndoesARunKilledMidway) {
    const fs::path roms = card_ / "roms";
    std::vector<Game> games = WriteManyRoms(roms, 300);
    const std::string caseOnly(300, 'c');
    WriteFile(roms / "case" / "0999 - GAME CASE (U).gba", caseOnly);
    games.push_back({caseOnly, "Game Case", "", "", "1", "999"});
    const fs::path list = scratch_ / "list.xml";
    WriteList(list, games);
    const std::map<std::string, std::string> before = Snapshot(roms);
    const std::vector<std::string> rename{"rename", "--apply",  "--journal", "",
                                          "--list", Utf8(list), Utf8(roms)};
    for (const bool killed : {false, true}) {
        const fs::path journal = scratch_ / (killed ? "killed.jsonl" : "journal.jsonl");
        std::vector<std::string> arguments = rename;
        arguments[3] = Utf8(journal);
        if (killed) {
            // After the first batches: on a card the first batch is journaled twice, the second
            // time with the names held first.
            const StoppedRun run =
                StopQbtMidway(arguments, journal, SIGKILL, false, scratch_, 100);
            ASSERT_EQ(run.signal, SIGKILL) << "qbt finished before it could be stopped";
        } else {
            const QbtRun run = Qbt(arguments);
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_TRUE(run.out.ends_with("\n301 renamed\n")) << run.out;
            EXPECT_EQ(NamesIn(roms / "case"), std::vector<std::string>{"0999 - Game Case (U).gba"});
            EXPECT_EQ(Snapshot(roms).size(), before.size());
        }
        EXPECT_NE(Snapshot(roms), before) << "files were renamed";
        const QbtRun undone = Qbt({"undo", Utf8(journal)});
        EXPECT_EQ(undone.exitCode, 0) << undone.err;
        EXPECT_EQ(Snapshot(roms), before) << (killed ? "killed midway" : "");
    }
}

INSTANTIATE_TEST_SUITE_P(FuseMounts, OnCard, testing::Values("exfat", "ntfs"),
                         [](const testing::TestParamInfo<const char*>& kind) {
                             return std::string(kind.param);
                         });

}  // namespace
