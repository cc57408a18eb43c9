#include "tools/disk/fake_disk.h"

#include <algorithm>
#include <cstring>

#include "tools/disk/letter_case.h"
#include "tools/disk/paths.h"

namespace fs = std::filesystem;

namespace {

std::string Key(const fs::path& path) { return FoldedName(Utf8Of(path.filename())); }

// One spelling per folder, whatever the separators and however relative the path.
fs::path FolderOf(const fs::path& path) { return Absolute(path.parent_path()); }

const DiskError kNoSuchFile{DiskError::kFailed, "No such file or directory"};
const DiskError kDenied{DiskError::kFailed, "Permission denied"};
const DiskError kInputOutput{DiskError::kFailed, "Input/output error"};
const DiskError kNameTaken{DiskError::kNameTaken, ""};

class BytesFile final : public ReadableFile {
public:
    explicit BytesFile(std::string bytes) : bytes_(std::move(bytes)) {}

    std::uint64_t Size() const override { return bytes_.size(); }

    DiskResult<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (offset >= bytes_.size()) return std::size_t{0};
        const std::size_t count = std::min<std::size_t>(size, bytes_.size() - offset);
        std::memcpy(buffer, bytes_.data() + offset, count);
        return count;
    }

private:
    const std::string bytes_;
};

}  // namespace

void FakeDisk::Put(const fs::path& path, Entry entry) {
    AddFolder(FolderOf(path));
    folders_[FolderOf(path)][Key(path)] = std::move(entry);
}

void FakeDisk::Erase(const fs::path& path) { folders_[FolderOf(path)].erase(Key(path)); }

void FakeDisk::Move(Entry entry, const fs::path& from, const fs::path& to) {
    entry.name = to.filename();
    Erase(from);
    Put(to, std::move(entry));
}

void FakeDisk::Add(const fs::path& path, const std::string& content) {
    Put(path, {path.filename(), content, FileKind::kFile, {}});
}

void FakeDisk::AddFolder(const fs::path& path) {
    const fs::path folder = Absolute(path);
    folders_.try_emplace(folder);
    if (!folder.has_relative_path() || Find(folder) != nullptr) return;
    Put(folder, {folder.filename(), "", FileKind::kFolder, {}});
}

void FakeDisk::AddLink(const fs::path& path, const fs::path& target) {
    Put(path, {path.filename(), "", FileKind::kLink, target});
}

void FakeDisk::MakeUnreadable(const fs::path& path) { unreadable_.insert(Walk(path, true)); }

std::map<std::string, std::string> FakeDisk::Files(bool withFolders) const {
    std::map<std::string, std::string> files;
    for (const auto& [folder, entries] : folders_) {
        for (const auto& [key, entry] : entries) {
            if (entry.kind == FileKind::kFolder && !withFolders) continue;
            // Without the drive, so that tests expect the same paths on every system.
            std::string path(1, '/');
            path += Utf8Of((folder / entry.name).relative_path());
            std::replace(path.begin(), path.end(), '\\', '/');
            if (entry.kind == FileKind::kFolder) {
                files[path + '/'] = "";
                continue;
            }
            files[path] =
                entry.kind == FileKind::kLink ? "-> " + Utf8Of(entry.target) : entry.content;
        }
    }
    return files;
}

const FakeDisk::Entry* FakeDisk::Find(const fs::path& path) const {
    const auto folder = folders_.find(FolderOf(path));
    if (folder == folders_.end()) return nullptr;
    const auto entry = folder->second.find(Key(path));
    return entry == folder->second.end() ? nullptr : &entry->second;
}

fs::path FakeDisk::Walk(const fs::path& path, bool followLast, int hops) const {
    const fs::path absolute = Absolute(path);
    fs::path at = absolute.root_path();
    std::vector<fs::path> parts;
    for (const fs::path& part : absolute.relative_path()) {
        if (!part.empty()) parts.push_back(part);
    }
    for (std::size_t index = 0; index < parts.size(); ++index) {
        const Entry* entry = Find(at / parts[index]);
        if (entry == nullptr) return {};
        const bool last = index + 1 == parts.size();
        if (entry->kind == FileKind::kLink && (!last || followLast)) {
            if (hops >= 40) return {};  // as ELOOP
            at = Walk(entry->target.is_absolute() ? entry->target : at / entry->target, true,
                      hops + 1);
            if (at.empty()) return {};
        } else {
            at /= entry->name;
        }
    }
    return at;
}

std::vector<fs::path> FakeDisk::NamesIn(const fs::path& folder) {
    std::vector<fs::path> names;
    for (const auto& [key, entry] : folders_[Absolute(folder)]) names.push_back(entry.name);
    return names;
}

bool FakeDisk::Exists(const fs::path& path) { return Find(path) != nullptr; }

bool FakeDisk::IsSameEntry(const fs::path& existing, const fs::path& name) {
    const Entry* entry = Find(existing);
    return entry != nullptr && FolderOf(existing) == FolderOf(name) && Key(existing) == Key(name) &&
           entry->name != name.filename();
}

DiskResult<> FakeDisk::Rename(const fs::path& from, const fs::path& to) {
    if (beforeRename) beforeRename(from, to);
    const Entry* entry = Find(from);
    if (entry == nullptr || entry->name != from.filename()) return kNoSuchFile;
    if (failingRenames.count(from) > 0) return kInputOutput;
    if (Find(to) != nullptr) return kNameTaken;
    if (!refusesToReplace) return DiskError{DiskError::kCannotRefuse, ""};
    Move(*entry, from, to);
    return Done{};
}

DiskResult<> FakeDisk::Reserve(const fs::path& path) {
    if (beforeReserve) beforeReserve(path);
    if (Find(path) != nullptr) return kNameTaken;
    Add(path);
    return Done{};
}

DiskResult<> FakeDisk::ReplacePlaceholder(const fs::path& from, const fs::path& placeholder) {
    if (beforeRename) beforeRename(from, placeholder);
    const Entry* entry = Find(from);
    if (entry == nullptr || !IsEmptyFile(placeholder)) return kNoSuchFile;
    if (failingRenames.count(from) > 0) return kInputOutput;
    Move(*entry, from, placeholder);
    return Done{};
}

bool FakeDisk::IsEmptyFile(const fs::path& path) {
    const Entry* entry = Find(path);
    return entry != nullptr && entry->kind == FileKind::kFile && entry->content.empty();
}

DiskResult<> FakeDisk::MakeFolder(const fs::path& path) {
    if (beforeMakeFolder) beforeMakeFolder(path);
    if (Find(path) != nullptr) return kNameTaken;
    const Entry* parent = Find(FolderOf(path));
    if (FolderOf(path).has_relative_path() &&
        (parent == nullptr || parent->kind != FileKind::kFolder)) {
        return kNoSuchFile;
    }
    AddFolder(path);
    return Done{};
}

bool FakeDisk::RemoveEmptyFolder(const fs::path& path) {
    const Entry* entry = Find(path);
    if (entry == nullptr || entry->kind != FileKind::kFolder) return false;
    const auto folder = folders_.find(Absolute(FolderOf(path) / entry->name));
    if (folder != folders_.end() && !folder->second.empty()) return false;
    if (folder != folders_.end()) folders_.erase(folder);
    Erase(path);
    return true;
}

void FakeDisk::AddSecondName(const fs::path& kept, const fs::path& extra) {
    Add(extra, Find(kept)->content);
    secondNames_[extra] = kept;
}

bool FakeDisk::IsSecondName(const fs::path& kept, const fs::path& extra) {
    const auto found = secondNames_.find(extra);
    return found != secondNames_.end() && found->second == kept && Find(kept) && Find(extra);
}

bool FakeDisk::RemoveSecondName(const fs::path& kept, const fs::path& extra) {
    if (!IsSecondName(kept, extra)) return false;
    Erase(extra);
    secondNames_.erase(extra);
    return true;
}

bool FakeDisk::RemoveEmptyFile(const fs::path& path) {
    if (!IsEmptyFile(path)) return false;
    Erase(path);
    return true;
}

DiskResult<std::vector<FolderEntry>> FakeDisk::ListEntries(const fs::path& folder) {
    const fs::path walked = Walk(folder, true);
    const Entry* entry = walked.empty() ? nullptr : Find(walked);
    if (walked.empty()) return kNoSuchFile;
    if (entry != nullptr && entry->kind != FileKind::kFolder) {
        return DiskError{DiskError::kFailed, "Not a directory"};
    }
    if (unreadable_.count(walked) > 0) return kDenied;
    std::vector<FolderEntry> entries;
    for (const auto& [key, held] : folders_[walked]) entries.push_back({held.name, held.kind});
    return entries;
}

DiskResult<FileKind> FakeDisk::KindAt(const fs::path& path, bool followLinks) {
    const fs::path walked = Walk(path, followLinks);
    if (walked.empty()) return FileKind::kMissing;
    const Entry* entry = Find(walked);
    return entry == nullptr ? FileKind::kFolder : entry->kind;  // only a root has no entry
}

DiskResult<std::unique_ptr<ReadableFile>> FakeDisk::OpenToRead(const fs::path& path) {
    const fs::path walked = Walk(path, true);
    const Entry* entry = walked.empty() ? nullptr : Find(walked);
    if (entry == nullptr) return kNoSuchFile;
    if (entry->kind == FileKind::kFolder) return DiskError{DiskError::kFailed, "Is a directory"};
    if (unreadable_.count(walked) > 0) return kDenied;
    return std::unique_ptr<ReadableFile>(std::make_unique<BytesFile>(entry->content));
}

fs::path FakeDisk::Resolved(const fs::path& path) { return Walk(path, true); }

bool FakeDisk::IsSameFile(const fs::path& a, const fs::path& b) {
    const fs::path first = Walk(a, true);
    const fs::path second = Walk(b, true);
    if (first.empty() || second.empty()) return false;
    const auto secondName = [&](const fs::path& kept, const fs::path& extra) {
        const auto found = secondNames_.find(extra);
        return found != secondNames_.end() && Walk(found->second, true) == kept;
    };
    return first == second || secondName(first, second) || secondName(second, first);
}

DiskResult<> FakeDisk::WriteNewFile(const fs::path& path, std::string_view content) {
    if (Find(path) != nullptr) return kNameTaken;
    if (!writeFailure.empty()) return DiskError{DiskError::kFailed, writeFailure};
    Add(path, std::string(content));
    return Done{};
}

bool FakeDisk::RemoveNewFile(const fs::path& path) {
    if (Find(path) == nullptr) return false;
    Erase(path);
    return true;
}

DiskResult<> FakeDisk::RenameReplacing(const fs::path& from, const fs::path& to) {
    const Entry* entry = Find(from);
    if (entry == nullptr) return kNoSuchFile;
    Move(*entry, from, to);
    return Done{};
}

class FakeDisk::Journal final : public JournalFile {
public:
    Journal(FakeDisk& disk, fs::path path) : disk_(disk), path_(std::move(path)) {}

    DiskResult<std::string> Read() override { return Content(); }

    DiskResult<> WriteAt(std::uint64_t offset, std::string_view bytes) override {
        std::string& content = Content();
        const std::uint64_t end = offset + bytes.size();
        const std::uint64_t growth = end > content.size() ? end - content.size() : 0;
        if (growth > disk_.spaceLeft)
            return DiskError{DiskError::kFailed, "No space left on device"};
        disk_.spaceLeft -= growth;
        if (end > content.size()) content.resize(end, '\0');
        content.replace(offset, bytes.size(), bytes);
        return Done{};
    }

    DiskResult<> Sync() override {
        disk_.synced_[Absolute(path_)] = Content();
        ++disk_.syncs;
        return Done{};
    }

private:
    std::string& Content() { return disk_.folders_[FolderOf(path_)][Key(path_)].content; }

    FakeDisk& disk_;
    fs::path path_;
};

std::string FakeDisk::SyncedText(const fs::path& journal) const {
    const auto synced = synced_.find(Absolute(journal));
    return synced == synced_.end() ? std::string() : synced->second;
}

DiskResult<std::string> FakeDisk::ReadJournalText(const fs::path& path) {
    const Entry* entry = Find(path);
    if (entry == nullptr) return DiskError{DiskError::kMissing, ""};
    return entry->content;
}

DiskResult<std::unique_ptr<JournalFile>> FakeDisk::OpenJournal(const fs::path& path) {
    if (!Exists(path)) Add(path);
    return std::unique_ptr<JournalFile>(std::make_unique<Journal>(*this, path));
}
