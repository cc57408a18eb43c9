#include "tools/tool_platform.h"
#include "tools/zip_reading.h"

std::string_view WhyZipArchivesAreNotRead() { return "qbt.exe does not read zip archives"; }

std::vector<RomChecksum> ZipEntryChecksums(const std::filesystem::path& archive,
                                           std::vector<std::string>& problems) {
    problems.push_back("cannot read " + PathToTerminal(archive) + ": " +
                       std::string(WhyZipArchivesAreNotRead()));
    return {};
}
