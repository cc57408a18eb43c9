#include "tools/new_names.h"

#include <fmt/format.h>

#include <algorithm>

#include "tools/tool_error.h"
#include "tools/tool_platform.h"

namespace {

// A text field as fmt sees it: formatted with the pattern's width and precision when present, the missing mark
// otherwise. `used`, when set, records that the pattern asked for it.
struct TextArgument {
    const std::optional<std::string>* value;
    bool* used;
};
struct NumberArgument {
    const std::optional<int32_t>* value;
    bool* used;
};

}  // namespace

template <>
struct fmt::formatter<TextArgument> : fmt::formatter<std::string_view> {
    template <typename Context>
    auto format(const TextArgument& argument, Context& context) const {
        if (argument.used != nullptr) *argument.used = true;
        if (!argument.value->has_value()) return fmt::format_to(context.out(), "{}", kMissingField);
        return fmt::formatter<std::string_view>::format(**argument.value, context);
    }
};

// A missing number ignores its width and fill, so "{release:04}" never makes "0000" of it.
template <>
struct fmt::formatter<NumberArgument> : fmt::formatter<int32_t> {
    template <typename Context>
    auto format(const NumberArgument& argument, Context& context) const {
        if (argument.used != nullptr) *argument.used = true;
        if (!argument.value->has_value()) return fmt::format_to(context.out(), "{}", kMissingField);
        return fmt::formatter<int32_t>::format(**argument.value, context);
    }
};

namespace {

std::string FormatWith(const std::string& pattern, const NameFields& fields,
                       std::array<bool, kNameFieldCount>* uses) {
    const auto used = [&](NameField field) { return uses ? &(*uses)[field] : nullptr; };
    const std::optional<std::string> crc = fields.crc;
    const std::optional<std::string> name = fields.name;
    const auto text = [&](NameField field) {
        return TextArgument{&fields.texts[field], used(field)};
    };
    return fmt::format(fmt::runtime(pattern), fmt::arg("publisher", text(kPublisher)),
                       fmt::arg("title", text(kTitle)), fmt::arg("save", text(kSave)),
                       fmt::arg("media", text(kMedia)), fmt::arg("region", text(kRegion)),
                       fmt::arg("release", NumberArgument{&fields.release, used(kRelease)}),
                       fmt::arg("crc", TextArgument{&crc, nullptr}),
                       fmt::arg("name", TextArgument{&name, nullptr}));
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

constexpr std::string_view kForbiddenCharacters = "\\/:*?\"<>|";

bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

void DropTrailingDotsAndSpaces(std::string& text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
}

bool IsReservedDeviceName(std::string_view base) {
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    std::string upper(base);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char byte) { return byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte; });
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '1' && upper[3] <= '9';
}

// The bytes of the UTF-8 character that `lead` begins; a byte that begins none counts alone.
std::size_t CharacterLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

// How much of the file system's 255-unit limit a character takes.
std::size_t NameUnits(std::size_t characterBytes) {
#ifdef _WIN32
    return characterBytes == 4 ? 2 : 1;  // UTF-16: a surrogate pair above the BMP
#else
    return characterBytes;  // bytes
#endif
}

std::size_t UnitsOf(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length =
            std::min(CharacterLength(static_cast<unsigned char>(text[at])), text.size() - at);
        units += NameUnits(length);
        at += length;
    }
    return units;
}

// The longest head of `text` that takes at most `units`, whole characters only.
std::string_view HeadWithin(std::string_view text, std::size_t units) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length =
            std::min(CharacterLength(static_cast<unsigned char>(text[at])), text.size() - at);
        if (NameUnits(length) > units) break;
        units -= NameUnits(length);
        at += length;
    }
    return text.substr(0, at);
}

constexpr std::size_t kNameLimit = 255;

}  // namespace

NamePattern::NamePattern(std::string pattern) : pattern_(std::move(pattern)) {
    NameFields probe;
    for (auto& text : probe.texts) text = "x";
    probe.release = 1;
    try {
        FormatWith(pattern_, probe, &uses_);
    } catch (const fmt::format_error& error) {
        throw ToolError(kExitBadUsage, "the pattern \"" + pattern_ +
                                           "\" cannot be used: " + error.what() +
                                           " (fields: {title} {publisher} {save} {media} "
                                           "{region} {release} {crc} {name})");
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

std::string SafeFileName(std::string_view stem, std::string_view extension) {
    std::string safe(stem);
    for (char& byte : safe) {
        if (IsControl(static_cast<unsigned char>(byte)) ||
            kForbiddenCharacters.find(byte) != std::string_view::npos) {
            byte = '_';
        }
    }
    DropTrailingDotsAndSpaces(safe);
    const std::size_t firstDot = std::min(safe.find('.'), safe.size());
    if (IsReservedDeviceName(std::string_view(safe).substr(0, firstDot))) {
        safe.insert(firstDot, "_");
    }
    const std::size_t extensionUnits = UnitsOf(extension);
    if (extensionUnits >= kNameLimit) return "";
    safe = HeadWithin(safe, kNameLimit - extensionUnits);
    DropTrailingDotsAndSpaces(safe);
    if (safe.empty()) return "";
    std::string name = safe + std::string(extension);
    DropTrailingDotsAndSpaces(name);  // an extension that is a bare "."
    return name;
}
