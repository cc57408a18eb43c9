// The lookup done the slow, obvious way, as a yardstick for tests, fuzzers and benchmarks:
// copy the list, upper-case the copy, and run std::string::find and rfind over it. Record
// boundaries are kept as the plug-in keeps them. Never linked into the plug-in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Same contract as ExtractField with key tag "ROMCRC" and record tag "<GAME>": 0 and the value,
// or ErrKeyNotFound / ErrFieldNotFound.
std::int32_t LiteralExtractField(const char* listText, const char* key, std::int32_t keyType,
                                 std::string_view fieldTag, std::string& value);
