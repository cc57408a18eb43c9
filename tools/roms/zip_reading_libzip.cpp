#include <memory>

#include "tools/collection/archive_reading.h"
#include "tools/os/disk.h"
#include "tools/os/paths.h"
#include "tools/roms/zip_reading.h"

std::string_view WhyZipArchivesAreNotRead() { return ""; }

// Through the collection's reader, which takes the directory's CRCs without decompressing and
// reads the archive through the disk like any other file.
bool ReadZipEntries(Disk& disk, const std::filesystem::path& archivePath,
                    std::vector<ZipEntry>& entries, std::string& error) {
    const std::unique_ptr<ReadableFile> file = disk.OpenToRead(archivePath, error);
    if (!file) return false;
    const FileContents contents = ReadFileContents(*file, Utf8Of(archivePath.filename()));
    if (contents.kind != ContentKind::kZip) {
        error = "Not a zip archive";
        return false;
    }
    for (const RomInFile& rom : contents.roms) {
        if (rom.status == RomStatus::kOk) {
            entries.push_back({rom.entry, rom.crc});
        } else if (error.empty()) {
            error = rom.reason;
        }
    }
    if (error.empty()) error = contents.unreadable;
    return error.empty();
}
