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

// The first ROM to want a name keeps it; the others are conflicts. Returns those that keep one.
std::vector<std::size_t> FirstClaims(std::vector<RenameItem>& items) {
    std::map<std::string, std::size_t> claimed;
    std::vector<std::size_t> claims;
    for (std::size_t index = 0; index < items.size(); ++index) {
        RenameItem& item = items[index];
        if (item.outcome != Outcome::kRename) continue;
        const std::string claim =
            Utf8Of(Absolute(item.file.parent_path())) + '/' + FoldedName(item.newName);
        const auto [first, isFirst] = claimed.try_emplace(claim, index);
        if (isFirst) {
            claims.push_back(index);
        } else {
            item.outcome = Outcome::kConflict;
            item.reason = PathToTerminal(items[first->second].file) + " takes the name first";
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
