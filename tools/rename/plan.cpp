#include "tools/rename/plan.h"

#include <map>
#include <string>

#include "tools/disk/letter_case.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;

namespace {

// The names in each folder, folded, as the renames planned so far leave them.
class FolderNames {
public:
    explicit FolderNames(RenamingDisk& disk) : disk_(disk) {}

    std::multimap<std::string, fs::path>& Of(const fs::path& folder) {
        auto [names, added] = folders_.try_emplace(folder);
        if (added) {
            for (const fs::path& name : disk_.NamesIn(folder)) {
                names->second.emplace(FoldedName(Utf8Of(name)), name);
            }
        }
        return names->second;
    }

private:
    RenamingDisk& disk_;
    std::map<fs::path, std::multimap<std::string, fs::path>> folders_;
};

std::string ClaimOf(const RenameItem& item) {
    return Utf8Of(Absolute(item.file.parent_path())) + '/' + FoldedName(item.newName);
}

// Of the ROMs that want one name, the first whose saves or patches stand beside it keeps it:
// the copy without them is the stray one. Without any, the first keeps it. The others are
// conflicts. Returns those that keep a name.
std::vector<std::size_t> FirstClaims(std::vector<RenameItem>& items) {
    std::vector<bool> withCompanions(items.size());
    for (const RenameItem& item : items) {
        if (item.companionOf) withCompanions[*item.companionOf] = true;
    }
    std::map<std::string, std::size_t> winners;
    for (std::size_t index = 0; index < items.size(); ++index) {
        if (items[index].outcome != Outcome::kRename) continue;
        const auto [winner, isFirst] = winners.try_emplace(ClaimOf(items[index]), index);
        if (!isFirst && withCompanions[index] && !withCompanions[winner->second]) {
            winner->second = index;
        }
    }
    std::vector<std::size_t> claims;
    for (std::size_t index = 0; index < items.size(); ++index) {
        RenameItem& item = items[index];
        if (item.outcome != Outcome::kRename) continue;
        const std::size_t winner = winners.at(ClaimOf(item));
        if (winner == index) {
            claims.push_back(index);
        } else {
            item.outcome = Outcome::kConflict;
            item.reason = PathToTerminal(items[winner].file) + " takes the name first";
        }
    }
    return claims;
}

// Moves the item's name from `source`, its folder, to `target`, where it goes, when its new name
// is free there; false when it is held.
bool TakeNameIfFree(const RenameItem& item, std::multimap<std::string, fs::path>& source,
                    std::multimap<std::string, fs::path>& target) {
    const std::string from = FoldedName(Utf8Of(item.file.filename()));
    const fs::path newName = Target(item).filename();
    const std::string to = FoldedName(Utf8Of(newName));
    // A change of case only: the file holds the folded name itself.
    if (target.count(to) > (from == to && &source == &target ? 1u : 0u)) return false;
    for (auto [at, end] = source.equal_range(from); at != end; ++at) {
        if (at->second == item.file.filename()) {
            source.erase(at);
            break;
        }
    }
    target.emplace(to, newName);
    return true;
}

// Why the folders the item's new name goes through cannot take it, or "": a link or junction
// on the way (it could lead out of the ROM's folder), or something that is no folder. What each
// path is, once looked at, is kept in `kinds`.
std::string FolderInTheWay(const RenameItem& item, RenamingDisk& disk,
                           std::map<fs::path, FileKind>& kinds) {
    fs::path folder = Absolute(item.file.parent_path());
    for (std::size_t start = 0, slash; (slash = item.newName.find('/', start)) != std::string::npos;
         start = slash + 1) {
        folder /= PathFromUtf8(std::string_view(item.newName).substr(start, slash - start));
        auto [known, added] = kinds.try_emplace(folder, FileKind::kUnknown);
        std::string error;
        if (added) {
            const DiskResult<FileKind> kind = disk.KindAt(folder, false);
            known->second = kind.Ok() ? *kind : FileKind::kUnknown;
            if (!kind.Ok()) error = kind.Why().reason;
        }
        switch (known->second) {
            case FileKind::kMissing: return "";  // qbt makes it, and those under it
            case FileKind::kFolder: continue;
            case FileKind::kLink:
                return PathToTerminal(folder) +
                       " is a link: nothing is moved into a link or junction, which could lead "
                       "out of the ROM's folder";
            case FileKind::kUnknown:
                return "cannot tell what " + PathToTerminal(folder) + " is" +
                       (error.empty() ? "" : ": " + error);
            default: return PathToTerminal(folder) + " is in the way: it is no folder";
        }
    }
    return "";
}

}  // namespace

std::vector<std::size_t> PlanRenames(std::vector<RenameItem>& items, RenamingDisk& disk) {
    std::map<fs::path, FileKind> kinds;
    for (RenameItem& item : items) {
        if (item.outcome != Outcome::kRename || item.newName.find('/') == std::string::npos) {
            continue;
        }
        if (std::string why = FolderInTheWay(item, disk, kinds); !why.empty()) {
            item.outcome = Outcome::kConflict;
            item.reason = std::move(why);
        }
    }
    std::vector<std::size_t> pending = FirstClaims(items);
    FolderNames names(disk);
    std::vector<std::size_t> order;
    for (bool moved = true; moved && !pending.empty();) {
        moved = false;
        std::vector<std::size_t> waiting;
        for (const std::size_t index : pending) {
            const RenameItem& item = items[index];
            if (TakeNameIfFree(item, names.Of(Absolute(item.file.parent_path())),
                               names.Of(Absolute(Target(item).parent_path())))) {
                order.push_back(index);
                moved = true;
            } else {
                waiting.push_back(index);
            }
        }
        pending.swap(waiting);
    }
    for (const std::size_t index : pending) {
        RenameItem& item = items[index];
        item.outcome = Outcome::kConflict;
        auto& folder = names.Of(Absolute(Target(item).parent_path()));
        const auto holder = folder.find(FoldedName(Utf8Of(Target(item).filename())));
        item.reason = "the name is taken by " +
                      PathToTerminal(holder == folder.end() ? Target(item) : holder->second);
    }
    return order;
}
