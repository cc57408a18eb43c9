#include "tools/rename/undo.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <set>

#include "tools/rename/moves.h"
#include "tools/system/interruption.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;

namespace {

struct UndoContext {
    RenamingDisk& disk;  // a PretendDisk in a dry run
    Mover& mover;
    bool dryRun;
    std::set<fs::path> placeholders;  // names the journal says were held with an empty file
    // Undo's own steps, by the name they moved a file away from: line index, new name.
    std::multimap<fs::path, std::pair<std::size_t, fs::path>> undoStepsFrom;
};

// Removes an empty placeholder the journal recorded at `path`.
bool ClearPlaceholder(const fs::path& path, UndoContext& context) {
    return context.placeholders.count(path) > 0 && context.disk.RemoveEmptyFile(path);
}

// Where the file a rename moved is now: its new name; between the two steps of a change of
// letter case, the free name; or, after an undo stopped midway, wherever undo's own later lines
// took it, the last of those names that is there.
fs::path WhereNow(const JournalEntry& entry, std::size_t index, UndoContext& context) {
    RenamingDisk& disk = context.disk;
    if (disk.Exists(entry.to)) return entry.to;
    if (!entry.via.empty() && disk.Exists(entry.via)) return entry.via;
    fs::path now = entry.to;
    for (fs::path at = entry.to;;) {
        const auto [first, end] = context.undoStepsFrom.equal_range(at);
        const auto step =
            std::find_if(first, end, [&](const auto& s) { return s.second.first > index; });
        if (step == end) return now;
        index = step->second.first;
        at = step->second.second;
        if (at != entry.from && disk.Exists(at)) now = at;
    }
}

Undone UndoEntry(const JournalEntry& entry, std::size_t index, UndoContext& context, fs::path& now,
                 std::string& reason) {
    RenamingDisk& disk = context.disk;
    // A rename stopped after its new name was held with an empty file, before the rename onto
    // it: the placeholder goes, the file never left.
    const fs::path before = entry.via.empty() ? entry.from : entry.via;
    if (disk.Exists(before) && !disk.IsSameEntry(before, entry.to)) {
        ClearPlaceholder(entry.to, context);
    }
    now = WhereNow(entry, index, context);
    const std::string from = PathToTerminal(entry.from);
    const std::string to = PathToTerminal(now);
    // Likewise for undo's own step back, stopped after holding the old name.
    if (disk.Exists(now) && !disk.IsSameEntry(now, entry.from)) {
        ClearPlaceholder(entry.from, context);
    }
    const bool fromExists = disk.Exists(entry.from);
    if (!disk.Exists(now)) {
        // Renamed back already, or the run stopped between the journal line and the rename.
        if (fromExists) return Undone::kInPlace;
        reason =
            "neither " + from + " nor " + to + " exists: the file was renamed or removed since";
        return Undone::kSkipped;
    }
    // Both names answer: one file under two spellings of its name (a case change in a folder
    // that ignores case), or two files, the old name taken by one that came since.
    if (fromExists && !disk.IsSameEntry(now, entry.from)) {
        if (disk.IsSameEntry(entry.from, now)) return Undone::kInPlace;
        // A rename by link and unlink stopped between the two: the file has both names, and
        // only the new one goes.
        if (disk.RemoveSecondName(entry.from, now)) {
            return context.dryRun ? Undone::kRestore : Undone::kRestored;
        }
        reason = from + " exists again: " + to + " is left as it is";
        return Undone::kSkipped;
    }
    const MoveResult moved = context.mover.MoveName(now, entry.from);
    if (moved.Ok()) return context.dryRun ? Undone::kRestore : Undone::kRestored;
    if (moved.Why().kind == MoveError::kNameTaken) {
        reason = from + " was taken meanwhile: " + to + " is left as it is";
        return Undone::kSkipped;
    }
    reason = "cannot rename " + to + " back to " + from + ": " + moved.Why().reason;
    return Undone::kFailed;
}

// The folders the journal records as made, deepest first, each once.
std::vector<fs::path> FoldersMade(const JournalContents& journal) {
    std::vector<fs::path> folders;
    for (const JournalEntry& entry : journal.entries) {
        if (entry.folder && std::find(folders.begin(), folders.end(), entry.to) == folders.end()) {
            folders.push_back(entry.to);
        }
    }
    const auto depth = [](const fs::path& path) { return std::distance(path.begin(), path.end()); };
    std::stable_sort(folders.begin(), folders.end(),
                     [&](const fs::path& a, const fs::path& b) { return depth(a) > depth(b); });
    return folders;
}

void RemoveFoldersMade(const JournalContents& journal, RenamingDisk& disk, UndoOutcome& outcome) {
    for (const fs::path& folder : FoldersMade(journal)) {
        if (disk.RemoveEmptyFolder(folder)) {
            outcome.foldersRemoved.push_back(folder);
            continue;
        }
        if (KindOrUnknown(disk, folder, false) == FileKind::kFolder) {
            outcome.foldersKept.push_back(folder);
        }
    }
}

}  // namespace

const char* InWords(Undone undone) {
    switch (undone) {
        case Undone::kRestore: return "restore";
        case Undone::kRestored: return "restored";
        case Undone::kInPlace: return "already in place";
        case Undone::kSkipped: return "skipped";
        case Undone::kFailed: return "failed";
    }
    return "";
}

UndoOutcome UndoJournal(const JournalContents& journal, RenamingDisk& disk, JournalWriter* own) {
    Mover mover(disk, own, true);
    UndoContext context{disk, mover, own == nullptr, {}, {}};
    for (std::size_t index = 0; index < journal.entries.size(); ++index) {
        const JournalEntry& entry = journal.entries[index];
        if (entry.placeholder) context.placeholders.insert(entry.to);
        if (entry.undo) context.undoStepsFrom.emplace(entry.from, std::pair(index, entry.to));
    }
    UndoOutcome outcome;
    outcome.damaged = journal.damaged;
    outcome.tornLastLine = journal.tornLastLine;
    for (std::size_t index = journal.entries.size(); index-- > 0;) {
        const JournalEntry& entry = journal.entries[index];
        if (entry.undo || entry.folder) continue;
        if (own != nullptr && Interrupted()) {
            outcome.interrupted = true;
            return outcome;
        }
        UndoneEntry& undone = outcome.entries.emplace_back(
            UndoneEntry{entry.line, entry.from, entry.to, Undone::kSkipped, ""});
        undone.outcome = UndoEntry(entry, index, context, undone.now, undone.reason);
    }
    RemoveFoldersMade(journal, disk, outcome);
    return outcome;
}
