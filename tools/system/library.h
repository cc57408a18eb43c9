// Loading the plug-in as a host loads it. One implementation file per platform:
// library_posix.cpp, library_windows.cpp.
#pragma once

#include <filesystem>
#include <string>

// Opens a dynamic library the way a host opens a plug-in. Null on failure, with the system's
// reason in `error`.
void* OpenLibrary(const std::filesystem::path& path, std::string& error);

// The address of the function exported under `name`, or null.
void* FindExport(void* library, const char* name);
