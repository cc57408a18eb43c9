// What qbt shows on a terminal and reads from its command line: paths in the terminal's codeset,
// the columns text takes, and standard output and error on a Windows console. One implementation
// file per platform: terminal_posix.cpp, terminal_windows.cpp.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>

// Paths as the command line gives them and as messages show them: in the terminal's codeset.
// On Windows std::filesystem's own narrow strings are UTF-8 one way and the C runtime's codeset
// the other, so the tool converts paths through these two only.
std::filesystem::path PathFromTerminal(std::string_view text);
std::string PathToTerminal(const std::filesystem::path& path);

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
