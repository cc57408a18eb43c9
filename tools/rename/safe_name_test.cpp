#include "tools/rename/safe_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SafeFileName, ForbiddenAndControlCharactersBecomeUnderscores) {
    for (const char forbidden : std::string("\\/:*?\"<>|\x01\x1F\x7F")) {
        EXPECT_EQ(SafeFileName(std::string("a") + forbidden + "b", ".gba"), "a_b.gba")
            << static_cast<int>(forbidden);
    }
    EXPECT_EQ(SafeFileName("Mole & Marmot: Tunnel", ".gba"), "Mole & Marmot_ Tunnel.gba");
    EXPECT_EQ(SafeFileName(".hack//Outbreak", ".gba"), "_hack__Outbreak.gba")
        << "a name that begins with a dot is hidden on Linux and macOS";
}

// They would show a name other than the one it is: "a\u202Eabg.exe" reads "aexe.gba".
TEST(SafeFileName, BidirectionalControlsGoAndJoinersStay) {
    for (const char* control : {"\u061C", "\u200E", "\u200F", "\u202A", "\u202B", "\u202C",
                                "\u202D", "\u202E", "\u2066", "\u2067", "\u2068", "\u2069"}) {
        EXPECT_EQ(SafeFileName(std::string("RTL ") + control + "evil", ".gba"), "RTL evil.gba")
            << control;
    }
    // Zero-width joiners and the characters beside the controls are text.
    EXPECT_EQ(SafeFileName("\u200D\u200C\u2029\u2065\u202F\u061B", ".gba"),
              "\u200D\u200C\u2029\u2065\u202F\u061B.gba");
}

TEST(SafeFileName, ReservedDeviceNamesInAnyLetterCaseGetAnUnderscore) {
    for (const char* device :
         {"CON", "prn", "Aux", "nUL", "COM1", "com5", "COM9", "LPT1", "lpt9"}) {
        EXPECT_EQ(SafeFileName(device, ".gba"), std::string(device) + "_.gba") << device;
        EXPECT_EQ(SafeFileName(std::string(device) + ".B737FB1A", ".gba"),
                  std::string(device) + "_.B737FB1A.gba")
            << "reserved before the first dot";
    }
    for (const char* name : {"COM0", "COM10", "LPT", "CONSOLE", "A.CON"}) {
        EXPECT_EQ(SafeFileName(name, ".gba"), std::string(name) + ".gba") << name;
    }
}

TEST(SafeFileName, TrailingDotsAndSpacesGoAndNothingLeftIsNoName) {
    EXPECT_EQ(SafeFileName("Title . . ", ".gba"), "Title.gba");
    EXPECT_EQ(SafeFileName("Title", "."), "Title");
    EXPECT_EQ(SafeFileName(" . ", ".gba"), "");
    EXPECT_EQ(SafeFileName("", ".gba"), "");
}

// 255 bytes on Linux, 255 UTF-16 units on Windows; a character is never cut.
TEST(SafeFileName, LongNamesAreCutBetweenCharactersKeepingTheExtension) {
    std::string japanese;  // three UTF-8 bytes, one UTF-16 unit each
    for (int copy = 0; copy < 100; ++copy) japanese += "星";
    std::string emoji;  // four UTF-8 bytes, two UTF-16 units each
    for (int copy = 0; copy < 100; ++copy) emoji += "\xF0\x9F\x8E\xAE";
#ifdef _WIN32
    EXPECT_EQ(SafeFileName(japanese, ".gba"), japanese + ".gba");
    EXPECT_EQ(SafeFileName(emoji, ".gba"), emoji.substr(0, 125 * 4) + ".gba");
#else
    EXPECT_EQ(SafeFileName(japanese, ".gba"), japanese.substr(0, 83 * 3) + ".gba");
    EXPECT_EQ(SafeFileName(emoji, ".gba"), emoji.substr(0, 62 * 4) + ".gba");
#endif
    EXPECT_EQ(SafeFileName(std::string(300, 'a') + " ", ".gba"), std::string(251, 'a') + ".gba");
    EXPECT_EQ(SafeFileName("a", "." + std::string(260, 'x')), "") << "no room for the stem";
}

}  // namespace
