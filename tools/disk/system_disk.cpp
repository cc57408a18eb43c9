// The system's disk: the primitives of files.h, with the listings of the folders renamed in kept
// in step with the renames, and only qbt's own outputs ever removed or replaced.
#include "tools/disk/system_disk.h"

#include <map>
#include <set>
#include <system_error>
#include <vector>

#include "tools/disk/file_reading.h"
#include "tools/disk/files.h"
#include "tools/disk/letter_case.h"
#include "tools/disk/paths.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;

namespace {

class SystemFileSystem final : public Disk {
public:
    // A name the system cannot look up counts as taken, so that nothing is moved onto it. A name
    // the lookup finds must also be in the folder's listing: through FUSE the kernel keeps each
    // spelling of a name that exfat-fuse once found for a second after the file has gone (it
    // takes `X.gba` and `x.gba` for two files), while the listing comes from the file system.
    bool Exists(const fs::path& path) override {
        const DiskResult<FileKind> kind = KindOf(path, false);
        if (kind.Ok() && *kind == FileKind::kMissing) return false;
        const fs::path folder = path.parent_path();
        const std::string name = FoldedName(Utf8Of(path.filename()));
        if (Listing(folder, false).count(name) > 0) return true;
        return Listing(folder, true).count(name) > 0;
    }

    DiskResult<FileKind> KindAt(const fs::path& path, bool followLinks) override {
        return KindOf(path, followLinks);
    }

    DiskResult<std::vector<FolderEntry>> ListEntries(const fs::path& folder) override {
        return ListFolder(folder);
    }

    DiskResult<std::unique_ptr<ReadableFile>> OpenToRead(const fs::path& path) override {
        return OpenReadable(path);
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

    std::vector<fs::path> NamesIn(const fs::path& folder) override {
        DiskResult<std::vector<fs::path>> names = ListNames(folder);
        return names.Ok() ? std::move(*names) : std::vector<fs::path>();
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

    DiskResult<> Rename(const fs::path& from, const fs::path& to) override {
        return Moving(RenameWithoutReplacing(from, to), from, to);
    }

    DiskResult<> Reserve(const fs::path& path) override {
        return Moving(ReserveName(path), {}, path);
    }

    DiskResult<> ReplacePlaceholder(const fs::path& from, const fs::path& placeholder) override {
        // Someone else's file may not take the placeholder's place unseen: it must still be
        // empty, which leaves only the moment between this look and the rename.
        if (!::IsEmptyFile(placeholder)) {
            return DiskError{DiskError::kFailed, "the name held for it was taken meanwhile"};
        }
        return Moving(::RenameReplacing(from, placeholder), from, {});
    }

    bool IsEmptyFile(const fs::path& path) override { return ::IsEmptyFile(path); }

    bool RemoveEmptyFile(const fs::path& path) override {
        return Moving(::RemoveEmptyFile(path), path, {});
    }

    DiskResult<> MakeFolder(const fs::path& path) override {
        return Moving(::MakeFolder(path), {}, path);
    }

    bool RemoveEmptyFolder(const fs::path& path) override {
        if (!Moving(::RemoveEmptyFolder(path), path, {})) return false;
        listings_.erase(path);
        return true;
    }

    bool IsSecondName(const fs::path& kept, const fs::path& extra) override {
        return ::IsSecondName(kept, extra);
    }

    bool RemoveSecondName(const fs::path& kept, const fs::path& extra) override {
        return Moving(::RemoveSecondName(kept, extra), extra, {});
    }

    DiskResult<> WriteNewFile(const fs::path& path, std::string_view content) override {
        DiskResult<> made = Moving(::WriteNewFile(path, content), {}, path);
        if (made.Ok()) made_.insert(path);
        return made;
    }

    // Only a file of this process's own making can go, so that no slip removes a user's.
    bool RemoveNewFile(const fs::path& path) override {
        return IsMade(path) && Moving(RemoveFile(path), path, {});
    }

    DiskResult<> RenameReplacing(const fs::path& from, const fs::path& to) override {
        if (!IsMade(from))
            return DiskError{DiskError::kFailed, "qbt did not make " + PathToTerminal(from)};
        return Moving(::RenameReplacing(from, to), from, {});
    }

    fs::path CurrentFolder() override {
        std::error_code error;
        fs::path folder = fs::current_path(error);
        return error ? fs::path() : folder;
    }

    DiskResult<std::string> ReadJournalText(const fs::path& path) override {
        // Not a device or a pipe, which could be read without end.
        const DiskResult<FileKind> kind = KindOf(path, true);
        if (!kind.Ok()) return kind.Why();
        if (*kind == FileKind::kMissing) return DiskError{DiskError::kMissing, ""};
        if (*kind != FileKind::kFile) return DiskError{DiskError::kNotAFile, ""};
        std::string text;
        const DiskResult<> read =
            ReadInChunks(path, [&](std::string_view chunk) { text.append(chunk); });
        if (!read.Ok()) return read.Why();
        return text;
    }

    DiskResult<std::unique_ptr<JournalFile>> OpenJournal(const fs::path& path) override {
        return OpenJournalFile(path);
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

    // Keeps the listings read so far in step with a step that was done: the name `from` gone,
    // the name `to` come. The step's outcome is handed on.
    bool Moving(bool done, const fs::path& from, const fs::path& to) {
        if (done) Moved(from, to);
        return done;
    }
    DiskResult<> Moving(DiskResult<> step, const fs::path& from, const fs::path& to) {
        Moving(step.Ok(), from, to);
        return step;
    }

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

}  // namespace

Disk& SystemDisk() {
    static SystemFileSystem disk;
    return disk;
}
