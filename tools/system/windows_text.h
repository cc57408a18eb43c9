// Inside the Windows implementations of system/ and disk/: text to and from UTF-16 in a code
// page, and the system's words for an error code.
#pragma once

#ifndef _WIN32
#error "windows_text.h is for the Windows build only"
#endif

#include <cstddef>
#include <string>
#include <string_view>

// The Win32 conversions count in int; longer text is past anything the tool handles.
int LengthAsInt(std::size_t length);

std::wstring ToWide(std::string_view text, unsigned codePage);

// Characters the code page cannot hold become '?'. With `exactOnly`, look-alike substitutes
// (an 'e' for an 'é') are not taken either, and `inexact` tells whether a '?' was put in.
std::string FromWide(std::wstring_view wide, unsigned codePage, bool exactOnly = false,
                     bool* inexact = nullptr);

// The system's text for an error, in the ANSI code page, with the code; `subject` stands where
// it says "%1".
std::string SystemMessage(unsigned long code, std::string_view subject = {});
