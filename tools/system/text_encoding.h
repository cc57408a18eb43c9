// Text from one encoding to another, by the system's converters (iconv, the Win32 code pages).
// One implementation file per platform: text_encoding_posix.cpp, text_encoding_windows.cpp.
#pragma once

#include <string>
#include <string_view>

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

// UTF-16 text (after its byte-order mark, if it had one), little- or big-endian, as UTF-8; what
// is not UTF-16 (a lone surrogate, an odd last byte) becomes U+FFFD. The same on every system:
// game lists and 7z archives' names are UTF-16 wherever they were made.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
