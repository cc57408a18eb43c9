#include "tools/rename/companions.h"

#include <gtest/gtest.h>

#include "tools/disk/fake_disk.h"
#include "tools/rename/plan.h"

namespace fs = std::filesystem;

namespace {

// The renames in the plan's order, "file -> new name", then what stays, "file: outcome: reason".
std::vector<std::string> PlannedWithCompanions(std::vector<RenameItem>& items, FakeDisk& disk) {
    AddCompanions(items, disk);
    std::vector<std::size_t> order = PlanRenames(items, disk);
    while (KeepCompanionsTogether(items)) order = PlanRenames(items, disk);
    std::vector<std::string> lines;
    for (const std::size_t index : order) {
        lines.push_back(items[index].file.filename().string() + " -> " + items[index].newName);
    }
    for (const RenameItem& item : items) {
        if (item.outcome == Outcome::kRename) continue;
        lines.push_back(item.file.filename().string() + ": " + InWords(item.outcome) + ": " +
                        item.reason);
    }
    return lines;
}

std::string Roms(const char* file) { return (fs::path("/roms") / file).string(); }

TEST(Companions, SavesAndPatchesMoveWithTheirRomOrNotAtAll) {
    FakeDisk disk;
    for (const char* file : {"a.sav", "A.SRM", "a.ips", "a.txt", "ab.sav", "a.gba.sav", "b.sav",
                             "c.sav", "C (U).sav", "d.sav", "e.eep"}) {
        disk.Add(fs::path("/roms") / file);
    }
    disk.AddLink("/roms/a.fla", "/saves/a.fla");  // a link is never renamed, not even as a save
    std::vector<RenameItem> items;
    const auto rom = [&](const char* file, const char* newName, Outcome outcome) {
        disk.Add(fs::path("/roms") / file);
        items.push_back({fs::path("/roms") / file, "", newName, outcome, "", {}});
    };
    rom("a.gba", "A (U).gba", Outcome::kRename);
    rom("b.gba", "B (U).gba", Outcome::kRename);  // b.zip is named b too: whose is b.sav?
    rom("b.zip", "b.zip", Outcome::kAlreadyRight);
    rom("c.gba", "C (U).gba", Outcome::kRename);  // C (U).sav stays where c.sav would go
    rom("d.gba", "A (U).gba", Outcome::kRename);  // a.gba takes the name first
    rom("e.gba", "E (U).gba", Outcome::kNotInList);
    EXPECT_EQ(PlannedWithCompanions(items, disk),
              (std::vector<std::string>{
                  "a.gba -> A (U).gba",
                  "b.gba -> B (U).gba",
                  "a.ips -> A (U).ips",
                  "a.sav -> A (U).sav",
                  "A.SRM -> A (U).SRM",
                  "b.zip: already right: ",
                  "c.gba: conflict: c.sav, which goes with it, cannot be renamed: the name is "
                  "taken by C (U).sav",
                  "d.gba: conflict: " + Roms("a.gba") + " takes the name first",
                  "e.gba: not in the list: ",
                  "b.sav: skipped: a save or patch that more than one ROM here is named like",
                  "c.sav: conflict: the name is taken by C (U).sav",
                  "d.sav: conflict: " + Roms("a.sav") + " takes the name first",
              }));
}

// A duplicate that sorts first ("copy of ...") must not take the name from the ROM whose save
// stands beside it; a save that ROMs differing only in letter case share follows neither.
TEST(Companions, TheRomWithItsSaveWinsAndASharedSaveIsListedOnce) {
    FakeDisk disk;
    for (const char* file : {"rom_00293.sav", "game.sav"}) disk.Add(fs::path("/roms") / file);
    std::vector<RenameItem> items;
    for (const auto& [file, newName] :
         std::vector<std::pair<const char*, const char*>>{{"copy of 18 rom_00293.gba", "T.gba"},
                                                          {"rom_00293.gba", "T.gba"},
                                                          {"game.gba", "G.gba"},
                                                          {"GAME.gbc", "G.gbc"}}) {
        disk.Add(fs::path("/roms") / file);
        items.push_back({fs::path("/roms") / file, "", newName, Outcome::kRename, "", {}});
    }
    EXPECT_EQ(PlannedWithCompanions(items, disk),
              (std::vector<std::string>{
                  "rom_00293.gba -> T.gba",
                  "game.gba -> G.gba",
                  "GAME.gbc -> G.gbc",
                  "rom_00293.sav -> T.sav",
                  "copy of 18 rom_00293.gba: conflict: " + Roms("rom_00293.gba") +
                      " takes the name first",
                  "game.sav: skipped: a save or patch that more than one ROM here is named like",
              }));
}

TEST(Companions, NoRomsAreSavesPatchesAndJournals) {
    for (const char* name :
         {"My Game.sav", "x.SRM", "x.Sa1", "x.eep", "x.fla", "x.rtc", "x.sgm", "x.cht", "x.ips",
          "x.ups", "x.bps", "qbt-rename-20261207-120501.jsonl"}) {
        EXPECT_TRUE(IsNoRom(name)) << name;
    }
    for (const char* name : {"My Game.gba", "sav", "x.sav.zip", "journal.jsonl"}) {
        EXPECT_FALSE(IsNoRom(name)) << name;
    }
}

// A save follows its ROM into the folders the pattern makes.
TEST(Companions, FollowTheirRomIntoItsFolder) {
    FakeDisk disk;
    disk.Add("/roms/a.gba");
    disk.Add("/roms/a.sav");
    std::vector<RenameItem> items{{"/roms/a.gba", "", "(E)/A.gba", Outcome::kRename, "", {}}};
    EXPECT_EQ(PlannedWithCompanions(items, disk),
              (std::vector<std::string>{"a.gba -> (E)/A.gba", "a.sav -> (E)/A.sav"}));
}

}  // namespace
