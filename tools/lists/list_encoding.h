// How the plug-in's answers from one game list are encoded, and their conversions for a table,
// for JSON and for file names.
//
// The plug-in converts a value itself only when it takes the list for UTF-8 (its declaration
// says so): qbt asks it then in UTF-8 (system/utf8_lookups.h), so the answers are UTF-8 whatever the
// terminal. From any other list it answers with the list's own bytes, which qbt reads in the
// encoding the list declares, or in the one its text shows when it declares none and is not
// UTF-8 (lists/list_detection.h):
//
//     const ValueEncoding encoding =
//         ValueEncodingOf(listText, options.listEncoding, true)->encoding;
//     std::cout << ValueToTerminal(title, encoding);   // a table
//     json["title"] = ValueToUtf8(title, encoding);    // JSON; also the source of a file name
//
// A file name is made from ValueToUtf8: Linux names files in UTF-8, and on Windows
// std::filesystem::path(std::u8string(...)) gives the UTF-16 name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/system/text_encoding.h"
#include "tools/base/result.h"

struct ValueEncoding {
    TextEncoding values = TextEncoding::kTerminal;
    // Set when the list declares no encoding, is not UTF-8 and its text does not show which
    // encoding it is in: `values` is then only the likeliest reading, and `doubt` says so.
    std::string doubt;
};

// The encodings a list may declare or --list-encoding may name, with their usual aliases.
inline constexpr const char* kKnownListEncodings =
    "UTF-8, Shift_JIS (SJIS, CP932, Windows-31J), EUC-JP, ISO-8859-1 (Latin-1), ISO-8859-15, "
    "Windows-1252, US-ASCII";

// The rule, for the help of every command that reads a list.
inline std::string ListEncodingHelp() {
    return std::string(
               "List encodings:\n"
               "  Values are read in the encoding --list-encoding names, else in the\n"
               "  one the list's XML declaration names (encoding=\"...\"), else as UTF-8\n"
               "  when the list is valid UTF-8, else in the encoding its text shows\n"
               "  (Shift_JIS, EUC-JP or Windows-1252), said on standard error. When the\n"
               "  text shows none clearly, rename --apply refuses and asks for\n"
               "  --list-encoding. A UTF-16 list needs a byte-order mark. Tables come out\n"
               "  in the terminal's codeset ('?' for characters it lacks), JSON and names\n"
               "  in UTF-8. Known:\n  ") +
           kKnownListEncodings;
}

// The plug-in's own test of whether a list is UTF-8, mirrored so that qbt knows when the plug-in
// has converted a value to the terminal's codeset itself: "UTF-8" (any letter case) before the
// first "?>", or anywhere when there is no "?>". `hostText` is the list up to its first NUL.
bool PluginTakesForUtf8(std::string_view hostText);

// Whether `name` is one of kKnownListEncodings or their usual aliases. Letter case, '-', '_' and
// spaces do not matter.
bool IsKnownListEncoding(std::string_view name);

// The failure a name IsKnownListEncoding does not know is (kWrongUsage), listing the known ones.
Failure UnknownListEncoding(std::string_view name);

// The encoding, and what the user should be warned of about how it was found, in order.
struct FoundEncoding {
    ValueEncoding encoding;
    std::vector<std::string> warnings;
};

// From `overrideName` (--list-encoding) when it is non-empty, else from the list's XML
// declaration, else by the rule for a list without one: valid UTF-8 is read as UTF-8, anything
// else in the encoding GuessListEncoding finds, with a warning that says so; when it finds
// none, the likeliest reading with `doubt` set. A declaration naming an encoding the tool does
// not know counts as none, with a warning. When the plug-in converts the values itself they are
// UTF-8 if `answersInUtf8` (qbt asked in UTF-8), else in the terminal's codeset, whatever the
// list or the override says (an override other than UTF-8 is warned about then). kWrongUsage
// when `overrideName` is not a known encoding.
Result<FoundEncoding> ValueEncodingOf(std::string_view listText, std::string_view overrideName,
                                      bool answersInUtf8 = false);

// The plug-in's value for a table: in the terminal's codeset, characters it lacks as '?'.
std::string ValueToTerminal(std::string_view value, const ValueEncoding& encoding);

// The plug-in's value as UTF-8, always valid: bytes that are not valid in the list's encoding
// become '?' (the system's replacement character on Windows).
std::string ValueToUtf8(std::string_view value, const ValueEncoding& encoding);
