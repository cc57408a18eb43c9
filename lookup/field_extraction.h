// Field extraction: find the game record that holds a key, and where one element's text lies in
// it. The lookup only finds: it hands back positions in the host's text and whether the list
// declares UTF-8; turning a found element into the host's answer is the plug-in's work.
//
// This is not an XML parser. A fixed sequence of case-insensitive substring searches decides
// which text comes back, and lists in the wild depend on that order:
//   1. the key: the first ">" KEY "</ROMCRC>", with the key padded by key type; failing that,
//      the key as given;
//   2. the record: the nearest record tag ("<GAME>", exactly, no attributes) at or before it;
//   3. the field: the first opening tag after the record start, then the first closing tag after
//      the opening tag, both inside the record.
// A record ends where the next closing or opening record tag begins, so a lookup never returns
// another game's text.
//
//     constexpr ElementTag kTitle("TITLE");
//     const KeyRecord record = FindKeyRecord({listText, "1a2b3c4d", 0});
//     const FoundText title = FindField(record, kTitle);
//     if (title.outcome == LookupOutcome::kFound) ... title.text ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

enum class LookupOutcome : std::uint8_t {
    kFound,
    kKeyAbsent,     // no key element holds the key, padded or as given
    kFieldMissing,  // the key's record, or the field's opening or closing tag in it, is missing
};

// An element's name, in upper case and without brackets, with both its tags laid out at compile
// time: no call builds or upper-cases a tag. A name of anything but upper-case letters, digits,
// '_', '-' and '.' does not compile.
class ElementTag {
public:
    static constexpr std::size_t kLongestName = 24;

    consteval explicit ElementTag(std::string_view upperName) : nameSize_(upperName.size()) {
        if (upperName.empty() || upperName.size() > kLongestName) NotAnElementName();
        for (const char c : upperName) {
            if (!IsNameCharacter(c)) NotAnElementName();
        }
        std::size_t at = 0;
        for (const std::string_view part :
             {std::string_view("<"), upperName, std::string_view("></"), upperName,
              std::string_view(">")}) {
            for (const char c : part) tags_[at++] = c;
        }
    }

    constexpr std::string_view Name() const { return {tags_ + 1, nameSize_}; }
    constexpr std::string_view Opening() const { return {tags_, nameSize_ + 2}; }  // "<NAME>"
    constexpr std::string_view Closing() const {                                   // "</NAME>"
        return {tags_ + nameSize_ + 2, nameSize_ + 3};
    }
    // "NAME>": the tail that an opening and a closing tag share.
    constexpr std::string_view Tail() const { return {tags_ + 1, nameSize_ + 1}; }

private:
    static constexpr bool IsNameCharacter(char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
    }
    static void NotAnElementName() {}  // not constexpr: reaching it stops the compilation

    char tags_[2 * kLongestName + 5] = {};  // "<NAME></NAME>"
    std::size_t nameSize_;
};

// The element that holds a record's key, and the record itself.
inline constexpr ElementTag kKeyTag("ROMCRC");
inline constexpr ElementTag kRecordTag("GAME");

// What varies from call to call.
struct ListLookup {
    const char* listText;  // whole list, NUL-terminated, read where it lies
    const char* key;       // checksum in hexadecimal, either case
    std::int32_t keyType;  // 0 and 32 pad the key to 8 digits, 1 to 4, others leave it alone
};

// The record that holds the key. The key, and the list's encoding, are looked for once (the
// list's whole length, when the key is absent); each field is then looked for within the record.
struct KeyRecord {
    LookupOutcome outcome = LookupOutcome::kKeyAbsent;
    const char* listText = nullptr;
    std::size_t start = 0;
    std::size_t end = 0;      // kNoPosition: the record runs to the end of the text
    bool isUtf8List = false;  // the list's declaration says UTF-8
};
KeyRecord FindKeyRecord(const ListLookup& lookup);

// One element's content, where it lies in the list: entities and encoding are left as written.
struct FoundText {
    LookupOutcome outcome = LookupOutcome::kKeyAbsent;
    std::string_view text;
    bool isUtf8List = false;
};

// The first `field` element of the record. A record that was not found passes its outcome on.
FoundText FindField(const KeyRecord& record, const ElementTag& field);
