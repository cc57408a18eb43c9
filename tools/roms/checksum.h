// The keys of ROMs: the CRC-32 of a file's content, or of each file in a zip archive as its
// directory records it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/os/disk.h"

struct RomChecksum {
    std::filesystem::path file;
    std::string entry;  // the entry's name (UTF-8) for a ROM inside a zip archive, else empty
    uint32_t crc;
};

// Eight upper-case hexadecimal digits, the key a host passes for a CRC-32.
std::string CrcKey(uint32_t crc);

// "file" or "archive.zip:entry": in the terminal's codeset for tables and messages, and in UTF-8
// for JSON, which on Windows keeps characters the ANSI code page lacks.
std::string NameForTerminal(const RomChecksum& rom);
std::string NameInUtf8(const RomChecksum& rom);

// Empty for a file this build reads; otherwise why it leaves the file alone (a zip archive in a
// build without zip reading).
std::string ReasonToSkip(const std::filesystem::path& file);

// The checksum of the file's content, read through `disk`; for a .zip archive, one per file
// entry. When the file, or an entry, cannot be read, `unreadable` says so ("cannot read FILE:
// why"); what could be read is still returned.
std::vector<RomChecksum> ChecksumsOf(const std::filesystem::path& file, std::string& unreadable,
                                     Disk& disk);
