// What a collection has and lacks against the game list: each game of the list with the ROMs
// that hold it, loose or in any archive, the ROMs that hold no game of the list, and the files
// left alone. Whether a key is in the list is the plug-in's answer, and the index tells which
// game (which record) answered.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/base/result.h"
#include "tools/disk/collection_disk.h"
#include "tools/host/plugin.h"
#include "tools/host/rom_lookup.h"
#include "tools/lists/game_list.h"

// A ROM: a plain file or an archive's entry; or a file, or what is left of an archive past the
// point where it could not be read, that gives no ROM.
struct AuditedFile {
    enum Status { kGame, kNotInList, kSkipped, kUnreadable, kDamaged };
    std::filesystem::path file;
    std::string entry;  // the ROM's name in its archive (UTF-8); empty for a file
    std::string key;    // empty when skipped or unreadable
    Status status;
    std::string reason;  // why it was skipped, could not be read, or is damaged
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
    std::vector<AuditedFile> files;  // ROMs as read, file by file, then what was left alone

    std::size_t Present() const;     // games with at least one file
    std::size_t Duplicated() const;  // games with more than one
    std::vector<const ListIndex::Entry*> Missing() const;
};

// Reads the files under `paths` through `disk` on `jobs` threads and matches their ROMs to the
// games of `list`. With `verify`, zip entries are decompressed and checked too; a damaged ROM is
// never a game present.
Result<Audit> AuditCollection(const Plugin& plugin, const GameList& list,
                              const std::vector<std::string>& paths, unsigned jobs,
                              CollectionDisk& disk, bool verify = false);
