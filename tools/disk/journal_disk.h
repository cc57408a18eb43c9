// What the rename journal (rename/journal.h) asks of the disk: where a journal goes, its text,
// and its file open for writing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "tools/disk/name_lookup.h"

// The journal's file, open for reading and writing: lines are written at an offset rather than
// appended, so that the room a rename keeps after its last line for undo's own lines is written
// over, not added to, and a disk that is full by then still takes them.
class JournalFile {
public:
    virtual ~JournalFile() = default;

    // What the file holds; nothing from a device or a pipe, which could be read without end.
    virtual DiskResult<std::string> Read() = 0;

    // Writes all of `bytes` at `offset`, the file growing if need be.
    virtual DiskResult<> WriteAt(std::uint64_t offset, std::string_view bytes) = 0;

    // Returns once everything written is on the disk, so that it survives a crash or a card
    // pulled out.
    virtual DiskResult<> Sync() = 0;
};

class JournalDisk : public virtual NameLookup {
public:
    // The folder a relative path starts from, where a journal goes unless one is named; empty
    // when the system cannot say (the folder was removed).
    virtual std::filesystem::path CurrentFolder() = 0;

    // The text of the journal at `path` when it is a regular file (links followed): kMissing
    // when nothing answers to the name, kNotAFile when what does is no regular file, kFailed
    // with the reason when it cannot be read.
    virtual DiskResult<std::string> ReadJournalText(const std::filesystem::path& path) = 0;

    // Opens the journal at `path` for reading and writing, never truncated; made when missing,
    // its folder then flushed, or a crash could lose the journal's very name. The reason when it
    // cannot be opened, or when another qbt is writing it.
    virtual DiskResult<std::unique_ptr<JournalFile>> OpenJournal(
        const std::filesystem::path& path) = 0;
};
