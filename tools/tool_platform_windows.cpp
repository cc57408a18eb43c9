// Windows: the terminal's codeset is the ANSI code page. The plug-in answers in it, and the C
// runtime hands the command line over in it.
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "tools/tool_platform.h"

namespace {

// The Win32 conversions count in int; longer text is past anything the tool handles.
int LengthAsInt(std::size_t length) {
    return static_cast<int>(std::min<std::size_t>(length, INT_MAX));
}

std::wstring ToWide(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int inLength = LengthAsInt(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), inLength, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), inLength, wide.data(), length);
    return wide;
}

// Characters the code page cannot hold become '?'. With `exactOnly`, look-alike substitutes
// (an 'e' for an 'é') are not taken either, and `inexact` tells whether a '?' was put in.
std::string FromWide(std::wstring_view wide, UINT codePage, bool exactOnly = false,
                     bool* inexact = nullptr) {
    if (wide.empty()) return {};
    // The UTF-8 code page holds every character and takes neither a default nor the flags.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = exactOnly && !utf8 ? WC_NO_BEST_FIT_CHARS : 0;
    const char* questionMark = utf8 ? nullptr : "?";
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int inLength = LengthAsInt(wide.size());
    const int length = WideCharToMultiByte(codePage, flags, wide.data(), inLength, nullptr, 0,
                                           questionMark, usedDefaultOut);
    if (length <= 0) return {};
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), inLength, narrow.data(), length, questionMark,
                        usedDefaultOut);
    if (inexact != nullptr) *inexact = usedDefault != FALSE;
    return narrow;
}

// The system's text for an error, in the ANSI code page; `subject` stands where it says "%1".
std::string SystemMessage(DWORD code, std::string_view subject) {
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    std::string text = message != nullptr ? std::string(message, length) : "no description";
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    if (const std::size_t insert = text.find("%1"); insert != std::string::npos) {
        text.replace(insert, 2, subject);
    }
    return text + " (error " + std::to_string(code) + ")";
}

}  // namespace

void* OpenLibrary(const std::filesystem::path& path, std::string& error) {
    // Through the ANSI entry point, as a host loads its plug-ins. A path that has no exact ANSI
    // spelling is refused rather than bent into the name of some other file.
    bool inexact = false;
    const std::string ansiPath = FromWide(path.native(), CP_ACP, true, &inexact);
    if (inexact) {
        error = "its path cannot be written in the ANSI code page";
        return nullptr;
    }
    // A damaged library would otherwise stop the tool with a message box; the error is reported
    // on standard error like any other.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode);
    HMODULE library = LoadLibraryA(ansiPath.c_str());
    const DWORD loadError = GetLastError();
    SetThreadErrorMode(previousMode, nullptr);
    if (library == nullptr) error = SystemMessage(loadError, ansiPath);
    return library;
}

void* FindExport(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

std::filesystem::path ExecutableDirectory() {
    // The wide-character name, so that a folder outside the ANSI code page still leads to the
    // sample list beside the build.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);  // cut short: the path is longer than the buffer
    }
}

std::filesystem::path PathFromTerminal(std::string_view text) {
    return std::filesystem::path(ToWide(text, CP_ACP));
}

std::string PathToTerminal(const std::filesystem::path& path) {
    return FromWide(path.native(), CP_ACP);
}

std::FILE* OpenForReading(const std::filesystem::path& path) {
    return _wfopen(path.c_str(), L"rb");
}

std::FILE* OpenForAppending(const std::filesystem::path& path) {
    return _wfopen(path.c_str(), L"ab");
}

std::string ShiftJisToTerminal(std::string_view text) {
    constexpr UINT kShiftJis = 932;
    return FromWide(ToWide(text, kShiftJis), CP_ACP);
}

std::string TerminalToUtf8(std::string_view text) {
    return FromWide(ToWide(text, CP_ACP), CP_UTF8);
}

std::size_t DisplayWidth(std::string_view text) {
    // A console of a double-byte code page (932, 936, 949, 950) gives each double-byte character
    // two cells and each single byte one; a single-byte code page gives every byte one cell. The
    // UTF-8 code page, which Windows 10 lets users opt into, is counted a cell a character.
    const UINT codePage = GetACP();
    std::size_t width = 0;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto byte = static_cast<unsigned char>(text[index]);
        if (codePage == CP_UTF8) {
            if ((byte & 0xC0) != 0x80) ++width;
        } else if (IsDBCSLeadByteEx(codePage, byte) && index + 1 < text.size()) {
            width += 2;
            ++index;
        } else {
            ++width;
        }
    }
    return width;
}

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}
