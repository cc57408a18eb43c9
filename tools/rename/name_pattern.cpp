#include "tools/rename/name_pattern.h"

#include <fmt/args.h>
#include <fmt/format.h>

#include <algorithm>

#include "tools/rename/safe_name.h"
#include "tools/rename/tidy_name.h"

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
        // Marked, padding and all, so that tidying never takes a character of it.
        fmt::format_to(context.out(), "{}", kFieldStart);
        const auto end = Base::format(**argument.value, context);
        return fmt::format_to(end, "{}", kFieldEnd);
    }
};

namespace {

std::string FormatWith(const std::string& pattern, const NameFields& fields,
                       std::array<bool, kFieldCount>* uses) {
    fmt::dynamic_format_arg_store<fmt::format_context> arguments;
    for (const FieldRow& row : kFields) {
        const std::size_t index = IndexOf(row.field);
        bool* used = uses ? &(*uses)[index] : nullptr;
        const char* name = row.patternName.data();  // literals: NUL-terminated
        if (row.field == Field::kRelease) {
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

// The pattern cut at each '/' it writes outside a field; "{{" and "}}" are braces of the name.
std::vector<std::string> SplitAtFolders(std::string_view pattern) {
    std::vector<std::string> parts(1);
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        const char byte = pattern[at];
        if (byte == '/') {
            parts.emplace_back();
            continue;
        }
        if (byte == '{' && at + 1 < pattern.size() && pattern[at + 1] != '{') {
            const std::size_t end = std::min(pattern.find('}', at), pattern.size() - 1);
            parts.back().append(pattern.substr(at, end + 1 - at));
            at = end;
            continue;
        }
        parts.back() += byte;
        if ((byte == '{' || byte == '}') && at + 1 < pattern.size() && pattern[at + 1] == byte) {
            parts.back() += pattern[++at];
        }
    }
    return parts;
}

// What keeps the pattern from naming ROMs apart, or "". fmt would take {} and {0} for the first
// field it is given, the publisher, without a word.
std::string PatternProblem(std::string_view pattern) {
    if (pattern.empty()) return "it is empty";
    for (const std::string& part : SplitAtFolders(pattern)) {
        if (part.empty()) return "a '/' makes a folder, and each needs a name before and after it";
    }
    std::size_t fields = 0;
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        if (pattern[at] != '{') continue;
        if (at + 1 < pattern.size() && pattern[at + 1] == '{') {
            ++at;  // "{{", a brace of the name
            continue;
        }
        const std::size_t end = pattern.find_first_of(":}", at + 1);
        const std::string_view field = pattern.substr(at + 1, end - at - 1);
        if (field.find_first_not_of("0123456789") == std::string_view::npos) {
            return "fields are taken by name, as {title}, not by position";
        }
        ++fields;
        at = end == std::string_view::npos ? pattern.size() : end;
    }
    return fields == 0 ? "it names no field, so every ROM would get the same name" : "";
}

Failure Refused(const std::string& pattern, const std::string& why) {
    return {FailureKind::kWrongUsage, "the pattern \"" + pattern + "\" cannot be used: " + why +
                                          " (fields: " + PatternFieldNames() + ")"};
}

// The title while it has characters to give, then the longest other text the part takes;
// null when no field can give more.
std::optional<std::string>* FieldToShorten(NameFields& fields, const NamePattern::Part& part) {
    const auto canGive = [&](Field field) {
        const std::optional<std::string>& text = fields.texts[IndexOf(field)];
        return field != Field::kRelease && part.uses[IndexOf(field)] && text &&
               ShortenedBy(*text, 1) != *text;
    };
    if (canGive(Field::kTitle)) return &fields.texts[IndexOf(Field::kTitle)];
    std::optional<std::string>* longest = nullptr;
    for (const FieldRow& row : kFields) {
        std::optional<std::string>& text = fields.texts[IndexOf(row.field)];
        if (canGive(row.field) && (!longest || text->size() > (*longest)->size())) longest = &text;
    }
    return longest;
}

bool IsNameSpace(char byte) { return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n'; }

// The marks are control characters, so no text of a name can be taken for one.
NameFields WithoutMarks(const NameFields& fields) {
    NameFields named = fields;
    for (std::string* text : {&named.crc, &named.name}) {
        std::replace_if(
            text->begin(), text->end(),
            [](char byte) {
                return byte == kMissingField || byte == kFieldStart || byte == kFieldEnd;
            },
            '_');
    }
    return named;
}

// One folder's name or the file's, shortened as NamePattern::FileName says.
std::string PartName(const NamePattern::Part& part, NameFields fields, std::string_view extension) {
    for (;;) {
        const std::string stem = TidyName(FormatWith(part.pattern, fields, nullptr));
        const std::size_t excess = UnitsPastNameLimit(stem, extension);
        std::optional<std::string>* field = excess > 0 ? FieldToShorten(fields, part) : nullptr;
        if (field == nullptr) return SafeFileName(stem, extension);
        **field = ShortenedBy(**field, excess);
    }
}

}  // namespace

std::string PatternFieldNames() { return FieldsInPatternForm() + " {crc} {name}"; }

Result<NamePattern> NamePattern::Parse(std::string text) {
    if (const std::string problem = PatternProblem(text); !problem.empty()) {
        return Refused(text, problem);
    }
    NamePattern pattern(std::move(text));
    NameFields probe;
    for (auto& field : probe.texts) field = "x";
    probe.release = 1;
    try {
        FormatWith(pattern.pattern_, probe, &pattern.uses_);
        for (std::string& part : SplitAtFolders(pattern.pattern_)) {
            Part& added = pattern.parts_.emplace_back(Part{std::move(part), {}});
            FormatWith(added.pattern, probe, &added.uses);
        }
    } catch (const fmt::format_error& error) {
        return Refused(pattern.pattern_, error.what());
    }
    return pattern;
}

std::string NamePattern::Format(const NameFields& fields) const {
    const NameFields named = WithoutMarks(fields);
    std::string formatted;
    for (const Part& part : parts_) {
        const std::string text = TidyName(FormatWith(part.pattern, named, nullptr));
        if (text.empty()) continue;
        if (!formatted.empty()) formatted += '/';
        formatted += text;
    }
    return formatted;
}

std::string NamePattern::FileName(const NameFields& fields, std::string_view extension) const {
    const NameFields named = WithoutMarks(fields);
    std::string path;
    for (std::size_t index = 0; index + 1 < parts_.size(); ++index) {
        if (const std::string folder = PartName(parts_[index], named, ""); !folder.empty()) {
            path += folder + '/';
        }
    }
    const std::string name = PartName(parts_.back(), named, extension);
    return name.empty() ? std::string() : path + name;
}

std::string NameTextFromValue(std::string_view value, const ValueEncoding& encoding) {
    const std::string utf8 = ValueToUtf8(value, encoding);
    std::string text;
    for (std::size_t at = 0; at < utf8.size();) {
        if (!IsNameSpace(utf8[at])) {
            const char byte = utf8[at++];
            // The marks are control characters; SafeFileName deals with the others.
            const bool mark = byte == kMissingField || byte == kFieldStart || byte == kFieldEnd;
            text += mark ? '_' : byte;
            continue;
        }
        const std::size_t end = std::min(utf8.find_first_not_of(" \t\r\n", at), utf8.size());
        const std::string_view space(utf8.data() + at, end - at);
        const bool broken = space.find_first_of("\t\r\n") != std::string_view::npos;
        if (at > 0 && end < utf8.size()) text += broken ? std::string(" ") : std::string(space);
        at = end;
    }
    return text;
}

std::string RegionInName(std::string_view label) {
    if (label.starts_with('(') && label.ends_with(')')) return std::string(label);
    return "(" + std::string(label) + ")";
}
