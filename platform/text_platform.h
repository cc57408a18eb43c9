// The little the plug-in needs from the platform's text handling, one implementation per
// platform: text_platform_windows.cpp (Win32 and the C runtime) and text_platform_posix.cpp
// (the calling thread's C locale and iconv). Neither ever changes a locale.
#pragma once

#include <string_view>

#include "platform/small_buffer.h"

// Converts UTF-8 text to the ANSI code page: the system's on Windows; elsewhere the codeset of
// the calling thread's LC_CTYPE locale or, while that is the C locale, of the locale the
// environment names, with Shift_JIS taken as code page 932. A character the code page cannot
// hold is replaced (by "?" where the choice is ours). The result replaces what `ansi` held.
// Throws std::bad_alloc when memory runs out.
void ConvertUtf8ToAnsi(std::string_view utf8, FieldText& ansi);

// Whether the first character of `text`, decoded in the current locale, is a letter or a digit.
// Text that does not decode counts as neither.
bool StartsWithLetterOrDigit(std::string_view text);
