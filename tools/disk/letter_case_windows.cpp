#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <climits>

#include "tools/base/ascii.h"
#include "tools/disk/letter_case.h"

namespace {

std::wstring Wide(std::string_view utf8) {
    const int inLength = static_cast<int>(std::min<std::size_t>(utf8.size(), INT_MAX));
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, wide.data(), length);
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    const int inLength = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), inLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(length, 0)), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), inLength, utf8.data(), length, nullptr,
                            nullptr);
    }
    return utf8;
}

}  // namespace

std::string FoldedName(std::string_view utf8) {
    if (utf8.empty()) return {};
    const std::wstring wide = Wide(utf8);
    // Without LCMAP_LINGUISTIC_CASING: the file system's upper case, character for character.
    std::wstring upper(wide.size(), L'\0');
    const int length = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(),
                                     static_cast<int>(wide.size()), upper.data(),
                                     static_cast<int>(upper.size()), nullptr, nullptr, 0);
    if (length <= 0) return AsciiUpperCased(utf8);
    upper.resize(static_cast<std::size_t>(length));
    return Utf8(upper);
}
