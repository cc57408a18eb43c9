#include "tools/rename/moves.h"

#include <algorithm>

#include "tools/os/interruption.h"
#include "tools/os/platform.h"
#include "tools/os/progress_bar.h"

namespace fs = std::filesystem;

namespace {

// How many renames the first batch holds; each batch after holds twice as many as the one
// before, up to kLargestBatch.
constexpr std::size_t kFirstBatch = 16;
constexpr std::size_t kLargestBatch = 1024;

}  // namespace

void Mover::Announce(const fs::path& from, const fs::path& to) {
    if (journal_ == nullptr || disk_.Exists(to)) return;
    const bool placeholder = placeholderFolders_.count(to.parent_path()) > 0;
    journal_->Record({from, to, placeholder, undoing_});
    announced_[{from, to}] = placeholder;
}

void Mover::AnnounceHeldNames(const fs::path& folder) {
    for (auto& [names, placeholder] : announced_) {
        if (placeholder || names.second.parent_path() != folder) continue;
        journal_->Record({names.first, names.second, true, undoing_});
        placeholder = true;
    }
}

Move Mover::Journal(const fs::path& from, const fs::path& to, bool placeholder,
                    std::string& error) {
    if (journal_ == nullptr) return Move::kMoved;
    const auto announced = announced_.find({from, to});
    if (announced == announced_.end() || announced->second != placeholder) {
        journal_->Record({from, to, placeholder, undoing_});
    }
    if (announced != announced_.end()) announced_.erase(announced);
    if (journal_->Sync(error)) return Move::kMoved;
    error = "the journal cannot be written: " + error;
    return Move::kJournalFailed;
}

Move Mover::StepOntoPlaceholder(const fs::path& from, const fs::path& to, std::string& error) {
    if (Move move = Journal(from, to, true, error); move != Move::kMoved) return move;
    switch (disk_.Reserve(to, error)) {
        case Reservation::kReserved: break;
        case Reservation::kTaken: return Move::kNameTaken;
        case Reservation::kFailed: return Move::kRefused;
    }
    if (disk_.ReplacePlaceholder(from, to, error)) return Move::kMoved;
    disk_.RemoveEmptyFile(to);
    return Move::kRefused;
}

Move Mover::Step(const fs::path& from, const fs::path& to, std::string& error) {
    const fs::path folder = to.parent_path();
    if (placeholderFolders_.count(folder) > 0) return StepOntoPlaceholder(from, to, error);
    if (Move move = Journal(from, to, false, error); move != Move::kMoved) return move;
    switch (disk_.Rename(from, to, error)) {
        case RenameResult::Renamed: return Move::kMoved;
        case RenameResult::TargetExists: return Move::kNameTaken;
        case RenameResult::Failed: return Move::kRefused;
        case RenameResult::CannotRefuse: break;
    }
    // Nothing happened yet; the line above is followed by one that says the name is held first,
    // and so are the lines of the steps announced into the folder.
    placeholderFolders_.insert(folder);
    AnnounceHeldNames(folder);
    return StepOntoPlaceholder(from, to, error);
}

// Two steps through a free name, each journaled. If the second fails the first is taken back.
Move Mover::MoveThroughFreeName(const fs::path& from, const fs::path& to, std::string& error) {
    fs::path free;
    for (int number = 1; disk_.Exists(free = FreeName(from.parent_path(), number)); ++number) {
    }
    if (Move first = Step(from, free, error); first != Move::kMoved) return first;
    const Move second = Step(free, to, error);
    if (second != Move::kMoved) {
        std::string ignored;
        if (Step(free, from, ignored) != Move::kMoved) {
            error += "; the file is left as " + PathToTerminal(free) + ", which undo puts back";
            return Move::kRefused;
        }
    }
    return second;
}

Move Mover::MoveName(const fs::path& from, const fs::path& to, std::string& error) {
    if (disk_.Exists(to)) {
        if (!disk_.IsSameEntry(from, to)) return Move::kNameTaken;
        return MoveThroughFreeName(from, to, error);
    }
    return Step(from, to, error);
}

void ApplyPlan(std::vector<RenameItem>& items, const std::vector<std::size_t>& order,
               JournalWriter& journal, Disk& disk) {
    Mover mover(disk, &journal);
    std::string journalFailure;
    ProgressBar progress("renaming", order.size());
    std::size_t done = 0;
    for (std::size_t first = 0, size = kFirstBatch; first < order.size();
         first += size, size = std::min(size * 2, kLargestBatch)) {
        const std::size_t last = std::min(first + size, order.size());
        for (std::size_t at = first; at < last && journalFailure.empty(); ++at) {
            const RenameItem& item = items[order[at]];
            mover.Announce(Absolute(item.file), Absolute(Target(item)));
        }
        for (std::size_t at = first; at < last; ++at) {
            progress.Show(done++);
            RenameItem& item = items[order[at]];
            if (Interrupted()) {
                item.reason = "not done: qbt was interrupted";  // still planned, as in a dry run
                continue;
            }
            const RenameItem* rom = item.companionOf ? &items[*item.companionOf] : nullptr;
            if (rom != nullptr && rom->outcome != Outcome::kRename &&
                rom->outcome != Outcome::kRenamed) {
                item.outcome = Outcome::kSkipped;  // a save stays with a ROM that could not move
                item.reason =
                    "not tried: " + PathToTerminal(rom->file.filename()) + " was not renamed";
                continue;
            }
            if (!journalFailure.empty()) {
                item.outcome = Outcome::kFailed;
                item.reason = "not tried: " + journalFailure;
                continue;
            }
            std::string error;
            switch (mover.MoveName(Absolute(item.file), Absolute(Target(item)), error)) {
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
}

std::size_t ClearStrayPlaceholders(const JournalContents& journal, Disk& disk) {
    std::size_t cleared = 0;
    for (const JournalEntry& entry : journal.entries) {
        if (entry.placeholder && disk.Exists(entry.from) &&
            !disk.IsSameEntry(entry.from, entry.to) && disk.IsEmptyFile(entry.to) &&
            disk.RemoveEmptyFile(entry.to)) {
            ++cleared;
        }
    }
    return cleared;
}
