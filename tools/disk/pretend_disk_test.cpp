#include "tools/disk/pretend_disk.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tools/disk/fake_disk.h"
#include "tools/disk/paths.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Listed(RenamingDisk& disk, const fs::path& folder) {
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
    EXPECT_EQ(pretend.Rename("/roms/a.gba", "/roms/B.GBA").Why().kind, DiskError::kNameTaken);
    EXPECT_TRUE(pretend.Rename("/roms/a.gba", "/roms/c.gba").Ok());
    EXPECT_FALSE(pretend.Exists("/roms/A.GBA"));
    EXPECT_TRUE(pretend.Exists("/roms/C.gba"));
    EXPECT_EQ(*pretend.KindAt("/roms/a.gba", false), FileKind::kMissing);
    EXPECT_EQ(*pretend.KindAt("/roms/c.gba", false), FileKind::kFile);
    EXPECT_FALSE(pretend.OpenToRead("/roms/a.gba").Ok());
    EXPECT_TRUE(pretend.OpenToRead("/roms/b.gba").Ok());
    EXPECT_TRUE(pretend.Rename("/roms/b.gba", "/roms/a.gba").Ok())
        << "a name freed by an earlier step";
    EXPECT_EQ(pretend.Reserve("/roms/a.gba").Why().kind, DiskError::kNameTaken);
    EXPECT_TRUE(pretend.RemoveEmptyFile("/roms/held.gba"));
    EXPECT_FALSE(pretend.IsEmptyFile("/roms/held.gba"));
    EXPECT_TRUE(pretend.WriteNewFile("/roms/list.xml", "<list/>").Ok());
    EXPECT_EQ(Listed(pretend, "/roms"), (std::vector<std::string>{"a.gba", "c.gba", "list.xml"}));
    const DiskResult<std::vector<FolderEntry>> entries = pretend.ListEntries("/roms");
    ASSERT_TRUE(entries.Ok());
    EXPECT_EQ(entries->size(), 3u);

    EXPECT_EQ(real.Files(), before);
}

}  // namespace
