#include <zip.h>

#include <string_view>

#include "tools/tool_platform.h"
#include "tools/zip_reading.h"

namespace {

std::string CannotRead(const std::filesystem::path& archive, std::string_view reason) {
    return "cannot read " + PathToTerminal(archive) + ": " + std::string(reason);
}

}  // namespace

std::string_view WhyZipArchivesAreNotRead() { return ""; }

std::vector<RomChecksum> ZipEntryChecksums(const std::filesystem::path& archivePath,
                                           std::vector<std::string>& problems) {
    int errorCode = 0;
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_RDONLY, &errorCode);
    if (archive == nullptr) {
        zip_error_t error;
        zip_error_init_with_code(&error, errorCode);
        problems.push_back(CannotRead(archivePath, zip_error_strerror(&error)));
        zip_error_fini(&error);
        return {};
    }
    std::vector<RomChecksum> checksums;
    const zip_int64_t entryCount = zip_get_num_entries(archive, 0);
    for (zip_int64_t entry = 0; entry < entryCount; ++entry) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        const bool known =
            zip_stat_index(archive, static_cast<zip_uint64_t>(entry), 0, &stat) == 0 &&
            (stat.valid & ZIP_STAT_NAME) != 0 && (stat.valid & ZIP_STAT_CRC) != 0;
        if (!known) {
            problems.push_back(CannotRead(archivePath, zip_strerror(archive)));
            continue;
        }
        const std::string_view name = stat.name;
        if (name.ends_with('/')) continue;  // a folder entry
        checksums.push_back({archivePath, stat.name, stat.crc});
    }
    zip_discard(archive);  // read only: nothing to write back
    return checksums;
}
