// The files a command works on: those named, and every file under the folders named.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct CollectedFiles {
    std::vector<std::filesystem::path> files;  // folder by folder, in name order
    std::vector<std::string> unreadable;       // "cannot read PATH: why", left out of `files`
};

// Paths are read in the terminal's codeset.
CollectedFiles CollectRomFiles(const std::vector<std::string>& paths);
