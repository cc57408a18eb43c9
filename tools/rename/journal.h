// The rename journal: one JSON line {"from": ..., "to": ...} per rename, on the disk before the
// rename it records, so that `qbt undo` can put every name back after a run stopped at any moment.
// A run writes the lines of a batch of renames and syncs them once, before the first of them; a
// line whose rename never happened is one that undo finds "already in place". Paths are absolute
// and UTF-8; a Linux name that is not UTF-8 is kept as {"bytes": "<hexadecimal>"} so that no
// name is ever bent.
//
// Two marks may follow: "placeholder": true, the new name is held with an empty file before the
// rename onto it (a folder that can refuse to replace a file no other way); "undo": true, the
// step is undo's own, written into the journal it undoes so that an undo stopped midway can be
// run again. A line repeating an earlier rename with a mark added, and no line between naming
// either file, is the same rename, retried the other way.
//
// A line {"folder": ...} records a folder that a pattern's '/' makes, on the disk before the
// folder is made, and only for a folder that was not there: undo removes it, once the files
// are back and it holds nothing.
//
// After its last line a journal keeps room for undo's lines: spaces ending in a newline, as many
// bytes as undo's lines for the renames recorded could take. Undo writes its lines over that room,
// so that on a card that the rename filled to the last byte the names still come back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "tools/base/result.h"
#include "tools/disk/journal_disk.h"

// What the room kept after the last line is made of.
inline constexpr std::string_view kJournalRoom = " \n";

// A free name in the current folder: qbt-rename-YYYYMMDD-HHMMSS.jsonl, with -2, -3 ... when
// that one is taken.
std::filesystem::path DefaultJournalPath(JournalDisk& disk);

// Whether a file name is one DefaultJournalPath gives: a journal, never a ROM.
bool IsDefaultJournalName(const std::filesystem::path& name);

struct JournalStep {
    std::filesystem::path from;
    std::filesystem::path to;  // of a folder line, the folder
    bool placeholder = false;
    bool undo = false;
    bool folder = false;  // the folder `to` is made; `from` is empty
};

class JournalWriter {
public:
    // Creates the file on `disk` or adds to it, after its last line: over the room kept there,
    // and over a last line cut short, whose rename never happened. A file that cannot be opened
    // and read is refused (FailureKind::kRefused): then nothing may be renamed.
    static Result<JournalWriter> Open(JournalDisk& disk, const std::filesystem::path& path);

    // Holds the step's line until Sync.
    void Record(const JournalStep& step);

    // Writes the lines held through to the disk, with room for undo's lines after a rename's;
    // done at once when none is held. When they could not be written, no rename they record
    // may happen.
    DiskResult<> Sync();

private:
    JournalWriter(std::unique_ptr<JournalFile> file, std::string_view text);

    std::unique_ptr<JournalFile> file_;
    std::uint64_t end_ = 0;   // just past the last line, where the next goes
    std::uint64_t size_ = 0;  // the file's; the room lies between end_ and size_
    std::uint64_t room_ = 0;  // the room to keep after the last line
    std::string held_;
};

// The free names a change of letter case passes through: ".qbt-rename-N.tmp".
std::filesystem::path FreeName(const std::filesystem::path& folder, int number);
bool IsFreeName(const std::filesystem::path& path);
