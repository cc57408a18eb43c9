// The game list a host reads and hands the plug-in, as qbt holds it for a run: read once, its
// encoding worked out once, indexed once, and for each ROM only the ROM's record handed over
// (lists/list_index.h), which the plug-in answers exactly as it answers the whole list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/lists/list_encoding.h"
#include "tools/lists/list_index.h"
#include "tools/base/result.h"
#include "tools/system/utf8_lookups.h"

// The sample list, installed or in the source tree, found from the executable like the plug-in.
std::filesystem::path DefaultGameListPath();

// The list as a host that reads Unicode files hands it over: UTF-16 with a byte-order mark
// becomes UTF-8, its declaration saying so. kCannotRead when the file cannot be read or holds
// no game, saying why: empty, a zip archive, UTF-16 without a byte-order mark, not text, no
// </ROMCRC> at all.
Result<std::string> ReadGameList(const std::filesystem::path& path);

// Whether ReadGameList would take a file of these bytes for a game list.
bool ReadsAsGameList(std::string_view bytes);

// Neither copied nor moved: the index points into the text.
struct GameList {
    // `listText` as ReadGameList gives it; `overrideName` is --list-encoding (ValueEncodingOf),
    // empty or a name IsKnownListEncoding knows (one it does not is a warning and counts as
    // none). A list the plug-in takes for UTF-8 is asked in UTF-8.
    GameList(std::string listText, std::string_view overrideName);
    GameList(const GameList&) = delete;
    GameList& operator=(const GameList&) = delete;

    // What to hand the plug-in for `key`: the index's text for it, kept in `scratch`, or the
    // whole list. Valid while `scratch` and the list are.
    const char* TextFor(const std::string& key, std::int32_t keyType, std::string& scratch) const;

    // What the user should be warned of about the list, in the order found, for the command to
    // say. First, so that the members after it can add to it as they are made.
    std::vector<std::string> warnings;
    const std::string text;  // as the plug-in would be handed it whole
    // The locale to ask the plug-in in: UTF-8 for a list it takes for UTF-8 (see
    // system/utf8_lookups.h); null for any other list, asked in the locale qbt runs in.
    const std::unique_ptr<const Utf8Lookups> utf8;
    const ValueEncoding encoding;  // of the plug-in's answers
    const ListIndex index;
};

// The list at `path` read (ReadGameList) and indexed; `overrideName` is --list-encoding, and
// kWrongUsage when it names no encoding qbt knows. On the heap, since a GameList does not move.
Result<std::unique_ptr<const GameList>> LoadGameList(const std::filesystem::path& path,
                                                     std::string_view overrideName);


// The list with its XML declaration naming UTF-8: the encoding attribute's value replaced, or
// the attribute added, or a declaration put in front where there is none.
std::string DeclaredAsUtf8(std::string_view list);
