// An open file read at any offset: what the disk hands out for reading, so that the archive
// libraries, which seek (a zip's directory and a 7z's header lie at the end of the file), read
// through the same seam as the folder walk and the checksums, and tests can hand them bytes in
// memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/disk/disk_error.h"

class ReadableFile {
public:
    virtual ~ReadableFile() = default;

    // The file's size in bytes when it was opened.
    virtual std::uint64_t Size() const = 0;

    // Reads up to `size` bytes from `offset` into `buffer`: the count read, 0 at or past the end.
    // A short count before the end is allowed.
    virtual DiskResult<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
                                           std::size_t size) = 0;
};
