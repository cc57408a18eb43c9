#include "plugin/field_value.h"

#include <string_view>

#include "platform/text_platform.h"
#include "plugin/exports.h"

namespace {

// Replaces every occurrence of `pattern` in `text`, left to right.
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

std::int32_t ResultCodeOf(LookupOutcome outcome) {
    switch (outcome) {
        case LookupOutcome::kFound: return 0;
        case LookupOutcome::kKeyAbsent: return ErrKeyNotFound;
        case LookupOutcome::kFieldMissing: break;
    }
    return ErrFieldNotFound;
}

}  // namespace

std::int32_t ReadFieldValue(const KeyRecord& record, const ElementTag& field, std::string& value) {
    const FoundText found = FindField(record, field);
    if (found.outcome != LookupOutcome::kFound) return ResultCodeOf(found.outcome);
    std::string text = found.isUtf8List ? ConvertUtf8ToAnsi(found.text) : std::string(found.text);
    DecodeEntities(text);
    value = std::move(text);
    return 0;
}

void DecodeEntities(std::string& text) {
    // "&amp;" first, so "&amp;lt;" becomes "<" as lists written by hand expect.
    ReplaceAll(text, "&amp;", "&");
    ReplaceAll(text, "&lt;", "<");
    ReplaceAll(text, "&gt;", ">");
    ReplaceAll(text, "&quot;", "\"");
    ReplaceAll(text, "&apos;", "'");
}
