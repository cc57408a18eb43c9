#include "tools/lists/list_detection.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Three titles of each kind, written out in the bytes of their encoding.
const std::vector<std::string> kShiftJis{
    "\x90\xAF\x8B\xFB\x83}\x81[\x83P\x83\x62\x83g",  // 星屑マーケット
    // 髙橋名人の冒険島 ～Ⅱ～: an IBM extension, and the NEC row's Ⅱ
    "\xEE\xE0\x8B\xB4\x96\xBC\x90l\x82\xCC\x96`\x8C\xAF\x93\x87 \x81`\x87U\x81`",
    "\x83h\x83\x89\x83S\x83\x93\x8Aw\x89\x80\x87@"};  // ドラゴン学園①
const std::vector<std::string> kEucJp{
    "\xC0\xB1\xB6\xFD\xA5\xDE\xA1\xBC\xA5\xB1\xA5\xC3\xA5\xC8",  // 星屑マーケット
    "\xCB\xE2\xCB\xA1\xA4\xCE\xA4\xDC\xA4\xA6\xA4\xB1\xA4\xF3",  // 魔法のぼうけん
    "\xC7\xA6\xBC\xD4\xA1\xC1\xC5\xE7"};                         // 忍者〜島
const std::vector<std::string> kHalfWidthKatakana{
    "\xBD\xB0\xCA\xDF\xB0\xC4\xDE\xD7\xBA\xDE\xDD",  // ｽｰﾊﾟｰﾄﾞﾗｺﾞﾝ
    "\xCA\xDF\xBD\xDE\xD9\xDC\xB0\xD9\xC4\xDE",      // ﾊﾟｽﾞﾙﾜｰﾙﾄﾞ
    "\xCA\xDE\xC4\xD9\xBA\xDE\xD9\xCC"};             // ﾊﾞﾄﾙｺﾞﾙﾌ
const std::vector<std::string> kLatin1{"Ch\xE2teau des Brumes", "Die Gl\xFChw\xFCrmchen",
                                       "\xBF\x44\xF3nde est\xE1 Se\xF1or Ni\xF1o?"};
const std::vector<std::string> kWindows1252{"Tom\x92s \x93Quest\x94", "Hero \x96 Tour\x85",
                                            "C\x9Cur de L\xE9gende\x99"};

std::string ListOf(const std::vector<std::string>& titles) {
    std::string list = "<gamelist>\n";
    for (const std::string& title : titles) {
        list += "<GAME><TITLE>" + title + "</TITLE><ROMCRC>0BADF00D</ROMCRC></GAME>\n";
    }
    return list + "</gamelist>\n";
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Case {
    const char* what;
    std::vector<std::string> titles;
    std::optional<TextEncoding> expected;
};

TEST(GuessListEncoding, TakesAnEncodingOnlyOnStrongEvidence) {
    const std::string utf8 = "\xE6\x98\x9F\xE5\xB1\x91";  // 星屑
    const Case cases[] = {
        {"Shift_JIS", kShiftJis, TextEncoding::kShiftJis},
        {"EUC-JP", kEucJp, TextEncoding::kEucJp},
        {"half-width katakana: the voicing marks tell", kHalfWidthKatakana,
         TextEncoding::kShiftJis},
        {"Latin-1, which code page 932 would also decode", kLatin1, TextEncoding::kWindows1252},
        {"Windows-1252's quotes, dashes and œ", kWindows1252, TextEncoding::kWindows1252},
        {"one accented word is too little", {"Pok\xE9mon Tour"}, std::nullopt},
        {"a Latin-1 title among Shift_JIS ones", kShiftJis + kShiftJis + kLatin1, std::nullopt},
        {"a Latin-1 title among UTF-8 ones", {utf8, utf8, utf8, kLatin1[0]}, std::nullopt},
        {"ISO-8859-15's œ would read as ½",
         {"C\xBDur du Ch\xE2teau", "S\xBDur \xC9lan", "\xBCil de For\xEAt"},
         std::nullopt},
        {"bytes no encoding here reads", {"\x80\x81\xFF\xFE\xA0\xFD"}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GuessListEncoding(ListOf(c.titles)).encoding, c.expected) << c.what;
    }
}

}  // namespace
