// What reading a collection asks of the disk: the walk (collection/rom_files.h), the ROMs' bytes
// (collection/collection.h), the audit and rename's reading of keys look at files only through
// it, so that their tests need no real folder.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "tools/disk/name_lookup.h"
#include "tools/disk/readable_file.h"

struct FolderEntry {
    std::filesystem::path name;  // spelt as the folder keeps it
    FileKind kind;               // links not followed
};

class CollectionDisk : public virtual NameLookup {
public:
    // The folder's entries with their kinds, links not followed; a link to a folder is listed
    // through. The system's reason when the folder cannot be read.
    virtual DiskResult<std::vector<FolderEntry>> ListEntries(
        const std::filesystem::path& folder) = 0;

    // The file open for reading at any offset, or the system's reason why it cannot be opened.
    // Safe to call from several threads at once.
    virtual DiskResult<std::unique_ptr<ReadableFile>> OpenToRead(
        const std::filesystem::path& path) = 0;

    // One spelling per file: the path absolute, every link on it followed, "." and ".." gone.
    // Empty when the path cannot be resolved.
    virtual std::filesystem::path Resolved(const std::filesystem::path& path) = 0;

    // Whether the two paths name one file; false when either names none.
    virtual bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) = 0;
};
