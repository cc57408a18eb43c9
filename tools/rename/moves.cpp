#include "tools/rename/moves.h"

#include "tools/os/platform.h"
#include "tools/os/progress_bar.h"

namespace fs = std::filesystem;

namespace {

Move Record(JournalWriter* journal, const fs::path& from, const fs::path& to, std::string& error) {
    if (journal == nullptr || journal->Record(from, to, error)) return Move::kMoved;
    error = "the journal cannot be written: " + error;
    return Move::kJournalFailed;
}

Move FromRenameResult(RenameResult result) {
    switch (result) {
        case RenameResult::Renamed: return Move::kMoved;
        case RenameResult::TargetExists: return Move::kNameTaken;
        case RenameResult::Failed: break;
    }
    return Move::kRefused;
}

// A rename that changes only the case of letters, in a folder that takes `to` for the file's own
// name: two steps through a free name, each journaled. If the second step fails the first is
// taken back.
Move MoveThroughFreeName(const fs::path& from, const fs::path& to, JournalWriter* journal,
                         Disk& disk, std::string& error) {
    fs::path free;
    for (int number = 1; disk.Exists(free = from.parent_path() /
                                            (".qbt-rename-" + std::to_string(number) + ".tmp"));
         ++number) {
    }
    if (Move move = Record(journal, from, free, error); move != Move::kMoved) return move;
    const Move first = FromRenameResult(disk.Rename(from, free, error));
    if (first != Move::kMoved) return first;
    Move second = Record(journal, free, to, error);
    if (second == Move::kMoved) second = FromRenameResult(disk.Rename(free, to, error));
    if (second != Move::kMoved) {
        std::string ignored;
        Record(journal, free, from, ignored);
        if (disk.Rename(free, from, ignored) != RenameResult::Renamed) {
            error += "; the file is left as " + PathToTerminal(free) + ", which undo puts back";
            return Move::kRefused;
        }
    }
    return second;
}

}  // namespace

Move MoveName(const fs::path& from, const fs::path& to, JournalWriter* journal, Disk& disk,
              std::string& error) {
    if (disk.Exists(to)) {
        if (!disk.IsSameEntry(from, to)) return Move::kNameTaken;
        return MoveThroughFreeName(from, to, journal, disk, error);
    }
    if (Move move = Record(journal, from, to, error); move != Move::kMoved) return move;
    return FromRenameResult(disk.Rename(from, to, error));
}

void ApplyPlan(std::vector<RenameItem>& items, const std::vector<std::size_t>& order,
               JournalWriter& journal, Disk& disk) {
    std::string journalFailure;
    ProgressBar progress("renaming", order.size());
    std::size_t done = 0;
    for (const std::size_t index : order) {
        progress.Show(done++);
        RenameItem& item = items[index];
        if (!journalFailure.empty()) {
            item.outcome = Outcome::kFailed;
            item.reason = "not tried: " + journalFailure;
            continue;
        }
        std::string error;
        switch (MoveName(Absolute(item.file), Absolute(Target(item)), &journal, disk, error)) {
            case Move::kMoved: item.outcome = Outcome::kRenamed; break;
            case Move::kNameTaken:
                item.outcome = Outcome::kConflict;
                item.reason = "the name was taken while qbt ran";
                break;
            case Move::kJournalFailed: journalFailure = error; [[fallthrough]];
            case Move::kRefused:
                item.outcome = Outcome::kFailed;
                item.reason = error;
                break;
        }
    }
}
