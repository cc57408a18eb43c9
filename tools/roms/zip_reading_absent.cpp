#include "tools/roms/zip_reading.h"

std::string_view WhyZipArchivesAreNotRead() { return "qbt.exe does not read zip archives"; }

bool ReadZipEntries(Disk&, const std::filesystem::path&, std::vector<ZipEntry>&,
                    std::string& error) {
    error = WhyZipArchivesAreNotRead();
    return false;
}
