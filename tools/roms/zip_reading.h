// Reading the directories of zip archives: a piece a build may go without. The native build
// takes zip_reading_libzip.cpp; qbt.exe takes zip_reading_absent.cpp, since Debian cross-builds
// zlib for mingw-w64 but not libzip, and skips archives, saying why.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/rom_files.h"

// Empty where this build reads zip archives; otherwise the reason the help and the report give
// for leaving each archive alone.
std::string_view WhyZipArchivesAreNotRead();

// One checksum per file entry, taken from the archive's directory without unpacking anything.
// On failure, or in a build that does not read archives, nothing is returned and the reason goes
// to `problems`.
std::vector<RomChecksum> ZipEntryChecksums(const std::filesystem::path& archive,
                                           std::vector<std::string>& problems);
