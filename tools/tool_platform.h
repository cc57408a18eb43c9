// What qbt needs from the operating system: loading a library, finding its own location and
// showing text on a terminal. One implementation file per platform; only POSIX exists so far.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// Opens a dynamic library the way a host opens a plug-in. Null on failure, with the system's
// reason in `error`.
void* OpenLibrary(const std::filesystem::path& path, std::string& error);

// The address of the function exported under `name`, or null.
void* FindExport(void* library, const char* name);

// The folder that holds the running executable.
std::filesystem::path ExecutableDirectory();

// Shift_JIS bytes re-encoded for the terminal (the LC_CTYPE locale's codeset). Characters the
// terminal cannot show, and bytes that are not valid Shift_JIS, become '?'.
std::string ShiftJisToTerminal(std::string_view text);

// Text in the terminal's codeset re-encoded as UTF-8, with '?' for invalid bytes.
std::string TerminalToUtf8(std::string_view text);

// How many terminal columns the text takes: two for a wide (East Asian) character.
std::size_t DisplayWidth(std::string_view text);

bool StandardErrorIsTerminal();
