#include "tools/os/fake_disk.h"

#include <algorithm>

#include "tools/os/ascii.h"
#include "tools/os/paths.h"

namespace fs = std::filesystem;

namespace {

std::string Key(const fs::path& path) { return AsciiFolded(Utf8Of(path.filename())); }

// One spelling per folder, whatever the separators and however relative the path.
fs::path FolderOf(const fs::path& path) { return Absolute(path.parent_path()); }

}  // namespace

void FakeDisk::Add(const fs::path& path, const std::string& content) {
    folders_[FolderOf(path)][Key(path)] = {path.filename(), content};
}

std::map<std::string, std::string> FakeDisk::Files() const {
    std::map<std::string, std::string> files;
    for (const auto& [folder, entries] : folders_) {
        for (const auto& [key, entry] : entries) {
            // Without the drive, so that tests expect the same paths on every system.
            std::string path(1, '/');
            path += Utf8Of((folder / entry.name).relative_path());
            std::replace(path.begin(), path.end(), '\\', '/');
            files[path] = entry.content;
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

RenameResult FakeDisk::Rename(const fs::path& from, const fs::path& to, std::string& error) {
    if (beforeRename) beforeRename(from, to);
    const Entry* entry = Find(from);
    if (entry == nullptr || entry->name != from.filename()) {
        error = "No such file or directory";
        return RenameResult::Failed;
    }
    if (failingRenames.count(from) > 0) {
        error = "Input/output error";
        return RenameResult::Failed;
    }
    if (Find(to) != nullptr) return RenameResult::TargetExists;
    if (!refusesToReplace) return RenameResult::CannotRefuse;
    const std::string content = entry->content;
    folders_[FolderOf(from)].erase(Key(from));
    Add(to, content);
    return RenameResult::Renamed;
}

Reservation FakeDisk::Reserve(const fs::path& path, std::string&) {
    if (beforeReserve) beforeReserve(path);
    if (Find(path) != nullptr) return Reservation::kTaken;
    Add(path);
    return Reservation::kReserved;
}

bool FakeDisk::ReplacePlaceholder(const fs::path& from, const fs::path& placeholder,
                                  std::string& error) {
    if (beforeRename) beforeRename(from, placeholder);
    const Entry* entry = Find(from);
    if (entry == nullptr || !IsEmptyFile(placeholder)) {
        error = "No such file or directory";
        return false;
    }
    if (failingRenames.count(from) > 0) {
        error = "Input/output error";
        return false;
    }
    const std::string content = entry->content;
    folders_[FolderOf(from)].erase(Key(from));
    Add(placeholder, content);
    return true;
}

bool FakeDisk::IsEmptyFile(const fs::path& path) {
    const Entry* entry = Find(path);
    return entry != nullptr && entry->content.empty();
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
    folders_[FolderOf(extra)].erase(Key(extra));
    secondNames_.erase(extra);
    return true;
}

bool FakeDisk::RemoveEmptyFile(const fs::path& path) {
    if (!IsEmptyFile(path)) return false;
    folders_[FolderOf(path)].erase(Key(path));
    return true;
}

class FakeDisk::Journal final : public JournalFile {
public:
    Journal(FakeDisk& disk, fs::path path) : disk_(disk), path_(std::move(path)) {}

    bool Read(std::string& text, std::string&) override {
        text = Content();
        return true;
    }

    bool WriteAt(std::uint64_t offset, std::string_view bytes, std::string& error) override {
        std::string& content = Content();
        const std::uint64_t end = offset + bytes.size();
        const std::uint64_t growth = end > content.size() ? end - content.size() : 0;
        if (growth > disk_.spaceLeft) {
            error = "No space left on device";
            return false;
        }
        disk_.spaceLeft -= growth;
        if (end > content.size()) content.resize(end, '\0');
        content.replace(offset, bytes.size(), bytes);
        return true;
    }

    bool Sync(std::string&) override {
        disk_.synced_[Absolute(path_)] = Content();
        ++disk_.syncs;
        return true;
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

FileKind FakeDisk::ReadJournalText(const fs::path& path, std::string& text, std::string&) {
    const Entry* entry = Find(path);
    if (entry == nullptr) return FileKind::kMissing;
    text = entry->content;
    return FileKind::kFile;
}

std::unique_ptr<JournalFile> FakeDisk::OpenJournal(const fs::path& path, std::string&) {
    if (!Exists(path)) Add(path);
    return std::make_unique<Journal>(*this, path);
}
