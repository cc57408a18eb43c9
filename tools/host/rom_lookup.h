// Asking the plug-in about a ROM, and showing its answers as an aligned table or as JSON.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "tools/list_encoding.h"
#include "tools/plugin_loader.h"

// One export's answer. `result` is what the export returned: a length, the release number, or a
// negative result code, and then `text` is empty.
struct FieldAnswer {
    int32_t result;
    std::string text;
};

// Asks for a text the way a host does: a size query (outSize 0), then a copy into a buffer of
// exactly that size. `query(out, outSize)` makes one call of the export.
template <typename Query>
FieldAnswer AskLikeHost(const Query& query) {
    const int32_t size = query(nullptr, 0);
    if (size <= 0) return {size, ""};
    std::string buffer(static_cast<std::size_t>(size), '\0');
    char* out = buffer.data();
    const int32_t length = query(&out, size);
    if (length < 0) return {length, ""};
    buffer.resize(static_cast<std::size_t>(length));
    return {length, buffer};
}

// Publisher, title, save type, media info, region label, release number.
inline constexpr std::size_t kFieldCount = 6;

struct RomAnswer {
    std::string file;  // where the checksum was read from; empty for a key given by hand
    std::string key;
    std::array<FieldAnswer, kFieldCount> fields;  // as the plug-in gave them
    ValueEncoding encoding;                       // of the fields' text
};

// `encoding` is ValueEncodingOf the list, worked out once per list rather than once per key.
RomAnswer LookUpRom(const Plugin& plugin, const std::string& listText, const std::string& key,
                    int32_t keyType, const ValueEncoding& encoding = {});

// False when the list holds no record with the key.
bool IsInList(const RomAnswer& answer);

// "not in the list", "field missing", "empty", "malformed", ...
std::string ResultInWords(int32_t code);

// The value as a table shows it (control characters as spaces), or "<words>" for a code.
std::string CellText(const FieldAnswer& answer);

// Rows of cells in columns aligned by display width, two spaces apart.
void PrintAligned(std::ostream& out, const std::vector<std::vector<std::string>>& rows);

// Aligned columns under a header line, one row per answer, values in the terminal's codeset; a
// FILE column first when the answers come from files.
void PrintTable(std::ostream& out, const std::vector<RomAnswer>& answers);

// {"file", "key", "in_list", "publisher", "title", "save_type", "media", "region",
//  "release_number"}, text re-encoded as UTF-8; "file" only for answers from files. A field
// whose export failed is {"code": -513, "error": "field missing"}.
nlohmann::ordered_json ToJson(const RomAnswer& answer);
