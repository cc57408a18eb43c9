#include "tools/rom_files.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "tools/file_reading.h"
#include "tools/tool_platform.h"
#include "tools/zip_reading.h"

namespace fs = std::filesystem;

namespace {

std::string CannotRead(const fs::path& path, std::string_view reason) {
    return "cannot read " + PathToTerminal(path) + ": " + std::string(reason);
}

// By arithmetic, not tolower: the tool runs in the user's locale, where 'I' may not become 'i'.
char8_t AsciiLower(char8_t byte) {
    return byte >= u8'A' && byte <= u8'Z' ? static_cast<char8_t>(byte - u8'A' + u8'a') : byte;
}

bool IsZipArchive(const fs::path& file) {
    const std::u8string extension = file.extension().u8string();
    constexpr std::u8string_view kZip = u8".zip";
    return std::equal(extension.begin(), extension.end(), kZip.begin(), kZip.end(),
                      [](char8_t byte, char8_t lower) { return AsciiLower(byte) == lower; });
}

}  // namespace

std::string PathInUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::vector<fs::path> CollectRomFiles(const std::vector<std::string>& paths,
                                      std::vector<std::string>& problems) {
    std::vector<fs::path> files;
    for (const std::string& typed : paths) {
        const fs::path path = PathFromTerminal(typed);
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

std::string NameForTerminal(const RomChecksum& rom) {
    const std::string file = PathToTerminal(rom.file);
    return rom.entry.empty() ? file : file + ":" + rom.entry;
}

std::string NameInUtf8(const RomChecksum& rom) {
    const std::string file = PathInUtf8(rom.file);
    return rom.entry.empty() ? file : file + ":" + rom.entry;
}

std::string ReasonToSkip(const fs::path& file) {
    return IsZipArchive(file) ? std::string(WhyZipArchivesAreNotRead()) : "";
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
    return {{file, "", static_cast<uint32_t>(crc)}};
}

std::string CrcKey(uint32_t crc) {
    char key[9];
    std::snprintf(key, sizeof key, "%08X", static_cast<unsigned>(crc));
    return key;
}
