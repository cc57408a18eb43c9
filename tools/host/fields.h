// The six fields qbt asks the plug-in about, in the order tables and JSON show them. Whatever
// lists fields (name patterns and their help, table headings, JSON names, the lookups) derives
// from this one table.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "tools/host/plugin.h"

enum class Field : std::size_t { kPublisher, kTitle, kSave, kMedia, kRegion, kRelease };
inline constexpr std::size_t kFieldCount = 6;

struct FieldRow {
    Field field;
    std::string_view patternName;  // {title} in a name pattern
    std::string_view heading;      // a table's column
    std::string_view jsonName;
    TextExport Plugin::*textExport;  // null for the release number: GetImgNum, an integer
};

inline constexpr std::array<FieldRow, kFieldCount> kFields{{
    {Field::kPublisher, "publisher", "PUBLISHER", "publisher", &Plugin::GetMaker},
    {Field::kTitle, "title", "TITLE", "title", &Plugin::GetTitle},
    {Field::kSave, "save", "SAVE TYPE", "save_type", &Plugin::GetSaveInfo},
    {Field::kMedia, "media", "MEDIA", "media", &Plugin::GetMediaInfo},
    {Field::kRegion, "region", "REGION", "region", &Plugin::GetCountry},
    {Field::kRelease, "release", "RELEASE", "release_number", nullptr},
}};

constexpr std::size_t IndexOf(Field field) { return static_cast<std::size_t>(field); }
constexpr const FieldRow& RowOf(Field field) { return kFields[IndexOf(field)]; }

// "{publisher} {title} ... {release}": the fields as a name pattern writes them.
inline std::string FieldsInPatternForm() {
    std::string names;
    for (const FieldRow& row : kFields) {
        names.append(names.empty() ? "{" : " {").append(row.patternName).append("}");
    }
    return names;
}
