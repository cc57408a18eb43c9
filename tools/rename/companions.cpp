#include "tools/rename/companions.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "tools/base/ascii.h"
#include "tools/disk/paths.h"
#include "tools/rename/safe_name.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;

namespace {

std::string FoldedStem(const fs::path& file) { return AsciiFolded(Utf8Of(file.stem())); }

// The ROMs of each folder and stem that are in the list, renamed or not: a companion of a stem
// that two of them share belongs to neither.
std::map<std::pair<fs::path, std::string>, std::size_t> RomsByStem(
    const std::vector<RenameItem>& items) {
    std::map<std::pair<fs::path, std::string>, std::size_t> roms;
    for (const RenameItem& item : items) {
        if (item.outcome == Outcome::kRename || item.outcome == Outcome::kAlreadyRight) {
            ++roms[{item.file.parent_path(), FoldedStem(item.file)}];
        }
    }
    return roms;
}

// A folder's companions by folded stem, read once: a collection keeps thousands of ROMs in one
// folder, and looking through all its names for each ROM took seconds.
using CompanionsByStem = std::map<std::string, std::vector<fs::path>>;

CompanionsByStem CompanionsIn(const fs::path& folder, RenamingDisk& disk) {
    CompanionsByStem companions;
    for (fs::path& name : disk.NamesIn(folder)) {
        if (IsCompanionName(name)) companions[FoldedStem(name)].push_back(std::move(name));
    }
    return companions;
}

// The companion `name` of the ROM of items[rom], in the ROM's folder.
RenameItem CompanionItem(const std::vector<RenameItem>& items, std::size_t rom,
                         const fs::path& name) {
    const RenameItem& item = items[rom];
    const fs::path file = item.file.parent_path() / name;
    const std::string extension = Utf8Of(name.extension());
    const std::string romExtension = Utf8Of(item.file.extension());
    // Into the ROM's new folders too; only the name after them is the companion's own.
    const std::size_t named = item.newName.rfind('/') + 1;  // 0 without folders
    const std::string folders = item.newName.substr(0, named);
    const std::string newStem =
        item.newName.substr(named, item.newName.size() - romExtension.size() - named);
    RenameItem companion{file, "", folders + SafeFileName(newStem, extension), Outcome::kRename,
                         "",   rom};
    if (companion.newName != folders + newStem + extension) {
        // Cut shorter than the ROM's name, it would no longer match it.
        companion.outcome = Outcome::kConflict;
        companion.reason = "its new name would be too long";
    }
    return companion;
}

}  // namespace

void AddCompanions(std::vector<RenameItem>& items, RenamingDisk& disk) {
    const auto roms = RomsByStem(items);
    std::map<fs::path, CompanionsByStem> folders;
    std::set<fs::path> shared;  // listed once, however many ROMs are named like it
    const std::size_t romItems = items.size();
    for (std::size_t rom = 0; rom < romItems; ++rom) {
        if (items[rom].outcome != Outcome::kRename || items[rom].companionOf) continue;
        const fs::path folder = items[rom].file.parent_path();
        const std::string stem = FoldedStem(items[rom].file);
        auto [companions, unread] = folders.try_emplace(folder);
        if (unread) companions->second = CompanionsIn(folder, disk);
        const auto sameStem = companions->second.find(stem);
        if (sameStem == companions->second.end()) continue;
        for (const fs::path& name : sameStem->second) {
            if (KindOrUnknown(disk, folder / name, false) == FileKind::kLink) continue;
            if (roms.at({folder, stem}) > 1) {
                if (!shared.insert(folder / name).second) continue;
                items.push_back({folder / name,
                                 "",
                                 "",
                                 Outcome::kSkipped,
                                 "a save or patch that more than one ROM here is named like",
                                 {}});
                continue;
            }
            items.push_back(CompanionItem(items, rom, name));
        }
    }
}

bool KeepCompanionsTogether(std::vector<RenameItem>& items) {
    bool changed = false;
    for (RenameItem& companion : items) {
        if (!companion.companionOf) continue;
        RenameItem& rom = items[*companion.companionOf];
        if (companion.outcome == Outcome::kConflict && rom.outcome == Outcome::kRename) {
            rom.outcome = Outcome::kConflict;
            rom.reason = PathToTerminal(companion.file.filename()) +
                         ", which goes with it, cannot be renamed: " + companion.reason;
            changed = true;
        }
    }
    for (RenameItem& companion : items) {
        if (!companion.companionOf || companion.outcome != Outcome::kRename) continue;
        const RenameItem& rom = items[*companion.companionOf];
        if (rom.outcome != Outcome::kRename) {
            companion.outcome = Outcome::kConflict;
            companion.reason = "it stays with " + PathToTerminal(rom.file.filename());
            changed = true;
        }
    }
    return changed;
}
