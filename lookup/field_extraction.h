// Field extraction: find the game record that holds a key and cut one element's text out of it.
//
// This is not an XML parser. A fixed sequence of case-insensitive substring searches decides
// which text comes back, and lists in the wild depend on that order:
//   1. the key: the first ">" KEY "</ROMCRC>", with the key padded by key type; failing that,
//      the key as given;
//   2. the record: the nearest record tag ("<GAME>", exactly, no attributes) at or before it;
//   3. the field: the first opening tag after the record start, then the first closing tag after
//      the opening tag, both inside the record.
// A record ends where the next closing or opening record tag begins, so a lookup never returns
// another game's text. The value is converted from UTF-8 to the ANSI code page when the list's
// declaration says UTF-8, and the five predefined entities are decoded.
//
//     ListLookup lookup{listText, "1a2b3c4d", 0, "TITLE", "ROMCRC", "<GAME>"};
//     std::string title;
//     if (ExtractField(lookup, title) == 0) ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct ListLookup {
    const char* listText;        // whole list, NUL-terminated, read where it lies
    const char* key;             // checksum in hexadecimal, either case
    std::int32_t keyType;        // 0 and 32 pad the key to 8 digits, 1 to 4, others leave it alone
    std::string_view fieldTag;   // element name in upper case, without brackets: "TITLE"
    std::string_view keyTag;     // element holding the key, without brackets: "ROMCRC"
    std::string_view recordTag;  // opening tag of a record, "<" + name + ">": "<GAME>"
};

// Fills `value` and returns 0, or returns ErrKeyNotFound or ErrFieldNotFound and leaves `value`
// alone. Throws std::bad_alloc when memory runs out.
std::int32_t ExtractField(const ListLookup& lookup, std::string& value);

// ExtractField in its two halves, for callers that read several fields of one record: the key's
// record, and the list's encoding, are looked for once (the list's whole length, when the key is
// absent), each field within the record only. FindKeyRecord ignores the lookup's field tag.
struct KeyRecord {
    std::size_t start;
    std::size_t end;  // kNoPosition: the record runs to the end of the text
    bool isUtf8List;  // values are converted to the ANSI code page
};
std::int32_t FindKeyRecord(const ListLookup& lookup, KeyRecord& record);
std::int32_t ExtractFieldOfRecord(const ListLookup& lookup, const KeyRecord& record,
                                  std::string& value);

// Replaces every occurrence of `pattern` in `text`, left to right. Text produced by a
// replacement is never scanned again, so "&amp;lt;" decodes its "&amp;" only.
void ReplaceAll(std::string& text, std::string_view pattern, std::string_view replacement);
