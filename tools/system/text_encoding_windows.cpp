// Windows: the terminal's codeset is the ANSI code page. The plug-in answers in it, and the C
// runtime hands the command line over in it.
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

#include "tools/system/text_encoding.h"
#include "tools/system/windows_text.h"

namespace {

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

}  // namespace

// The Win32 conversions count in int; longer text is past anything the tool handles.
int LengthAsInt(std::size_t length) {
    return static_cast<int>(std::min<std::size_t>(length, INT_MAX));
}

std::wstring ToWide(std::string_view text, unsigned codePage) {
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
std::string FromWide(std::wstring_view wide, unsigned codePage, bool exactOnly, bool* inexact) {
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
std::string SystemMessage(unsigned long code, std::string_view subject) {
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

std::string ConvertText(std::string_view text, TextEncoding from, TextEncoding to) {
    return FromWide(ToWide(text, CodePage(from)), CodePage(to));
}
