#include "tools/audit/audit.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "tools/collection/collection.h"
#include "tools/collection/crc32.h"
#include "tools/collection/rom_files.h"
#include "tools/disk/file_reading.h"
#include "tools/system/parallel.h"

namespace {

// The fields a game is shown by, asked over the index's text with the key exactly as the list
// writes it (no padding: a key type the plug-in leaves alone).
constexpr std::int32_t kKeyAsWritten = 2;

FieldAnswer Ask(const Plugin& plugin, const GameList& list, Field field, const std::string& key,
                std::int32_t keyType) {
    std::string record;
    return AskField(plugin, RowOf(field), QueryFor(plugin, list, key, keyType, record),
                    Asking::kWithRoomyBuffer);
}

// Each ROM of the file keyed as a host keys a ROM: its CRC-32, key type 0. In the list when the
// plug-in says so.
std::vector<AuditedFile> ReadFile(const Plugin& plugin, const GameList& list,
                                  const std::filesystem::path& path, CollectionDisk& disk,
                                  bool verify) {
    const FileContents contents = ReadRoms(path, disk, {.verify = verify, .bytesRead = {}});
    if (contents.kind == ContentKind::kOther) {
        return {{path, "", "", AuditedFile::kSkipped, FormatNotRead(contents)}};
    }
    std::vector<AuditedFile> roms;
    for (const RomInFile& rom : contents.roms) {
        AuditedFile& audited = roms.emplace_back(
            AuditedFile{path, rom.entry, CrcKey(rom.crc), AuditedFile::kNotInList, rom.reason});
        if (rom.status == RomStatus::kDamaged) {
            audited.status = AuditedFile::kDamaged;
        } else if (rom.status == RomStatus::kUnreadable) {
            audited.status = AuditedFile::kUnreadable;
            audited.key.clear();
            audited.reason = CannotRead(RomNameForTerminal(path, rom.entry), rom.reason);
        } else if (Ask(plugin, list, Field::kTitle, audited.key, 0).result != ErrKeyNotFound) {
            audited.status = AuditedFile::kGame;
        }
    }
    // The ROMs read before the fault stand; the rest of the archive is reported unread.
    if (!contents.unreadable.empty()) {
        roms.push_back(
            {path, "", "", AuditedFile::kUnreadable, CannotRead(path, contents.unreadable)});
    }
    return roms;
}

}  // namespace

std::size_t Audit::Present() const {
    return static_cast<std::size_t>(std::count_if(
        games.begin(), games.end(), [](const AuditedGame& game) { return !game.files.empty(); }));
}

std::size_t Audit::Duplicated() const {
    return static_cast<std::size_t>(std::count_if(
        games.begin(), games.end(), [](const AuditedGame& game) { return game.files.size() > 1; }));
}

std::vector<const ListIndex::Entry*> Audit::Missing() const {
    std::vector<const ListIndex::Entry*> missing;
    for (const AuditedGame& game : games) {
        if (game.files.empty()) missing.push_back(game.entry);
    }
    return missing;
}

namespace {

// Game by record, as the index finds it.
using GamesByEntry = std::unordered_map<const ListIndex::Entry*, std::size_t>;

// The games of the list, each with its title and release, into `audit`.
GamesByEntry ListGames(const Plugin& plugin, const GameList& list, Audit& audit) {
    GamesByEntry gameOf;
    for (const ListIndex::Entry& entry : list.index.Entries()) {
        if (!entry.recordStart) continue;
        gameOf.emplace(&entry, audit.games.size());
        audit.games.push_back({&entry,
                               Ask(plugin, list, Field::kTitle, entry.key, kKeyAsWritten),
                               Ask(plugin, list, Field::kRelease, entry.key, kKeyAsWritten),
                               {}});
    }
    return gameOf;
}

// The ROMs of each file, on `jobs` threads, in the order of the files.
void ReadFiles(const Plugin& plugin, const GameList& list,
               const std::vector<std::filesystem::path>& files, unsigned jobs, CollectionDisk& disk,
               bool verify, Audit& audit) {
    std::vector<std::vector<AuditedFile>> read(files.size());
    ForEachOnThreads(files.size(), jobs, "reading", [&](std::size_t index) {
        read[index] = ReadFile(plugin, list, files[index], disk, verify);
    });
    for (std::vector<AuditedFile>& roms : read) {
        std::move(roms.begin(), roms.end(), std::back_inserter(audit.files));
    }
}

AuditedFile LeftAlone(FoundPath& left) {
    if (left.kind == Found::kUnreadable) {
        return {left.path, "", "", AuditedFile::kUnreadable, CannotRead(left.path, left.reason)};
    }
    return {left.path, "", "", AuditedFile::kSkipped,
            left.kind == Found::kLink ? "a symbolic link: links are left alone"
                                      : std::move(left.reason)};
}

// Each ROM the plug-in found goes to the game whose record holds its key.
void MatchToGames(const Plugin& plugin, const GameList& list, const GamesByEntry& gameOf,
                  Audit& audit) {
    for (std::size_t index = 0; index < audit.files.size(); ++index) {
        AuditedFile& file = audit.files[index];
        if (file.status != AuditedFile::kGame) continue;
        std::string record;  // the key as the plug-in found it, leading zeros or not
        const char* listed = QueryFor(plugin, list, file.key, 0, record).key;
        const ListIndex::Entry* entry = list.index.Find(listed, 0);
        const auto game = entry == nullptr ? gameOf.end() : gameOf.find(entry);
        if (game == gameOf.end()) {
            // The plug-in finds its key element, but no record around it.
            file.status = AuditedFile::kNotInList;
            continue;
        }
        audit.games[game->second].files.push_back(index);
    }
}

}  // namespace

Result<Audit> AuditCollection(const Plugin& plugin, const GameList& list,
                              const std::vector<std::string>& paths, unsigned jobs,
                              CollectionDisk& disk, bool verify) {
    Audit audit;
    const GamesByEntry gameOf = ListGames(plugin, list, audit);
    Result<FilesOnce> once = CollectFilesOnce(paths, disk);
    if (!once.Ok()) return once.Why();
    FilesOnce& found = *once;
    // Saves, patches and qbt's journals are no ROMs.
    std::erase_if(found.files, IsNoRom);
    ReadFiles(plugin, list, found.files, jobs, disk, verify, audit);
    for (FoundPath& left : found.leftAlone) audit.files.push_back(LeftAlone(left));
    MatchToGames(plugin, list, gameOf, audit);
    return audit;
}
