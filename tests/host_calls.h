// Test support: calling the plug-in the way a host does, and writing small game lists.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/exports.h"

// The exports' types, taken from their declarations.
using IdentityExport = decltype(&GetPluginAuthor);
using TextExport = decltype(&GetTitle);

struct NamedTextExport {
    const char* name;
    TextExport query;
};
inline const NamedTextExport kTextExports[] = {{"GetMaker", GetMaker},
                                               {"GetTitle", GetTitle},
                                               {"GetSaveInfo", GetSaveInfo},
                                               {"GetMediaInfo", GetMediaInfo},
                                               {"GetCountry", GetCountry}};

// What a host gets from one export. Compares equal to the text it got, or to the result code it
// got: EXPECT_EQ(TitleOf(list, "A"), "title"), EXPECT_EQ(TitleOf(list, "B"), ErrKeyNotFound).
struct HostAnswer {
    int32_t result;    // the copy's result, or the size query's when that failed
    std::string text;  // what the copy wrote, up to its NUL

    friend bool operator==(const HostAnswer& answer, std::string_view text) {
        return answer.result >= 0 && answer.text == text;
    }
    friend bool operator==(const HostAnswer& answer, int32_t code) { return answer.result == code; }
    friend bool operator==(const HostAnswer&, const HostAnswer&) = default;
};
void PrintTo(const HostAnswer& answer, std::ostream* stream);

// A size query, then a copy into a buffer of exactly that size. Fails the running test when the
// two calls disagree with each other or with the copy-out contract.
HostAnswer AskLikeHost(TextExport query, const std::string& listText, const std::string& key,
                       int32_t keyType = 0);

inline HostAnswer TitleOf(const std::string& listText, const std::string& key,
                          int32_t keyType = 0) {
    return AskLikeHost(GetTitle, listText, key, keyType);
}

// Every field export once, the host's way, then GetImgNum (its number as the result).
std::vector<HostAnswer> AskEveryExport(const std::string& listText, const std::string& key,
                                       int32_t keyType = 0);

// One copy into a buffer of `outSize` bytes that starts out filled with '#'; returns the result
// and the whole buffer, so tests can see exactly which bytes were written.
struct BufferAnswer {
    int32_t result;
    std::string buffer;
};
BufferAnswer CopyInto(TextExport query, const std::string& listText, const std::string& key,
                      int32_t outSize, int32_t keyType = 0);
BufferAnswer CopyInto(IdentityExport query, int32_t outSize);

// "<GAME>" record with the given checksum, followed by `elements` verbatim, then "</GAME>".
std::string Game(std::string_view crc, std::string_view elements);

// A list with a UTF-8 declaration around the given records.
std::string Utf8List(std::string_view records);
