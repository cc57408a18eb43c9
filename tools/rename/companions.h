// Files that belong to a ROM by name: saves, cheats and patches beside it with the same stem.
// An emulator finds "My Game.sav" only beside "My Game.gba", so the two are renamed together,
// in one plan and one journal, or not at all.
//
//   AddCompanions(items, disk);               // after examining, before planning
//   order = PlanRenames(items, disk);
//   while (KeepCompanionsTogether(items)) order = PlanRenames(items, disk);
#pragma once

#include <filesystem>
#include <vector>

#include "tools/collection/collection.h"
#include "tools/disk/renaming_disk.h"
#include "tools/rename/items.h"

// For each item that is to be renamed, an item for every companion in its folder: a name whose
// stem is the ROM's (ASCII letter case ignored) with a companion extension, not a symbolic link,
// and claimed by no other ROM of the same stem there. Its new name is the ROM's stem with its
// own extension.
void AddCompanions(std::vector<RenameItem>& items, RenamingDisk& disk);

// After a plan: a ROM one of whose companions cannot take its name stays where it is, and so do
// its other companions, with the reason. True when it changed an outcome: then plan again.
bool KeepCompanionsTogether(std::vector<RenameItem>& items);
