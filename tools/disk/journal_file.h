// The rename journal's file, open for reading and writing: lines are written at an offset rather
// than appended, so that the room a rename keeps after its last line for undo's own lines
// (rename/journal.h) is written over, not added to, and a disk that is full by then still takes
// them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class JournalFile {
public:
    virtual ~JournalFile() = default;

    // What the file holds; nothing from a device or a pipe, which could be read without end.
    virtual bool Read(std::string& text, std::string& error) = 0;

    // Writes all of `bytes` at `offset`, the file growing if need be; false, with the system's
    // reason in `error`, when it could not.
    virtual bool WriteAt(std::uint64_t offset, std::string_view bytes, std::string& error) = 0;

    // Returns once everything written is on the disk, so that it survives a crash or a card
    // pulled out.
    virtual bool Sync(std::string& error) = 0;
};
