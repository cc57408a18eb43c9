#include "tools/cli/scan_command.h"

#include <gtest/gtest.h>

#include "tools/disk/fake_disk.h"
#include "tools/host/test_plugin.h"

namespace {

// Scan reads its ROMs through the disk it is handed: files that lie nowhere else.
TEST(RunScan, ReadsTheRomsOnTheDiskItIsHanded) {
    FakeDisk disk;
    disk.Add("/roms/a.gba", std::string(1024, 'A'));  // the sample list's first game
    disk.Add("/roms/b.bin", "in no list");
    ScanOptions options;
    options.list.list = QBT_SAMPLE_LIST;
    options.json = true;
    options.jobs = 1;
    options.paths = {"/roms"};
    const Report report = RunScan(kLinkedPlugin, options, disk);
    EXPECT_EQ((*report.json)["found"], 1);
    EXPECT_EQ((*report.json)["not_found"], 1);
    EXPECT_EQ((*report.json)["roms"][0]["key"], "B737FB1A");
    EXPECT_EQ(report.exitCode, kExitNotEverything);
}

}  // namespace
