#include "lookup/field_extraction.h"

#include <string>
#include <string_view>

#include "lookup/folded_search.h"
#include "platform/text_platform.h"
#include "plugin/exports.h"

namespace {

std::string Concat(std::string_view a, std::string_view b, std::string_view c = {},
                   std::string_view d = {}) {
    std::string joined;
    joined.reserve(a.size() + b.size() + c.size() + d.size());
    joined.append(a).append(b).append(c).append(d);
    return joined;
}

std::string WidenKey(std::string key, std::int32_t keyType) {
    std::size_t width = 0;
    if (keyType == 0 || keyType == 32) width = 8;
    if (keyType == 1) width = 4;
    if (key.size() < width) key.insert(0, width - key.size(), '0');
    return key;
}

// The declaration decides: "UTF-8" before the first "?>", or anywhere when there is no "?>".
bool IsUtf8List(const char* text) {
    // A declaration stands at the start, so its end is found at once.
    constexpr std::size_t kDeclarationReach = 256;
    const std::size_t declarationEnd = FindFolded(text, 0, kDeclarationReach, "?>");
    if (declarationEnd != kNoPosition) {
        return FindFolded(text, 0, declarationEnd, "UTF-8") != kNoPosition;
    }
    // Otherwise one pass for "UTF-8", and a "?>" only matters if it comes before it.
    const std::size_t utf8 = FindFolded(text, 0, kNoPosition, "UTF-8");
    return utf8 != kNoPosition && FindFolded(text, 0, utf8, "?>") == kNoPosition;
}

struct KeyTails {
    std::string_view paddedHead;  // ">" and the padding zeros
    std::size_t firstPlain = kNoPosition;
};

// Accepts a key tail behind the padded head; notes the first one behind ">" alone on the way.
bool IsPaddedKey(const char* text, std::size_t tail, void* context) {
    auto& tails = *static_cast<KeyTails*>(context);
    const std::string_view head = tails.paddedHead;
    if (tail >= head.size() && std::string_view(text + tail - head.size(), head.size()) == head) {
        return true;
    }
    if (tails.firstPlain == kNoPosition && tail > 0 && text[tail - 1] == '>') {
        tails.firstPlain = tail - 1;
    }
    return false;
}

// The padded key is preferred wherever it lies; the key as given is only the fallback.
std::size_t FindKey(const char* text, std::string_view upperKey, const ListLookup& lookup) {
    const std::string closingKeyTag = Concat("</", UpperAscii(lookup.keyTag), ">");
    const std::string widenedKey = WidenKey(std::string(upperKey), lookup.keyType);
    if (widenedKey == upperKey) {
        return FindFolded(text, 0, kNoPosition, Concat(">", upperKey, closingKeyTag));
    }
    // Both forms end in the key and the closing tag, so one pass over that tail finds both.
    const std::string paddedHead =
        Concat(">", std::string_view(widenedKey).substr(0, widenedKey.size() - upperKey.size()));
    KeyTails tails{paddedHead};
    const std::size_t padded =
        FindFolded(text, 0, kNoPosition, Concat(upperKey, closingKeyTag), {IsPaddedKey, &tails});
    return padded != kNoPosition ? padded - paddedHead.size() : tails.firstPlain;
}

// A record tag is "<NAME>" and its closing tag "</NAME>": both end in "NAME>", which overlaps
// neither itself nor them, so one search for that tail meets both kinds in text order.
bool IsRecordTagTail(const char* text, std::size_t tail, void* /*context*/) {
    return (tail >= 1 && text[tail - 1] == '<') ||
           (tail >= 2 && text[tail - 1] == '/' && text[tail - 2] == '<');
}

bool IsClosingTagTail(const char* text, std::size_t tail) { return text[tail - 1] == '/'; }

std::size_t TagStart(const char* text, std::size_t tail) {
    return IsClosingTagTail(text, tail) ? tail - 2 : tail - 1;
}

// The record is the nearest record tag at or before the key, and ends where the next record tag,
// closing or opening, begins. When the nearest tag before the key is a closing one, the key sits
// outside any record.
bool FindRecord(const char* text, std::size_t keyPosition, std::string_view upperRecordTag,
                KeyRecord& record) {
    const std::string_view tail = upperRecordTag.substr(1);
    const std::size_t before = FindLastFolded(text, keyPosition + 1, tail, {IsRecordTagTail});
    if (before == kNoPosition || IsClosingTagTail(text, before)) return false;
    record.start = before - 1;
    const std::size_t after =
        FindFolded(text, keyPosition + 1, kNoPosition, tail, {IsRecordTagTail});
    record.end = after == kNoPosition ? kNoPosition : TagStart(text, after);
    return true;
}

void DecodeEntities(std::string& value) {
    // "&amp;" first, so "&amp;lt;" becomes "<" as lists written by hand expect.
    ReplaceAll(value, "&amp;", "&");
    ReplaceAll(value, "&lt;", "<");
    ReplaceAll(value, "&gt;", ">");
    ReplaceAll(value, "&quot;", "\"");
    ReplaceAll(value, "&apos;", "'");
}

}  // namespace

std::int32_t FindKeyRecord(const ListLookup& lookup, KeyRecord& record) {
    const char* text = lookup.listText;
    const std::string upperKey = UpperAscii(lookup.key);
    const std::size_t keyPosition = FindKey(text, upperKey, lookup);
    if (keyPosition == kNoPosition) return ErrKeyNotFound;
    if (!FindRecord(text, keyPosition, UpperAscii(lookup.recordTag), record)) {
        return ErrFieldNotFound;
    }
    record.isUtf8List = IsUtf8List(text);
    return 0;
}

std::int32_t ExtractFieldOfRecord(const ListLookup& lookup, const KeyRecord& record,
                                  std::string& value) {
    const char* text = lookup.listText;
    const std::string upperFieldTag = UpperAscii(lookup.fieldTag);
    const std::string openingTag = Concat("<", upperFieldTag, ">");
    const std::size_t opening = FindFolded(text, record.start, record.end, openingTag);
    if (opening == kNoPosition) return ErrFieldNotFound;
    const std::size_t contentStart = opening + openingTag.size();
    const std::size_t closing =
        FindFolded(text, contentStart, record.end, Concat("</", upperFieldTag, ">"));
    if (closing == kNoPosition) return ErrFieldNotFound;

    std::string found(text + contentStart, closing - contentStart);
    if (record.isUtf8List) found = ConvertUtf8ToAnsi(found);
    DecodeEntities(found);
    value = std::move(found);
    return 0;
}

std::int32_t ExtractField(const ListLookup& lookup, std::string& value) {
    KeyRecord record{};
    const std::int32_t found = FindKeyRecord(lookup, record);
    return found < 0 ? found : ExtractFieldOfRecord(lookup, record, value);
}

void ReplaceAll(std::string& text, std::string_view pattern, std::string_view replacement) {
    std::size_t match = text.find(pattern);
    if (pattern.empty() || match == std::string::npos) return;

    std::string replaced;
    replaced.reserve(text.size());
    std::size_t copied = 0;
    for (; match != std::string::npos; match = text.find(pattern, copied)) {
        replaced.append(text, copied, match - copied).append(replacement);
        copied = match + pattern.size();
    }
    replaced.append(text, copied);
    text = std::move(replaced);
}
