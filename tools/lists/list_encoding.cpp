#include "tools/lists/list_encoding.h"

#include <algorithm>
#include <array>
#include <optional>

#include "platform/utf8.h"
#include "tools/lists/list_detection.h"
#include "tools/base/ascii.h"

namespace {

// Case and separators folded out, so that "Shift_JIS", "shift-jis" and "SHIFTJIS" are one name.
std::string FoldedName(std::string_view name) {
    std::string folded;
    for (const char c : name) {
        if (c == '-' || c == '_' || c == ' ' || c == '.' || c == ':') continue;
        folded += AsciiLower(c);
    }
    return folded;
}

struct Alias {
    std::string_view folded;
    TextEncoding encoding;
};
// ASCII is read as UTF-8, of which it is a part.
constexpr std::array<Alias, 26> kAliases{{
    {"utf8", TextEncoding::kUtf8},           {"usascii", TextEncoding::kUtf8},
    {"ascii", TextEncoding::kUtf8},          {"shiftjis", TextEncoding::kShiftJis},
    {"sjis", TextEncoding::kShiftJis},       {"cp932", TextEncoding::kShiftJis},
    {"ms932", TextEncoding::kShiftJis},      {"windows31j", TextEncoding::kShiftJis},
    {"mskanji", TextEncoding::kShiftJis},    {"xsjis", TextEncoding::kShiftJis},
    {"csshiftjis", TextEncoding::kShiftJis}, {"eucjp", TextEncoding::kEucJp},
    {"xeucjp", TextEncoding::kEucJp},        {"ujis", TextEncoding::kEucJp},
    {"iso88591", TextEncoding::kLatin1},     {"iso885911987", TextEncoding::kLatin1},
    {"latin1", TextEncoding::kLatin1},       {"l1", TextEncoding::kLatin1},
    {"cp819", TextEncoding::kLatin1},        {"ibm819", TextEncoding::kLatin1},
    {"iso885915", TextEncoding::kLatin9},    {"latin9", TextEncoding::kLatin9},
    {"l9", TextEncoding::kLatin9},           {"windows1252", TextEncoding::kWindows1252},
    {"cp1252", TextEncoding::kWindows1252},  {"xcp1252", TextEncoding::kWindows1252},
}};

std::optional<TextEncoding> EncodingNamed(std::string_view name) {
    const std::string folded = FoldedName(name);
    for (const Alias& alias : kAliases) {
        if (alias.folded == folded) return alias.encoding;
    }
    return std::nullopt;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view SkipSpace(std::string_view text) {
    while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
    return text;
}

// The encoding="..." of the XML declaration at the start of the list, or "" when there is none.
std::string_view DeclaredEncoding(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    text = SkipSpace(text);
    if (!EqualsFolded(text.substr(0, 5), "<?xml") || text.size() < 6 || !IsXmlSpace(text[5])) {
        return {};
    }
    const std::string_view declaration = text.substr(0, text.find("?>"));
    const std::size_t attribute = FindFolded(declaration, "encoding");
    if (attribute == std::string_view::npos) return {};
    std::string_view rest = SkipSpace(declaration.substr(attribute + 8));
    if (!rest.starts_with('=')) return {};
    rest = SkipSpace(rest.substr(1));
    if (rest.empty() || (rest.front() != '"' && rest.front() != '\'')) return {};
    const std::size_t close = rest.find(rest.front(), 1);
    if (close == std::string_view::npos) return {};
    return rest.substr(1, close - 1);
}

const char* NameOf(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kShiftJis: return "Shift_JIS";
        case TextEncoding::kEucJp: return "EUC-JP";
        case TextEncoding::kWindows1252: return "Windows-1252";
        default: return "?";
    }
}

// A list that declares no encoding qbt knows and is not UTF-8: never read in the terminal's
// codeset, which has nothing to do with where the list was written.
FoundEncoding Undeclared(std::string_view hostText, std::string_view unknownDeclaration) {
    const std::string what = unknownDeclaration.empty()
                                 ? std::string("the list declares no encoding")
                                 : "the list declares the encoding \"" +
                                       std::string(unknownDeclaration) +
                                       "\", which qbt does not know,";
    if (IsValidUtf8(hostText)) {
        if (!unknownDeclaration.empty()) {
            return {{TextEncoding::kUtf8, ""},
                    {what + " and is valid UTF-8: its values are read as UTF-8 (--list-encoding "
                            "names the right one)"}};
        }
        return {{TextEncoding::kUtf8, ""}, {}};
    }
    const ListGuess guess = GuessListEncoding(hostText);
    if (guess.encoding) {
        return {{*guess.encoding, ""},
                {what + " and is not UTF-8; its text reads as " + NameOf(*guess.encoding) + " (" +
                 std::to_string(guess.best.characters) +
                 " characters outside ASCII, none out of place), so qbt reads it so "
                 "(--list-encoding names another)"}};
    }
    // Something to show in tables and dry runs; Windows-1252 decodes nearly any bytes.
    const TextEncoding likeliest =
        guess.best.whole ? guess.best.encoding : TextEncoding::kWindows1252;
    return {{likeliest, what +
                            " and is not UTF-8, and its text does not show clearly which "
                            "encoding it is in (it reads most like " +
                            std::string(NameOf(likeliest)) + ")"},
            {}};
}

}  // namespace

bool PluginTakesForUtf8(std::string_view hostText) {
    constexpr std::size_t kDeclarationReach = 256;
    const std::size_t declarationEnd = FindFolded(hostText.substr(0, kDeclarationReach + 1), "?>");
    if (declarationEnd != std::string_view::npos) {
        return FindFolded(hostText.substr(0, declarationEnd), "utf-8") != std::string_view::npos;
    }
    const std::size_t utf8 = FindFolded(hostText, "utf-8");
    return utf8 != std::string_view::npos &&
           FindFolded(hostText.substr(0, utf8 + 1), "?>") == std::string_view::npos;
}

bool IsKnownListEncoding(std::string_view name) { return EncodingNamed(name).has_value(); }

Failure UnknownListEncoding(std::string_view name) {
    return {FailureKind::kWrongUsage,
            "unknown list encoding \"" + std::string(name) + "\"; known: " + kKnownListEncodings};
}

Result<FoundEncoding> ValueEncodingOf(std::string_view listText, std::string_view overrideName,
                                      bool answersInUtf8) {
    // The plug-in is handed a C string: it sees the list up to its first NUL.
    const std::string_view hostText = listText.substr(0, listText.find('\0'));
    std::optional<TextEncoding> overridden;
    if (!overrideName.empty()) {
        overridden = EncodingNamed(overrideName);
        if (!overridden) return UnknownListEncoding(overrideName);
    }
    if (PluginTakesForUtf8(hostText)) {
        FoundEncoding found{{answersInUtf8 ? TextEncoding::kUtf8 : TextEncoding::kTerminal, ""},
                            {}};
        if (overridden && *overridden != TextEncoding::kUtf8) {
            found.warnings.push_back("--list-encoding " + std::string(overrideName) +
                                     " is ignored: the list declares UTF-8, so the plug-in "
                                     "converts its values itself");
        }
        return found;
    }
    if (overridden) return FoundEncoding{{*overridden, ""}, {}};
    const std::string_view declared = DeclaredEncoding(hostText);
    if (const std::optional<TextEncoding> named = EncodingNamed(declared)) {
        return FoundEncoding{{*named, ""}, {}};
    }
    return Undeclared(hostText, declared);
}

std::string ValueToTerminal(std::string_view value, const ValueEncoding& encoding) {
    if (encoding.values == TextEncoding::kTerminal) return std::string(value);
    return ConvertText(value, encoding.values, TextEncoding::kTerminal);
}

std::string ValueToUtf8(std::string_view value, const ValueEncoding& encoding) {
    return ConvertText(value, encoding.values, TextEncoding::kUtf8);
}
