// The names `qbt rename` gives: a fmt pattern filled with a ROM's fields and tidied where a field
// is missing (SafeFileName, in safe_name.h, then makes the result valid on every file system).
//
//   Result<NamePattern> pattern = NamePattern::Parse("{release:04} - {title} {region}");
//   NameFields fields;  // release 1, title "Lanternfish Lagoon", region "(U)"
//   pattern->Format(fields)  // "0001 - Lanternfish Lagoon (U)"
//
// A `/` written in the pattern (not in a field's value, where it becomes '_') starts a folder:
// "{region}/{title}" names "(E)/Title.gba", a folder under the one the ROM lies in.
//
// Every text here is UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/base/result.h"
#include "tools/host/fields.h"
#include "tools/lists/list_encoding.h"

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
    // The one way to make a pattern. kWrongUsage, saying why, when the pattern cannot name ROMs
    // apart: empty, a field taken by position ({} or {0}, which fmt would give the publisher),
    // no field at all (every ROM would get one name), a folder with no pattern ("a//b",
    // "/{title}", "{title}/"); or when fmt cannot use it: an unknown field, a width or precision
    // that does not suit the field, unbalanced braces.
    static Result<NamePattern> Parse(std::string text);

    // Whether the pattern takes the field: only those are asked of the plug-in.
    bool Uses(Field field) const { return uses_[IndexOf(field)]; }

    // The pattern filled in and tidied (see TidyName, in tidy_name.h), before SafeFileName; the
    // folders and the name joined with '/'.
    std::string Format(const NameFields& fields) const;

    // The file name: Format made safe with SafeFileName (safe_name.h), after the folders the
    // pattern makes, each made safe alike and followed by '/' (never "." or "..", which
    // SafeFileName turns into '_'); a folder its fields leave empty is left out, and the ROM
    // goes one folder less deep. A name too long for the file system loses characters from the
    // end of its title, so that what the pattern puts after the title, the region say, and the
    // extension stay; when the title alone cannot make room, the longest other field that part
    // of the pattern takes gives up characters too. Empty when the pattern leaves no name.
    std::string FileName(const NameFields& fields, std::string_view extension) const;

    // Whether the pattern makes folders.
    bool MakesFolders() const { return parts_.size() > 1; }

    struct Part {
        std::string pattern;
        std::array<bool, kFieldCount> uses{};
    };

private:
    explicit NamePattern(std::string pattern) : pattern_(std::move(pattern)) {}

    std::string pattern_;
    std::array<bool, kFieldCount> uses_{};
    std::vector<Part> parts_;  // the folders', then the name's
};

// The one way a value from the plug-in, encoded as the list's answers are, becomes file-name
// text: valid UTF-8 on one line. White space that holds a line break or a tab (a value broken
// over lines in the list) becomes one space, and white space at either end goes: it is the
// list's layout, not the title.
std::string NameTextFromValue(std::string_view value, const ValueEncoding& encoding);

// The region label as a name shows it: in brackets, "(Norway)" from "Norway", as the other
// labels already are ("(U)"), so that it never reads as part of the title.
std::string RegionInName(std::string_view label);
