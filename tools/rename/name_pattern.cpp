#include "tools/rename/name_pattern.h"

#include <fmt/args.h>
#include <fmt/format.h>

#include <algorithm>

#include "tools/os/errors.h"

namespace {

// A field as fmt sees it: formatted with the pattern's width and precision when present, the
// missing mark otherwise. `used`, when set, records that the pattern asked for it.
template <typename Value>
struct FieldArgument {
    const std::optional<Value>* value;
    bool* used;
};

}  // namespace

// A missing number ignores its width and fill, so "{release:04}" never makes "0000" of it.
template <typename Value>
struct fmt::formatter<FieldArgument<Value>>
    : fmt::formatter<
          std::conditional_t<std::is_same_v<Value, int32_t>, int32_t, std::string_view>> {
    template <typename Context>
    auto format(const FieldArgument<Value>& argument, Context& context) const {
        if (argument.used != nullptr) *argument.used = true;
        if (!argument.value->has_value()) return fmt::format_to(context.out(), "{}", kMissingField);
        using Base = fmt::formatter<
            std::conditional_t<std::is_same_v<Value, int32_t>, int32_t, std::string_view>>;
        return Base::format(**argument.value, context);
    }
};

namespace {

std::string FormatWith(const std::string& pattern, const NameFields& fields,
                       std::array<bool, kFieldCount>* uses) {
    fmt::dynamic_format_arg_store<fmt::format_context> arguments;
    for (const FieldSpec& spec : kFields) {
        const std::size_t index = IndexOf(spec.field);
        bool* used = uses ? &(*uses)[index] : nullptr;
        const char* name = spec.patternName.data();  // literals: NUL-terminated
        if (spec.field == Field::kRelease) {
            arguments.push_back(fmt::arg(name, FieldArgument<int32_t>{&fields.release, used}));
        } else {
            arguments.push_back(
                fmt::arg(name, FieldArgument<std::string>{&fields.texts[index], used}));
        }
    }
    const std::optional<std::string> crc = fields.crc;
    const std::optional<std::string> name = fields.name;
    arguments.push_back(fmt::arg("crc", FieldArgument<std::string>{&crc, nullptr}));
    arguments.push_back(fmt::arg("name", FieldArgument<std::string>{&name, nullptr}));
    return fmt::vformat(pattern, arguments);
}

bool IsSeparator(char byte) {
    return std::string_view(" -_,;.~+:/|").find(byte) != std::string_view::npos;
}
bool IsOpening(char byte) { return byte == '(' || byte == '[' || byte == '{'; }
bool IsClosing(char byte) { return byte == ')' || byte == ']' || byte == '}'; }

// "(", "[" or "{" and its partner around nothing but separators and at least one missing field.
bool RemoveOneEmptyBracketPair(std::string& text) {
    for (std::size_t open = 0; open < text.size(); ++open) {
        if (!IsOpening(text[open])) continue;
        std::size_t close = open + 1;
        bool missing = false;
        while (close < text.size() && (IsSeparator(text[close]) || text[close] == kMissingField)) {
            missing = missing || text[close] == kMissingField;
            ++close;
        }
        if (missing && close < text.size() && IsClosing(text[close])) {
            text.erase(open, close - open + 1);
            return true;
        }
    }
    return false;
}

void RemoveMissingField(std::string& text, std::size_t mark) {
    std::size_t left = mark;
    while (left > 0 && IsSeparator(text[left - 1])) --left;
    std::size_t right = mark + 1;
    while (right < text.size() && IsSeparator(text[right])) ++right;
    const bool textBefore =
        left > 0 && !IsOpening(text[left - 1]) && text[left - 1] != kMissingField;
    const bool textAfter =
        right < text.size() && !IsClosing(text[right]) && text[right] != kMissingField;
    std::string kept;
    if (textBefore && textAfter) {
        kept =
            mark > left ? text.substr(left, mark - left) : text.substr(mark + 1, right - mark - 1);
    }
    text.replace(left, right - left, kept);
}

}  // namespace

std::string PatternFieldNames() { return FieldsInPatternForm() + " {crc} {name}"; }

NamePattern::NamePattern(std::string pattern) : pattern_(std::move(pattern)) {
    NameFields probe;
    for (auto& text : probe.texts) text.emplace(1, 'x');
    probe.release = 1;
    try {
        FormatWith(pattern_, probe, &uses_);
    } catch (const fmt::format_error& error) {
        throw ToolError(kExitBadUsage, "the pattern \"" + pattern_ + "\" cannot be used: " +
                                           error.what() + " (fields: " + PatternFieldNames() + ")");
    }
}

std::string NamePattern::Format(const NameFields& fields) const {
    return TidyName(FormatWith(pattern_, fields, nullptr));
}

std::string NameTextFromValue(std::string_view value, const ValueEncoding& encoding) {
    std::string text = ValueToUtf8(value, encoding);
    // A value broken over lines in the list is still words; other control characters are left
    // for SafeFileName.
    std::replace_if(
        text.begin(), text.end(),
        [](char byte) { return byte == '\t' || byte == '\r' || byte == '\n'; }, ' ');
    // The missing mark is a control character, so no value can be taken for one.
    std::replace(text.begin(), text.end(), kMissingField, '_');
    return text;
}

std::string TidyName(std::string formatted) {
    while (RemoveOneEmptyBracketPair(formatted)) {
    }
    for (std::size_t mark; (mark = formatted.find(kMissingField)) != std::string::npos;) {
        RemoveMissingField(formatted, mark);
    }
    std::string tidy;
    for (const char byte : formatted) {
        if (byte == ' ' && (tidy.empty() || tidy.back() == ' ')) continue;
        tidy += byte;
    }
    if (!tidy.empty() && tidy.back() == ' ') tidy.pop_back();
    return tidy;
}
