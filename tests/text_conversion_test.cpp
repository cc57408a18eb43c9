// Which lists are converted from UTF-8, what the conversion gives, and entity decoding.
#include <gtest/gtest.h>

#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "tests/host_calls.h"
#include "tests/scoped_locale.h"

namespace {

const std::string kTesutoUtf8 = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";  // テスト
const std::string kTesutoShiftJis = "\x83\x65\x83\x58\x83\x67";
const std::string kGameUtf8 = "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0";  // ゲーム
const std::string kGameShiftJis = "\x83\x51\x81\x5B\x83\x80";

HostAnswer TitleOf(const std::string& list) { return ::TitleOf(list, "A"); }

HostAnswer Utf8TitleOf(const std::string& title) {
    return TitleOf(Utf8List(Game("0000000A", "<TITLE>" + title + "</TITLE>")));
}

std::string ListWithTitle(std::string_view declaration, std::string_view title) {
    std::string list(declaration);
    list.append("\n<GAMES>").append(Game("0000000A", "<TITLE>" + std::string(title) + "</TITLE>"));
    return list.append("</GAMES>\n");
}

// Makes Shift_JIS the ANSI code page for the rest of the test. On Windows that is the system's
// code page, which no program changes: Wine takes it from LC_ALL, and ja_JP.UTF-8 gives 932.
#if defined(_WIN32)
#define USE_SHIFT_JIS_ANSI_CODE_PAGE() \
    ASSERT_EQ(GetACP(), 932U) << "run under Wine with LC_ALL=ja_JP.UTF-8 (see tests/windows)"
#else
#define USE_SHIFT_JIS_ANSI_CODE_PAGE() USE_LOCALE(shiftJis, kShiftJisLocale)
#endif

TEST(Utf8Conversion, JapaneseTitleComesOutAsShiftJisUnderAShiftJisLocale) {
    USE_SHIFT_JIS_ANSI_CODE_PAGE();
    EXPECT_EQ(Utf8TitleOf(kTesutoUtf8 + " 2 " + kGameUtf8),
              kTesutoShiftJis + " 2 " + kGameShiftJis);
}

// Values are converted in place while short and on the heap beyond that: lengths on both sides
// of each buffer's end (a few hundred bytes and units) come out whole, entities decoded.
TEST(Utf8Conversion, LongTitlesComeOutWhole) {
    USE_SHIFT_JIS_ANSI_CODE_PAGE();
    for (const std::size_t count : {25, 26, 35, 36, 37, 63, 64, 65, 1000}) {
        std::string utf8 = "&amp;";
        std::string shiftJis = "&";
        for (std::size_t i = 0; i < count; ++i) {
            utf8 += i % 2 ? kTesutoUtf8 + "ab" : kGameUtf8;  // 11 or 9 bytes, 5 or 3 units
            shiftJis += i % 2 ? kTesutoShiftJis + "ab" : kGameShiftJis;
        }
        EXPECT_EQ(Utf8TitleOf(utf8), shiftJis) << count;
        EXPECT_EQ(Utf8TitleOf(std::string(count * 4, 'x')), std::string(count * 4, 'x')) << count;
    }
}

#if !defined(_WIN32)
TEST(Utf8Conversion, TextPassesThroughUnderAUtf8Locale) {
    USE_LOCALE(utf8, kUtf8Locale);
    const std::string title = kTesutoUtf8 + " caf\xC3\xA9 \xFF";
    EXPECT_EQ(Utf8TitleOf(title), title);
}
#endif

TEST(Utf8Conversion, CharactersTheCodesetCannotHoldBecomeQuestionMarks) {
    USE_SHIFT_JIS_ANSI_CODE_PAGE();
    // U+D55C (a Hangul syllable) has no Shift_JIS form, nor a look-alike; 0xFF and a cut-off
    // sequence are not UTF-8 at all.
#if defined(_WIN32)
    const std::string cutOffSequence = "?";  // Windows replaces an ill-formed sequence whole
#else
    const std::string cutOffSequence = "??";  // one "?" for each byte that is not UTF-8
#endif
    EXPECT_EQ(Utf8TitleOf("caf\xED\x95\x9C \xFF " + kTesutoUtf8 + "\xE3\x83"),
              "caf? ? " + kTesutoShiftJis + cutOffSequence);
}

// Code page 932 holds the NEC and IBM rows that plain Shift_JIS lacks, and has "～" as U+FF5E.
TEST(Utf8Conversion, ShiftJisMeansCodePage932) {
    USE_SHIFT_JIS_ANSI_CODE_PAGE();
    const std::string tildeCircledOneTaka = "\xEF\xBD\x9E\xE2\x91\xA0\xE9\xAB\x99";  // ～①髙
    EXPECT_EQ(Utf8TitleOf(tildeCircledOneTaka), "\x81\x60\x87\x40\xFB\xFC");
}

#if !defined(_WIN32)
// A host that never chose a locale gets the codeset of the locale its environment names
// (environment_locale_host checks that); only when that names none does ASCII stand.
TEST(Utf8Conversion, CLocaleWithoutAnEnvironmentLocaleGetsAscii) {
    USE_LOCALE(plain, "C");
    for (const char* environment : {"C", "xx_XX.NOWHERE"}) {
        ScopedEnvironmentVariable named("LC_ALL", environment);
        EXPECT_EQ(Utf8TitleOf(kTesutoUtf8 + "!"),
                  "???"
                  "!")  // kept apart from the "?"s so it is no trigraph
            << environment;
    }
    ScopedEnvironmentVariable named("LC_ALL", kShiftJisLocale);
    EXPECT_EQ(Utf8TitleOf(kTesutoUtf8 + "!"), kTesutoShiftJis + "!")
        << "the environment's locale is read anew";
}
#else
TEST(Utf8Conversion, FollowsTheSystemCodePageWhateverTheRuntimeLocale) {
    USE_SHIFT_JIS_ANSI_CODE_PAGE();
    USE_LOCALE(western, ".1252");
    EXPECT_EQ(Utf8TitleOf(kTesutoUtf8), kTesutoShiftJis);
}
#endif

TEST(EncodingTest, DeclarationDecidesInAnyLetterCase) {
    USE_SHIFT_JIS_ANSI_CODE_PAGE();
    EXPECT_EQ(TitleOf(ListWithTitle("<?xml version=\"1.0\" encoding=\"utf-8\"?>", kTesutoUtf8)),
              kTesutoShiftJis);
    EXPECT_EQ(TitleOf(ListWithTitle("<?XML ENCODING='Utf-8' ?>", kTesutoUtf8)), kTesutoShiftJis);
}

TEST(EncodingTest, OtherListsKeepTheirOwnBytes) {
    USE_SHIFT_JIS_ANSI_CODE_PAGE();
    // Shift_JIS trail bytes 0x65 and 0x67 are 'e' and 'g': the value must be cut from the text
    // as it is, not from an upper-cased form of it.
    EXPECT_EQ(
        TitleOf(ListWithTitle("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", kTesutoShiftJis)),
        kTesutoShiftJis);
    // "UTF-8" after the declaration's end does not count.
    EXPECT_EQ(TitleOf(ListWithTitle("<?xml version=\"1.0\"?>", kTesutoUtf8 + " UTF-8")),
              kTesutoUtf8 + " UTF-8");
}

TEST(EncodingTest, WithoutADeclarationUtf8AnywhereCounts) {
    USE_SHIFT_JIS_ANSI_CODE_PAGE();
    EXPECT_EQ(TitleOf(ListWithTitle("", kTesutoUtf8 + " (utf-8 edition)")),
              kTesutoShiftJis + " (utf-8 edition)");
    EXPECT_EQ(TitleOf(ListWithTitle("", kTesutoUtf8)), kTesutoUtf8);
}

TEST(Entities, FivePredefinedEntitiesInOrder) {
    const std::string list =
        Utf8List(Game("0000000A",
                      "<PUBLISHER>Salt &amp; Pepper</PUBLISHER>"
                      "<TITLE>&lt;b&gt; &quot;q&quot; &apos;a&apos; &amp;lt; &amp;amp;</TITLE>"
                      "<SAVETYPE>&#38; &#x26; &nbsp; &AMP; &amp</SAVETYPE>"));
    EXPECT_EQ(AskLikeHost(GetMaker, list, "A"), "Salt & Pepper");
    // "&amp;" is decoded first, and a "&lt;" it forms is decoded by the next step; "&amp;amp;"
    // gives "&amp;" because replaced text is not scanned again.
    EXPECT_EQ(AskLikeHost(GetTitle, list, "A"), "<b> \"q\" 'a' < &amp;");
    EXPECT_EQ(AskLikeHost(GetSaveInfo, list, "A"), "&#38; &#x26; &nbsp; &AMP; &amp");
}

TEST(Entities, DecodedAfterConversionSoLengthsAreOfTheDecodedText) {
    USE_SHIFT_JIS_ANSI_CODE_PAGE();
    // The host's size query and copy (checked against each other) see the decoded length.
    EXPECT_EQ(Utf8TitleOf(kTesutoUtf8 + " &amp; " + kGameUtf8),
              kTesutoShiftJis + " & " + kGameShiftJis);
}

}  // namespace
