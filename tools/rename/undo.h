// Putting back the names a journal records, last rename first, never replacing a file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/disk/renaming_disk.h"
#include "tools/rename/journal.h"
#include "tools/rename/journal_reading.h"

enum class Undone { kRestore, kRestored, kInPlace, kSkipped, kFailed };

// "restore" (a dry run's plan), "restored", "already in place", "skipped", "failed".
const char* InWords(Undone undone);

struct UndoneEntry {
    std::size_t line;
    std::filesystem::path from;  // the old name, given back
    std::filesystem::path now;   // the name the file has: the journal's new one, or a free name
    Undone outcome;
    std::string reason;  // why it was skipped or failed
};

struct UndoOutcome {
    std::vector<UndoneEntry> entries;  // last rename first
    // The folders the journal records as made, deepest first: removed (in a dry run, to be),
    // and kept since they hold something.
    std::vector<std::filesystem::path> foldersRemoved;
    std::vector<std::filesystem::path> foldersKept;
    std::vector<std::string> damaged;  // "line N: why", lines that are no rename
    bool tornLastLine = false;
    bool interrupted = false;  // stopped between two entries; undo run again goes on
};

// Each rename from the last back: a file that has its new name gets its old one back; one that
// is gone, or whose old name has been taken since, is skipped. Undo's own steps are journaled in
// `own` (the journal being undone, so that an undo stopped midway can be run again), through a
// Mover. Without `own` it is a dry run: `disk` is then a PretendDisk, over which each entry
// says what undo would do.
//
// Empty files that the journal records as placeholders (a name held for a rename that was then
// stopped) are removed where they stand in the way, and so is the new name of a file that a
// rename by link and unlink left with both names; no other file or name ever is.
//
// Once every file is back, the folders the journal records as made go, deepest first, each only
// if it is a folder (no link) that holds nothing; a folder line whose folder was never made (the
// run was stopped between the two) finds nothing to remove.
UndoOutcome UndoJournal(const JournalContents& journal, RenamingDisk& disk, JournalWriter* own);
