// The file primitives beneath the system's disk (system_disk.cpp), one implementation per
// platform (files_posix.cpp, files_windows.cpp). On Windows every path goes through LongPath and
// Win32 calls, never through the C runtime's stat, which refuses the "\\?\" form. A step the
// system refuses gives its reason as a DiskError (kFailed); a name that is taken, kNameTaken.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/disk/collection_disk.h"
#include "tools/disk/journal_disk.h"
#include "tools/disk/readable_file.h"

// In qbt.exe: an absolute path in the "\\?\" form (UNC paths as "\\?\UNC\server\share"), so that
// a path past 260 characters still names its file; other paths, and every path on POSIX
// systems, as they are.
std::filesystem::path LongPath(const std::filesystem::path& path);

// What the name is; a symbolic link (on Windows a reparse point, or as ListFolder tells one)
// as kLink unless `followLinks`. The reason when the system cannot say (a folder on the way that
// cannot be searched).
DiskResult<FileKind> KindOf(const std::filesystem::path& path, bool followLinks);

// The entries of a folder, without "." and "..", or the reason it cannot be read. In qbt.exe a
// link is told by the path it resolves to as well as by its reparse tag (Wine marks Unix links
// with neither tag nor, for files, attribute), at the cost of opening each entry.
DiskResult<std::vector<FolderEntry>> ListFolder(const std::filesystem::path& folder);

// The names alone, as ListFolder finds them, without telling their kinds.
DiskResult<std::vector<std::filesystem::path>> ListNames(const std::filesystem::path& folder);

// Why qbt must leave the file or folder at `path` alone, or empty. In qbt.exe: a path that the
// system shows with U+FFFD standing for what it could not convert (under Wine, a Linux name that
// is not UTF-8), which may reach another name spelt likewise and which a rename could never
// give back as it was.
std::string InexactName(const std::filesystem::path& path);

// Renames `from` to `to` in one step unless something is already named `to` (kNameTaken): a file
// is never replaced. A rename that changes only letter case works on case-insensitive file
// systems. kCannotRefuse: nothing was done, because the file system can refuse to replace a file
// neither in the rename itself (RENAME_NOREPLACE) nor through a hard link: exFAT and FAT through
// FUSE, some network shares. Only a name held beforehand (ReserveName) keeps a file safe there.
// One implementation file per platform: rename_without_replacing_{posix,windows}.cpp.
DiskResult<> RenameWithoutReplacing(const std::filesystem::path& from,
                                    const std::filesystem::path& to);

// The folder that holds the running executable.
std::filesystem::path ExecutableDirectory();

// fopen(path, "rb") for any file the system can name, whatever the terminal's codeset holds.
DiskResult<std::FILE*> OpenForReading(const std::filesystem::path& path);

// Makes an empty file under `path` only if nothing answers to the name (O_CREAT|O_EXCL,
// CREATE_NEW; kNameTaken otherwise), so that the name is held for a rename onto it.
DiskResult<> ReserveName(const std::filesystem::path& path);

// Makes the folder `path` only if nothing answers to the name (mkdir, CreateDirectoryW):
// kNameTaken when something does, even a folder, so that a folder made is known to be one qbt
// made.
DiskResult<> MakeFolder(const std::filesystem::path& path);

// Removes `path` if it is a folder that holds nothing and no link (nor, on Windows, a junction);
// false otherwise.
bool RemoveEmptyFolder(const std::filesystem::path& path);

// Renames `from` to `to`, replacing whatever `to` names: only ever onto a placeholder that
// ReserveName made, which the system disk checks first.
DiskResult<> RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

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
// created in it survives a crash. Done where the file system has nothing to write or cannot
// do it (Windows writes entries with the file; some FUSE file systems refuse a folder's fsync).
DiskResult<> FlushFolder(const std::filesystem::path& folder);

// The file open for reading at any offset (pread, ReadFile at an offset), never through the C
// runtime; the system's reason when it cannot be opened.
DiskResult<std::unique_ptr<ReadableFile>> OpenReadable(const std::filesystem::path& path);

// Makes a file holding `content` under `path` only if nothing answers to the name (O_CREAT|O_EXCL,
// CREATE_NEW; kNameTaken otherwise) and writes it through to the disk. A file that could not be
// written whole is removed again, with the system's reason.
DiskResult<> WriteNewFile(const std::filesystem::path& path, std::string_view content);

// Removes the name `path` (unlink, DeleteFileW): only ever a file WriteNewFile made.
bool RemoveFile(const std::filesystem::path& path);

// Opens the journal at `path` for reading and writing, made when missing (its folder then flushed)
// and never truncated, and keeps any other writer out while it is open: two writers at offsets
// would write over each other's lines. The reason when it cannot.
DiskResult<std::unique_ptr<JournalFile>> OpenJournalFile(const std::filesystem::path& path);
