// Loading the plug-in exactly as a host does: the library opened by file name, each of the nine
// exports found by its name.
#pragma once

#include <filesystem>

#include "plugin/exports.h"
#include "tools/base/result.h"

// The exports' types, taken from their declarations so that they cannot drift apart.
using VersionExport = decltype(&::GetPluginVersion);
using IdentityExport = decltype(&::GetPluginAuthor);
using TextExport = decltype(&::GetTitle);
using NumberExport = decltype(&::GetImgNum);

struct Plugin {
    VersionExport GetPluginVersion;
    IdentityExport GetPluginAuthor;
    IdentityExport GetPluginInfo;
    TextExport GetMaker;
    TextExport GetTitle;
    TextExport GetSaveInfo;
    TextExport GetMediaInfo;
    TextExport GetCountry;
    NumberExport GetImgNum;
};

// The installed plug-in, or the one built alongside this executable.
std::filesystem::path DefaultPluginPath();

// kPluginUnusable when the library cannot be opened or lacks an export. The library stays loaded
// until the process ends.
Result<Plugin> LoadPlugin(const std::filesystem::path& path);
