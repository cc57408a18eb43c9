#include "tools/host/list_encoding.h"

#include <gtest/gtest.h>

#include "tools/os/errors.h"

namespace {

constexpr std::string_view kUndeclaredList = "<games><GAME><ROMCRC>1</ROMCRC></GAME></games>";

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
        EXPECT_EQ(ValueEncodingOf(kUndeclaredList, name).values, encoding) << name;
        const std::string declared = "<?xml version=\"1.0\" encoding=\"" + std::string(name) +
                                     "\"?>" + std::string(kUndeclaredList);
        if (encoding != TextEncoding::kUtf8 || std::string_view(name) != "UTF-8") {
            EXPECT_EQ(ValueEncodingOf(declared, "").values, encoding) << name;
        }
    }
    EXPECT_FALSE(IsKnownListEncoding("UTF-16"));
    EXPECT_THROW(ValueEncodingOf(kUndeclaredList, "x-made-up"), ToolError);
}

// The plug-in converts a list it takes for UTF-8 itself, into the terminal's codeset.
TEST(ListEncoding, WhatThePluginTakesForUtf8) {
    EXPECT_TRUE(PluginTakesForUtf8("<?xml version=\"1.0\" encoding=\"utf-8\"?><GAME>"));
    EXPECT_FALSE(PluginTakesForUtf8("<?xml version=\"1.0\"?><TITLE>UTF-8</TITLE>"));
    EXPECT_TRUE(PluginTakesForUtf8("<TITLE>UTF-8</TITLE>"));
    EXPECT_EQ(ValueEncodingOf("<?xml encoding=\"UTF-8\"?>", "latin1").values,
              TextEncoding::kTerminal);
}

// Never the terminal's codeset: valid UTF-8 is UTF-8; anything else is what its text shows, or
// in doubt.
TEST(ListEncoding, AnUndeclaredListIsUtf8OrWhatItsTextShows) {
    const ValueEncoding utf8 = ValueEncodingOf("<TITLE>\xE6\x98\x9F</TITLE>", "");
    EXPECT_EQ(utf8.values, TextEncoding::kUtf8);
    EXPECT_EQ(utf8.doubt, "");
    const ValueEncoding shown =
        ValueEncodingOf("<TITLE>\x90\xAF\x8B\xFB\x83}\x81[\x83P\x83\x62\x83g</TITLE>", "");
    EXPECT_EQ(shown.values, TextEncoding::kShiftJis);
    EXPECT_EQ(shown.doubt, "");
    const ValueEncoding doubtful = ValueEncodingOf("<TITLE>\x90\xAF</TITLE>", "");
    EXPECT_EQ(doubtful.values, TextEncoding::kShiftJis) << "the likeliest reading, for show";
    EXPECT_NE(doubtful.doubt.find("does not show clearly"), std::string::npos) << doubtful.doubt;
}

}  // namespace
