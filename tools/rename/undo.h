// Putting back the names a journal records, last rename first, never replacing a file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/os/disk.h"
#include "tools/rename/journal.h"

struct UndoOutcome {
    std::size_t restored = 0;
    std::size_t inPlace = 0;           // renamed back already, or never renamed
    std::vector<std::string> skipped;  // "line N: why", damaged lines first
    std::vector<std::string> failed;   // "line N: cannot rename ...: why"
    bool tornLastLine = false;
};

// Each entry from the last back: a file that has its new name gets its old one back; one that
// is gone, or whose old name has been taken since, is skipped.
UndoOutcome UndoJournal(const JournalContents& journal, Disk& disk);
