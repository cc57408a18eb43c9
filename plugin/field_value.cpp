#include "plugin/field_value.h"

#include <cstring>
#include <string_view>

#include "platform/text_platform.h"
#include "plugin/exports.h"

namespace {

// Replaces every occurrence of `entity` in the `size` bytes at `text` by `replacement`, left to
// right, and returns the new size. The text written never reaches the text still to be read,
// because every entity is longer than its replacement.
std::size_t ReplaceAll(char* text, std::size_t size, std::string_view entity, char replacement) {
    const std::string_view original(text, size);
    std::size_t match = original.find(entity);
    if (match == std::string_view::npos) return size;
    std::size_t written = 0;
    std::size_t read = 0;
    for (; match != std::string_view::npos; match = original.find(entity, read)) {
        std::memmove(text + written, text + read, match - read);
        written += match - read;
        text[written++] = replacement;
        read = match + entity.size();
    }
    std::memmove(text + written, text + read, size - read);
    return written + size - read;
}

std::size_t DecodeEntities(char* text, std::size_t size) {
    // "&amp;" first, so "&amp;lt;" becomes "<" as lists written by hand expect.
    size = ReplaceAll(text, size, "&amp;", '&');
    size = ReplaceAll(text, size, "&lt;", '<');
    size = ReplaceAll(text, size, "&gt;", '>');
    size = ReplaceAll(text, size, "&quot;", '"');
    return ReplaceAll(text, size, "&apos;", '\'');
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

std::int32_t ReadFieldValue(const KeyRecord& record, const ElementTag& field, FieldText& value) {
    const FoundText found = FindField(record, field);
    if (found.outcome != LookupOutcome::kFound) return ResultCodeOf(found.outcome);
    if (found.isUtf8List) {
        ConvertUtf8ToAnsi(found.text, value);
    } else {
        value.Assign(found.text);
    }
    DecodeEntities(value);
    return 0;
}

void DecodeEntities(FieldText& text) { text.Resize(DecodeEntities(text.Data(), text.Size())); }

void DecodeEntities(std::string& text) { text.resize(DecodeEntities(text.data(), text.size())); }
