#include "tests/support/literal_lookup.h"

#include "plugin/field_value.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

void LiteralReplaceAll(std::string& text, const std::string& pattern, const std::string& with) {
    for (std::size_t at = text.find(pattern); at != std::string::npos;
         at = text.find(pattern, at + with.size())) {
        text.replace(at, pattern.size(), with);
    }
}

}  // namespace

LiteralField LiteralFindField(const char* listText, const char* key, std::int32_t keyType,
                              std::string_view fieldName) {
    const std::string unchanged = listText;
    const std::string search = Upper(unchanged);
    const std::string plainKey = Upper(key);
    std::string widenedKey = plainKey;
    // Built by appending: GCC 12 warns falsely (-Wrestrict) about "</" + std::string(...).
    const std::string openingTag = std::string("<").append(fieldName).append(">");
    const std::string closingTag = std::string("</").append(fieldName).append(">");
    const std::string recordTag = "<GAME>";
    const std::string closingRecordTag = "</GAME>";

    if (keyType == 0 || keyType == 32) {
        while (widenedKey.size() < 8) widenedKey = "0" + widenedKey;
    } else if (keyType == 1) {
        while (widenedKey.size() < 4) widenedKey = "0" + widenedKey;
    }
    std::size_t keyPosition = search.find(">" + widenedKey + "</ROMCRC>");
    if (keyPosition == std::string::npos) keyPosition = search.find(">" + plainKey + "</ROMCRC>");
    if (keyPosition == std::string::npos) return {LookupOutcome::kKeyAbsent, {}, false};

    const LiteralField missing{LookupOutcome::kFieldMissing, {}, false};
    const std::size_t recordStart = search.rfind(recordTag, keyPosition);
    if (recordStart == std::string::npos) return missing;
    const std::size_t earlierClose = search.find(closingRecordTag, recordStart + recordTag.size());
    if (earlierClose < keyPosition) return missing;
    const std::size_t recordEnd =
        std::min(search.find(closingRecordTag, keyPosition), search.find(recordTag, keyPosition));

    const std::size_t opening = search.find(openingTag, recordStart);
    if (opening == std::string::npos || opening >= recordEnd) return missing;
    const std::size_t contentStart = opening + openingTag.size();
    const std::size_t closing = search.find(closingTag, contentStart);
    if (closing == std::string::npos || closing >= recordEnd) return missing;

    const std::size_t declarationEnd = search.find("?>");
    const bool isUtf8List = search.substr(0, declarationEnd).find("UTF-8") != std::string::npos;
    return {LookupOutcome::kFound, unchanged.substr(contentStart, closing - contentStart),
            isUtf8List};
}

std::string LiteralDecodeEntities(std::string text) {
    LiteralReplaceAll(text, "&amp;", "&");
    LiteralReplaceAll(text, "&lt;", "<");
    LiteralReplaceAll(text, "&gt;", ">");
    LiteralReplaceAll(text, "&quot;", "\"");
    LiteralReplaceAll(text, "&apos;", "'");
    return text;
}

std::string DifferenceFromLiteral(const char* listText, const char* key, std::int32_t keyType,
                                  const ElementTag& field) {
    const FoundText found = FindField(FindKeyRecord({listText, key, keyType}), field);
    const LiteralField literal = LiteralFindField(listText, key, keyType, field.Name());
    std::string decoded(found.text);
    DecodeEntities(decoded);
    const bool same = found.outcome == literal.outcome &&
                      (found.outcome != LookupOutcome::kFound ||
                       (found.text == literal.text && found.isUtf8List == literal.isUtf8List &&
                        decoded == LiteralDecodeEntities(literal.text)));
    if (same) return "";
    const auto describe = [](LookupOutcome outcome, std::string_view text, bool isUtf8List) {
        return std::to_string(static_cast<int>(outcome)) + (isUtf8List ? " UTF-8 \"" : " \"") +
               std::string(text) + "\" decoded \"";
    };
    return std::string(field.Name()) + " of key \"" + key + "\" type " + std::to_string(keyType) +
           ": " + describe(found.outcome, found.text, found.isUtf8List) + decoded + "\", literal " +
           describe(literal.outcome, literal.text, literal.isUtf8List) +
           LiteralDecodeEntities(literal.text) + "\"";
}
