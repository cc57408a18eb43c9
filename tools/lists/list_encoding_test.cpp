#include "tools/lists/list_encoding.h"

#include <gtest/gtest.h>

namespace {

constexpr std::string_view kUndeclaredList = "<games><GAME><ROMCRC>1</ROMCRC></GAME></games>";

ValueEncoding EncodingOf(std::string_view list, std::string_view overrideName) {
    const Result<FoundEncoding> found = ValueEncodingOf(list, overrideName);
    EXPECT_TRUE(found.Ok()) << found.Why().message;
    return found.Ok() ? found->encoding : ValueEncoding{};
}

// The names a list or --list-encoding may use, written out rather than read from the table.
TEST(ListEncoding, EveryKnownNameAndAlias) {
    const std::pair<const char*, TextEncoding> names[] = {
        {"UTF-8", TextEncoding::kUtf8},          {"US-ASCII", TextEncoding::kUtf8},
        {"ascii", TextEncoding::kUtf8},          {"Shift_JIS", TextEncoding::kShiftJis},
        {"SJIS", TextEncoding::kShiftJis},       {"CP932", TextEncoding::kShiftJis},
        {"MS932", TextEncoding::kShiftJis},      {"Windows-31J", TextEncoding::kShiftJis},
        {"MS_Kanji", TextEncoding::kShiftJis},   {"x-sjis", TextEncoding::kShiftJis},
        {"csShiftJIS", TextEncoding::kShiftJis}, {"EUC-JP", TextEncoding::kEucJp},
        {"x-euc-jp", TextEncoding::kEucJp},      {"ujis", TextEncoding::kEucJp},
        {"ISO-8859-1", TextEncoding::kLatin1},   {"ISO_8859-1:1987", TextEncoding::kLatin1},
        {"latin1", TextEncoding::kLatin1},       {"L1", TextEncoding::kLatin1},
        {"CP819", TextEncoding::kLatin1},        {"IBM819", TextEncoding::kLatin1},
        {"ISO-8859-15", TextEncoding::kLatin9},  {"Latin-9", TextEncoding::kLatin9},
        {"l9", TextEncoding::kLatin9},           {"Windows-1252", TextEncoding::kWindows1252},
        {"cp1252", TextEncoding::kWindows1252},  {"x-cp1252", TextEncoding::kWindows1252},
    };
    for (const auto& [name, encoding] : names) {
        EXPECT_TRUE(IsKnownListEncoding(name)) << name;
        EXPECT_EQ(EncodingOf(kUndeclaredList, name).values, encoding) << name;
        const std::string declared = "<?xml version=\"1.0\" encoding=\"" + std::string(name) +
                                     "\"?>" + std::string(kUndeclaredList);
        if (encoding != TextEncoding::kUtf8 || std::string_view(name) != "UTF-8") {
            EXPECT_EQ(EncodingOf(declared, "").values, encoding) << name;
        }
    }
    EXPECT_FALSE(IsKnownListEncoding("UTF-16"));
    const Result<FoundEncoding> unknown = ValueEncodingOf(kUndeclaredList, "x-made-up");
    ASSERT_FALSE(unknown.Ok());
    EXPECT_EQ(unknown.Why().kind, FailureKind::kWrongUsage);
}

// The plug-in converts a list it takes for UTF-8 itself, into the terminal's codeset.
TEST(ListEncoding, WhatThePluginTakesForUtf8) {
    EXPECT_TRUE(PluginTakesForUtf8("<?xml version=\"1.0\" encoding=\"utf-8\"?><GAME>"));
    EXPECT_FALSE(PluginTakesForUtf8("<?xml version=\"1.0\"?><TITLE>UTF-8</TITLE>"));
    EXPECT_TRUE(PluginTakesForUtf8("<TITLE>UTF-8</TITLE>"));
    EXPECT_EQ(EncodingOf("<?xml encoding=\"UTF-8\"?>", "latin1").values, TextEncoding::kTerminal);
}

// Never the terminal's codeset: valid UTF-8 is UTF-8; anything else is what its text shows, or
// in doubt.
TEST(ListEncoding, AnUndeclaredListIsUtf8OrWhatItsTextShows) {
    const ValueEncoding utf8 = EncodingOf("<TITLE>\xE6\x98\x9F</TITLE>", "");
    EXPECT_EQ(utf8.values, TextEncoding::kUtf8);
    EXPECT_EQ(utf8.doubt, "");
    const ValueEncoding shown =
        EncodingOf("<TITLE>\x90\xAF\x8B\xFB\x83}\x81[\x83P\x83\x62\x83g</TITLE>", "");
    EXPECT_EQ(shown.values, TextEncoding::kShiftJis);
    EXPECT_EQ(shown.doubt, "");
    const ValueEncoding doubtful = EncodingOf("<TITLE>\x90\xAF</TITLE>", "");
    EXPECT_EQ(doubtful.values, TextEncoding::kShiftJis) << "the likeliest reading, for show";
    EXPECT_NE(doubtful.doubt.find("does not show clearly"), std::string::npos) << doubtful.doubt;
}

// What the user is told about a list's encoding comes back with it, for the command to print;
// a list that declares an encoding qbt knows gives nothing to warn of.
TEST(ListEncoding, WarningsComeBackWithTheEncoding) {
    const std::pair<const char*, const char*> cases[] = {
        {"<?xml version=\"1.0\" encoding=\"x-made-up\"?><TITLE>A</TITLE>",
         "which qbt does not know"},
        {"<TITLE>\x90\xAF\x8B\xFB\x83}\x81[\x83P\x83\x62\x83g</TITLE>",
         "its text reads as Shift_JIS"},
        {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><TITLE>A</TITLE>", ""},
    };
    for (const auto& [list, warning] : cases) {
        const Result<FoundEncoding> found = ValueEncodingOf(list, "");
        ASSERT_TRUE(found.Ok()) << list;
        if (*warning == '\0') {
            EXPECT_TRUE(found->warnings.empty()) << list;
            continue;
        }
        ASSERT_EQ(found->warnings.size(), 1u) << list;
        EXPECT_NE(found->warnings[0].find(warning), std::string::npos) << found->warnings[0];
    }
    const Result<FoundEncoding> ignored = ValueEncodingOf("<?xml encoding=\"UTF-8\"?>", "latin1");
    ASSERT_TRUE(ignored.Ok());
    EXPECT_EQ(ignored->warnings, std::vector<std::string>{
                                     "--list-encoding latin1 is ignored: the list declares UTF-8, "
                                     "so the plug-in converts its values itself"});
}

}  // namespace
