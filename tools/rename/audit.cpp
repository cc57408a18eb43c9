#include "tools/rename/audit.h"

#include <algorithm>
#include <unordered_map>

#include "tools/os/parallel.h"
#include "tools/rename/companions.h"
#include "tools/rename/examine.h"

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

// Keyed as a host keys a ROM: its CRC-32, key type 0. In the list when the plug-in says so.
AuditedFile ReadFile(const Plugin& plugin, const GameList& list, const std::filesystem::path& path,
                     Disk& disk) {
    const RenameItem read = ReadKey(path, disk);
    if (read.key.empty()) {
        return {
            path, "",
            read.outcome == Outcome::kUnreadable ? AuditedFile::kUnreadable : AuditedFile::kSkipped,
            read.reason};
    }
    const bool inList = Ask(plugin, list, Field::kTitle, read.key, 0).result != ErrKeyNotFound;
    return {path, read.key, inList ? AuditedFile::kGame : AuditedFile::kNotInList, ""};
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

Audit AuditCollection(const Plugin& plugin, const GameList& list,
                      const std::vector<std::string>& paths, unsigned jobs, Disk& disk) {
    Audit audit;
    std::unordered_map<const ListIndex::Entry*, std::size_t> gameOf;
    for (const ListIndex::Entry& entry : list.index.Entries()) {
        if (!entry.recordStart) continue;
        gameOf.emplace(&entry, audit.games.size());
        audit.games.push_back({&entry,
                               Ask(plugin, list, Field::kTitle, entry.key, kKeyAsWritten),
                               Ask(plugin, list, Field::kRelease, entry.key, kKeyAsWritten),
                               {}});
    }

    FilesToName found = CollectFilesToName(paths, disk);
    // Counted as rename counts them: saves, patches and qbt's journals are no ROMs.
    std::erase_if(found.files, IsNoRom);
    audit.files.resize(found.files.size());
    ForEachOnThreads(found.files.size(), jobs, "reading", [&](std::size_t index) {
        audit.files[index] = ReadFile(plugin, list, found.files[index], disk);
    });
    for (const RenameItem& left : found.leftAlone) {
        audit.files.push_back({left.file, "",
                               left.outcome == Outcome::kUnreadable ? AuditedFile::kUnreadable
                                                                    : AuditedFile::kSkipped,
                               left.reason});
    }

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
    return audit;
}
