#include "tools/rename/moves.h"

#include <algorithm>

#include "tools/system/interruption.h"
#include "tools/system/terminal.h"
#include "tools/disk/files.h"
#include "tools/system/progress_bar.h"

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

namespace {

// The folders from just under `base` down to `folder`, outermost first.
std::vector<fs::path> FoldersBetween(const fs::path& base, const fs::path& folder) {
    std::vector<fs::path> folders;
    for (fs::path at = folder; at != base && at.has_relative_path() && at != at.parent_path();
         at = at.parent_path()) {
        folders.push_back(at);
    }
    std::reverse(folders.begin(), folders.end());
    return folders;
}

}  // namespace

void Mover::AnnounceFolders(const fs::path& base, const fs::path& folder) {
    if (journal_ == nullptr) return;
    for (const fs::path& at : FoldersBetween(base, folder)) {
        if (journaledFolders_.count(at) > 0) continue;
        if (disk_.Exists(at)) continue;
        journal_->Record({{}, at, false, false, true});
        journaledFolders_.insert(at);
    }
}

Move Mover::MakeFolders(const fs::path& base, const fs::path& folder, std::string& error) {
    for (const fs::path& at : FoldersBetween(base, folder)) {
        std::string unknown;
        switch (disk_.KindAt(at, false, unknown)) {
            case FileKind::kFolder: continue;
            case FileKind::kMissing: break;
            case FileKind::kLink:
                error = PathToTerminal(at) +
                        " is a link: nothing is moved into a link or junction, which could lead "
                        "out of the ROM's folder";
                return Move::kNameTaken;
            case FileKind::kUnknown:
                error = "cannot tell what " + PathToTerminal(at) + " is: " + unknown;
                return Move::kRefused;
            default:
                error = PathToTerminal(at) + " is in the way: it is no folder";
                return Move::kNameTaken;
        }
        // Undo removes the folders the journal records, so a folder that was there already is
        // never recorded, and one made is recorded on the disk first.
        if (journal_ != nullptr) {
            if (journaledFolders_.insert(at).second) journal_->Record({{}, at, false, false, true});
            if (!journal_->Sync(error)) {
                error = "the journal cannot be written: " + error;
                return Move::kJournalFailed;
            }
        }
        switch (disk_.MakeFolder(at, error)) {
            case Reservation::kReserved: break;
            case Reservation::kTaken:
                // Made by someone else since it was looked at: what it now is decides.
                if (disk_.KindAt(at, false, unknown) == FileKind::kFolder) break;
                error = PathToTerminal(at) + " was taken while qbt ran";
                return Move::kNameTaken;
            case Reservation::kFailed:
                error = "cannot make the folder " + PathToTerminal(at) + ": " + error;
                return Move::kRefused;
        }
    }
    return Move::kMoved;
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
            mover.AnnounceFolders(Absolute(item.file.parent_path()),
                                  Absolute(Target(item).parent_path()));
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
            Move move = mover.MakeFolders(Absolute(item.file.parent_path()),
                                          Absolute(Target(item).parent_path()), error);
            if (move == Move::kMoved) {
                move = mover.MoveName(Absolute(item.file), Absolute(Target(item)), error);
            } else if (move == Move::kNameTaken) {
                item.outcome = Outcome::kConflict;
                item.reason = error;
                continue;
            }
            switch (move) {
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
