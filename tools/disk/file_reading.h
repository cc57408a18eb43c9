// Reading files: whole, as a host hands a list over, or piece by piece; and finding the files
// that come with qbt.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "tools/base/result.h"
#include "tools/disk/collection_disk.h"

// Of two paths relative to the executable's folder, the first that exists: where an installed
// qbt keeps a file, then where the build tree does. The installed one when neither exists.
std::filesystem::path BesideExecutable(std::string_view installed, std::string_view inBuildTree);

// The whole file, byte for byte; kCannotRead, naming it as `what` ("the game list"), when it
// cannot be read.
Result<std::string> ReadWholeFile(const std::filesystem::path& path, std::string_view what);

// "cannot read PATH: reason", the way qbt reports a path it could not read.
std::string CannotRead(const std::filesystem::path& path, std::string_view reason);

// Hands the file's content to `consume` piece by piece; the system's reason when it cannot be
// read.
DiskResult<> ReadInChunks(const std::filesystem::path& path,
                          const std::function<void(std::string_view)>& consume);

// The same through `disk`, as its OpenToRead hands the file out.
DiskResult<> ReadFileInPieces(CollectionDisk& disk, const std::filesystem::path& path,
                              const std::function<void(std::string_view)>& consume);
