// What a name on the disk is: the two questions every caller of the disk asks before it reads or
// changes anything, and so the base of the narrow disks each caller takes (collection_disk.h,
// renaming_disk.h, output_disk.h, journal_disk.h).
#pragma once

#include <filesystem>

#include "tools/disk/disk_error.h"

// kUnknown: an entry of a folder whose kind the system could not tell.
enum class FileKind { kMissing, kFile, kFolder, kLink, kOther, kUnknown };

class NameLookup {
public:
    virtual ~NameLookup() = default;

    // Something, even a dangling link, answers to the name.
    virtual bool Exists(const std::filesystem::path& path) = 0;

    // What the name is; a symbolic link as kLink unless `followLinks`. The system's reason when
    // it cannot say.
    virtual DiskResult<FileKind> KindAt(const std::filesystem::path& path, bool followLinks) = 0;
};

// What the name is, or kUnknown when the system cannot say: for a caller that only asks whether
// it is of one kind.
inline FileKind KindOrUnknown(NameLookup& disk, const std::filesystem::path& path,
                              bool followLinks) {
    const DiskResult<FileKind> kind = disk.KindAt(path, followLinks);
    return kind.Ok() ? *kind : FileKind::kUnknown;
}
