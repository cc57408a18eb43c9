#include "tools/cli/undo_command.h"

#include <gtest/gtest.h>

#include "tools/disk/fake_disk.h"

namespace {

using Files = std::map<std::string, std::string>;

// Undo reads the journal and puts the name back on the disk it is handed: a dry run changes
// nothing, the real one writes its own step into the journal it undoes.
TEST(RunUndo, PutsNamesBackOnTheDiskItIsHanded) {
    FakeDisk disk;
    const std::string line = R"({"from":"/roms/a.gba","to":"/roms/b.gba"})"
                             "\n";
    disk.Add("/journal.jsonl", line);
    disk.Add("/roms/b.gba", "ROM");
    const Files before = disk.Files();
    UndoOptions options;
    options.journals = {"/journal.jsonl"};

    options.dryRun = true;
    const Report plan = RunUndo(options, disk);
    EXPECT_EQ(disk.Files(), before);
    EXPECT_EQ(plan.linesAfter, (std::vector<std::string>{"", "1 to restore, 0 already in place"}));

    options.dryRun = false;
    const Report undone = RunUndo(options, disk);
    EXPECT_EQ(undone.exitCode, kExitDone);
    const Files after = disk.Files();
    EXPECT_EQ(after.count("/roms/b.gba"), 0u);
    EXPECT_EQ(after.at("/roms/a.gba"), "ROM");
    EXPECT_NE(after.at("/journal.jsonl").find(R"("undo":true)", line.size()), std::string::npos);
}

}  // namespace
