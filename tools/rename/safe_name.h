// File names valid on Windows and on the FAT and exFAT cards that flash carts read, whatever the
// system qbt runs on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `stem` + `extension` (UTF-8) made valid on Windows, FAT and exFAT and shown as what it is:
// the bidirectional controls that would reorder it on screen go, control characters and
// \ / : * ? " < > | become '_', and so does a dot that would begin the name (such a name is
// hidden on Linux and macOS), trailing dots and spaces go, a reserved device name (CON, PRN,
// AUX, NUL, COM1-9, LPT1-9) before the first dot gets a '_', and the stem is cut, never inside a
// character, so that the whole name takes at most 255 bytes (255 UTF-16 units on Windows). The
// extension is kept whole. Empty when nothing of the stem is left.
std::string SafeFileName(std::string_view stem, std::string_view extension);

// How many units (bytes; UTF-16 units on Windows) SafeFileName would have to cut from `stem` for
// the name to fit; 0 when it fits.
std::size_t UnitsPastNameLimit(std::string_view stem, std::string_view extension);

// `text` without its last `units`, never cutting a character, and without the spaces that would
// then end it; its first character stays whatever `units` says.
std::string ShortenedBy(std::string_view text, std::size_t units);
