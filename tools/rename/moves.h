// Moving a file's name without ever replacing another file, each step journaled first.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/base/result.h"
#include "tools/disk/renaming_disk.h"
#include "tools/rename/items.h"
#include "tools/rename/journal.h"
#include "tools/rename/journal_reading.h"

// Why a move was not made.
struct MoveError {
    enum Kind {
        kNameTaken,      // something answers to the name, or stands in the way
        kRefused,        // the system refused the step
        kJournalFailed,  // the journal cannot be written: no step may follow
    };
    Kind kind;
    std::string reason;  // for kNameTaken, empty unless a folder stands in the way
};

using MoveResult = Result<Done, MoveError>;

// Gives files new names, never replacing anything, each step journaled before it is taken (no
// journal: null): the journal is synced before every change the disk is asked for, which costs
// nothing when the step's line was announced with others and synced with them already. In a folder
// whose file system can refuse to replace a file neither in the rename itself nor through a hard
// link (exFAT and FAT through FUSE, some network shares), the new name is first held with an empty
// file made only if the name is free, and the file renamed onto it; the journal says so first, so
// that undo, and a rename run that adds to the journal, can tell that empty file for the
// placeholder it is. The first rename in a folder finds out which way the folder takes; the later
// ones go that way at once.
class Mover {
public:
    // `undoing`: the steps are undo's own, and the journal marks them so.
    Mover(RenamingDisk& disk, JournalWriter* journal, bool undoing = false)
        : disk_(disk), journal_(journal), undoing_(undoing) {}

    // Journals ahead the step by which MoveName will most likely give `from` the name `to`, held
    // with the other steps announced until the next sync. A move that goes otherwise (a name
    // taken, a change of letter case, a folder found to need held names) journals its own steps.
    void Announce(const std::filesystem::path& from, const std::filesystem::path& to);

    // Journals ahead, with the announced steps, the folders between `base` and `folder` that are
    // not there (a pattern's folders under the ROM's own).
    void AnnounceFolders(const std::filesystem::path& base, const std::filesystem::path& folder);

    // Makes the folders between `base` (which is there) and `folder` that are not there, each
    // only after the journal that records it is synced. A link or junction on the way, or
    // something that is no folder, is kNameTaken with the reason: nothing is moved into a folder
    // that could lead elsewhere.
    MoveResult MakeFolders(const std::filesystem::path& base, const std::filesystem::path& folder);

    // Gives the file `from` the name `to`. A change of letter case only, in a folder that takes
    // `to` for the file's own name, goes through a free name in two journaled steps.
    MoveResult MoveName(const std::filesystem::path& from, const std::filesystem::path& to);

private:
    MoveResult MakeFolder(const std::filesystem::path& folder);
    MoveResult Step(const std::filesystem::path& from, const std::filesystem::path& to);
    MoveResult StepOntoPlaceholder(const std::filesystem::path& from,
                                   const std::filesystem::path& to);
    MoveResult MoveThroughFreeName(const std::filesystem::path& from,
                                   const std::filesystem::path& to);
    // Journals the step unless it was announced so, then syncs the journal.
    MoveResult Journal(const std::filesystem::path& from, const std::filesystem::path& to,
                       bool placeholder);
    // Writes the journal's lines held through to the disk.
    MoveResult SyncJournal();
    // Journals again, as renames onto held names, the steps announced into a folder just found
    // to need them.
    void AnnounceHeldNames(const std::filesystem::path& folder);

    RenamingDisk& disk_;
    JournalWriter* journal_;
    bool undoing_;
    std::set<std::filesystem::path> placeholderFolders_;
    // The steps announced and not yet taken, by their names: whether onto a held name.
    std::map<std::pair<std::filesystem::path, std::filesystem::path>, bool> announced_;
    // Folders journaled, announced or made, and not to be journaled again.
    std::set<std::filesystem::path> journaledFolders_;
};

// Renames the items in the plan's order, each outcome set to what happened, in batches whose
// steps are journaled with one sync; the first batches are small, so that a run stopped early or
// on a full disk has renamed what it could. Once the journal cannot be written nothing more is
// tried; after an interruption (Ctrl-C, SIGTERM) neither, the rename under way finished first.
void ApplyPlan(std::vector<RenameItem>& items, const std::vector<std::size_t>& order,
               JournalWriter& journal, RenamingDisk& disk);

// Removes the empty files that `journal` records as names held for a rename that never happened
// (the old name is still there): what a run stopped between holding a name and renaming onto it
// leaves. Nothing else is ever removed. Returns how many.
std::size_t ClearStrayPlaceholders(const JournalContents& journal, RenamingDisk& disk);
