#include <windows.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/text_platform.h"

namespace {

// The Win32 conversions count in int; text that long is past any game list.
bool FitsInInt(std::size_t length) { return length <= static_cast<std::size_t>(INT_MAX); }

// Both conversions are asked for the length first and then made into a buffer of exactly that
// length. A conversion that fails leaves the value empty and the lookup still succeeds, as it
// always has.
std::wstring Utf8ToWide(std::string_view utf8) {
    if (utf8.empty() || !FitsInInt(utf8.size())) return {};
    const int inLength = static_cast<int>(utf8.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, nullptr, 0);
    if (wideLength <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    const int converted =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, wide.data(), wideLength);
    wide.resize(converted > 0 ? static_cast<std::size_t>(converted) : 0);
    return wide;
}

// Characters the ANSI code page cannot hold become the system's default character ("?"), or a
// look-alike where the code page's tables give one.
std::string WideToAnsi(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int inLength = static_cast<int>(wide.size());
    const int ansiLength =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0) return {};
    std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
    const int converted = WideCharToMultiByte(CP_ACP, 0, wide.data(), inLength, ansi.data(),
                                              ansiLength, nullptr, nullptr);
    ansi.resize(converted > 0 ? static_cast<std::size_t>(converted) : 0);
    return ansi;
}

// mbstowcs_s gets room for this many wide characters, the NUL included; only the first matters.
constexpr std::size_t kClassifiedPrefix = 40;

}  // namespace

std::string ConvertUtf8ToAnsi(std::string_view utf8) { return WideToAnsi(Utf8ToWide(utf8)); }

bool StartsWithLetterOrDigit(std::string_view text) {
    if (text.empty()) return false;
    const std::string terminated(text);  // mbstowcs_s reads up to a NUL
    wchar_t wide[kClassifiedPrefix] = {};
    std::size_t convertedCount = 0;
    // Decodes in the runtime's current locale, which the host owns; truncation is asked for, so a
    // long text is no error. Text that does not decode leaves wide[0] a NUL, which is neither a
    // letter nor a digit, so the result code needs no separate look.
    static_cast<void>(
        mbstowcs_s(&convertedCount, wide, kClassifiedPrefix, terminated.c_str(), _TRUNCATE));
    return IsCharAlphaNumericW(wide[0]) != FALSE;
}
