#include "tests/support/literal_lookup.h"

#include "platform/text_platform.h"
#include "plugin/exports.h"

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

std::int32_t LiteralExtractField(const char* listText, const char* key, std::int32_t keyType,
                                 std::string_view fieldTag, std::string& value) {
    const std::string unchanged = listText;
    const std::string search = Upper(unchanged);
    const std::string plainKey = Upper(key);
    std::string widenedKey = plainKey;
    // Built by appending: GCC 12 warns falsely (-Wrestrict) about "</" + std::string(...).
    const std::string openingTag = std::string("<").append(fieldTag).append(">");
    const std::string closingTag = std::string("</").append(fieldTag).append(">");
    const std::string recordTag = "<GAME>";
    const std::string closingRecordTag = "</GAME>";

    const std::size_t declarationEnd = search.find("?>");
    const bool isUtf8List = search.substr(0, declarationEnd).find("UTF-8") != std::string::npos;

    if (keyType == 0 || keyType == 32) {
        while (widenedKey.size() < 8) widenedKey = "0" + widenedKey;
    } else if (keyType == 1) {
        while (widenedKey.size() < 4) widenedKey = "0" + widenedKey;
    }
    std::size_t keyPosition = search.find(">" + widenedKey + "</ROMCRC>");
    if (keyPosition == std::string::npos) keyPosition = search.find(">" + plainKey + "</ROMCRC>");
    if (keyPosition == std::string::npos) return ErrKeyNotFound;

    const std::size_t recordStart = search.rfind(recordTag, keyPosition);
    if (recordStart == std::string::npos) return ErrFieldNotFound;
    const std::size_t earlierClose = search.find(closingRecordTag, recordStart + recordTag.size());
    if (earlierClose < keyPosition) return ErrFieldNotFound;
    const std::size_t recordEnd =
        std::min(search.find(closingRecordTag, keyPosition), search.find(recordTag, keyPosition));

    const std::size_t opening = search.find(openingTag, recordStart);
    if (opening == std::string::npos || opening >= recordEnd) return ErrFieldNotFound;
    const std::size_t contentStart = opening + openingTag.size();
    const std::size_t closing = search.find(closingTag, contentStart);
    if (closing == std::string::npos || closing >= recordEnd) return ErrFieldNotFound;

    std::string found = unchanged.substr(contentStart, closing - contentStart);
    if (isUtf8List) found = ConvertUtf8ToAnsi(found);
    LiteralReplaceAll(found, "&amp;", "&");
    LiteralReplaceAll(found, "&lt;", "<");
    LiteralReplaceAll(found, "&gt;", ">");
    LiteralReplaceAll(found, "&quot;", "\"");
    LiteralReplaceAll(found, "&apos;", "'");
    value = found;
    return 0;
}
