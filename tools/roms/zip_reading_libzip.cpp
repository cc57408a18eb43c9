#include <zip.h>

#include "tools/roms/zip_reading.h"

std::string_view WhyZipArchivesAreNotRead() { return ""; }

bool ReadZipEntries(const std::filesystem::path& archivePath, std::vector<ZipEntry>& entries,
                    std::string& error) {
    int errorCode = 0;
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_RDONLY, &errorCode);
    if (archive == nullptr) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, errorCode);
        error = zip_error_strerror(&zipError);
        zip_error_fini(&zipError);
        return false;
    }
    const zip_int64_t entryCount = zip_get_num_entries(archive, 0);
    for (zip_int64_t entry = 0; entry < entryCount; ++entry) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        const bool known =
            zip_stat_index(archive, static_cast<zip_uint64_t>(entry), 0, &stat) == 0 &&
            (stat.valid & ZIP_STAT_NAME) != 0 && (stat.valid & ZIP_STAT_CRC) != 0;
        if (!known) {
            if (error.empty()) error = zip_strerror(archive);
            continue;
        }
        const std::string_view name = stat.name;
        if (name.ends_with('/')) continue;  // a folder entry
        entries.push_back({stat.name, stat.crc});
    }
    zip_discard(archive);  // read only: nothing to write back
    return error.empty();
}
