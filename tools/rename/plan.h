// The plan of `qbt rename`: who gets which name, and in which order the renames can happen
// without any of them replacing a file.
#pragma once

#include <cstddef>
#include <vector>

#include "tools/disk/renaming_disk.h"
#include "tools/rename/items.h"

// Marks the renames that cannot happen as conflicts and returns the order of the rest: of two
// ROMs that want one name, the one with saves or patches beside it wins, else the first; a name
// held by a file that moves away is taken after it has; a name held by a file that stays (or by a
// ring of files each waiting for the next's name) is a conflict. Names are compared as FAT and
// Windows compare them (ASCII letters without case), so the plan holds on a card too; a change of
// letter case only is no conflict.
std::vector<std::size_t> PlanRenames(std::vector<RenameItem>& items, RenamingDisk& disk);
