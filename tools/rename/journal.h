// The rename journal: one JSON line {"from": ..., "to": ...} per rename, each written through to
// the disk before the rename it records, so that `qbt undo` can put every name back after a run
// stopped at any moment. Paths are absolute and UTF-8; a Linux name that is not UTF-8 is kept as
// {"bytes": "<hexadecimal>"} so that no name is ever bent.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// A free name in the current folder: qbt-rename-YYYYMMDD-HHMMSS.jsonl, with -2, -3 ... when
// that one is taken.
std::filesystem::path DefaultJournalPath();

class JournalWriter {
public:
    // Creates the file or adds to its end. Throws ToolError (kExitRenameFailed) when it cannot.
    explicit JournalWriter(const std::filesystem::path& path);
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // False, with the reason in `error`, when the line could not be written through to the disk:
    // then the rename must not happen.
    bool Record(const std::filesystem::path& from, const std::filesystem::path& to,
                std::string& error);

private:
    std::FILE* file_;
};

struct JournalEntry {
    std::size_t line;  // 1-based
    std::filesystem::path from;
    std::filesystem::path to;
};

struct JournalContents {
    std::vector<JournalEntry> entries;  // in the order of the renames
    std::vector<std::string> damaged;   // "line N: why", for lines that are not entries
    bool tornLastLine = false;          // the run was stopped while writing it
};

// Throws ToolError (kExitUnreadableFile) when the journal cannot be read.
JournalContents ReadJournal(const std::filesystem::path& path);
