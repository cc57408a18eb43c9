// What scan, rename and audit share in reading a collection: which files are no ROMs at all, and
// each file read through the disk into the ROMs it holds.
//
//     for (const fs::path& file : CollectFilesOnce(paths, disk).files) {
//         if (IsNoRom(file)) continue;
//         const FileContents contents = ReadRoms(file, disk, {.verify = verify});
//         for (const RomInFile& rom : contents.roms) ... RomNameInUtf8(file, rom.entry) ...
//     }
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "tools/collection/archive_reading.h"
#include "tools/disk/collection_disk.h"

// Saves of the usual emulators (.sav .srm .sa1 .eep .fla .rtc, VisualBoyAdvance's .sgm states),
// cheats (.cht) and patches (.ips .ups .bps): files that go with a ROM, never ROMs themselves.
inline constexpr std::array<std::string_view, 11> kCompanionExtensions{
    ".sav", ".srm", ".sa1", ".eep", ".fla", ".rtc", ".sgm", ".cht", ".ips", ".ups", ".bps"};

// How rename names its journals by default: qbt-rename-<date>-<time>.jsonl.
inline constexpr std::string_view kJournalPrefix = "qbt-rename-";
inline constexpr std::string_view kJournalExtension = ".jsonl";

// Whether the file's extension is one of kCompanionExtensions, in any letter case.
bool IsCompanionName(const std::filesystem::path& file);

// Whether the file is no ROM at all: a companion or a journal qbt wrote. Such files are never
// looked up, nor counted as not in the list.
bool IsNoRom(const std::filesystem::path& file);

// Whether an archive's entry is a read-me (.txt, .nfo, .diz), which archives of a game carry
// beside the ROM and which no game list keys.
bool IsReadMe(std::string_view entry);

// The ROMs `file` holds, read through `disk`: a plain file's bytes, or each entry of an archive
// but its read-me files. A file the disk cannot open has `unreadable` set to the system's reason.
FileContents ReadRoms(const std::filesystem::path& file, CollectionDisk& disk,
                      const ReadingOptions& options);

// Why a file of `contents.kind` kOther is left alone: "a tar archive, a format qbt does not read".
std::string FormatNotRead(const FileContents& contents);

// "file" or "archive.zip:entry": in the terminal's codeset for tables and messages, and in UTF-8
// for JSON and CSV, which on Windows keeps characters the ANSI code page lacks.
std::string RomNameForTerminal(const std::filesystem::path& file, std::string_view entry);
std::string RomNameInUtf8(const std::filesystem::path& file, std::string_view entry);
