// One file as `qbt rename` sees it: what it is, the name it should have, and what became of it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "tools/os/paths.h"

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
    std::string newName;  // UTF-8; empty when there is none
    Outcome outcome = Outcome::kSkipped;
    std::string reason;
    // A companion (a save or patch beside a ROM, rename/companions.h): its ROM's item.
    std::optional<std::size_t> companionOf;
};

// Where the item's file goes: its folder, its new name.
inline std::filesystem::path Target(const RenameItem& item) {
    return item.file.parent_path() / PathFromUtf8(item.newName);
}
