// The names `qbt rename` gives: a fmt pattern filled with a ROM's fields, tidied where a field is
// missing, and made safe for Windows and for the FAT and exFAT cards that flash carts read.
//
//   NamePattern pattern("{release:04} - {title} {region}");
//   NameFields fields;  // release 1, title "Lanternfish Lagoon", region "(U)"
//   SafeFileName(pattern.Format(fields), ".gba")  // "0001 - Lanternfish Lagoon (U).gba"
//
// Every text here is UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/list_encoding.h"

// The fields a pattern can take from the plug-in, each one export.
enum NameField : std::size_t { kPublisher, kTitle, kSave, kMedia, kRegion, kRelease };
inline constexpr std::size_t kNameFieldCount = 6;

// What a pattern is filled with. A field the plug-in could not give (or gave empty) is nullopt.
struct NameFields {
    std::array<std::optional<std::string>, kRelease> texts;  // publisher to region
    std::optional<int32_t> release;
    std::string crc;   // eight hexadecimal digits
    std::string name;  // the file's current name without its extension
};

// The default: how release-numbered collections are commonly kept, "0001 - Title (U)".
inline constexpr const char* kDefaultNamePattern = "{release:04} - {title} {region}";

class NamePattern {
public:
    // Throws ToolError (kExitBadUsage) when fmt cannot use the pattern: an unknown field, a
    // width or precision that does not suit the field, unbalanced braces.
    explicit NamePattern(std::string pattern);

    // Whether the pattern takes the field: only those are asked of the plug-in.
    bool Uses(NameField field) const { return uses_[field]; }

    // The pattern filled in and tidied (see TidyName), before SafeFileName.
    std::string Format(const NameFields& fields) const;

private:
    std::string pattern_;
    std::array<bool, kNameFieldCount> uses_{};
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

// `stem` + `extension` made valid on Windows, FAT and exFAT: control characters and
// \ / : * ? " < > | become '_', trailing dots and spaces go, a reserved device name (CON, PRN,
// AUX, NUL, COM1-9, LPT1-9) before the first dot gets a '_', and the stem is cut, never inside a
// character, so that the whole name takes at most 255 bytes (255 UTF-16 units on Windows). The
// extension is kept whole. Empty when nothing of the stem is left.
std::string SafeFileName(std::string_view stem, std::string_view extension);
