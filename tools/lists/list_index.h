// The game list read once per run, so that each ROM's lookups scan its own record rather than the
// whole list. The plug-in stays as it is (no state, every call scans the text it is handed); what
// changes is the text qbt hands it: for each key, a short text over which every export gives
// exactly the answer it gives over the whole list.
//
//     const ListIndex index(listText);
//     const std::optional<std::string> text = index.TextFor(key, keyType);
//     plugin.GetTitle(text ? text->c_str() : listText.c_str(), key.c_str(), keyType, out, size);
//
// Why that text answers alike. The lookup takes the first ">" KEY "</ROMCRC>" (the key padded by
// key type, else as given), the nearest record tag at or before its ">", and the record up to
// the next record tag; it converts values when "UTF-8" comes before the list's first "?>". So:
//   - an indexed key is the text between a "</ROMCRC>" and the nearest ">" before it, ASCII
//     letters upper-cased; only its first occurrence counts, as only it can be found;
//   - the text handed over is a prefix that decides the conversion as the whole list does
//     ("UTF-8?>" or "?>", so nothing in the record can change it), then the record from its
//     "<GAME>" to the next record tag or the end; a key outside any record gets the prefix and
//     its key element (-513 from every export), an absent key the prefix alone (-512);
//   - a key holding '<' or '>' could be matched across markup, so it gets no text of its own.
// This restates the lookup's order, so it is checked, not trusted: list_index_test.cpp and
// fuzz/list_index_fuzzer.cpp compare every export over both texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class ListIndex {
public:
    // A key's first key element, and the record around it.
    struct Entry {
        std::string key;                         // upper-cased
        std::size_t keyOpen = 0;                 // the '>' before the key
        std::size_t keyEnd = 0;                  // just past its "</ROMCRC>"
        std::optional<std::size_t> recordStart;  // its "<GAME>"; none outside any record
        std::size_t recordEnd = 0;               // the next record tag's '<', or the text's end
        std::size_t recordThrough = 0;  // past that tag when it is "</GAME>", else recordEnd
    };

    // Indexes `listText` up to its first NUL, as the plug-in reads it, in one pass. The text must
    // outlive the index.
    explicit ListIndex(std::string_view listText);

    // The text to hand the plug-in for `key` in place of the whole list; nullopt when only the
    // whole list will do.
    std::optional<std::string> TextFor(std::string_view key, std::int32_t keyType) const;

    // The entry the lookup would find for `key`, or null when it finds none. Needs a key without
    // '<' and '>'.
    const Entry* Find(std::string_view key, std::int32_t keyType) const;

    // Every key's entry, in the order of the list.
    const std::vector<Entry>& Entries() const { return entries_; }

    // The text indexed: the list up to its first NUL.
    std::string_view Text() const { return text_; }

    // Whether the plug-in converts this list's values from UTF-8.
    bool IsUtf8List() const { return isUtf8List_; }

    // Where the first "<GAME>" starts (the text's end when there is none), and where the text
    // after the last record starts: past its "</GAME>", or the text's end when it runs there.
    std::size_t FirstRecord() const { return firstRecord_; }
    std::size_t AfterRecords() const { return afterRecords_; }

private:
    // Keys as they lie in the text, compared and hashed with ASCII letters folded: the pass
    // allocates nothing for a key it has seen.
    struct FoldedHash {
        std::size_t operator()(std::string_view key) const;
    };
    struct FoldedEqual {
        bool operator()(std::string_view a, std::string_view b) const;
    };

    std::string_view text_;
    bool isUtf8List_;
    std::size_t firstRecord_;
    std::size_t afterRecords_;
    std::vector<Entry> entries_;
    std::unordered_map<std::string_view, std::size_t, FoldedHash, FoldedEqual> byKey_;
};
