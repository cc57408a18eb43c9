// Finding a record by key and a field inside it, through the text exports.
#include <gtest/gtest.h>

#include <string>

#include "tests/host_calls.h"

namespace {

TEST(KeySearch, TagsAndKeyMatchInAnyAsciiCase) {
    const std::string list =
        "<?xml version=\"1.0\"?>\n<games><Game><title>Mixed Case</title>"
        "<RomCrc>1a2B3c4D</rOMcrc></gAmE></games>";
    EXPECT_EQ(TitleOf(list, "1A2b3C4d"), "Mixed Case");
    EXPECT_EQ(TitleOf(list, "1a2b3c4d"), "Mixed Case");
}

TEST(KeySearch, PaddedKeyIsPreferredWhereverItLies) {
    const std::string list = Utf8List(
        Game("1234", "<TITLE>plain</TITLE>") + Game("00001234", "<TITLE>padded to 8</TITLE>") +
        Game("0123", "<TITLE>padded to 4</TITLE>") + Game("123", "<TITLE>three</TITLE>"));
    EXPECT_EQ(TitleOf(list, "1234", 0), "padded to 8");
    EXPECT_EQ(TitleOf(list, "1234", 32), "padded to 8");
    EXPECT_EQ(TitleOf(list, "123", 1), "padded to 4");
    EXPECT_EQ(TitleOf(list, "123", 2), "three") << "other key types search the key as given";
    EXPECT_EQ(TitleOf(list, "1234", 1), "plain") << "a key as wide as the width stays";
}

TEST(KeySearch, FallsBackToTheKeyAsGiven) {
    const std::string list =
        Utf8List(Game("1234", "<TITLE>plain</TITLE>") + Game("123456789", "<TITLE>nine</TITLE>"));
    EXPECT_EQ(TitleOf(list, "1234", 0), "plain");
    EXPECT_EQ(TitleOf(list, "123456789", 0), "nine");
    EXPECT_EQ(TitleOf(list, "23456789", 0), ErrKeyNotFound) << "the key must fill the element";
}

TEST(KeySearch, EmptyKeyMatchesZerosThenAnEmptyElement) {
    const std::string zeros =
        Utf8List(Game("", "<TITLE>empty</TITLE>") + Game("0000", "<TITLE>four</TITLE>") +
                 Game("00000000", "<TITLE>eight</TITLE>"));
    EXPECT_EQ(TitleOf(zeros, "", 0), "eight");
    EXPECT_EQ(TitleOf(zeros, "", 1), "four");
    EXPECT_EQ(TitleOf(zeros, "", 7), "empty");
    EXPECT_EQ(TitleOf(Utf8List(Game("", "<TITLE>empty</TITLE>")), "", 0), "empty");
}

TEST(KeySearch, ElementWithAttributesMatchesButNotWithSpacesAroundTheKey) {
    const std::string list = Utf8List(
        "<GAME><TITLE>spaced</TITLE><ROMCRC> ABCD1234 </ROMCRC></GAME>\n"
        "<GAME><TITLE>attributed</TITLE><ROMCRC kind=\"crc32\">ABCD1234</ROMCRC></GAME>");
    EXPECT_EQ(TitleOf(list, "abcd1234"), "attributed");
    EXPECT_EQ(TitleOf(Utf8List("<GAME><ROMCRC> 1 </ROMCRC><TITLE>t</TITLE></GAME>"), "1", 2),
              ErrKeyNotFound);
}

TEST(KeySearch, FirstRecordWinsWhenKeysRepeat) {
    const std::string list = Utf8List(Game("ABCD1234", "<TITLE>first</TITLE>") +
                                      Game("ABCD1234", "<TITLE>second</TITLE>"));
    EXPECT_EQ(TitleOf(list, "ABCD1234"), "first");
}

TEST(FieldSearch, FieldBeforeOrAfterTheKeyInsideTheRecord) {
    const std::string list = Utf8List(
        "<GAME><PUBLISHER>Before Soft</PUBLISHER><ROMCRC>0000000A</ROMCRC>"
        "<TITLE>After</TITLE><SAVETYPE>SRAM</SAVETYPE></GAME>");
    EXPECT_EQ(AskLikeHost(GetMaker, list, "A"), "Before Soft");
    EXPECT_EQ(AskLikeHost(GetTitle, list, "A"), "After");
    EXPECT_EQ(AskLikeHost(GetSaveInfo, list, "A"), "SRAM");
}

TEST(FieldSearch, ValueKeepsWhiteSpaceAndMarkupBetweenTheTags) {
    const std::string list = Utf8List(Game("0000000A", "<TITLE>\n  Two <B>Words</B> \t</TITLE>"));
    EXPECT_EQ(TitleOf(list, "A"), "\n  Two <B>Words</B> \t");
}

TEST(FieldSearch, EmptyElementIsAnEmptyValueNotAFailure) {
    const std::string list = Utf8List(Game("0000000A", "<TITLE></TITLE><SAVETYPE></SAVETYPE>"));
    EXPECT_EQ(GetTitle(list.c_str(), "A", 0, nullptr, 0), 1);
    EXPECT_EQ(AskLikeHost(GetSaveInfo, list, "A"), "");
}

TEST(RecordBoundary, MissingElementDoesNotBorrowTheNextGamesText) {
    const std::string list = Utf8List(Game("0000000A", "<TITLE>first</TITLE>") +
                                      Game("0000000B",
                                           "<TITLE>second</TITLE><SAVETYPE>EEPROM"
                                           "</SAVETYPE>"));
    EXPECT_EQ(AskLikeHost(GetSaveInfo, list, "A"), ErrFieldNotFound);
    EXPECT_EQ(AskLikeHost(GetSaveInfo, list, "B"), "EEPROM");
}

TEST(RecordBoundary, RecordsWithoutClosingTagsEndAtTheNextRecord) {
    const std::string list =
        "<GAME><ROMCRC>0000000A</ROMCRC><GAME><ROMCRC>0000000B</ROMCRC>"
        "<TITLE>second</TITLE>";
    EXPECT_EQ(TitleOf(list, "A"), ErrFieldNotFound);
    EXPECT_EQ(TitleOf(list, "B"), "second");
}

TEST(RecordBoundary, RecordTagWithAttributesDoesNotReachBackToAnEarlierGame) {
    const std::string list =
        Utf8List(Game("0000000A", "<TITLE>earlier</TITLE>") +
                 "<GAME id=\"2\"><ROMCRC>0000000B</ROMCRC><TITLE>attributed</TITLE></GAME>");
    EXPECT_EQ(TitleOf(list, "B"), ErrFieldNotFound);
    EXPECT_EQ(TitleOf("<GAME id=\"1\"><ROMCRC>0000000B</ROMCRC><TITLE>t</TITLE></GAME>", "B"),
              ErrFieldNotFound);
}

TEST(RecordBoundary, KeyOutsideAnyRecordIsFieldNotFound) {
    const std::string list =
        Utf8List(Game("0000000A", "<TITLE>a</TITLE>") + "<ROMCRC>0000000C</ROMCRC>");
    EXPECT_EQ(TitleOf(list, "C"), ErrFieldNotFound);
}

TEST(RecordBoundary, TagsCutByTheRecordEndAreNotFound) {
    const std::string openOnly =
        Utf8List(Game("0000000A", "<TITLE>no end") + Game("0000000B", "<TITLE>b</TITLE>"));
    EXPECT_EQ(TitleOf(openOnly, "A"), ErrFieldNotFound);
    const std::string truncated = "<GAME><ROMCRC>0000000A</ROMCRC><TITLE>cut off</TIT";
    EXPECT_EQ(TitleOf(truncated, "A"), ErrFieldNotFound);
    EXPECT_EQ(TitleOf("<GAME><ROMCRC>0000000A</ROMCRC><TITLE>to the end</TITLE>", "A"),
              "to the end");
}

}  // namespace
