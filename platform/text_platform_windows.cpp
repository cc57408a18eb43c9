#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "platform/text_platform.h"

namespace {

// The Win32 conversions count in int; text that long is past any game list.
bool FitsInInt(std::size_t length) { return length <= static_cast<std::size_t>(INT_MAX); }

// A conversion that fails leaves the value empty and the lookup still succeeds, as it always has.
// Each conversion writes into the room `text` has and is measured and made again only when that
// is too small, so a usual field costs one call and no heap block.
template <typename Text, typename Convert>
void ConvertInto(Text& text, Convert convert) {
    const int room = static_cast<int>(std::min<std::size_t>(text.Capacity(), INT_MAX));
    int converted = convert(text.Data(), room);
    if (converted <= 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        const int needed = convert(nullptr, 0);
        if (needed > 0) {
            text.Resize(0);  // nothing of the failed try is kept
            text.Resize(static_cast<std::size_t>(needed));
            converted = convert(text.Data(), needed);
        }
    }
    text.Resize(converted > 0 ? static_cast<std::size_t>(converted) : 0);
}

using WideText = SmallBuffer<wchar_t, 256>;

void Utf8ToWide(std::string_view utf8, WideText& wide) {
    wide.Resize(0);
    if (utf8.empty() || !FitsInInt(utf8.size())) return;
    const int inLength = static_cast<int>(utf8.size());
    // Every UTF-8 byte gives at most one UTF-16 unit (a four-byte sequence two, an ill-formed
    // byte one U+FFFD), so this much room suffices and the measuring is only a safeguard.
    wide.Resize(utf8.size());
    ConvertInto(wide, [&](wchar_t* out, int room) {
        return MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, out, room);
    });
}

// Characters the ANSI code page cannot hold become the system's default character ("?"), or a
// look-alike where the code page's tables give one.
void WideToAnsi(std::wstring_view wide, FieldText& ansi) {
    ansi.Resize(0);
    if (wide.empty()) return;
    const int inLength = static_cast<int>(wide.size());
    ConvertInto(ansi, [&](char* out, int room) {
        return WideCharToMultiByte(CP_ACP, 0, wide.data(), inLength, out, room, nullptr, nullptr);
    });
}

// mbstowcs_s gets room for this many wide characters, the NUL included; only the first matters.
constexpr std::size_t kClassifiedPrefix = 40;

}  // namespace

void ConvertUtf8ToAnsi(std::string_view utf8, FieldText& ansi) {
    WideText wide;
    Utf8ToWide(utf8, wide);
    WideToAnsi(wide.View(), ansi);
}

bool StartsWithLetterOrDigit(std::string_view text) {
    if (text.empty()) return false;
    FieldText terminated;  // mbstowcs_s reads up to a NUL
    terminated.Assign(text);
    terminated.Resize(text.size() + 1);
    terminated.Data()[text.size()] = '\0';
    wchar_t wide[kClassifiedPrefix] = {};
    std::size_t convertedCount = 0;
    // Decodes in the runtime's current locale, which the host owns; truncation is asked for, so a
    // long text is no error. Text that does not decode leaves wide[0] a NUL, which is neither a
    // letter nor a digit, so the result code needs no separate look.
    static_cast<void>(
        mbstowcs_s(&convertedCount, wide, kClassifiedPrefix, terminated.Data(), _TRUNCATE));
    return IsCharAlphaNumericW(wide[0]) != FALSE;
}
