// Reading files: the game list whole, as a host hands it over, and any file piece by piece.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// Of two paths relative to the executable's folder, the first that exists: where an installed
// qbt keeps a file, then where the build tree does. The installed one when neither exists.
std::filesystem::path BesideExecutable(std::string_view installed, std::string_view inBuildTree);

// The sample list, installed or in the source tree, found from the executable like the plug-in.
std::filesystem::path DefaultGameListPath();

// The whole file, byte for byte. Throws ToolError (kExitUnreadableFile) when it cannot be read,
// naming it as `what` ("the game list").
std::string ReadWholeFile(const std::filesystem::path& path, std::string_view what);

inline std::string ReadGameList(const std::filesystem::path& path) {
    return ReadWholeFile(path, "the game list");
}

// Hands the file's content to `consume` piece by piece; the reason for a failure, or "".
std::string ReadInChunks(const std::filesystem::path& path,
                         const std::function<void(std::string_view)>& consume);
