// Reading the rename journal back (journal.h tells its form): its entries in the order of the
// renames, a rename retried, or made in two steps, read as one, and the lines that are none.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/base/result.h"
#include "tools/disk/journal_disk.h"
#include "tools/rename/journal.h"

struct JournalEntry : JournalStep {
    std::size_t line = 0;  // 1-based
    // A change of letter case made in two steps, read as one rename: the free name in between.
    std::filesystem::path via;
};

struct JournalContents {
    std::vector<JournalEntry> entries;  // in the order of the renames
    std::vector<std::string> damaged;   // "line N: why", for lines that are not entries
    bool tornLastLine = false;          // the run was stopped while writing it
};

// FailureKind::kCannotRead when the journal cannot be read, or when it is no journal at all:
// its first line is not a rename (a game list named by mistake, say).
Result<JournalContents> ReadJournal(JournalDisk& disk, const std::filesystem::path& path);

// Parses a journal's text; `name` is how the messages call it.
Result<JournalContents> ParseJournal(std::string_view text, const std::string& name);

// A journal line cut short, when it is the last: what a run stopped while writing it leaves. Its
// rename never happened, since none happens before its line is whole on the disk, and the next
// line is written over it.
bool IsCutShort(std::string_view line);
