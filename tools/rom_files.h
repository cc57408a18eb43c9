// What scan reads: the checksums of ROM files and of zip archives' entries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The files named, and every file under the folders named, folder by folder in name order.
// A path that cannot be read is described in `problems` and left out.
std::vector<std::filesystem::path> CollectRomFiles(const std::vector<std::string>& paths,
                                                   std::vector<std::string>& problems);

struct RomChecksum {
    std::string name;  // the file, or "archive.zip:entry"
    uint32_t crc;
};

// The CRC-32 of the file's content; for a .zip archive, one checksum per file entry, taken from
// the archive's directory without unpacking anything. On failure nothing is returned and the
// reason goes to `problems`.
std::vector<RomChecksum> ChecksumsOf(const std::filesystem::path& file,
                                     std::vector<std::string>& problems);

// Eight upper-case hexadecimal digits, the key a host passes for a CRC-32.
std::string CrcKey(uint32_t crc);
