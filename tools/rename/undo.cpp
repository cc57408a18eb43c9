#include "tools/rename/undo.h"

#include "tools/os/platform.h"
#include "tools/rename/moves.h"

namespace {

enum class Undone { kRestored, kInPlace, kSkipped, kFailed };

// Gives the file its old name back if it still has the new one; `message` says why not.
Undone UndoEntry(const JournalEntry& entry, Disk& disk, std::string& message) {
    const std::string where = "line " + std::to_string(entry.line) + ": ";
    const std::string from = PathToTerminal(entry.from);
    const std::string to = PathToTerminal(entry.to);
    const bool fromExists = disk.Exists(entry.from);
    if (!disk.Exists(entry.to)) {
        // Renamed back already, or the run stopped between the journal line and the rename.
        if (fromExists) return Undone::kInPlace;
        message = where + "neither " + from + " nor " + to +
                  " exists: the file was renamed or removed since";
        return Undone::kSkipped;
    }
    // Both names answer: either one file under two spellings of its name (a case change on a
    // file system that ignores case), or two files, the old name taken by one that came since.
    if (fromExists && !disk.IsSameEntry(entry.to, entry.from)) {
        if (disk.IsSameEntry(entry.from, entry.to)) return Undone::kInPlace;
        message = where + from + " exists again: " + to + " is left as it is";
        return Undone::kSkipped;
    }
    std::string error;
    switch (MoveName(entry.to, entry.from, nullptr, disk, error)) {
        case Move::kMoved: return Undone::kRestored;
        case Move::kNameTaken:
            message = where + from + " was taken meanwhile: " + to + " is left as it is";
            return Undone::kSkipped;
        case Move::kRefused:
        case Move::kJournalFailed: break;
    }
    message = where + "cannot rename " + to + " back to " + from + ": " + error;
    return Undone::kFailed;
}

}  // namespace

UndoOutcome UndoJournal(const JournalContents& journal, Disk& disk) {
    UndoOutcome outcome;
    outcome.skipped = journal.damaged;
    outcome.tornLastLine = journal.tornLastLine;
    for (auto entry = journal.entries.rbegin(); entry != journal.entries.rend(); ++entry) {
        std::string message;
        switch (UndoEntry(*entry, disk, message)) {
            case Undone::kRestored: ++outcome.restored; break;
            case Undone::kInPlace: ++outcome.inPlace; break;
            case Undone::kSkipped: outcome.skipped.push_back(message); break;
            case Undone::kFailed: outcome.failed.push_back(message); break;
        }
    }
    return outcome;
}
