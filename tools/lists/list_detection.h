// Which encoding a game list is in when it declares none and is not valid UTF-8.
//
// That a list decodes without an error proves little: Latin-1 decodes any bytes, and code page
// 932 decodes many Western lists. So each reading is also judged by what it makes of the text:
// kana, punctuation and common kanji for Japanese; accented letters inside Latin words and the
// usual quotes and dashes for Western text. A reading that turns a Latin word into "Ch" + kanji
// + "eau", or Japanese into runs of accented capitals and symbols, counts against itself.
//
//   const ListGuess guess = GuessListEncoding(listText);
//   if (guess.encoding) { /* read the values as *guess.encoding, saying so */ }
//   else { /* refuse to rename; ask for --list-encoding */ }
//
// Only bytes outside ASCII weigh, so the markup of the list does not matter. The same bytes give
// the same answer on every system: nothing here asks the locale or the system's converters.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "tools/system/text_encoding.h"

// The list's bytes read in one encoding.
struct ListReading {
    TextEncoding encoding = TextEncoding::kUtf8;
    bool whole = true;  // every byte belongs to a character of the encoding
    // Characters typical of text in the encoding, less twice those that are not.
    long evidence = 0;
    std::size_t characters = 0;  // characters outside ASCII
    std::size_t misfits = 0;     // of them, those that text in the encoding would hardly hold
};

// The list read as code page 932, as EUC-JP and as Windows-1252 (which reads Latin-1 text the
// same way: only its bytes 0x80 to 0x9F differ, and in Latin-1 those are control characters).
std::array<ListReading, 3> ReadingsOf(std::string_view text);

// How far a reading must lead, both past nothing and past every other whole reading, before it
// is taken; a reading with a misfit is never taken. Measured on generated lists of one to 300
// titles (docs/list_detection.md).
inline constexpr long kStrongEvidence = 6;

struct ListGuess {
    std::optional<TextEncoding> encoding;  // only when the evidence is strong
    ListReading best;                      // the reading that led, taken or not
    long lead = 0;                         // its evidence less the next whole reading's
};

ListGuess GuessListEncoding(std::string_view text);
