// The rename journal: one JSON line {"from": ..., "to": ...} per rename, each written through to
// the disk before the rename it records, so that `qbt undo` can put every name back after a run
// stopped at any moment. Paths are absolute and UTF-8; a Linux name that is not UTF-8 is kept as
// {"bytes": "<hexadecimal>"} so that no name is ever bent.
//
// Two marks may follow: "placeholder": true, the new name is held with an empty file before the
// rename onto it (a folder that can refuse to replace a file no other way); "undo": true, the
// step is undo's own, written into the journal it undoes so that an undo stopped midway can be
// run again. A line repeated with a mark added is the same rename, retried the other way.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// A free name in the current folder: qbt-rename-YYYYMMDD-HHMMSS.jsonl, with -2, -3 ... when
// that one is taken.
std::filesystem::path DefaultJournalPath();

// Whether a file name is one DefaultJournalPath gives: a journal, never a ROM.
bool IsDefaultJournalName(const std::filesystem::path& name);

struct JournalStep {
    std::filesystem::path from;
    std::filesystem::path to;
    bool placeholder = false;
    bool undo = false;
};

class JournalWriter {
public:
    // Creates the file or adds to its end. Throws ToolError (kExitRenameFailed) when it cannot.
    explicit JournalWriter(const std::filesystem::path& path);
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // False, with the reason in `error`, when the line could not be written through to the disk:
    // then the rename must not happen.
    bool Record(const JournalStep& step, std::string& error);

private:
    std::FILE* file_;
};

struct JournalEntry : JournalStep {
    std::size_t line = 0;  // 1-based
    // A change of letter case made in two steps, read as one rename: the free name in between.
    std::filesystem::path via;
};

// The free names a change of letter case passes through: ".qbt-rename-N.tmp".
std::filesystem::path FreeName(const std::filesystem::path& folder, int number);
bool IsFreeName(const std::filesystem::path& path);

struct JournalContents {
    std::vector<JournalEntry> entries;  // in the order of the renames
    std::vector<std::string> damaged;   // "line N: why", for lines that are not entries
    bool tornLastLine = false;          // the run was stopped while writing it
};

// Throws ToolError (kExitUnreadableFile) when the journal cannot be read, or when it is no
// journal at all: its first line is not a rename (a game list named by mistake, say).
JournalContents ReadJournal(const std::filesystem::path& path);

// Parses a journal's text; `name` is how the messages call it.
JournalContents ParseJournal(std::string_view text, const std::string& name);
