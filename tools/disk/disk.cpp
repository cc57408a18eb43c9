#include "tools/disk/disk.h"

#include <map>
#include <set>
#include <system_error>
#include <vector>

#include "tools/base/ascii.h"
#include "tools/disk/file_reading.h"
#include "tools/disk/letter_case.h"
#include "tools/disk/paths.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;

namespace {

class SystemFileSystem final : public Disk {
public:
    std::vector<fs::path> NamesIn(const fs::path& folder) override {
        std::vector<fs::path> names;
        std::string error;
        ListNames(folder, names, error);
        return names;
    }

    // A name the system cannot look up counts as taken, so that nothing is moved onto it. A name
    // the lookup finds must also be in the folder's listing: through FUSE the kernel keeps each
    // spelling of a name that exfat-fuse once found for a second after the file has gone (it
    // takes `X.gba` and `x.gba` for two files), while the listing comes from the file system.
    bool Exists(const fs::path& path) override {
        std::string error;
        if (KindOf(path, false, error) == FileKind::kMissing) return false;
        const fs::path folder = path.parent_path();
        const std::string name = FoldedName(Utf8Of(path.filename()));
        if (Listing(folder, false).count(name) > 0) return true;
        return Listing(folder, true).count(name) > 0;
    }

    // In a folder that ignores letter case, a name that answers although the folder does not
    // hold it as spelt reaches an entry spelt otherwise; when the two names differ in letter case
    // only (any letter's: `ærø` and `ÆRØ` are one name on exFAT and NTFS), that entry can only be
    // `existing`'s, since such a folder holds one entry per name.
    bool IsSameEntry(const fs::path& existing, const fs::path& name) override {
        const fs::path spelt = name.filename();
        if (existing.parent_path() != name.parent_path() || existing.filename() == spelt ||
            FoldedName(Utf8Of(existing.filename())) != FoldedName(Utf8Of(spelt)) ||
            !Exists(existing) || !Exists(name)) {
            return false;
        }
        for (const fs::path& held : NamesIn(name.parent_path())) {
            if (held == spelt) return false;
        }
        return true;
    }

    RenameResult Rename(const fs::path& from, const fs::path& to, std::string& error) override {
        const RenameResult result = RenameWithoutReplacing(from, to, error);
        if (result == RenameResult::Renamed) Moved(from, to);
        return result;
    }

    Reservation Reserve(const fs::path& path, std::string& error) override {
        const Reservation reservation = ReserveName(path, error);
        if (reservation == Reservation::kReserved) Moved({}, path);
        return reservation;
    }

    bool ReplacePlaceholder(const fs::path& from, const fs::path& placeholder,
                            std::string& error) override {
        // Someone else's file may not take the placeholder's place unseen: it must still be
        // empty, which leaves only the moment between this look and the rename.
        if (!::IsEmptyFile(placeholder)) {
            error = "the name held for it was taken meanwhile";
            return false;
        }
        if (!::RenameReplacing(from, placeholder, error)) return false;
        Moved(from, {});
        return true;
    }

    bool IsEmptyFile(const fs::path& path) override { return ::IsEmptyFile(path); }

    bool RemoveEmptyFile(const fs::path& path) override {
        if (!::RemoveEmptyFile(path)) return false;
        Moved(path, {});
        return true;
    }

    Reservation MakeFolder(const fs::path& path, std::string& error) override {
        const Reservation made = ::MakeFolder(path, error);
        if (made == Reservation::kReserved) Moved({}, path);
        return made;
    }

    bool RemoveEmptyFolder(const fs::path& path) override {
        if (!::RemoveEmptyFolder(path)) return false;
        Moved(path, {});
        listings_.erase(path);
        return true;
    }

    bool IsSecondName(const fs::path& kept, const fs::path& extra) override {
        return ::IsSecondName(kept, extra);
    }

    bool RemoveSecondName(const fs::path& kept, const fs::path& extra) override {
        if (!::RemoveSecondName(kept, extra)) return false;
        Moved(extra, {});
        return true;
    }

    bool ListEntries(const fs::path& folder, std::vector<FolderEntry>& entries,
                     std::string& error) override {
        return ::ListFolder(folder, entries, error);
    }

    FileKind KindAt(const fs::path& path, bool followLinks, std::string& error) override {
        return ::KindOf(path, followLinks, error);
    }

    std::unique_ptr<ReadableFile> OpenToRead(const fs::path& path, std::string& error) override {
        return OpenReadable(path, error);
    }

    fs::path Resolved(const fs::path& path) override {
        std::error_code error;
        fs::path resolved = fs::canonical(path, error);
        return error ? fs::path() : resolved;
    }

    bool IsSameFile(const fs::path& a, const fs::path& b) override {
        std::error_code error;
        return fs::equivalent(a, b, error);
    }

    Reservation WriteNewFile(const fs::path& path, std::string_view content,
                             std::string& error) override {
        const Reservation made = ::WriteNewFile(path, content, error);
        if (made == Reservation::kReserved) {
            Moved({}, path);
            made_.insert(path);
        }
        return made;
    }

    // Only a file of this process's own making can go, so that no slip removes a user's.
    bool RemoveNewFile(const fs::path& path) override {
        if (!IsMade(path) || !RemoveFile(path)) return false;
        Moved(path, {});
        return true;
    }

    bool RenameReplacing(const fs::path& from, const fs::path& to, std::string& error) override {
        if (!IsMade(from)) {
            error = "qbt did not make " + PathToTerminal(from);
            return false;
        }
        if (!::RenameReplacing(from, to, error)) return false;
        Moved(from, {});
        return true;
    }

    fs::path CurrentFolder() override {
        std::error_code error;
        fs::path folder = fs::current_path(error);
        return error ? fs::path() : folder;
    }

    FileKind ReadJournalText(const fs::path& path, std::string& text, std::string& error) override {
        // Not a device or a pipe, which could be read without end.
        const FileKind kind = KindOf(path, true, error);
        if (kind != FileKind::kFile) return kind;
        text.clear();
        const auto append = [&](std::string_view chunk) { text.append(chunk); };
        return ReadInChunks(path, append, error) ? FileKind::kFile : FileKind::kUnknown;
    }

    std::unique_ptr<JournalFile> OpenJournal(const fs::path& path, std::string& error) override {
        return OpenJournalFile(path, error);
    }

private:
    using FoldedNames = std::multiset<std::string>;

    // The folder's names, folded as such a folder compares them: as last listed and changed
    // since by this process's own renames, or `fresh` from the file system.
    const FoldedNames& Listing(const fs::path& folder, bool fresh) {
        auto [listing, added] = listings_.try_emplace(folder);
        if (added || fresh) {
            listing->second.clear();
            for (const fs::path& name : NamesIn(folder)) {
                listing->second.insert(FoldedName(Utf8Of(name)));
            }
        }
        return listing->second;
    }

    // Keeps the listings read so far in step with a name gone (`from`) and one come (`to`).
    void Moved(const fs::path& from, const fs::path& to) {
        // A file of qbt's own making that has moved on is the user's now.
        if (!from.empty()) made_.erase(from);
        if (auto listing = listings_.find(from.parent_path());
            !from.empty() && listing != listings_.end()) {
            if (auto name = listing->second.find(FoldedName(Utf8Of(from.filename())));
                name != listing->second.end()) {
                listing->second.erase(name);
            }
        }
        if (auto listing = listings_.find(to.parent_path());
            !to.empty() && listing != listings_.end()) {
            listing->second.insert(FoldedName(Utf8Of(to.filename())));
        }
    }

    bool IsMade(const fs::path& path) const { return made_.count(path) > 0; }

    std::map<fs::path, FoldedNames> listings_;
    std::set<fs::path> made_;  // by WriteNewFile, not yet renamed or removed
};

// The key PretendDisk keeps a name under.
fs::path Folded(const fs::path& path) {
    return path.parent_path() / PathFromUtf8(FoldedName(Utf8Of(path.filename())));
}

}  // namespace

Disk& SystemDisk() {
    static SystemFileSystem disk;
    return disk;
}

std::vector<fs::path> PretendDisk::NamesIn(const fs::path& folder) {
    std::vector<fs::path> names;
    for (fs::path& name : real_.NamesIn(folder)) {
        const auto changed = changed_.find(Folded(folder / name));
        if (changed == changed_.end() || changed->second.exists) names.push_back(std::move(name));
    }
    for (const auto& [folded, change] : changed_) {
        if (change.exists && folded.parent_path() == folder && !real_.Exists(change.spelt)) {
            names.push_back(change.spelt.filename());
        }
    }
    return names;
}

bool PretendDisk::Exists(const fs::path& path) {
    const auto changed = changed_.find(Folded(path));
    return changed != changed_.end() ? changed->second.exists : real_.Exists(path);
}

bool PretendDisk::IsSameEntry(const fs::path& existing, const fs::path& name) {
    return changed_.count(Folded(existing)) == 0 && real_.IsSameEntry(existing, name);
}

RenameResult PretendDisk::Rename(const fs::path& from, const fs::path& to, std::string&) {
    if (Exists(to)) return RenameResult::TargetExists;
    Move(from, to);
    return RenameResult::Renamed;
}

Reservation PretendDisk::Reserve(const fs::path& path, std::string&) {
    if (Exists(path)) return Reservation::kTaken;
    Move({}, path);
    return Reservation::kReserved;
}

bool PretendDisk::ReplacePlaceholder(const fs::path& from, const fs::path&, std::string&) {
    Move(from, {});
    return true;
}

bool PretendDisk::IsEmptyFile(const fs::path& path) {
    return changed_.count(Folded(path)) == 0 && real_.IsEmptyFile(path);
}

bool PretendDisk::RemoveEmptyFile(const fs::path& path) {
    if (!IsEmptyFile(path)) return false;
    Move(path, {});
    return true;
}

Reservation PretendDisk::MakeFolder(const fs::path& path, std::string&) {
    if (Exists(path)) return Reservation::kTaken;
    changed_[Folded(path)] = {true, path, true};
    return Reservation::kReserved;
}

bool PretendDisk::RemoveEmptyFolder(const fs::path& path) {
    std::string error;
    if (KindAt(path, false, error) != FileKind::kFolder || !NamesIn(path).empty()) return false;
    Move(path, {});
    return true;
}

bool PretendDisk::IsSecondName(const fs::path& kept, const fs::path& extra) {
    return changed_.count(Folded(kept)) == 0 && changed_.count(Folded(extra)) == 0 &&
           real_.IsSecondName(kept, extra);
}

bool PretendDisk::RemoveSecondName(const fs::path& kept, const fs::path& extra) {
    if (!IsSecondName(kept, extra)) return false;
    Move(extra, {});
    return true;
}

bool PretendDisk::ListEntries(const fs::path& folder, std::vector<FolderEntry>& entries,
                              std::string& error) {
    std::vector<FolderEntry> real;
    if (!real_.ListEntries(folder, real, error)) return false;
    for (FolderEntry& entry : real) {
        const auto changed = changed_.find(Folded(folder / entry.name));
        if (changed == changed_.end() || changed->second.exists) {
            entries.push_back(std::move(entry));
        }
    }
    for (const auto& [folded, change] : changed_) {
        if (change.exists && folded.parent_path() == folder && !real_.Exists(change.spelt)) {
            entries.push_back(
                {change.spelt.filename(), change.folder ? FileKind::kFolder : FileKind::kFile});
        }
    }
    return true;
}

FileKind PretendDisk::KindAt(const fs::path& path, bool followLinks, std::string& error) {
    const auto changed = changed_.find(Folded(path));
    if (changed == changed_.end()) return real_.KindAt(path, followLinks, error);
    if (!changed->second.exists) return FileKind::kMissing;
    if (changed->second.folder) return FileKind::kFolder;
    const FileKind kind = real_.KindAt(path, followLinks, error);
    return kind == FileKind::kMissing ? FileKind::kFile : kind;
}

std::unique_ptr<ReadableFile> PretendDisk::OpenToRead(const fs::path& path, std::string& error) {
    const auto changed = changed_.find(Folded(path));
    if (changed != changed_.end()) {
        error = "No such file or directory (in this dry run)";
        return nullptr;
    }
    return real_.OpenToRead(path, error);
}

fs::path PretendDisk::Resolved(const fs::path& path) { return real_.Resolved(path); }

bool PretendDisk::IsSameFile(const fs::path& a, const fs::path& b) {
    return changed_.count(Folded(a)) == 0 && changed_.count(Folded(b)) == 0 &&
           real_.IsSameFile(a, b);
}

Reservation PretendDisk::WriteNewFile(const fs::path& path, std::string_view, std::string&) {
    if (Exists(path)) return Reservation::kTaken;
    Move({}, path);
    return Reservation::kReserved;
}

bool PretendDisk::RemoveNewFile(const fs::path& path) {
    if (!Exists(path)) return false;
    Move(path, {});
    return true;
}

bool PretendDisk::RenameReplacing(const fs::path& from, const fs::path& to, std::string&) {
    Move(from, to);
    return true;
}

bool ReadFileInPieces(Disk& disk, const fs::path& path,
                      const std::function<void(std::string_view)>& consume, std::string& error) {
    const std::unique_ptr<ReadableFile> file = disk.OpenToRead(path, error);
    if (!file) return false;
    std::vector<char> piece(1 << 16);
    for (std::uint64_t offset = 0;;) {
        const DiskResult<std::size_t> read = file->ReadAt(offset, piece.data(), piece.size());
        if (!read.Ok()) {
            error = read.Why().reason;
            return false;
        }
        if (*read == 0) return true;
        consume({piece.data(), *read});
        offset += *read;
    }
}

fs::path PretendDisk::CurrentFolder() { return real_.CurrentFolder(); }

FileKind PretendDisk::ReadJournalText(const fs::path& path, std::string& text, std::string& error) {
    return real_.ReadJournalText(path, text, error);
}

std::unique_ptr<JournalFile> PretendDisk::OpenJournal(const fs::path&, std::string& error) {
    error = "a dry run writes nothing";
    return nullptr;
}

void PretendDisk::Move(const fs::path& from, const fs::path& to) {
    if (!from.empty()) changed_[Folded(from)] = {false, from};
    if (!to.empty()) changed_[Folded(to)] = {true, to};
}
