#include "tools/rename/plan.h"

#include <gtest/gtest.h>

#include "tools/disk/fake_disk.h"
#include "tools/disk/paths.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;

namespace {

// Each item as "file: outcome[: reason]", in the order of the plan first, then the conflicts.
std::vector<std::string> Planned(std::vector<RenameItem>& items, FakeDisk& disk) {
    std::vector<std::string> lines;
    for (const std::size_t index : PlanRenames(items, disk)) {
        lines.push_back(Utf8Of(items[index].file.filename()) + " -> " + items[index].newName);
    }
    for (const RenameItem& item : items) {
        if (item.outcome == Outcome::kConflict) {
            lines.push_back(Utf8Of(item.file.filename()) + ": " + item.reason);
        }
    }
    return lines;
}

// The files the items name exist in /roms; each wants the name given.
std::vector<RenameItem> Wanting(FakeDisk& disk,
                                const std::vector<std::pair<std::string, std::string>>& wants) {
    std::vector<RenameItem> items;
    for (const auto& [file, name] : wants) {
        disk.Add(PathFromUtf8("/roms/" + file));
        items.push_back({PathFromUtf8("/roms/" + file), "", name, Outcome::kRename, "", {}});
    }
    return items;
}

TEST(PlanRenames, FirstWinsChainsWaitAndHeldNamesAreConflicts) {
    FakeDisk disk;
    disk.Add("/roms/Stays.gba");  // not in the list: keeps its name
    std::vector<RenameItem> items =
        Wanting(disk, {{"a1.gba", "A.gba"},
                       {"a2.gba", "a.GBA"},  // one name, folded
                       {"d.gba", "E.gba"},
                       {"e.gba", "F.gba"},      // d waits for e to move on
                       {"c.gba", "stays.gba"},  // held by a file that stays
                       {"r1.gba", "r2.gba"},
                       {"r2.gba", "r1.gba"}});  // a ring
    EXPECT_EQ(Planned(items, disk), (std::vector<std::string>{
                                        "a1.gba -> A.gba",
                                        "e.gba -> F.gba",
                                        "d.gba -> E.gba",
                                        "a2.gba: /roms/a1.gba takes the name first",
                                        "c.gba: the name is taken by Stays.gba",
                                        "r1.gba: the name is taken by r2.gba",
                                        "r2.gba: the name is taken by r1.gba",
                                    }));
}

// Of any letters: where two names differ in case alone, a case change is no conflict, and two
// ROMs, or a ROM and a file that stays, cannot both have them.
TEST(PlanRenames, ALetterCaseChangeIsNoConflictInAFolderThatIgnoresCase) {
    FakeDisk disk;
    disk.Add(PathFromUtf8("/roms/ｓｔａｙｓ.gba"));
    std::vector<RenameItem> items = Wanting(disk, {{"lanternfish.gba", "Lanternfish.gba"},
                                                   {"ærøskøbing.gba", "Ærøskøbing.gba"},
                                                   {"the1.gba", "ＴＨＥ.gba"},
                                                   {"the2.gba", "ｔｈｅ.gba"},
                                                   {"c.gba", "ＳＴＡＹＳ.gba"}});
    EXPECT_EQ(
        Planned(items, disk),
        (std::vector<std::string>{
            "lanternfish.gba -> Lanternfish.gba", "ærøskøbing.gba -> Ærøskøbing.gba",
            "the1.gba -> ＴＨＥ.gba", "the2.gba: /roms/the1.gba takes the name first",
            "c.gba: the name is taken by " + PathToTerminal(PathFromUtf8("ｓｔａｙｓ.gba"))}));
}

// Into folders: two ROMs to one path, a file already at it, and on the way a link (which could
// lead out of the ROM's folder) or something that is no folder are conflicts; a folder that is
// there, or is not yet, takes the ROM.
TEST(PlanRenames, FoldersOnTheWayAreFoldersAndNoLinks) {
    FakeDisk disk;
    disk.AddLink("/roms/link", "/elsewhere");
    disk.AddFolder("/elsewhere");
    disk.Add("/roms/(F)");
    disk.Add("/roms/(J)/E.gba");
    std::vector<RenameItem> items = Wanting(disk, {{"a.gba", "(E)/deeper/A.gba"},
                                                   {"b.gba", "link/B.gba"},
                                                   {"c.gba", "(F)/C.gba"},
                                                   {"d.gba", "(e)/Deeper/a.gba"},
                                                   {"e.gba", "(J)/e.GBA"},
                                                   {"f.gba", "(J)/F.gba"}});
    EXPECT_EQ(Planned(items, disk),
              (std::vector<std::string>{
                  "a.gba -> (E)/deeper/A.gba", "f.gba -> (J)/F.gba",
                  "b.gba: " + PathToTerminal(Absolute("/roms/link")) +
                      " is a link: nothing is moved into a link or junction, which could lead "
                      "out of the ROM's folder",
                  "c.gba: " + PathToTerminal(Absolute("/roms/(F)")) + " is in the way: it is no folder",
                  "d.gba: /roms/a.gba takes the name first", "e.gba: the name is taken by E.gba"}));
}

}  // namespace
