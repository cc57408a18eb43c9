// One file as `qbt rename` sees it: what it is, the name it should have, and what became of it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "tools/disk/paths.h"

enum class Outcome {
    kRename,  // the plan
    kRenamed,
    kAlreadyRight,
    kNotInList,
    kUnreadable,
    kDamaged,  // --verify found its bytes unlike what its archive records
    kSkipped,  // an archive of several files, a link, no name from the pattern
    kConflict,
    kFailed,
};
inline constexpr std::size_t kOutcomeCount = static_cast<std::size_t>(Outcome::kFailed) + 1;

// "rename", "renamed", "already right", ...
const char* InWords(Outcome outcome);

struct RenameItem {
    std::filesystem::path file;  // as found
    std::string key;
    // UTF-8; empty when there is none. After the folders a pattern makes, each followed by '/'.
    std::string newName;
    Outcome outcome = Outcome::kSkipped;
    std::string reason;
    // A companion (a save or patch beside a ROM, rename/companions.h): its ROM's item.
    std::optional<std::size_t> companionOf;
};

// The new name a pattern's folders give `file`, less the folders that `file` already lies in:
// a ROM sorted into "(U)/" by an earlier run stays there ("(U)/Title.gba" from roms/(U)/ is
// "Title.gba"), rather than going into a "(U)" under it. Folders are compared as a folder that
// ignores letter case compares names.
std::string BelowFoldersAlreadyThere(const std::filesystem::path& file, const std::string& newName);

// Where the item's file goes: its folder, the folders of its new name, its new name; each part
// appended apart, so that the path is spelt with the system's own separators.
inline std::filesystem::path Target(const RenameItem& item) {
    std::filesystem::path target = item.file.parent_path();
    for (std::size_t start = 0;;) {
        const std::size_t slash = item.newName.find('/', start);
        target /= PathFromUtf8(item.newName.substr(start, slash - start));
        if (slash == std::string::npos) return target;
        start = slash + 1;
    }
}
