#include "tools/roms/checksum.h"

#include <cstdio>
#include <string_view>

#include "tools/os/ascii.h"
#include "tools/os/file_reading.h"
#include "tools/os/paths.h"
#include "tools/os/platform.h"
#include "tools/roms/crc32.h"
#include "tools/roms/zip_reading.h"

namespace fs = std::filesystem;

namespace {

bool IsZipArchive(const fs::path& file) { return EqualsFolded(Utf8Of(file.extension()), ".zip"); }

std::vector<RomChecksum> ZipChecksums(const fs::path& archive, std::string& unreadable,
                                      Disk& disk) {
    std::vector<ZipEntry> entries;
    std::string error;
    if (!ReadZipEntries(disk, archive, entries, error)) unreadable = CannotRead(archive, error);
    std::vector<RomChecksum> checksums;
    for (ZipEntry& entry : entries)
        checksums.push_back({archive, std::move(entry.name), entry.crc});
    return checksums;
}

}  // namespace

std::string CrcKey(uint32_t crc) {
    char key[9];
    std::snprintf(key, sizeof key, "%08X", static_cast<unsigned>(crc));
    return key;
}

std::string NameForTerminal(const RomChecksum& rom) {
    const std::string file = PathToTerminal(rom.file);
    return rom.entry.empty() ? file : file + ":" + rom.entry;
}

std::string NameInUtf8(const RomChecksum& rom) {
    const std::string file = Utf8Of(rom.file);
    return rom.entry.empty() ? file : file + ":" + rom.entry;
}

std::string ReasonToSkip(const fs::path& file) {
    return IsZipArchive(file) ? std::string(WhyZipArchivesAreNotRead()) : "";
}

std::vector<RomChecksum> ChecksumsOf(const fs::path& file, std::string& unreadable, Disk& disk) {
    if (IsZipArchive(file)) return ZipChecksums(file, unreadable, disk);
    Crc32 crc;
    std::string error;
    if (!ReadFileInPieces(
            disk, file, [&](std::string_view piece) { crc.Add(piece); }, error)) {
        unreadable = CannotRead(file, error);
        return {};
    }
    return {{file, "", crc.Value()}};
}
