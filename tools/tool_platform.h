// What qbt needs from the operating system: loading a library, finding its own location, naming,
// writing and renaming files, and showing text on a terminal. One implementation file per platform.
#pragma once

#include <cstddef>
#include <cstdio>
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

// Paths as the command line gives them and as messages show them: in the terminal's codeset.
// On Windows std::filesystem's own narrow strings are UTF-8 one way and the C runtime's codeset
// the other, so the tool converts paths through these two only.
std::filesystem::path PathFromTerminal(std::string_view text);
std::string PathToTerminal(const std::filesystem::path& path);

// fopen(path, "rb") for any file the system can name, whatever the terminal's codeset holds.
std::FILE* OpenForReading(const std::filesystem::path& path);

// fopen(path, "ab") likewise: creates the file, or adds to its end; never truncates it.
std::FILE* OpenForAppending(const std::filesystem::path& path);

// Renames `from` to `to` in one step unless something is already named `to`: a file is never
// replaced. A rename that changes only letter case works on case-insensitive file systems.
enum class RenameResult { Renamed, TargetExists, Failed };
RenameResult RenameWithoutReplacing(const std::filesystem::path& from,
                                    const std::filesystem::path& to, std::string& error);

// Writes what `file` holds through to the disk before returning, so that a journal line
// survives the process being killed right after.
bool FlushToDisk(std::FILE* file);

// Shift_JIS bytes re-encoded for the terminal. Characters the terminal cannot show become '?';
// bytes that are not valid Shift_JIS become '?' (the system's replacement character on Windows).
std::string ShiftJisToTerminal(std::string_view text);

// Text in the terminal's codeset re-encoded as UTF-8. Invalid bytes become '?' (on Windows, the
// system's replacement character).
std::string TerminalToUtf8(std::string_view text);

// How many terminal columns the text takes: two for a wide (East Asian) character.
std::size_t DisplayWidth(std::string_view text);

bool StandardErrorIsTerminal();
