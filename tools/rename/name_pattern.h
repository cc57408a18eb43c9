// The names `qbt rename` gives: a fmt pattern filled with a ROM's fields and tidied where a field
// is missing (SafeFileName, in safe_name.h, then makes the result valid on every file system).
//
//   NamePattern pattern("{release:04} - {title} {region}");
//   NameFields fields;  // release 1, title "Lanternfish Lagoon", region "(U)"
//   pattern.Format(fields)  // "0001 - Lanternfish Lagoon (U)"
//
// Every text here is UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/host/fields.h"
#include "tools/host/list_encoding.h"

// What a pattern is filled with. A field the plug-in could not give (or gave empty) is nullopt.
struct NameFields {
    std::array<std::optional<std::string>, kFieldCount> texts;  // by Field, but the release number
    std::optional<int32_t> release;                             // which is a number
    std::string crc;                                            // eight hexadecimal digits
    std::string name;  // the file's current name without its extension
};

// The default: how release-numbered collections are commonly kept, "0001 - Title (U)".
inline constexpr const char* kDefaultNamePattern = "{release:04} - {title} {region}";

// The fields a pattern may name, for help and error texts: the plug-in's, then {crc} {name}.
std::string PatternFieldNames();

class NamePattern {
public:
    // Throws ToolError (kExitBadUsage) when fmt cannot use the pattern: an unknown field, a
    // width or precision that does not suit the field, unbalanced braces.
    explicit NamePattern(std::string pattern);

    // Whether the pattern takes the field: only those are asked of the plug-in.
    bool Uses(Field field) const { return uses_[IndexOf(field)]; }

    // The pattern filled in and tidied (see TidyName), before SafeFileName.
    std::string Format(const NameFields& fields) const;

private:
    std::string pattern_;
    std::array<bool, kFieldCount> uses_{};
};

// The one way a value from the plug-in, encoded as the list's answers are, becomes file-name
// text: valid UTF-8 on a single line.
std::string NameTextFromValue(std::string_view value, const ValueEncoding& encoding);

// Stands in the formatted text for a field that is missing, until TidyName takes it out.
inline constexpr char kMissingField = '\x1F';

// Takes each kMissingField out of `formatted` so that nothing dangles: a bracket pair holding
// only missing fields and separators goes whole ("Title ()" never appears); a missing field
// between two texts leaves one of its separators ("A - B" from "A - {x} - B"); at an end, or
// beside a bracket, it takes its separators with it ("Title" from "Title - {x}"). Separators
// are spaces and - _ , ; . ~ + : / |. Then runs of spaces become one and the ends are trimmed.
std::string TidyName(std::string formatted);
