// What qbt needs from the operating system: loading a library, finding its own location, naming,
// writing and renaming files, and showing text on a terminal. One implementation file per
// platform: platform_posix.cpp, platform_windows.cpp.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <streambuf>
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

// The encodings the tool converts text between. kTerminal is the terminal's codeset: the
// LC_CTYPE locale's on POSIX systems, the ANSI code page on Windows. kShiftJis is the Windows
// variant (code page 932) on every system, since lists and the plug-in's own text come from there.
enum class TextEncoding { kTerminal, kUtf8, kShiftJis, kEucJp, kLatin1, kLatin9, kWindows1252 };

// Re-encodes text; every conversion of the tool goes through here, so one rule holds for all:
// characters `to` cannot hold become '?', and so do bytes that are not valid in `from` (the
// system's replacement character on Windows). Text converted to kUtf8 is always valid UTF-8.
std::string ConvertText(std::string_view text, TextEncoding from, TextEncoding to);

inline std::string TerminalToUtf8(std::string_view text) {
    return ConvertText(text, TextEncoding::kTerminal, TextEncoding::kUtf8);
}
inline std::string Utf8ToTerminal(std::string_view text) {
    return ConvertText(text, TextEncoding::kUtf8, TextEncoding::kTerminal);
}

// How many terminal columns the text takes: two for a wide (East Asian) character.
std::size_t DisplayWidth(std::string_view text);

bool StandardErrorIsTerminal();

// Standard output and error while it lives (main holds one). On a Windows console the text goes
// out through WriteConsoleW, so that every character shows whatever the console's code page is
// (the OEM one, not the ANSI code page qbt writes in), and that setting is left alone. Files,
// pipes and POSIX terminals get the bytes as written.
class StandardStreams {
public:
    StandardStreams();
    ~StandardStreams();
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

private:
    std::unique_ptr<std::streambuf> buffers_[2];
    std::streambuf* previous_[2] = {};
};

#ifdef _WIN32
// What StandardStreams puts on a console: text in `codePage` handed to `write` as UTF-16 in whole
// characters, a character cut by a flush waiting for the rest of its bytes.
std::unique_ptr<std::streambuf> MakeConsoleBuffer(unsigned codePage,
                                                  std::function<void(std::wstring_view)> write);
#endif

// Renames `from` to `to` in one step unless something is already named `to`: a file is never
// replaced. A rename that changes only letter case works on case-insensitive file systems.
// CannotRefuse: nothing was done, because the file system can refuse to replace a file neither in
// the rename itself (RENAME_NOREPLACE) nor through a hard link: exFAT and FAT through FUSE, some
// network shares. Only a name held beforehand (files.h, ReserveName) keeps a file safe there.
enum class RenameResult { Renamed, TargetExists, CannotRefuse, Failed };
RenameResult RenameWithoutReplacing(const std::filesystem::path& from,
                                    const std::filesystem::path& to, std::string& error);
