// Inside archive_reading: one reader per library, over the file as the unit hands it on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/collection/archive_reading.h"
#include "tools/disk/readable_file.h"

// The file as the readers see it: reads that fill the buffer unless the file ends, and every
// byte read counted for the progress callback.
class ArchiveInput {
public:
    ArchiveInput(ReadableFile& file, const ReadingOptions& options)
        : file_(file), options_(options) {}

    std::uint64_t Size() const { return file_.Size(); }

    // Up to `size` bytes from `offset`: fewer only at the end of the file.
    DiskResult<std::size_t> Read(std::uint64_t offset, void* buffer, std::size_t size);

    const ReadingOptions& Options() const { return options_; }

private:
    ReadableFile& file_;
    const ReadingOptions& options_;
};

// Enough for the system to read ahead in large pieces, small beside any decompressor's state.
inline constexpr std::size_t kReadBufferSize = 256 * 1024;

// The calling thread's buffers of kReadBufferSize bytes, two of them (`which` 0 or 1), kept from
// one file to the next: allocated afresh for each of 10,000 small archives, their pages were
// faulted in again each time, a tenth of the time it takes to read them.
char* ThreadBuffer(int which);

void ReadZip(ArchiveInput& input, FileContents& contents);
void ReadWithLibarchive(ArchiveInput& input, FileContents& contents);
void ReadSevenZip(ArchiveInput& input, FileContents& contents);
void ReadGzip(ArchiveInput& input, std::string_view name, FileContents& contents);
