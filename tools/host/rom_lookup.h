// Asking the plug-in about a ROM as a host does.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/host/fields.h"
#include "tools/lists/game_list.h"
#include "tools/host/plugin.h"

// One export's answer. `result` is what the export returned: a length, the release number, or a
// negative result code, and then `text` is empty. The release number's text is its digits.
struct FieldAnswer {
    int32_t result;
    std::string text;
};

// What a host hands every field export for one ROM, and the locale qbt asks in (null: its own).
struct RomQuery {
    const char* listText;
    const char* key;
    int32_t keyType;
    const Utf8Lookups* utf8 = nullptr;
};

// The query for `key` in `list`: the index's text for it, kept in `scratch`, and the list's
// locale. Valid while `scratch`, `key` and the list are. A key with leading zeros that the
// plug-in does not find is asked without them, as a list that drops them writes it ("D325" for
// the CRC-32 0000D325).
RomQuery QueryFor(const Plugin& plugin, const GameList& list, const std::string& key,
                  int32_t keyType, std::string& scratch);

enum class Asking {
    kLikeHost,         // a size query (outSize 0), then a copy into a buffer of exactly that size
    kWithRoomyBuffer,  // one copy into 256 bytes; the host's way only for a value that fills them
};

FieldAnswer AskField(const Plugin& plugin, const FieldRow& field, const RomQuery& rom,
                     Asking asking);

// A text export without a list (the author, the description), the host's way.
FieldAnswer AskIdentity(IdentityExport identity);

struct RomAnswer {
    std::string file;  // where the checksum was read from; empty for a key given by hand
    std::string key;
    std::array<FieldAnswer, kFieldCount> fields;  // as the plug-in gave them
    ValueEncoding encoding;                       // of the fields' text
};

// Every field, the host's way.
RomAnswer LookUpRom(const Plugin& plugin, const GameList& list, const std::string& key,
                    int32_t keyType);

// False when the list holds no record with the key.
bool IsInList(const RomAnswer& answer);

// "not in the list", "field missing", "empty", "malformed", ...
std::string ResultInWords(int32_t code);
