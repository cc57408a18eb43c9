// What scan reads: the checksums of ROM files and of zip archives' entries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The files named, and every file under the folders named, folder by folder in name order.
// Paths are read in the terminal's codeset. A path that cannot be read is described in
// `problems` and left out.
std::vector<std::filesystem::path> CollectRomFiles(const std::vector<std::string>& paths,
                                                   std::vector<std::string>& problems);

struct RomChecksum {
    std::filesystem::path file;
    std::string entry;  // the entry's name (UTF-8) for a ROM inside a zip archive, else empty
    uint32_t crc;
};

// "file" or "archive.zip:entry": in the terminal's codeset for tables and messages, and in UTF-8
// for JSON, which on Windows keeps characters the ANSI code page lacks.
std::string NameForTerminal(const RomChecksum& rom);
std::string NameInUtf8(const RomChecksum& rom);
std::string PathInUtf8(const std::filesystem::path& path);

// Empty for a file this build reads; otherwise why it leaves the file alone (a zip archive in a
// build without zip reading).
std::string ReasonToSkip(const std::filesystem::path& file);

// The CRC-32 of the file's content; for a .zip archive, one checksum per file entry. On failure
// nothing is returned and the reason goes to `problems`.
std::vector<RomChecksum> ChecksumsOf(const std::filesystem::path& file,
                                     std::vector<std::string>& problems);

// Eight upper-case hexadecimal digits, the key a host passes for a CRC-32.
std::string CrcKey(uint32_t crc);
