// The game list a host reads and hands the plug-in whole, and how the plug-in's answers from it
// are encoded.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "tools/host/list_encoding.h"
#include "tools/os/utf8_lookups.h"

// The sample list, installed or in the source tree, found from the executable like the plug-in.
std::filesystem::path DefaultGameListPath();

struct GameList {
    std::string text;  // as the plug-in is handed it
    ValueEncoding encoding;
    // The locale to ask the plug-in in: UTF-8 for a list it takes for UTF-8 (see
    // utf8_lookups.h); null for any other list, asked in the locale qbt runs in.
    std::shared_ptr<const Utf8Lookups> utf8;
};

// The list as a host that reads Unicode files hands it over: UTF-16 with a byte-order mark
// becomes UTF-8, its declaration saying so. Throws ToolError (kExitUnreadableFile) when the
// file cannot be read or holds no game, saying why: empty, a zip archive, UTF-16 without a
// byte-order mark, not text, no </ROMCRC> at all.
std::string ReadGameList(const std::filesystem::path& path);

// ReadGameList, then the encoding of the answers (ValueEncodingOf, `overrideName` being
// --list-encoding), asked in UTF-8 when the plug-in takes the list for UTF-8.
GameList LoadGameList(const std::filesystem::path& path, std::string_view overrideName);

// UTF-16 text after its byte-order mark, little- or big-endian, as UTF-8; what is not UTF-16
// (a lone surrogate, an odd last byte) becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// The list with its XML declaration naming UTF-8: the encoding attribute's value replaced, or
// the attribute added, or a declaration put in front where there is none.
std::string DeclaredAsUtf8(std::string_view list);
