// The plug-in's answers about ROMs as rows of a table and as JSON: what lookup and scan print.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/host/rom_lookup.h"

// The value as a table shows it (control characters as spaces), or "<words>" for a code.
std::string CellText(const FieldAnswer& answer);

// A header line and one row per answer, values in the terminal's codeset; a FILE column first
// when the answers come from files.
std::vector<std::vector<std::string>> RomTable(const std::vector<RomAnswer>& answers);

// {"file", "key", "in_list", "publisher", "title", "save_type", "media", "region",
//  "release_number"}, text re-encoded as UTF-8; "file" only for answers from files. A field
// whose export failed is {"code": -513, "error": "field missing"}.
nlohmann::ordered_json RomJson(const RomAnswer& answer);
