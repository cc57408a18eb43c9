#include "tools/disk/disk.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tools/disk/fake_disk.h"
#include "tools/disk/paths.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Listed(Disk& disk, const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::path& name : disk.NamesIn(folder)) names.push_back(Utf8Of(name));
    std::sort(names.begin(), names.end());
    return names;
}

// A dry run's disk: each step sees the ones before it, names compared as FAT compares them, and
// the disk beneath is never touched.
TEST(PretendDisk, ShowsEveryStepAndChangesNothing) {
    FakeDisk real;
    real.Add("/roms/a.gba", "A");
    real.Add("/roms/b.gba", "B");
    real.Add("/roms/held.gba");
    const std::map<std::string, std::string> before = real.Files();

    PretendDisk pretend(real);
    std::string error;
    EXPECT_EQ(pretend.Rename("/roms/a.gba", "/roms/B.GBA", error), RenameResult::TargetExists);
    EXPECT_EQ(pretend.Rename("/roms/a.gba", "/roms/c.gba", error), RenameResult::Renamed);
    EXPECT_FALSE(pretend.Exists("/roms/A.GBA"));
    EXPECT_TRUE(pretend.Exists("/roms/C.gba"));
    EXPECT_EQ(pretend.KindAt("/roms/a.gba", false, error), FileKind::kMissing);
    EXPECT_EQ(pretend.KindAt("/roms/c.gba", false, error), FileKind::kFile);
    EXPECT_EQ(pretend.OpenToRead("/roms/a.gba", error), nullptr);
    EXPECT_NE(pretend.OpenToRead("/roms/b.gba", error), nullptr);
    EXPECT_EQ(pretend.Rename("/roms/b.gba", "/roms/a.gba", error), RenameResult::Renamed)
        << "a name freed by an earlier step";
    EXPECT_EQ(pretend.Reserve("/roms/a.gba", error), Reservation::kTaken);
    EXPECT_TRUE(pretend.RemoveEmptyFile("/roms/held.gba"));
    EXPECT_FALSE(pretend.IsEmptyFile("/roms/held.gba"));
    EXPECT_EQ(pretend.WriteNewFile("/roms/list.xml", "<list/>", error), Reservation::kReserved);
    EXPECT_EQ(Listed(pretend, "/roms"), (std::vector<std::string>{"a.gba", "c.gba", "list.xml"}));
    std::vector<FolderEntry> entries;
    EXPECT_TRUE(pretend.ListEntries("/roms", entries, error));
    EXPECT_EQ(entries.size(), 3u);

    EXPECT_EQ(real.Files(), before);
}

}  // namespace
