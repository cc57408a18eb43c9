#include "tools/cli/rename_command.h"

#include <gtest/gtest.h>

#include "tools/disk/fake_disk.h"
#include "tools/host/test_plugin.h"
#include "tools/rename/name_pattern.h"

namespace {

using Files = std::map<std::string, std::string>;

// The sample list's first game, and a file in no list; they lie only on the disk handed in.
const std::string kLanternfish(1024, 'A');

RenameOptions OnSampleList() {
    RenameOptions options;
    options.list.list = QBT_SAMPLE_LIST;
    options.pattern = kDefaultNamePattern;
    options.json = true;
    options.jobs = 1;
    options.paths = {"/roms"};
    return options;
}

// A dry run changes nothing; --apply renames the ROM and its save, each after a line in the
// journal, all on the disk the command is handed.
TEST(RunRename, PlansAndRenamesOnTheDiskItIsHanded) {
    FakeDisk disk;
    disk.Add("/roms/a.gba", kLanternfish);
    disk.Add("/roms/a.sav", "save");
    disk.Add("/roms/unknown.bin", "in no list");
    const Files before = disk.Files();
    RenameOptions options = OnSampleList();

    const Report plan = RunRename(kLinkedPlugin, options, disk);
    EXPECT_EQ(disk.Files(), before);
    EXPECT_EQ((*plan.json)["summary"]["rename"], 1);
    EXPECT_EQ((*plan.json)["summary"]["companions"], 1);
    EXPECT_EQ(plan.exitCode, kExitNotEverything);

    options.apply = true;
    options.journalToWrite = "/journal.jsonl";
    const Report applied = RunRename(kLinkedPlugin, options, disk);
    EXPECT_EQ((*applied.json)["summary"]["renamed"], 1);
    Files files = disk.Files();
    EXPECT_EQ(files.count("/journal.jsonl"), 1u);
    files.erase("/journal.jsonl");
    EXPECT_EQ(files, (Files{{"/roms/0001 - Lanternfish Lagoon (U).gba", kLanternfish},
                            {"/roms/0001 - Lanternfish Lagoon (U).sav", "save"},
                            {"/roms/unknown.bin", "in no list"}}));
}

}  // namespace
