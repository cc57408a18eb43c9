// The file primitives beneath the system's Disk (disk.h), one implementation per platform
// (files_posix.cpp, files_windows.cpp). On Windows every path goes through LongPath and Win32
// calls, never through the C runtime's stat, which refuses the "\\?\" form.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/disk/journal_file.h"
#include "tools/disk/readable_file.h"

// In qbt.exe: an absolute path in the "\\?\" form (UNC paths as "\\?\UNC\server\share"), so that
// a path past 260 characters still names its file; other paths, and every path on POSIX
// systems, as they are.
std::filesystem::path LongPath(const std::filesystem::path& path);

enum class FileKind { kMissing, kFile, kFolder, kLink, kOther, kUnknown };

// What the name is; a symbolic link (on Windows a reparse point, or as ListFolder tells one)
// as kLink unless `followLinks`.
// kUnknown, with the reason in `error`, when the system cannot say (a folder on the way that
// cannot be searched).
FileKind KindOf(const std::filesystem::path& path, bool followLinks, std::string& error);

struct FolderEntry {
    std::filesystem::path name;  // spelt as the folder keeps it
    FileKind kind;               // links not followed
};

// The entries of a folder, without "." and "..". False, with the system's reason in `error`,
// when the folder cannot be read. In qbt.exe a link is told by the path it resolves to as well
// as by its reparse tag (Wine marks Unix links with neither tag nor, for files, attribute), at
// the cost of opening each entry.
bool ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                std::string& error);

// The names alone, as ListFolder finds them, without telling their kinds.
bool ListNames(const std::filesystem::path& folder, std::vector<std::filesystem::path>& names,
               std::string& error);

// Why qbt must leave the file or folder at `path` alone, or empty. In qbt.exe: a path that the
// system shows with U+FFFD standing for what it could not convert (under Wine, a Linux name that
// is not UTF-8), which may reach another name spelt likewise and which a rename could never
// give back as it was.
std::string InexactName(const std::filesystem::path& path);

// Renames `from` to `to` in one step unless something is already named `to`: a file is never
// replaced. A rename that changes only letter case works on case-insensitive file systems.
// CannotRefuse: nothing was done, because the file system can refuse to replace a file neither in
// the rename itself (RENAME_NOREPLACE) nor through a hard link: exFAT and FAT through FUSE, some
// network shares. Only a name held beforehand (ReserveName) keeps a file safe there. One
// implementation file per platform: rename_without_replacing_{posix,windows}.cpp.
enum class RenameResult { Renamed, TargetExists, CannotRefuse, Failed };
RenameResult RenameWithoutReplacing(const std::filesystem::path& from,
                                    const std::filesystem::path& to, std::string& error);

// The folder that holds the running executable.
std::filesystem::path ExecutableDirectory();

// fopen(path, "rb") for any file the system can name, whatever the terminal's codeset holds.
std::FILE* OpenForReading(const std::filesystem::path& path);

// Makes an empty file under `path` only if nothing answers to the name (O_CREAT|O_EXCL,
// CREATE_NEW), so that the name is held for a rename onto it.
enum class Reservation { kReserved, kTaken, kFailed };
Reservation ReserveName(const std::filesystem::path& path, std::string& error);

// Makes the folder `path` only if nothing answers to the name (mkdir, CreateDirectoryW): kTaken
// when something does, even a folder, so that a folder made is known to be one qbt made.
Reservation MakeFolder(const std::filesystem::path& path, std::string& error);

// Removes `path` if it is a folder that holds nothing and no link (nor, on Windows, a junction);
// false otherwise.
bool RemoveEmptyFolder(const std::filesystem::path& path);

// Renames `from` to `to`, replacing whatever `to` names: only ever onto a placeholder that
// ReserveName made, which the system disk checks first.
bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                     std::string& error);

// Whether `path` names a regular file of no bytes (not following a link).
bool IsEmptyFile(const std::filesystem::path& path);

// Removes `path` if it is a regular file of no bytes; false otherwise.
bool RemoveEmptyFile(const std::filesystem::path& path);

// Whether `extra` and `kept` are two names of one regular file (hard links): what a rename by
// link(2) and unlink(2) leaves when it is stopped between the two. Always false in qbt.exe,
// which never gives a file a second name.
bool IsSecondName(const std::filesystem::path& kept, const std::filesystem::path& extra);

// Removes the name `extra` if IsSecondName: the file keeps its name `kept`, so nothing is lost.
bool RemoveSecondName(const std::filesystem::path& kept, const std::filesystem::path& extra);

// Writes a folder's entries through to the disk (fsync of the folder), so that a file just
// created in it survives a crash. True where the file system has nothing to write or cannot
// do it (Windows writes entries with the file; some FUSE file systems refuse a folder's fsync).
bool FlushFolder(const std::filesystem::path& folder);

// The file open for reading at any offset (pread, ReadFile at an offset), never through the C
// runtime. Null, with the system's reason in `error`, when it cannot be opened.
std::unique_ptr<ReadableFile> OpenReadable(const std::filesystem::path& path, std::string& error);

// Makes a file holding `content` under `path` only if nothing answers to the name (O_CREAT|O_EXCL,
// CREATE_NEW) and writes it through to the disk. A file that could not be written whole is
// removed again, with the system's reason in `error`.
Reservation WriteNewFile(const std::filesystem::path& path, std::string_view content,
                         std::string& error);

// Removes the name `path` (unlink, DeleteFileW): only ever a file WriteNewFile made.
bool RemoveFile(const std::filesystem::path& path);

// Opens the journal at `path` for reading and writing, made when missing (its folder then flushed)
// and never truncated, and keeps any other writer out while it is open: two writers at offsets
// would write over each other's lines. Null, with the reason in `error`, when it cannot.
std::unique_ptr<JournalFile> OpenJournalFile(const std::filesystem::path& path, std::string& error);
