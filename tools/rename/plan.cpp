#include "tools/rename/plan.h"

#include <map>
#include <string>

#include "tools/os/letter_case.h"
#include "tools/os/platform.h"

namespace fs = std::filesystem;

namespace {

// The names in each folder, folded, as the renames planned so far leave them.
class FolderNames {
public:
    explicit FolderNames(Disk& disk) : disk_(disk) {}

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
    Disk& disk_;
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

// Moves the item's name in `folder` when its new name is free there; false when it is held.
bool TakeNameIfFree(const RenameItem& item, std::multimap<std::string, fs::path>& folder) {
    const std::string from = FoldedName(Utf8Of(item.file.filename()));
    const std::string to = FoldedName(item.newName);
    // A change of case only: the file holds the folded name itself.
    if (folder.count(to) > (from == to ? 1u : 0u)) return false;
    for (auto [at, end] = folder.equal_range(from); at != end; ++at) {
        if (at->second == item.file.filename()) {
            folder.erase(at);
            break;
        }
    }
    folder.emplace(to, PathFromUtf8(item.newName));
    return true;
}

}  // namespace

std::vector<std::size_t> PlanRenames(std::vector<RenameItem>& items, Disk& disk) {
    std::vector<std::size_t> pending = FirstClaims(items);
    FolderNames names(disk);
    std::vector<std::size_t> order;
    for (bool moved = true; moved && !pending.empty();) {
        moved = false;
        std::vector<std::size_t> waiting;
        for (const std::size_t index : pending) {
            if (TakeNameIfFree(items[index], names.Of(Absolute(items[index].file.parent_path())))) {
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
        auto& folder = names.Of(Absolute(item.file.parent_path()));
        const auto holder = folder.find(FoldedName(item.newName));
        item.reason = "the name is taken by " +
                      PathToTerminal(holder == folder.end() ? Target(item) : holder->second);
    }
    return order;
}
