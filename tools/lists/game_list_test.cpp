#include "tools/lists/game_list.h"
#include "tools/system/text_encoding.h"

#include "tools/tests/scratch.h"

namespace {

using GameListTest = ScratchTest;

// Each file either holds a game (a </ROMCRC> in any letter case) or is refused, saying why.
TEST_F(GameListTest, AListWithNoGameIsRefusedSayingWhy) {
    const std::pair<std::string, const char*> files[] = {
        {"<game><romcrc>0BADF00D</RomCrc></game>", ""},
        {"", "it is empty"},
        {std::string("PK\x03\x04\x14\0\0\0", 8), "it is a zip archive"},
        {std::string("<\0G\0A\0M\0E\0>\0<\0/\0R\0O\0M\0C\0R\0C\0>\0", 30),
         "UTF-16 without a byte-order mark"},
        {"\x01\x02\x7F\x80\xFF<ROMCRC>", "it is not text"},
        // An executable's header: zeros in both halves of its pairs.
        {std::string("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3E\0\x01\0\0\0"
                     "\x40\x10\0\0\0\0\0\0</ROMCRC>", 41),
         "it is not text"},
        {std::string("\0<GAME><ROMCRC>1</ROMCRC>", 25), "it is not text"},
        {"<gamelist><GAME><TITLE>A</TITLE></GAME></gamelist>", "no game found in it"},
    };
    for (const auto& [content, why] : files) {
        WriteFile(scratch_ / "list.xml", content);
        const Result<std::string> read = ReadGameList(scratch_ / "list.xml");
        if (*why == '\0') {
            ASSERT_TRUE(read.Ok()) << read.Why().message;
            EXPECT_EQ(*read, content);
            continue;
        }
        ASSERT_FALSE(read.Ok()) << why;
        EXPECT_EQ(read.Why().kind, FailureKind::kCannotRead);
        EXPECT_NE(read.Why().message.find(why), std::string::npos) << read.Why().message;
    }
}

// A host that reads Unicode files hands the plug-in UTF-8, its declaration saying so.
TEST_F(GameListTest, Utf16WithAByteOrderMarkBecomesUtf8) {
    const std::string body = "<GAME><TITLE>\xE6\x98\x9F</TITLE><ROMCRC>1</ROMCRC></GAME>";
    std::string little = "\xFF\xFE";
    std::string big = "\xFE\xFF";
    for (const char c : "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body) {
        const char16_t unit = c == '\xE6' ? u'\u661F' : static_cast<unsigned char>(c);
        if (c == '\x98' || c == '\x9F') continue;  // the rest of 星
        little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    }
    for (const std::string& bytes : {little, big}) {
        WriteFile(scratch_ / "list.xml", bytes);
        EXPECT_EQ(*ReadGameList(scratch_ / "list.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body);
    }
    // A pair of surrogates is one character; a lone one and an odd last byte are not UTF-16.
    EXPECT_EQ(Utf16ToUtf8(std::string("\x3D\xD8\x2E\xDE\x00\xD8\x41\x00\x42", 9), false),
              "\xF0\x9F\x98\xAE\xEF\xBF\xBD"
              "A\xEF\xBF\xBD");
}

TEST(DeclaredAsUtf8, TheDeclarationNamesUtf8) {
    const std::pair<const char*, const char*> lists[] = {
        {"<?xml version='1.0' encoding='UTF-16'?><G/>",
         "<?xml version='1.0' encoding='UTF-8'?><G/>"},
        {"<?xml version=\"1.0\"?><G/>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><G/>"},
        {"<G/>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<G/>"},
    };
    for (const auto& [list, declared] : lists) EXPECT_EQ(DeclaredAsUtf8(list), declared);
}

}  // namespace
