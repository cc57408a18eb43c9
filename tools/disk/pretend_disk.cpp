#include "tools/disk/pretend_disk.h"

#include "tools/disk/letter_case.h"
#include "tools/disk/paths.h"

namespace fs = std::filesystem;

namespace {

// The key PretendDisk keeps a name under.
fs::path Folded(const fs::path& path) {
    return path.parent_path() / PathFromUtf8(FoldedName(Utf8Of(path.filename())));
}

const DiskError kNameTaken{DiskError::kNameTaken, ""};

}  // namespace

bool PretendDisk::Changed(const fs::path& path) const { return changed_.count(Folded(path)) > 0; }

bool PretendDisk::Exists(const fs::path& path) {
    const auto changed = changed_.find(Folded(path));
    return changed != changed_.end() ? changed->second.exists : real_.Exists(path);
}

DiskResult<FileKind> PretendDisk::KindAt(const fs::path& path, bool followLinks) {
    const auto changed = changed_.find(Folded(path));
    if (changed == changed_.end()) return real_.KindAt(path, followLinks);
    if (!changed->second.exists) return FileKind::kMissing;
    if (changed->second.folder) return FileKind::kFolder;
    DiskResult<FileKind> kind = real_.KindAt(path, followLinks);
    if (kind.Ok() && *kind == FileKind::kMissing) return FileKind::kFile;
    return kind;
}

DiskResult<std::vector<FolderEntry>> PretendDisk::ListEntries(const fs::path& folder) {
    DiskResult<std::vector<FolderEntry>> real = real_.ListEntries(folder);
    if (!real.Ok()) return real;
    std::vector<FolderEntry> entries;
    for (FolderEntry& entry : *real) {
        const auto changed = changed_.find(Folded(folder / entry.name));
        if (changed == changed_.end() || changed->second.exists)
            entries.push_back(std::move(entry));
    }
    for (const auto& [folded, change] : changed_) {
        if (change.exists && folded.parent_path() == folder && !real_.Exists(change.spelt)) {
            entries.push_back(
                {change.spelt.filename(), change.folder ? FileKind::kFolder : FileKind::kFile});
        }
    }
    return entries;
}

DiskResult<std::unique_ptr<ReadableFile>> PretendDisk::OpenToRead(const fs::path& path) {
    if (Changed(path))
        return DiskError{DiskError::kFailed, "No such file or directory (in this dry run)"};
    return real_.OpenToRead(path);
}

fs::path PretendDisk::Resolved(const fs::path& path) { return real_.Resolved(path); }

bool PretendDisk::IsSameFile(const fs::path& a, const fs::path& b) {
    return !Changed(a) && !Changed(b) && real_.IsSameFile(a, b);
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

bool PretendDisk::IsSameEntry(const fs::path& existing, const fs::path& name) {
    return !Changed(existing) && real_.IsSameEntry(existing, name);
}

DiskResult<> PretendDisk::Rename(const fs::path& from, const fs::path& to) {
    if (Exists(to)) return kNameTaken;
    Move(from, to);
    return Done{};
}

DiskResult<> PretendDisk::Reserve(const fs::path& path) {
    if (Exists(path)) return kNameTaken;
    Move({}, path);
    return Done{};
}

DiskResult<> PretendDisk::ReplacePlaceholder(const fs::path& from, const fs::path&) {
    Move(from, {});
    return Done{};
}

bool PretendDisk::IsEmptyFile(const fs::path& path) {
    return !Changed(path) && real_.IsEmptyFile(path);
}

bool PretendDisk::RemoveEmptyFile(const fs::path& path) {
    if (!IsEmptyFile(path)) return false;
    Move(path, {});
    return true;
}

DiskResult<> PretendDisk::MakeFolder(const fs::path& path) {
    if (Exists(path)) return kNameTaken;
    changed_[Folded(path)] = {true, path, true};
    return Done{};
}

bool PretendDisk::RemoveEmptyFolder(const fs::path& path) {
    if (KindOrUnknown(*this, path, false) != FileKind::kFolder || !NamesIn(path).empty()) {
        return false;
    }
    Move(path, {});
    return true;
}

bool PretendDisk::IsSecondName(const fs::path& kept, const fs::path& extra) {
    return !Changed(kept) && !Changed(extra) && real_.IsSecondName(kept, extra);
}

bool PretendDisk::RemoveSecondName(const fs::path& kept, const fs::path& extra) {
    if (!IsSecondName(kept, extra)) return false;
    Move(extra, {});
    return true;
}

DiskResult<> PretendDisk::WriteNewFile(const fs::path& path, std::string_view) {
    if (Exists(path)) return kNameTaken;
    Move({}, path);
    return Done{};
}

bool PretendDisk::RemoveNewFile(const fs::path& path) {
    if (!Exists(path)) return false;
    Move(path, {});
    return true;
}

DiskResult<> PretendDisk::RenameReplacing(const fs::path& from, const fs::path& to) {
    Move(from, to);
    return Done{};
}

fs::path PretendDisk::CurrentFolder() { return real_.CurrentFolder(); }

DiskResult<std::string> PretendDisk::ReadJournalText(const fs::path& path) {
    return real_.ReadJournalText(path);
}

DiskResult<std::unique_ptr<JournalFile>> PretendDisk::OpenJournal(const fs::path&) {
    return DiskError{DiskError::kFailed, "a dry run writes nothing"};
}

void PretendDisk::Move(const fs::path& from, const fs::path& to) {
    if (!from.empty()) changed_[Folded(from)] = {false, from};
    if (!to.empty()) changed_[Folded(to)] = {true, to};
}
