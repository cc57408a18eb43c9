#include <iostream>
#include <string>
#include <vector>

#include "tools/journal.h"
#include "tools/name_moves.h"
#include "tools/rename_command.h"
#include "tools/tool_error.h"
#include "tools/tool_platform.h"

namespace fs = std::filesystem;

namespace {

enum class Undone { kRestored, kInPlace, kSkipped, kFailed };

// Gives the file its old name back if it still has the new one; `message` says why not.
Undone UndoEntry(const JournalEntry& entry, std::string& message) {
    const std::string where = "line " + std::to_string(entry.line) + ": ";
    const std::string from = PathToTerminal(entry.from);
    const std::string to = PathToTerminal(entry.to);
    const bool fromExists = Exists(entry.from);
    if (!Exists(entry.to)) {
        // Renamed back already, or the run stopped between the journal line and the rename.
        if (fromExists) return Undone::kInPlace;
        message = where + "neither " + from + " nor " + to +
                  " exists: the file was renamed or removed since";
        return Undone::kSkipped;
    }
    // Both names answer: either one file under two spellings of its name (a case change on a
    // file system that ignores case), or two files, the old name taken by one that came since.
    if (fromExists && !IsSameEntry(entry.to, entry.from)) {
        if (IsSameEntry(entry.from, entry.to)) return Undone::kInPlace;
        message = where + from + " exists again: " + to + " is left as it is";
        return Undone::kSkipped;
    }
    std::string error;
    switch (MoveName(entry.to, entry.from, nullptr, error)) {
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

int RunUndo(const Options& options) {
    const fs::path journalPath = PathFromTerminal(options.journal);
    const JournalContents journal = ReadJournal(journalPath);
    std::size_t restored = 0;
    std::size_t inPlace = 0;
    std::vector<std::string> skipped = journal.damaged;
    std::vector<std::string> failed;
    for (auto entry = journal.entries.rbegin(); entry != journal.entries.rend(); ++entry) {
        std::string message;
        switch (UndoEntry(*entry, message)) {
            case Undone::kRestored: ++restored; break;
            case Undone::kInPlace: ++inPlace; break;
            case Undone::kSkipped: skipped.push_back(message); break;
            case Undone::kFailed: failed.push_back(message); break;
        }
    }
    for (const std::string& message : skipped) std::cerr << "qbt: skipped " << message << '\n';
    for (const std::string& message : failed) std::cerr << "qbt: failed " << message << '\n';
    std::cout << restored << " restored, " << inPlace << " already in place";
    if (!skipped.empty()) std::cout << ", " << skipped.size() << " skipped";
    if (!failed.empty()) std::cout << ", " << failed.size() << " failed";
    std::cout << '\n';
    if (journal.tornLastLine) {
        std::cout << "The journal's last line is incomplete: qbt was stopped while writing it, "
                     "before that rename.\n";
    }
    if (!failed.empty()) return kExitRenameFailed;
    return skipped.empty() ? kExitEveryRomFound : kExitSomeRomNotFound;
}
