#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string_view>

#include "lookup/field_extraction.h"
#include "platform/text_platform.h"
#include "plugin/copy_out.h"
#include "plugin/exports.h"
#include "plugin/field_value.h"

namespace {

constexpr ElementTag kPublisher("PUBLISHER");
constexpr ElementTag kTitle("TITLE");
constexpr ElementTag kSaveType("SAVETYPE");
constexpr ElementTag kLocation("LOCATION");
constexpr ElementTag kReleaseNumber("RELEASENUMBER");
constexpr ElementTag kRomSize("ROMSIZE");
constexpr ElementTag kSourceRom("SOURCEROM");

// Derived values have always been read from at most this much field text (a 255-byte scratch
// area less its NUL). Kept so that long elements give the same numbers and media lines as ever.
constexpr std::size_t kDerivedTextLimit = 254;

// Indexed by the LOCATION element's code. The mix of bracketed codes and plain country names is
// what hosts put into file names, so it stays as it is.
constexpr std::array<std::string_view, 26> kRegionLabels = {
    "(E)",       "(U)",    "(G)",         "(C)",           "(S)",
    "(F)",       "(I)",    "(J)",         "(NL)",          "(UK)",
    "Denmark",   "(FN)",   "Norway",      "Poland",        "Portugal",
    "(SW)",      "(EU)",   "(EUJ)",       "(UJ)",          "(A)",
    "(K)",       "Brazil", "South Korea", "Europe Brazil", "Europe USA Brazil",
    "USA Brazil"};

bool IsBadQuery(const char* listText, const char* key) {
    return listText == nullptr || key == nullptr;
}

void CutToDerivedLimit(FieldText& value) {
    if (value.Size() > kDerivedTextLimit) value.Resize(kDerivedTextLimit);
}

std::int32_t ReadField(const ElementTag& field, const char* listText, const char* key,
                       std::int32_t keyType, FieldText& value) {
    return ReadFieldValue(FindKeyRecord({listText, key, keyType}), field, value);
}

std::int32_t ReadDerivedText(const ElementTag& field, const char* listText, const char* key,
                             std::int32_t keyType, FieldText& value) {
    const std::int32_t found = ReadField(field, listText, key, keyType, value);
    CutToDerivedLimit(value);
    return found;
}

constexpr bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Where atoi looks for the first digit: past leading white space and an optional sign.
std::size_t SkipSpaceAndSign(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsAsciiSpace(text[at])) ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    return at;
}

// Whether atoi would read a digit at all, rather than fall back to 0 for want of one.
bool HoldsLeadingNumber(std::string_view text) {
    const std::size_t at = SkipSpaceAndSign(text);
    return at < text.size() && IsAsciiDigit(text[at]);
}

// Reads a number as the C runtime's atoi does (white space, an optional sign, digits; anything
// else gives 0), except that it saturates at the 32-bit range where atoi would overflow.
std::int32_t ParseLeadingInt(std::string_view text) {
    std::size_t at = SkipSpaceAndSign(text);
    const bool negative = at > 0 && text[at - 1] == '-';
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t magnitude = 0;
    for (; at < text.size() && IsAsciiDigit(text[at]); ++at) {
        magnitude = std::min(limit, magnitude * 10 + (text[at] - '0'));
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::string_view RegionLabel(std::int32_t code) {
    const auto index = static_cast<std::uint32_t>(code);  // every negative code is out of range
    return index < kRegionLabels.size() ? kRegionLabels[index] : std::string_view{};
}

std::int32_t AnswerTextField(const ElementTag& field, const char* listText, const char* key,
                             std::int32_t keyType, char** out, std::int32_t outSize) {
    if (IsBadQuery(listText, key) || IsBadBuffer(out, outSize)) return ErrBadArgument;
    return AnswerHost([&]() -> std::int32_t {
        FieldText value;
        const std::int32_t found = ReadField(field, listText, key, keyType, value);
        return found < 0 ? found : CopyOut(value.View(), out, outSize);
    });
}

}  // namespace

extern "C" {

QBT_EXPORT std::int32_t QBT_CALL GetMaker(const char* listText, const char* key,
                                          std::int32_t keyType, char** out, std::int32_t outSize) {
    return AnswerTextField(kPublisher, listText, key, keyType, out, outSize);
}

QBT_EXPORT std::int32_t QBT_CALL GetTitle(const char* listText, const char* key,
                                          std::int32_t keyType, char** out, std::int32_t outSize) {
    return AnswerTextField(kTitle, listText, key, keyType, out, outSize);
}

QBT_EXPORT std::int32_t QBT_CALL GetSaveInfo(const char* listText, const char* key,
                                             std::int32_t keyType, char** out,
                                             std::int32_t outSize) {
    return AnswerTextField(kSaveType, listText, key, keyType, out, outSize);
}

QBT_EXPORT std::int32_t QBT_CALL GetCountry(const char* listText, const char* key,
                                            std::int32_t keyType, char** out,
                                            std::int32_t outSize) {
    if (IsBadQuery(listText, key) || IsBadBuffer(out, outSize)) return ErrBadArgument;
    return AnswerHost([&]() -> std::int32_t {
        FieldText location;
        const std::int32_t found = ReadDerivedText(kLocation, listText, key, keyType, location);
        if (found < 0) return found;
        // Text without a number is no region: read as 0 it would claim Europe.
        if (!HoldsLeadingNumber(location.View())) return ErrEmptyValue;
        const std::string_view label = RegionLabel(ParseLeadingInt(location.View()));
        return label.empty() ? ErrEmptyValue : CopyOut(label, out, outSize);
    });
}

QBT_EXPORT std::int32_t QBT_CALL GetImgNum(const char* listText, const char* key,
                                           std::int32_t keyType) {
    if (IsBadQuery(listText, key)) return ErrBadArgument;
    return AnswerHost([&]() -> std::int32_t {
        FieldText number;
        const std::int32_t found = ReadDerivedText(kReleaseNumber, listText, key, keyType, number);
        if (found < 0) return found;
        if (StartsWithLetterOrDigit(number.View())) return ParseLeadingInt(number.View());
        return number.Size() == 0 ? ErrEmptyValue : ErrBadValue;
    });
}

// A missing element is silent as long as the other one has text: hosts show what there is.
QBT_EXPORT std::int32_t QBT_CALL GetMediaInfo(const char* listText, const char* key,
                                              std::int32_t keyType, char** out,
                                              std::int32_t outSize) {
    if (IsBadQuery(listText, key) || IsBadBuffer(out, outSize)) return ErrBadArgument;
    return AnswerHost([&]() -> std::int32_t {
        // Both elements come from one record, so the key is searched for once. A failed
        // element leaves its text empty.
        const KeyRecord record = FindKeyRecord({listText, key, keyType});
        FieldText romSize;
        FieldText sourceRom;
        const std::int32_t sizeFound = ReadFieldValue(record, kRomSize, romSize);
        const std::int32_t sourceFound = ReadFieldValue(record, kSourceRom, sourceRom);
        CutToDerivedLimit(romSize);
        CutToDerivedLimit(sourceRom);
        if (sizeFound < 0 && sourceFound < 0) return sizeFound;
        const std::string_view size = romSize.View();
        const std::string_view source = sourceRom.View();
        if (size.empty() && source.empty()) return ErrEmptyValue;
        // The separator belongs to the second label and stays even when the size is missing.
        return CopyOut(
            {size.empty() ? "" : "RomSize:", size, source.empty() ? "" : " / SrcRom:", source}, out,
            outSize);
    });
}

}  // extern "C"
