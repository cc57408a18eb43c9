#include "tools/rename/moves.h"

#include <algorithm>

#include "tools/system/interruption.h"
#include "tools/system/progress_bar.h"
#include "tools/system/terminal.h"

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

namespace {

// Why what answers to the name `folder`, of `kind`, keeps anything from being moved into it.
std::string WhyNotAFolder(const fs::path& folder, FileKind kind) {
    if (kind == FileKind::kLink) {
        return PathToTerminal(folder) +
               " is a link: nothing is moved into a link or junction, which could lead out of the "
               "ROM's folder";
    }
    return PathToTerminal(folder) + " is in the way: it is no folder";
}

}  // namespace

MoveResult Mover::MakeFolders(const fs::path& base, const fs::path& folder) {
    for (const fs::path& at : FoldersBetween(base, folder)) {
        const DiskResult<FileKind> kind = disk_.KindAt(at, false);
        if (!kind.Ok()) {
            return MoveError{MoveError::kRefused, "cannot tell what " + PathToTerminal(at) +
                                                      " is: " + kind.Why().reason};
        }
        if (*kind == FileKind::kFolder) continue;
        if (*kind != FileKind::kMissing)
            return MoveError{MoveError::kNameTaken, WhyNotAFolder(at, *kind)};
        if (MoveResult made = MakeFolder(at); !made.Ok()) return made;
    }
    return Done{};
}

MoveResult Mover::MakeFolder(const fs::path& folder) {
    // Undo removes the folders the journal records, so a folder that was there already is
    // never recorded, and one made is recorded on the disk first.
    if (journal_ != nullptr) {
        if (journaledFolders_.insert(folder).second)
            journal_->Record({{}, folder, false, false, true});
        if (MoveResult synced = SyncJournal(); !synced.Ok()) return synced;
    }
    const DiskResult<> made = disk_.MakeFolder(folder);
    if (made.Ok()) return Done{};
    if (made.Why().kind != DiskError::kNameTaken) {
        return MoveError{MoveError::kRefused, "cannot make the folder " + PathToTerminal(folder) +
                                                  ": " + made.Why().reason};
    }
    // Made by someone else since it was looked at: what it now is decides.
    if (KindOrUnknown(disk_, folder, false) == FileKind::kFolder) return Done{};
    return MoveError{MoveError::kNameTaken, PathToTerminal(folder) + " was taken while qbt ran"};
}

void Mover::AnnounceHeldNames(const fs::path& folder) {
    for (auto& [names, placeholder] : announced_) {
        if (placeholder || names.second.parent_path() != folder) continue;
        journal_->Record({names.first, names.second, true, undoing_});
        placeholder = true;
    }
}

MoveResult Mover::SyncJournal() {
    const DiskResult<> synced = journal_->Sync();
    if (synced.Ok()) return Done{};
    return MoveError{MoveError::kJournalFailed,
                     "the journal cannot be written: " + synced.Why().reason};
}

MoveResult Mover::Journal(const fs::path& from, const fs::path& to, bool placeholder) {
    if (journal_ == nullptr) return Done{};
    const auto announced = announced_.find({from, to});
    if (announced == announced_.end() || announced->second != placeholder) {
        journal_->Record({from, to, placeholder, undoing_});
    }
    if (announced != announced_.end()) announced_.erase(announced);
    return SyncJournal();
}

MoveResult Mover::StepOntoPlaceholder(const fs::path& from, const fs::path& to) {
    if (MoveResult journaled = Journal(from, to, true); !journaled.Ok()) return journaled;
    if (const DiskResult<> held = disk_.Reserve(to); !held.Ok()) {
        const bool taken = held.Why().kind == DiskError::kNameTaken;
        return MoveError{taken ? MoveError::kNameTaken : MoveError::kRefused, held.Why().reason};
    }
    const DiskResult<> replaced = disk_.ReplacePlaceholder(from, to);
    if (replaced.Ok()) return Done{};
    disk_.RemoveEmptyFile(to);
    return MoveError{MoveError::kRefused, replaced.Why().reason};
}

MoveResult Mover::Step(const fs::path& from, const fs::path& to) {
    const fs::path folder = to.parent_path();
    if (placeholderFolders_.count(folder) > 0) return StepOntoPlaceholder(from, to);
    if (MoveResult journaled = Journal(from, to, false); !journaled.Ok()) return journaled;
    const DiskResult<> renamed = disk_.Rename(from, to);
    if (renamed.Ok()) return Done{};
    switch (renamed.Why().kind) {
        case DiskError::kNameTaken: return MoveError{MoveError::kNameTaken, ""};
        case DiskError::kCannotRefuse: break;
        default: return MoveError{MoveError::kRefused, renamed.Why().reason};
    }
    // Nothing happened yet; the line above is followed by one that says the name is held first,
    // and so are the lines of the steps announced into the folder.
    placeholderFolders_.insert(folder);
    AnnounceHeldNames(folder);
    return StepOntoPlaceholder(from, to);
}

// Two steps through a free name, each journaled. If the second fails the first is taken back.
MoveResult Mover::MoveThroughFreeName(const fs::path& from, const fs::path& to) {
    fs::path free;
    for (int number = 1; disk_.Exists(free = FreeName(from.parent_path(), number)); ++number) {
    }
    if (MoveResult first = Step(from, free); !first.Ok()) return first;
    MoveResult second = Step(free, to);
    if (!second.Ok() && !Step(free, from).Ok()) {
        return MoveError{MoveError::kRefused, second.Why().reason + "; the file is left as " +
                                                  PathToTerminal(free) + ", which undo puts back"};
    }
    return second;
}

MoveResult Mover::MoveName(const fs::path& from, const fs::path& to) {
    if (disk_.Exists(to)) {
        if (!disk_.IsSameEntry(from, to)) return MoveError{MoveError::kNameTaken, ""};
        return MoveThroughFreeName(from, to);
    }
    return Step(from, to);
}

namespace {

// Renames the items of a plan one by one, and stops trying once the journal cannot be written.
class PlanRenamer {
public:
    PlanRenamer(std::vector<RenameItem>& items, JournalWriter& journal, RenamingDisk& disk)
        : items_(items), mover_(disk, &journal) {}

    bool JournalWritten() const { return journalFailure_.empty(); }

    // Journals ahead the item's folders and its rename.
    void Announce(const RenameItem& item) {
        mover_.AnnounceFolders(Absolute(item.file.parent_path()),
                               Absolute(Target(item).parent_path()));
        mover_.Announce(Absolute(item.file), Absolute(Target(item)));
    }

    // Renames the item unless it is not to be tried; its outcome says what happened.
    void Rename(RenameItem& item) {
        if (!MayTry(item)) return;
        const MoveResult folders = mover_.MakeFolders(Absolute(item.file.parent_path()),
                                                      Absolute(Target(item).parent_path()));
        if (!folders.Ok() && folders.Why().kind == MoveError::kNameTaken) {
            item.outcome = Outcome::kConflict;
            item.reason = folders.Why().reason;
            return;
        }
        const MoveResult moved =
            folders.Ok() ? mover_.MoveName(Absolute(item.file), Absolute(Target(item))) : folders;
        if (moved.Ok()) {
            item.outcome = Outcome::kRenamed;
        } else if (moved.Why().kind == MoveError::kNameTaken) {
            item.outcome = Outcome::kConflict;
            item.reason = "the name was taken while qbt ran";
        } else {
            if (moved.Why().kind == MoveError::kJournalFailed) journalFailure_ = moved.Why().reason;
            item.outcome = Outcome::kFailed;
            item.reason = moved.Why().reason;
        }
    }

private:
    // False, the item's outcome and reason saying why, when it is not to be tried: after an
    // interruption, beside a ROM that could not move, or once the journal cannot be written.
    bool MayTry(RenameItem& item) const {
        if (Interrupted()) {
            item.reason = "not done: qbt was interrupted";  // still planned, as in a dry run
            return false;
        }
        const RenameItem* rom = item.companionOf ? &items_[*item.companionOf] : nullptr;
        if (rom != nullptr && rom->outcome != Outcome::kRename &&
            rom->outcome != Outcome::kRenamed) {
            item.outcome = Outcome::kSkipped;  // a save stays with a ROM that could not move
            item.reason = "not tried: " + PathToTerminal(rom->file.filename()) + " was not renamed";
            return false;
        }
        if (!journalFailure_.empty()) {
            item.outcome = Outcome::kFailed;
            item.reason = "not tried: " + journalFailure_;
            return false;
        }
        return true;
    }

    const std::vector<RenameItem>& items_;
    Mover mover_;
    std::string journalFailure_;
};

}  // namespace

void ApplyPlan(std::vector<RenameItem>& items, const std::vector<std::size_t>& order,
               JournalWriter& journal, RenamingDisk& disk) {
    PlanRenamer renamer(items, journal, disk);
    ProgressBar progress("renaming", order.size());
    std::size_t done = 0;
    for (std::size_t first = 0, size = kFirstBatch; first < order.size();
         first += size, size = std::min(size * 2, kLargestBatch)) {
        const std::size_t last = std::min(first + size, order.size());
        for (std::size_t at = first; at < last && renamer.JournalWritten(); ++at) {
            renamer.Announce(items[order[at]]);
        }
        for (std::size_t at = first; at < last; ++at) {
            progress.Show(done++);
            renamer.Rename(items[order[at]]);
        }
    }
}

std::size_t ClearStrayPlaceholders(const JournalContents& journal, RenamingDisk& disk) {
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
