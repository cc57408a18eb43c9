// The lookup done the slow, obvious way, as a yardstick for tests, fuzzers and benchmarks:
// copy the list, upper-case the copy, and run std::string::find and rfind over it. Record
// boundaries are kept as the plug-in keeps them. Never linked into the plug-in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lookup/field_extraction.h"

// What FindField(FindKeyRecord(...), field) finds, with the text copied out.
struct LiteralField {
    LookupOutcome outcome = LookupOutcome::kKeyAbsent;
    std::string text;
    bool isUtf8List = false;  // only when found
};
LiteralField LiteralFindField(const char* listText, const char* key, std::int32_t keyType,
                              std::string_view fieldName);

// The five entities decoded one after the other with std::string::replace.
std::string LiteralDecodeEntities(std::string text);

// Where the lookup, with the plug-in's entity decoding, and the literal lookup part ways for one
// field; empty when they agree.
std::string DifferenceFromLiteral(const char* listText, const char* key, std::int32_t keyType,
                                  const ElementTag& field);
