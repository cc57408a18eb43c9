// For tests: a file system in memory whose folders ignore letter case, as FAT, exFAT and NTFS
// do, for every letter (letter_case.h). An entry keeps the spelling it was made with and
// answers to any other; a rename onto
// a name that some entry answers to, even the file's own under another case, is refused as a
// kernel refuses RENAME_NOREPLACE there. With `refusesToReplace` false it is exFAT through
// exfat-fuse: no RENAME_NOREPLACE, no hard links, so Rename answers kCannotRefuse.
//
// Files hold their bytes, folders are made for every file put in them, and symbolic links lead
// to a path (relative to their folder, or absolute) that need not exist; any of them can be made
// unreadable. Paths are made absolute first, so tests write them as "/roms/a.gba" everywhere.
//
// Journals are files like any other; what each held when last synced is kept apart, as all that
// a crash would leave of it.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "tools/disk/disk.h"

class FakeDisk final : public Disk {
public:
    void Add(const std::filesystem::path& path, const std::string& content = "");
    void AddFolder(const std::filesystem::path& path);
    void AddLink(const std::filesystem::path& path, const std::filesystem::path& target);
    // Gives the file `kept` the second name `extra`, as link(2) does.
    void AddSecondName(const std::filesystem::path& kept, const std::filesystem::path& extra);
    // Listing the folder, or opening the file, fails with "Permission denied".
    void MakeUnreadable(const std::filesystem::path& path);

    // Every file as path -> content, and every link as path -> "-> target", paths spelt as the
    // folders keep them; with `withFolders`, every folder too, as path + "/" -> "".
    std::map<std::string, std::string> Files(bool withFolders = false) const;

    // Called before each rename the disk is asked for, done or not, onto a placeholder or not.
    std::function<void(const std::filesystem::path& from, const std::filesystem::path& to)>
        beforeRename;
    // Called before each name is held with an empty file.
    std::function<void(const std::filesystem::path& path)> beforeReserve;
    // Called before each folder is made.
    std::function<void(const std::filesystem::path& path)> beforeMakeFolder;
    bool refusesToReplace = true;
    // When not empty, WriteNewFile fails with this reason, as on a full disk.
    std::string writeFailure;

    // Renames of these files fail, as on an I/O error.
    std::set<std::filesystem::path> failingRenames;
    // Bytes the journals may still grow by before the disk is full.
    std::uint64_t spaceLeft = std::numeric_limits<std::uint64_t>::max();
    std::filesystem::path currentFolder = "/";

    // What the journal held when it was last synced, and how many syncs there were in all.
    std::string SyncedText(const std::filesystem::path& journal) const;
    std::size_t syncs = 0;

    bool Exists(const std::filesystem::path& path) override;
    DiskResult<FileKind> KindAt(const std::filesystem::path& path, bool followLinks) override;

    DiskResult<std::vector<FolderEntry>> ListEntries(const std::filesystem::path& folder) override;
    DiskResult<std::unique_ptr<ReadableFile>> OpenToRead(
        const std::filesystem::path& path) override;
    std::filesystem::path Resolved(const std::filesystem::path& path) override;
    bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) override;

    std::vector<std::filesystem::path> NamesIn(const std::filesystem::path& folder) override;
    bool IsSameEntry(const std::filesystem::path& existing,
                     const std::filesystem::path& name) override;
    DiskResult<> Rename(const std::filesystem::path& from,
                        const std::filesystem::path& to) override;
    DiskResult<> Reserve(const std::filesystem::path& path) override;
    DiskResult<> ReplacePlaceholder(const std::filesystem::path& from,
                                    const std::filesystem::path& placeholder) override;
    bool IsEmptyFile(const std::filesystem::path& path) override;
    bool RemoveEmptyFile(const std::filesystem::path& path) override;
    DiskResult<> MakeFolder(const std::filesystem::path& path) override;
    bool RemoveEmptyFolder(const std::filesystem::path& path) override;
    bool IsSecondName(const std::filesystem::path& kept,
                      const std::filesystem::path& extra) override;
    bool RemoveSecondName(const std::filesystem::path& kept,
                          const std::filesystem::path& extra) override;

    DiskResult<> WriteNewFile(const std::filesystem::path& path, std::string_view content) override;
    bool RemoveNewFile(const std::filesystem::path& path) override;
    DiskResult<> RenameReplacing(const std::filesystem::path& from,
                                 const std::filesystem::path& to) override;

    std::filesystem::path CurrentFolder() override { return currentFolder; }
    DiskResult<std::string> ReadJournalText(const std::filesystem::path& path) override;
    DiskResult<std::unique_ptr<JournalFile>> OpenJournal(
        const std::filesystem::path& path) override;

private:
    class Journal;

    struct Entry {
        std::filesystem::path name;
        std::string content;
        FileKind kind = FileKind::kFile;
        std::filesystem::path target;  // of a link
    };
    // Folder -> folded name -> entry.
    using Folder = std::map<std::string, Entry>;
    const Entry* Find(const std::filesystem::path& path) const;
    void Put(const std::filesystem::path& path, Entry entry);
    void Erase(const std::filesystem::path& path);
    // Gives `entry`, found at `from`, the name `to`.
    void Move(Entry entry, const std::filesystem::path& from, const std::filesystem::path& to);
    // The path with the links on it followed (the last one too when `followLast`), spelt as
    // the folders keep it; empty when a part of it is missing.
    std::filesystem::path Walk(const std::filesystem::path& path, bool followLast,
                               int hops = 0) const;

    std::map<std::filesystem::path, Folder> folders_;
    std::map<std::filesystem::path, std::filesystem::path> secondNames_;  // extra -> kept
    std::set<std::filesystem::path> unreadable_;                          // as walked
    std::map<std::filesystem::path, std::string> synced_;
};
