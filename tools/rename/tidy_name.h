// Tidying a name the pattern made: what a missing field leaves behind goes, and nothing of a
// field that is present.
#pragma once

#include <string>

// In the formatted text, kMissingField stands for a field that is missing, and kFieldStart and
// kFieldEnd enclose the text of each field that is present, until TidyName takes them out.
inline constexpr char kMissingField = '\x1F';
inline constexpr char kFieldStart = '\x1E';
inline constexpr char kFieldEnd = '\x1D';

// Takes each kMissingField out of `formatted` with what only it needed, and never a character of
// a field that is present: a bracket pair of the pattern holding only missing fields and the
// pattern's separators goes whole ("Title ()" never appears); a missing field between two texts
// leaves one of its separators ("A - B" from "A - {x} - B"); at an end, or beside a bracket, it
// takes its separators with it ("Title" from "Title - {x}", ".hack//Outbreak" from
// "{release} - {title}"). Separators are spaces and - _ , ; . ~ + : / | written in the pattern.
// Then the pattern's spaces at either end go; spaces of a field (a padded width) stay.
std::string TidyName(std::string formatted);
