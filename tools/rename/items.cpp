#include "tools/rename/items.h"

#include <vector>

#include "tools/disk/letter_case.h"

const char* InWords(Outcome outcome) {
    switch (outcome) {
        case Outcome::kRename: return "rename";
        case Outcome::kRenamed: return "renamed";
        case Outcome::kAlreadyRight: return "already right";
        case Outcome::kNotInList: return "not in the list";
        case Outcome::kUnreadable: return "unreadable";
        case Outcome::kDamaged: return "damaged";
        case Outcome::kSkipped: return "skipped";
        case Outcome::kConflict: return "conflict";
        case Outcome::kFailed: return "failed";
    }
    return "";
}

std::string BelowFoldersAlreadyThere(const std::filesystem::path& file,
                                     const std::string& newName) {
    std::vector<std::string> folders;
    for (std::size_t start = 0, slash; (slash = newName.find('/', start)) != std::string::npos;
         start = slash + 1) {
        folders.push_back(newName.substr(start, slash - start));
    }
    std::filesystem::path at = Absolute(file).parent_path();
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        if (FoldedName(Utf8Of(at.filename())) != FoldedName(*folder)) return newName;
        at = at.parent_path();
    }
    return folders.empty() ? newName : newName.substr(newName.rfind('/') + 1);
}
