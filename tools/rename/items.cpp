#include "tools/rename/items.h"

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
