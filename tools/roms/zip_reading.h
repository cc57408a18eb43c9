// Reading the directories of zip archives: a piece a build may go without. The native build
// takes zip_reading_libzip.cpp; qbt.exe takes zip_reading_absent.cpp, since Debian cross-builds
// zlib for mingw-w64 but not libzip, and skips archives, saying why.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class Disk;

// Empty where this build reads zip archives; otherwise the reason the help and the report give
// for leaving each archive alone.
std::string_view WhyZipArchivesAreNotRead();

struct ZipEntry {
    std::string name;  // UTF-8
    uint32_t crc;
};

// One entry per file in the archive, read from its directory through `disk` without unpacking
// anything. False, with the reason in `error`, when the archive or an entry cannot be read (the
// entries read so far are kept), or in a build that does not read archives.
bool ReadZipEntries(Disk& disk, const std::filesystem::path& archive,
                    std::vector<ZipEntry>& entries, std::string& error);
