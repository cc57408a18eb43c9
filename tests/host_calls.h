// Test support: calling the plug-in the way a host does, and writing small game lists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/exports.h"

using TextExport = int32_t(QBT_CALL*)(const char*, const char*, int32_t, char**, int32_t);

struct NamedTextExport {
    const char* name;
    TextExport query;
};
inline const NamedTextExport kTextExports[] = {{"GetMaker", GetMaker},
                                               {"GetTitle", GetTitle},
                                               {"GetSaveInfo", GetSaveInfo},
                                               {"GetMediaInfo", GetMediaInfo},
                                               {"GetCountry", GetCountry}};

struct HostAnswer {
    int32_t result;    // the copy's result, or the size query's when that failed
    std::string text;  // what the copy wrote, up to its NUL
};

// A size query, then a copy into a buffer of exactly that size. Fails the running test when the
// two calls disagree with each other or with the copy-out contract.
HostAnswer AskLikeHost(TextExport query, const std::string& listText, const std::string& key,
                       int32_t keyType = 0);

// One copy into a buffer of `outSize` bytes that starts out filled with '#'; returns the result
// and the whole buffer, so tests can see exactly which bytes were written.
struct BufferAnswer {
    int32_t result;
    std::string buffer;
};
BufferAnswer CopyInto(TextExport query, const std::string& listText, const std::string& key,
                      int32_t outSize, int32_t keyType = 0);

// "<GAME>" record with the given checksum, followed by `elements` verbatim, then "</GAME>".
std::string Game(std::string_view crc, std::string_view elements);

// A list with a UTF-8 declaration around the given records.
std::string Utf8List(std::string_view records);
