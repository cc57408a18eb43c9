// qbt on lists in encodings other than UTF-8: the plug-in hands their bytes back as they are, and
// the tool reads them in the list's declared encoding, for the table and for JSON.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/tests/tool_test.h"

using nlohmann::json;

namespace {

constexpr const char* kKey = "12345678";

// 月見ソフト～ in code page 932: "ソ" ends in the byte of '\', and "～" is 0x8160, which code
// page 932 reads as U+FF5E where plain Shift_JIS reads U+301C.
constexpr const char* kShiftJisTitle = kStardustInShiftJis;
constexpr const char* kShiftJisPublisher = "\x8C\x8E\x8C\xA9\x83\x5C\x83\x74\x83\x67\x81\x60";
constexpr const char* kEucJpTitle = "\xC0\xB1\xB6\xFD\xA5\xDE\xA1\xBC\xA5\xB1\xA5\xC3\xA5\xC8";
constexpr const char* kLatin1Title = "Ch\xE2teau des Brumes";
constexpr const char* kLatin1Publisher = "Die Gl\xFChw\xFCrmchen";

std::string OneGameList(const std::string& declaration, const std::string& title,
                        const std::string& publisher = "P") {
    return declaration + "\n<gamelist><games><GAME><TITLE>" + title + "</TITLE><PUBLISHER>" +
           publisher + "</PUBLISHER><ROMCRC>" + kKey + "</ROMCRC></GAME></games></gamelist>\n";
}

class QbtListEncoding : public ToolTest {
protected:
    // The JSON answer for kKey, and the table's row for it as UTF-8.
    struct Answers {
        json answer;
        std::string row;
        std::string err;
    };
    Answers LookUp(const std::string& list, const std::vector<std::string>& options = {},
                   const std::vector<std::string>& environment = {}) {
        WriteFile(scratch_ / "list.xml", list);
        std::vector<std::string> arguments{"lookup", "--list", Utf8(scratch_ / "list.xml")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(kKey);
        const QbtRun table = Qbt(arguments, environment);
        arguments.insert(arguments.begin() + 1, "--json");
        const QbtRun jsonRun = Qbt(arguments, environment);
        EXPECT_EQ(jsonRun.exitCode, 0) << jsonRun.err;
        EXPECT_EQ(table.err, jsonRun.err);
        return {json::parse(jsonRun.out)[0], table.out.substr(table.out.find('\n') + 1),
                jsonRun.err};
    }
};

TEST_F(QbtListEncoding, ShiftJisListIsReadAsCodePage932) {
    const Answers answers = LookUp(OneGameList("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>",
                                               kShiftJisTitle, kShiftJisPublisher));
    EXPECT_EQ(answers.answer["title"], "星屑マーケット");
    EXPECT_EQ(answers.answer["publisher"], "月見ソフト～");
    EXPECT_EQ(answers.row,
              "12345678  月見ソフト～  星屑マーケット  <field missing>  <field missing>  "
              "<field missing>  <field missing>\n");
    EXPECT_EQ(answers.err, "");
}

TEST_F(QbtListEncoding, EucJpListInAnyLetterCase) {
    const Answers answers =
        LookUp(OneGameList("<?xml version='1.0' encoding = 'euc-jp' ?>", kEucJpTitle));
    EXPECT_EQ(answers.answer["title"], "星屑マーケット");
    EXPECT_NE(answers.row.find("  星屑マーケット  "), std::string::npos) << answers.row;
}

// Also a list that lies about its encoding, put right by --list-encoding.
TEST_F(QbtListEncoding, Latin1ListAndOverride) {
    const std::string titles[] = {"Château des Brumes", "Die Glühwürmchen"};
    const Answers declared = LookUp(OneGameList("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
                                                kLatin1Title, kLatin1Publisher));
    EXPECT_EQ(declared.answer["title"], titles[0]);
    EXPECT_EQ(declared.answer["publisher"], titles[1]);

    const Answers overridden = LookUp(OneGameList("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>",
                                                  kLatin1Title, kLatin1Publisher),
                                      {"--list-encoding", "latin1"});
    EXPECT_EQ(overridden.answer["title"], titles[0]);
    EXPECT_EQ(overridden.answer["publisher"], titles[1]);

    // From a list that declares UTF-8 the plug-in has converted the values already.
    const QbtRun utf8List = Qbt({"lookup", "--list-encoding", "latin1", "B737FB1A"});
    EXPECT_EQ(utf8List.exitCode, 0);
    EXPECT_NE(utf8List.err.find("--list-encoding latin1 is ignored: the list declares UTF-8"),
              std::string::npos)
        << utf8List.err;
}

#ifndef _WIN32
// Read as UTF-8 whatever the terminal's codeset: here Shift_JIS.
TEST_F(QbtListEncoding, ListWithoutDeclarationThatIsValidUtf8IsUtf8) {
    const Answers answers = LookUp(OneGameList("", "星屑マーケット"), {}, ShiftJisTerminal());
    EXPECT_EQ(answers.answer["title"], "星屑マーケット");
    EXPECT_NE(answers.row.find(std::string("  ") + kShiftJisTitle + "  "), std::string::npos)
        << answers.row;
}
#endif

TEST_F(QbtListEncoding, UnknownDeclaredEncodingIsWarnedAboutAndTheListReadAsUndeclared) {
    const Answers answers =
        LookUp(OneGameList("<?xml version=\"1.0\" encoding=\"x-made-up\"?>", "星屑マーケット"));
    EXPECT_EQ(answers.answer["title"], "星屑マーケット");
    EXPECT_EQ(answers.err,
              "qbt: warning: the list declares the encoding \"x-made-up\", which qbt does not "
              "know, and is valid UTF-8: its values are read as UTF-8 (--list-encoding names the "
              "right one)\n");

    const QbtRun unknownOverride = Qbt({"lookup", "--list-encoding", "x-made-up", kKey});
    EXPECT_EQ(unknownOverride.exitCode, 2);
    EXPECT_NE(unknownOverride.err.find("unknown list encoding \"x-made-up\""), std::string::npos)
        << unknownOverride.err;
}

}  // namespace
