// Region label, release number and media line: fields the plug-in derives from element text.
#include <gtest/gtest.h>

#include <string>

#include "tests/host_calls.h"
#include "tests/scoped_locale.h"

namespace {

std::string ListWith(std::string_view elements) { return Utf8List(Game("0000000A", elements)); }

HostAnswer CountryOf(std::string_view location) {
    return AskLikeHost(GetCountry, ListWith("<LOCATION>" + std::string(location) + "</LOCATION>"),
                       "A");
}

int32_t ReleaseNumberOf(std::string_view number) {
    const std::string list = ListWith("<RELEASENUMBER>" + std::string(number) + "</RELEASENUMBER>");
    return GetImgNum(list.c_str(), "A", 0);
}

HostAnswer MediaOf(std::string_view elements) {
    return AskLikeHost(GetMediaInfo, ListWith(elements), "A");
}

TEST(RegionLabel, CodesMapThroughTheTable) {
    EXPECT_EQ(CountryOf("7"), "(J)");
    EXPECT_EQ(CountryOf("0"), "(E)");
    EXPECT_EQ(CountryOf("10"), "Denmark");
    EXPECT_EQ(CountryOf("22"), "South Korea");
    EXPECT_EQ(CountryOf("25"), "USA Brazil");
}

TEST(RegionLabel, CodeIsReadLikeAtoi) {
    EXPECT_EQ(CountryOf("007"), "(J)");
    EXPECT_EQ(CountryOf(" \t\n7"), "(J)");
    EXPECT_EQ(CountryOf("+7"), "(J)");
    EXPECT_EQ(CountryOf("7 (Japan)"), "(J)");
    EXPECT_EQ(CountryOf("-0"), "(E)");
    EXPECT_EQ(CountryOf("+0"), "(E)");
    EXPECT_EQ(CountryOf("0abc"), "(E)");
}

// Read as 0, these would all claim Europe.
TEST(RegionLabel, TextWithoutANumberIsNoRegion) {
    for (const char* text : {"", "  \t", "Japan", "J7", "-", "+ 7", "--7", "&#55;"}) {
        EXPECT_EQ(CountryOf(text), ErrEmptyValue) << '"' << text << '"';
    }
    EXPECT_EQ(CountryOf(std::string(254, ' ') + "7"), ErrEmptyValue) << "digit past 254 bytes";
}

TEST(RegionLabel, CodesOutsideTheTableAreEmpty) {
    for (const char* code : {"26", "-1", "-2147483648", "4294967303", "99999999999999999999"}) {
        EXPECT_EQ(CountryOf(code), ErrEmptyValue) << code;
    }
}

TEST(RegionLabel, LookupFailuresPassThrough) {
    EXPECT_EQ(AskLikeHost(GetCountry, ListWith("<LOCATION>7</LOCATION>"), "B"), ErrKeyNotFound);
    EXPECT_EQ(AskLikeHost(GetCountry, ListWith("<LOCATION>7"), "A"), ErrFieldNotFound);
}

TEST(ReleaseNumber, LeadingDigitsAreTheNumber) {
    EXPECT_EQ(ReleaseNumberOf("0042"), 42);
    EXPECT_EQ(ReleaseNumberOf("1234"), 1234);
    EXPECT_EQ(ReleaseNumberOf("12ab"), 12);
    EXPECT_EQ(ReleaseNumberOf("0"), 0);
    EXPECT_EQ(ReleaseNumberOf("Beta"), 0) << "a leading letter reads as 0";
}

TEST(ReleaseNumber, HugeNumbersSaturate) {
    EXPECT_EQ(ReleaseNumberOf("2147483647"), 2147483647);
    EXPECT_EQ(ReleaseNumberOf("2147483648"), 2147483647);
    EXPECT_EQ(ReleaseNumberOf(std::string(300, '9')), 2147483647);
}

TEST(ReleaseNumber, EmptyOrNotStartingWithLetterOrDigit) {
    EXPECT_EQ(ReleaseNumberOf(""), ErrEmptyValue);
    EXPECT_EQ(ReleaseNumberOf(" 12"), ErrBadValue);
    EXPECT_EQ(ReleaseNumberOf("-5"), ErrBadValue);
    EXPECT_EQ(ReleaseNumberOf("+5"), ErrBadValue);
    EXPECT_EQ(ReleaseNumberOf("#12"), ErrBadValue);
    EXPECT_EQ(ReleaseNumberOf("&amp;1"), ErrBadValue) << "classified after entity decoding";
}

#if !defined(_WIN32)
TEST(ReleaseNumber, FirstCharacterIsClassifiedInTheCallersLocale) {
    const std::string accented = "\xC3\xA9t\xC3\xA9";  // "été" in UTF-8
    {
        USE_LOCALE(utf8, kUtf8Locale);
        EXPECT_EQ(ReleaseNumberOf(accented), 0) << "a letter outside ASCII is still a letter";
        EXPECT_EQ(ReleaseNumberOf("\xEF\xBC\x91\xEF\xBC\x92"), 0) << "full-width digits";
        EXPECT_EQ(ReleaseNumberOf("\xE3\x80\x80"
                                  "12"),
                  ErrBadValue)
            << "ideographic space";
    }
    USE_LOCALE(plain, "C");
    EXPECT_EQ(ReleaseNumberOf(accented), ErrBadValue) << "does not decode in the C locale";
}
#else
// The text comes from a list without a UTF-8 declaration, so its Shift_JIS bytes reach the
// classification unconverted, and decode as the host's locale says.
TEST(ReleaseNumber, FirstCharacterIsClassifiedInTheHostsLocale) {
    const auto releaseNumberOf = [](std::string_view number) {
        const std::string list =
            Game("0000000A", "<RELEASENUMBER>" + std::string(number) + "</RELEASENUMBER>");
        return GetImgNum(list.c_str(), "A", 0);
    };
    const std::string fullWidthDigits = "\x82\x50\x82\x51";  // "１２"
    {
        USE_LOCALE(japanese, kShiftJisLocale);
        EXPECT_EQ(releaseNumberOf(fullWidthDigits), 0) << "full-width digits";
        EXPECT_EQ(releaseNumberOf("\x81\x40"
                                  "12"),
                  ErrBadValue)
            << "ideographic space";
        EXPECT_EQ(releaseNumberOf("\x82"), ErrBadValue) << "a lead byte alone does not decode";
    }
    USE_LOCALE(plain, "C");
    EXPECT_EQ(releaseNumberOf(fullWidthDigits), ErrBadValue) << "0x82 is a control character";
}
#endif

TEST(ReleaseNumber, LookupFailuresPassThrough) {
    const std::string list = ListWith("<RELEASENUMBER>12</RELEASENUMBER>");
    EXPECT_EQ(GetImgNum(list.c_str(), "B", 0), ErrKeyNotFound);
    EXPECT_EQ(GetImgNum(ListWith("<TITLE>x</TITLE>").c_str(), "A", 0), ErrFieldNotFound);
}

TEST(MediaInfo, JoinsWhicheverPartsHaveText) {
    EXPECT_EQ(MediaOf("<ROMSIZE>32 Mbit</ROMSIZE><SOURCEROM>Cart &amp; Box</SOURCEROM>"),
              "RomSize:32 Mbit / SrcRom:Cart & Box");
    EXPECT_EQ(MediaOf("<ROMSIZE>32 Mbit</ROMSIZE><SOURCEROM></SOURCEROM>"), "RomSize:32 Mbit");
    EXPECT_EQ(MediaOf("<ROMSIZE>32 Mbit</ROMSIZE>"), "RomSize:32 Mbit");
    EXPECT_EQ(MediaOf("<ROMSIZE></ROMSIZE><SOURCEROM>Disk</SOURCEROM>"), " / SrcRom:Disk");
    EXPECT_EQ(MediaOf("<SOURCEROM>Disk</SOURCEROM>"), " / SrcRom:Disk");
}

TEST(MediaInfo, EmptyWhenNeitherPartHasText) {
    EXPECT_EQ(MediaOf("<ROMSIZE></ROMSIZE><SOURCEROM></SOURCEROM>"), ErrEmptyValue);
    EXPECT_EQ(MediaOf("<SOURCEROM></SOURCEROM>"), ErrEmptyValue);
    EXPECT_EQ(MediaOf("<TITLE>neither</TITLE>"), ErrFieldNotFound);
    EXPECT_EQ(AskLikeHost(GetMediaInfo, ListWith("<ROMSIZE>8</ROMSIZE>"), "B"), ErrKeyNotFound);
}

TEST(DerivedFields, ReadFromAtMost254BytesOfFieldText) {
    const std::string size(300, 's');
    const std::string source(300, 'r');
    EXPECT_EQ(MediaOf("<ROMSIZE>" + size + "</ROMSIZE><SOURCEROM>" + source + "</SOURCEROM>"),
              "RomSize:" + size.substr(0, 254) + " / SrcRom:" + source.substr(0, 254));
    // The 255th byte is never read.
    EXPECT_EQ(CountryOf(std::string(252, '0') + "17"), "(EUJ)");
    EXPECT_EQ(CountryOf(std::string(253, '0') + "17"), "(U)");
    EXPECT_EQ(CountryOf(std::string(254, '0') + "7"), "(E)");
}

}  // namespace
