// Moving a file's name without ever replacing another file, each move journaled first.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/os/disk.h"
#include "tools/rename/items.h"
#include "tools/rename/journal.h"

enum class Move { kMoved, kNameTaken, kRefused, kJournalFailed };

// Gives the file `from` the name `to`, never replacing anything; the journal line first (no
// journal: null). A change of letter case only, in a folder that takes `to` for the file's own
// name, goes through a free name in two journaled steps. `error` says why a move failed.
Move MoveName(const std::filesystem::path& from, const std::filesystem::path& to,
              JournalWriter* journal, Disk& disk, std::string& error);

// Renames the items in the plan's order, each outcome set to what happened. Once the journal
// cannot be written nothing more is tried.
void ApplyPlan(std::vector<RenameItem>& items, const std::vector<std::size_t>& order,
               JournalWriter& journal, Disk& disk);
