// What a collection has and lacks against the game list: each game of the list with the files
// that hold it, the files that hold no game of the list, and those left alone. Files are read
// as rename reads them; whether a key is in the list is the plug-in's answer, and the index
// tells which game (which record) answered.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/host/game_list.h"
#include "tools/host/plugin.h"
#include "tools/host/rom_lookup.h"
#include "tools/os/disk.h"

// A file as rename reads it.
struct AuditedFile {
    enum Status { kGame, kNotInList, kSkipped, kUnreadable };
    std::filesystem::path file;
    std::string key;  // empty when skipped or unreadable
    Status status;
    std::string reason;  // why it was skipped or could not be read
};

// A game of the list: the first record that holds a key. A record whose key an earlier one
// holds is never answered by the plug-in, so it is no game of its own.
struct AuditedGame {
    const ListIndex::Entry* entry;
    FieldAnswer title;  // the plug-in's, asked with the game's own key
    FieldAnswer release;
    std::vector<std::size_t> files;  // indexes into Audit::files
};

struct Audit {
    std::vector<AuditedGame> games;  // in list order
    std::vector<AuditedFile> files;  // what was read, then what was left alone

    std::size_t Present() const;     // games with at least one file
    std::size_t Duplicated() const;  // games with more than one
    std::vector<const ListIndex::Entry*> Missing() const;
};

// Reads the files under `paths` through `disk` on `jobs` threads and matches them to the games
// of `list`.
Audit AuditCollection(const Plugin& plugin, const GameList& list,
                      const std::vector<std::string>& paths, unsigned jobs, Disk& disk);
