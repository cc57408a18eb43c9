// Loading the plug-in as a host loads it. One implementation file per platform:
// library_posix.cpp, library_windows.cpp.
#pragma once

#include <filesystem>

#include "tools/base/result.h"

// Opens a dynamic library the way a host opens a plug-in. A failure is kPluginUnusable with the
// system's reason alone, for the caller to put after the library's name.
Result<void*> OpenLibrary(const std::filesystem::path& path);

// The address of the function exported under `name`, or null.
void* FindExport(void* library, const char* name);
