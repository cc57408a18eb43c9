// What renaming and undoing ask of the file system, behind an interface so that the plan, the
// moves and undo can be tested against folders whose rules differ from the test machine's:
// tests put a FakeDisk (fake_disk.h) in its place, which ignores letter case as FAT, exFAT and
// NTFS do.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/disk/files.h"
#include "tools/disk/journal_file.h"

#include "tools/disk/readable_file.h"

class Disk {
public:
    virtual ~Disk() = default;

    // The names the folder holds, spelt as it keeps them; none when it cannot be read.
    virtual std::vector<std::filesystem::path> NamesIn(const std::filesystem::path& folder) = 0;

    // Something, even a dangling link, answers to the name.
    virtual bool Exists(const std::filesystem::path& path) = 0;

    // Whether `name` reaches the very entry `existing` names under another spelling, as in a
    // folder that ignores letter case. Decided by the names, as the folder compares them, not by
    // file identity: exfat-fuse gives each spelling of a name an inode number of its own, and
    // hard links are one file under two entries.
    virtual bool IsSameEntry(const std::filesystem::path& existing,
                             const std::filesystem::path& name) = 0;

    // Gives `from` the name `to` unless something already answers to `to`: never replaces a
    // file. `error` says why a rename failed.
    virtual RenameResult Rename(const std::filesystem::path& from, const std::filesystem::path& to,
                                std::string& error) = 0;

    // Holds the name `path` with an empty file, made only if nothing answers to the name: the
    // way to rename without replacing where Rename answers CannotRefuse.
    virtual Reservation Reserve(const std::filesystem::path& path, std::string& error) = 0;

    // Renames `from` onto the empty file Reserve made at `placeholder`.
    virtual bool ReplacePlaceholder(const std::filesystem::path& from,
                                    const std::filesystem::path& placeholder,
                                    std::string& error) = 0;

    // Whether `path` is a regular file of no bytes; RemoveEmptyFile removes it only if it is.
    virtual bool IsEmptyFile(const std::filesystem::path& path) = 0;
    virtual bool RemoveEmptyFile(const std::filesystem::path& path) = 0;

    // Folders a pattern sorts ROMs into. MakeFolder makes `path` only if nothing answers to the
    // name (kTaken otherwise, even for a folder), so that a folder made is one qbt made;
    // RemoveEmptyFolder removes `path` only if it is a folder, no link or junction, that holds
    // nothing.
    virtual Reservation MakeFolder(const std::filesystem::path& path, std::string& error) = 0;
    virtual bool RemoveEmptyFolder(const std::filesystem::path& path) = 0;

    // Whether `extra` is a second name of the file `kept` names (a rename by link and unlink
    // stopped between the two); RemoveSecondName removes `extra` only if it is.
    virtual bool IsSecondName(const std::filesystem::path& kept,
                              const std::filesystem::path& extra) = 0;
    virtual bool RemoveSecondName(const std::filesystem::path& kept,
                                  const std::filesystem::path& extra) = 0;

    // Reading the collection: the walk, the checksums and the audit look at files only through
    // these, so that their tests need no real folder.

    // The folder's entries with their kinds, links not followed; a link to a folder is listed
    // through. False, with the system's reason in `error`, when the folder cannot be read.
    virtual bool ListEntries(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                             std::string& error) = 0;

    // What the name is; a symbolic link as kLink unless `followLinks`. kUnknown, with the reason
    // in `error`, when the system cannot say.
    virtual FileKind KindAt(const std::filesystem::path& path, bool followLinks,
                            std::string& error) = 0;

    // The file open for reading at any offset; null, with the system's reason in `error`.
    // Safe to call from several threads at once.
    virtual std::unique_ptr<ReadableFile> OpenToRead(const std::filesystem::path& path,
                                                     std::string& error) = 0;

    // One spelling per file: the path absolute, every link on it followed, "." and ".." gone.
    // Empty when the path cannot be resolved.
    virtual std::filesystem::path Resolved(const std::filesystem::path& path) = 0;

    // Whether the two paths name one file; false when either names none.
    virtual bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) = 0;

    // Writing qbt's own outputs (cli/output_file.h), never over a user's file.

    // Makes a file holding `content` under `path` only if nothing answers to the name, and
    // writes it through to the disk; a file that could not be written whole is removed again.
    virtual Reservation WriteNewFile(const std::filesystem::path& path, std::string_view content,
                                     std::string& error) = 0;

    // Removes a file that WriteNewFile made in this process, and no other.
    virtual bool RemoveNewFile(const std::filesystem::path& path) = 0;

    // Gives the file WriteNewFile made at `from` the name `to`, replacing what `to` names: only
    // for an output that the caller has made sure may be replaced.
    virtual bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                                 std::string& error) = 0;

    // The journal.

    // The folder a relative path starts from, where a journal goes unless one is named; empty
    // when the system cannot say (the folder was removed).
    virtual std::filesystem::path CurrentFolder() = 0;

    // Reads the journal at `path` into `text` when it is a regular file (links followed), and
    // says what the name is: kFile when it was read, kUnknown with the reason in `error` when it
    // could not be.
    virtual FileKind ReadJournalText(const std::filesystem::path& path, std::string& text,
                                     std::string& error) = 0;

    // Opens the journal at `path` for reading and writing, never truncated; made when missing,
    // its folder then flushed, or a crash could lose the journal's very name. Null, with the
    // reason in `error`, when it cannot be opened, or when another qbt is writing it.
    virtual std::unique_ptr<JournalFile> OpenJournal(const std::filesystem::path& path,
                                                     std::string& error) = 0;
};

// Hands the content of the file, read through `disk`, to `consume` piece by piece. False, with
// the system's reason in `error`, when it cannot be read.
bool ReadFileInPieces(Disk& disk, const std::filesystem::path& path,
                      const std::function<void(std::string_view)>& consume, std::string& error);

// The file system the process sees.
Disk& SystemDisk();

// A disk that only pretends to change names (and to write files), over `real`: what a dry run
// works on, so that each step it shows takes the ones before it into account. Names are told
// apart as FAT does.
class PretendDisk final : public Disk {
public:
    explicit PretendDisk(Disk& real) : real_(real) {}

    std::vector<std::filesystem::path> NamesIn(const std::filesystem::path& folder) override;
    bool Exists(const std::filesystem::path& path) override;
    bool IsSameEntry(const std::filesystem::path& existing,
                     const std::filesystem::path& name) override;
    RenameResult Rename(const std::filesystem::path& from, const std::filesystem::path& to,
                        std::string& error) override;
    Reservation Reserve(const std::filesystem::path& path, std::string& error) override;
    bool ReplacePlaceholder(const std::filesystem::path& from,
                            const std::filesystem::path& placeholder, std::string& error) override;
    bool IsEmptyFile(const std::filesystem::path& path) override;
    bool RemoveEmptyFile(const std::filesystem::path& path) override;
    Reservation MakeFolder(const std::filesystem::path& path, std::string& error) override;
    bool RemoveEmptyFolder(const std::filesystem::path& path) override;
    bool IsSecondName(const std::filesystem::path& kept,
                      const std::filesystem::path& extra) override;
    bool RemoveSecondName(const std::filesystem::path& kept,
                          const std::filesystem::path& extra) override;
    bool ListEntries(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                     std::string& error) override;
    FileKind KindAt(const std::filesystem::path& path, bool followLinks,
                    std::string& error) override;
    std::unique_ptr<ReadableFile> OpenToRead(const std::filesystem::path& path,
                                             std::string& error) override;
    std::filesystem::path Resolved(const std::filesystem::path& path) override;
    bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) override;
    Reservation WriteNewFile(const std::filesystem::path& path, std::string_view content,
                             std::string& error) override;
    bool RemoveNewFile(const std::filesystem::path& path) override;
    bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                         std::string& error) override;

    // Journals are read from the real disk; none is written.
    std::filesystem::path CurrentFolder() override;
    FileKind ReadJournalText(const std::filesystem::path& path, std::string& text,
                             std::string& error) override;
    std::unique_ptr<JournalFile> OpenJournal(const std::filesystem::path& path,
                                             std::string& error) override;

private:
    void Move(const std::filesystem::path& from, const std::filesystem::path& to);

    Disk& real_;
    struct Change {
        bool exists;                  // now, after the steps pretended
        std::filesystem::path spelt;  // as the step that made it named it
        bool folder = false;          // made by MakeFolder
    };
    std::map<std::filesystem::path, Change> changed_;  // by folded path
};
