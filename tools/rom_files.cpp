#include "tools/rom_files.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "tools/file_reading.h"
#include "tools/tool_platform.h"

namespace fs = std::filesystem;

namespace {

std::string CannotRead(const fs::path& path, std::string_view reason) {
    return "cannot read " + PathToTerminal(path) + ": " + std::string(reason);
}

// ASCII folded by arithmetic: std::tolower follows the locale, and under a Turkish one 'I'
// does not become 'i'.
bool IsZipArchive(const fs::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char byte) {
        return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + ('a' - 'A')) : byte;
    });
    return extension == ".zip";
}

std::vector<RomChecksum> ZipEntryChecksums(const fs::path& archivePath,
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
        checksums.push_back({archivePath.string() + ":" + stat.name, stat.crc});
    }
    zip_discard(archive);  // read only: nothing to write back
    return checksums;
}

}  // namespace

std::vector<fs::path> CollectRomFiles(const std::vector<std::string>& paths,
                                      std::vector<std::string>& problems) {
    std::vector<fs::path> files;
    for (const fs::path path : paths) {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (error) {
            problems.push_back(CannotRead(path, error.message()));
            continue;
        }
        if (!fs::is_directory(status)) {
            files.push_back(path);
            continue;
        }
        std::vector<fs::path> found;
        fs::recursive_directory_iterator walk(path, error);
        for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
            std::error_code typeError;  // a dangling link, say: reported, and the walk goes on
            if (walk->is_regular_file(typeError)) found.push_back(walk->path());
            if (typeError) problems.push_back(CannotRead(walk->path(), typeError.message()));
        }
        if (error) problems.push_back(CannotRead(path, error.message()));
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

std::vector<RomChecksum> ChecksumsOf(const fs::path& file, std::vector<std::string>& problems) {
    if (IsZipArchive(file)) return ZipEntryChecksums(file, problems);
    uLong crc = crc32(0L, Z_NULL, 0);
    const std::string failure = ReadInChunks(file, [&](std::string_view chunk) {
        crc = crc32(crc, reinterpret_cast<const Bytef*>(chunk.data()),
                    static_cast<uInt>(chunk.size()));
    });
    if (!failure.empty()) {
        problems.push_back(CannotRead(file, failure));
        return {};
    }
    return {{file.string(), static_cast<uint32_t>(crc)}};
}

std::string CrcKey(uint32_t crc) {
    char key[9];
    std::snprintf(key, sizeof key, "%08X", static_cast<unsigned>(crc));
    return key;
}
