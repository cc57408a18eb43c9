// Examining files for `qbt rename`: each file's checksum, the fields its pattern uses, and the
// name they make.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/base/result.h"
#include "tools/disk/collection_disk.h"
#include "tools/host/plugin.h"
#include "tools/lists/game_list.h"
#include "tools/rename/items.h"
#include "tools/rename/name_pattern.h"

struct NamingContext {
    const Plugin& plugin;
    const GameList& list;
    int32_t keyType;
    const NamePattern& pattern;
    CollectionDisk& disk;  // where the files are read
    bool verify = false;   // decompress zip entries too, and leave damaged ones alone
};

// One file's key, as rename reads it: the CRC-32 of a ROM file, or of the one ROM in an archive
// of any format qbt reads, read-me files aside. Without a key, the outcome (skipped, unreadable,
// damaged) and the reason.
RenameItem ReadKey(const std::filesystem::path& file, CollectionDisk& disk, bool verify = false);

// One file: its key, the name the pattern gives it, and whether that is a rename. A file to be
// named whose path has no UTF-8 spelling (on Windows, a name that is not valid UTF-16) failed,
// with why.
RenameItem Examine(const std::filesystem::path& file, const NamingContext& context);

// Every file, on `jobs` threads (the plug-in keeps no state), with a progress bar. Examine
// throws only for a fault of qbt's or a lack of memory, thrown again here once the threads have
// stopped.
std::vector<RenameItem> ExamineAll(const std::vector<std::filesystem::path>& files,
                                   const NamingContext& context, unsigned jobs);

struct FilesToName {
    std::vector<std::filesystem::path> files;
    std::vector<RenameItem> leftAlone;  // links (skipped) and unreadable folders, with the reason
};

// The files under the paths given, each once however often it is named. A symbolic link met in
// a folder is never renamed nor entered, so nothing outside the folders given is touched and no
// file is renamed through two names; a link named that leads to a folder is entered, as the user
// asked for that folder.
Result<FilesToName> CollectFilesToName(const std::vector<std::string>& paths, CollectionDisk& disk);
