// The files a command works on: those named, and every file under the folders named.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/base/result.h"
#include "tools/disk/collection_disk.h"

enum class Found { kFile, kLink, kUnreadable, kLeftAlone };

struct FoundPath {
    std::filesystem::path path;
    Found kind;          // a symbolic link met inside a folder is not followed: kLink
    std::string reason;  // for kUnreadable: the system's reason; for kLeftAlone: why
};

// The paths named, and everything under the folders named, folder by folder in name order; a
// folder that cannot be read is reported as it is named and the walk goes on beside it. A
// symbolic link named that leads to a folder is entered, as `find -H` does; any other link
// named is kLink. A file or folder whose name the system cannot show exactly (InexactName) is
// kLeftAlone, and such a folder is not entered. Paths are read in the terminal's codeset.
//
// Every path named is looked at before anything is collected: when one cannot be found or read
// the run stops at once (FailureKind::kCannotRead), before a file is read or renamed.
Result<std::vector<FoundPath>> CollectRomFiles(const std::vector<std::string>& paths,
                                               CollectionDisk& disk);

// The files under the paths given, each once however often it is named, for the commands that
// count or rename files: a symbolic link met in a folder is neither read nor entered, so nothing
// outside the folders given is touched and no file is counted or renamed through two names; a
// link named that leads to a folder is entered, as the user asked for that folder.
struct FilesOnce {
    std::vector<std::filesystem::path> files;
    std::vector<FoundPath> leftAlone;  // links, unreadable folders, inexact names
};
Result<FilesOnce> CollectFilesOnce(const std::vector<std::string>& paths, CollectionDisk& disk);
