// What renaming and undoing ask of the disk: the plan, the moves and undo change names only
// through it, so that they can be tested against folders whose rules differ from the test
// machine's (a FakeDisk ignores letter case as FAT, exFAT and NTFS do).
#pragma once

#include <filesystem>
#include <vector>

#include "tools/disk/name_lookup.h"

class RenamingDisk : public virtual NameLookup {
public:
    // The names the folder holds, spelt as it keeps them; none when it cannot be read.
    virtual std::vector<std::filesystem::path> NamesIn(const std::filesystem::path& folder) = 0;

    // Whether `name` reaches the very entry `existing` names under another spelling, as in a
    // folder that ignores letter case. Decided by the names, as the folder compares them, not by
    // file identity: exfat-fuse gives each spelling of a name an inode number of its own, and
    // hard links are one file under two entries.
    virtual bool IsSameEntry(const std::filesystem::path& existing,
                             const std::filesystem::path& name) = 0;

    // Gives `from` the name `to` unless something already answers to `to` (kNameTaken): never
    // replaces a file. kCannotRefuse, nothing done, where the file system cannot refuse to
    // replace one; kFailed with the system's reason.
    virtual DiskResult<> Rename(const std::filesystem::path& from,
                                const std::filesystem::path& to) = 0;

    // Holds the name `path` with an empty file, made only if nothing answers to the name
    // (kNameTaken otherwise): the way to rename without replacing where Rename answers
    // kCannotRefuse.
    virtual DiskResult<> Reserve(const std::filesystem::path& path) = 0;

    // Renames `from` onto the empty file Reserve made at `placeholder`.
    virtual DiskResult<> ReplacePlaceholder(const std::filesystem::path& from,
                                            const std::filesystem::path& placeholder) = 0;

    // Whether `path` is a regular file of no bytes; RemoveEmptyFile removes it only if it is.
    virtual bool IsEmptyFile(const std::filesystem::path& path) = 0;
    virtual bool RemoveEmptyFile(const std::filesystem::path& path) = 0;

    // Folders a pattern sorts ROMs into. MakeFolder makes `path` only if nothing answers to the
    // name (kNameTaken otherwise, even for a folder), so that a folder made is one qbt made;
    // RemoveEmptyFolder removes `path` only if it is a folder, no link or junction, that holds
    // nothing.
    virtual DiskResult<> MakeFolder(const std::filesystem::path& path) = 0;
    virtual bool RemoveEmptyFolder(const std::filesystem::path& path) = 0;

    // Whether `extra` is a second name of the file `kept` names (a rename by link and unlink
    // stopped between the two); RemoveSecondName removes `extra` only if it is.
    virtual bool IsSecondName(const std::filesystem::path& kept,
                              const std::filesystem::path& extra) = 0;
    virtual bool RemoveSecondName(const std::filesystem::path& kept,
                                  const std::filesystem::path& extra) = 0;
};
