// Windows: the terminal's codeset is the ANSI code page. The plug-in answers in it, and the C
// runtime hands the command line over in it.
#define NOMINMAX
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/utf8.h"
#include "tools/os/files.h"
#include "tools/os/platform.h"

namespace {

// Whether a three-byte UTF-8 character is East Asian wide: Hangul Jamo, CJK symbols and
// punctuation, kana, CJK ideographs, Yi, Hangul syllables, compatibility ideographs, CJK
// compatibility forms and full-width forms (the ranges terminals give two cells).
bool IsWideCharacter(std::string_view utf8) {
    const char32_t code = (static_cast<char32_t>(utf8[0] & 0x0F) << 12) |
                          (static_cast<char32_t>(utf8[1] & 0x3F) << 6) |
                          static_cast<char32_t>(utf8[2] & 0x3F);
    return (code >= 0x1100 && code <= 0x115F) ||
           (code >= 0x2E80 && code <= 0xA4CF && code != 0x303F) ||
           (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
           (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
           (code >= 0xFFE0 && code <= 0xFFE6);
}

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

UINT CodePage(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kTerminal: return CP_ACP;
        case TextEncoding::kUtf8: return CP_UTF8;
        case TextEncoding::kShiftJis: return 932;
        case TextEncoding::kEucJp: return 20932;  // 51932 is known to MLang only, not to these
        case TextEncoding::kLatin1: return 28591;
        case TextEncoding::kLatin9: return 28605;
        case TextEncoding::kWindows1252: return 1252;
    }
    return CP_UTF8;
}

// The system's text for an error, in the ANSI code page; `subject` stands where it says "%1".
std::string SystemMessage(DWORD code, std::string_view subject = {}) {
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text = message != nullptr ? FromWide({message, length}, CP_ACP) : "no description";
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    if (const std::size_t insert = text.find("%1"); insert != std::string::npos) {
        text.replace(insert, 2, subject);
    }
    return text + " (error " + std::to_string(code) + ")";
}

// The last components only: the rename core builds both paths from one folder, but need not
// spell the folder the same way twice.
bool NamesDifferOnlyInCase(const std::filesystem::path& from, const std::filesystem::path& to) {
    const std::wstring a = from.filename().native();
    const std::wstring b = to.filename().native();
    return a != b && CompareStringOrdinal(a.data(), LengthAsInt(a.size()), b.data(),
                                          LengthAsInt(b.size()), TRUE) == CSTR_EQUAL;
}

// The name the file system holds for `path`, in its own letter case; empty if there is none.
std::wstring NameOnDisk(const std::filesystem::path& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(LongPath(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    FindClose(search);
    return found.cFileName;
}

// Whether the two paths name one file: the same volume and file index.
bool NameTheSameFile(const std::filesystem::path& first, const std::filesystem::path& second) {
    const auto identity = [](const std::filesystem::path& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE file =
            CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const bool known = GetFileInformationByHandle(file, &info) != 0;
        CloseHandle(file);
        return known;
    };
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    return identity(first, a) && identity(second, b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool MoveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

// A rename that changes only letter case, where the file system will not do it in one step:
// Wine 8 on a Linux file system reports success and leaves the name as it was, and a file
// system may refuse it as a rename onto an existing file. The file goes through a free name of
// its own beside it instead; should the process die between the two steps, that
// name ("<to>.qbt-renaming") says what it was meant to become.
RenameResult RenameThroughPassingName(const std::filesystem::path& from,
                                      const std::filesystem::path& to, std::string& error) {
    std::filesystem::path passing = to;
    passing += L".qbt-renaming";
    if (!MoveWithoutReplacing(from, passing)) {
        error = "cannot change the letter case through " + PathToTerminal(passing.filename()) +
                ": " + SystemMessage(GetLastError());
        return RenameResult::Failed;
    }
    if (MoveWithoutReplacing(passing, to)) return RenameResult::Renamed;
    error = SystemMessage(GetLastError());
    if (!MoveWithoutReplacing(passing, from)) {
        error += "; the file is left as " + PathToTerminal(passing.filename());
    }
    return RenameResult::Failed;
}

}  // namespace

std::string SystemErrorText(unsigned long code) { return SystemMessage(code); }

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
    return _wfopen(LongPath(path).c_str(), L"rb");
}

std::string ConvertText(std::string_view text, TextEncoding from, TextEncoding to) {
    return FromWide(ToWide(text, CodePage(from)), CodePage(to));
}

std::size_t DisplayWidth(std::string_view text) {
    // A console of a double-byte code page (932, 936, 949, 950) gives each double-byte character
    // two cells and each single byte one; a single-byte code page gives every byte one cell.
    // Under the UTF-8 code page, qbt.exe's own, East Asian wide characters take two cells.
    const UINT codePage = GetACP();
    std::size_t width = 0;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto byte = static_cast<unsigned char>(text[index]);
        if (codePage == CP_UTF8) {
            const std::size_t length =
                std::max<std::size_t>(1, Utf8SequenceLength(text.substr(index)));
            width += length == 3 && IsWideCharacter(text.substr(index, 3)) ? 2 : 1;
            index += length - 1;
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

RenameResult RenameWithoutReplacing(const std::filesystem::path& from,
                                    const std::filesystem::path& to, std::string& error) {
    // Without MOVEFILE_REPLACE_EXISTING an existing target fails the call, checked by the file
    // system in the same step as the rename. WRITE_THROUGH: the call returns only once the move
    // is on disk.
    if (!MoveWithoutReplacing(from, to)) {
        const DWORD failure = GetLastError();
        if (failure == ERROR_ALREADY_EXISTS || failure == ERROR_FILE_EXISTS) {
            const bool caseOnly = NamesDifferOnlyInCase(from, to) && NameTheSameFile(from, to);
            return caseOnly ? RenameThroughPassingName(from, to, error)
                            : RenameResult::TargetExists;
        }
        error = SystemMessage(failure);
        return RenameResult::Failed;
    }
    if (NamesDifferOnlyInCase(from, to) && NameOnDisk(to) != to.filename().native()) {
        return RenameThroughPassingName(from, to, error);
    }
    return RenameResult::Renamed;
}
