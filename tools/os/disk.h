// What renaming and undoing ask of the file system, behind an interface so that the plan, the
// moves and undo can be tested against folders whose rules differ from the test machine's:
// tests put a FakeDisk (fake_disk.h) in its place, which ignores letter case as FAT, exFAT and
// NTFS do.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/os/platform.h"

class Disk {
public:
    virtual ~Disk() = default;

    // The names the folder holds, spelt as it keeps them; none when it cannot be read.
    virtual std::vector<std::filesystem::path> NamesIn(const std::filesystem::path& folder) = 0;

    // Something, even a dangling link, answers to the name.
    virtual bool Exists(const std::filesystem::path& path) = 0;

    // Whether `name` reaches the very entry `existing` names under another spelling, as in a
    // folder that ignores letter case. Hard links are one file under two entries, so the folder
    // must lack `name` as spelt.
    virtual bool IsSameEntry(const std::filesystem::path& existing,
                             const std::filesystem::path& name) = 0;

    // Gives `from` the name `to` unless something already answers to `to`: never replaces a
    // file. `error` says why a rename failed.
    virtual RenameResult Rename(const std::filesystem::path& from, const std::filesystem::path& to,
                                std::string& error) = 0;
};

// The file system the process sees.
Disk& SystemDisk();
