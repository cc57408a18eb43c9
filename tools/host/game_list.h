// The game list a host reads and hands the plug-in whole.
#pragma once

#include <filesystem>
#include <string>

#include "tools/os/file_reading.h"

// The sample list, installed or in the source tree, found from the executable like the plug-in.
std::filesystem::path DefaultGameListPath();

// Throws ToolError (kExitUnreadableFile) when the list cannot be read.
inline std::string ReadGameList(const std::filesystem::path& path) {
    return ReadWholeFile(path, "the game list");
}
