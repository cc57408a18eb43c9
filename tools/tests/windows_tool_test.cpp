// What only the Windows build of qbt does: it has no scan, and it loads the plug-in through the
// ANSI code page as a host does.
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tools/tests/tool_test.h"

namespace {

using QbtOnWindows = ToolTest;

TEST_F(QbtOnWindows, HelpSaysScanIsNotInThisBuild) {
    const QbtRun help = Qbt({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.find("\n  scan "), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("scan (ROM files and zip archives) is not in this build"),
              std::string::npos)
        << help.out;

    const QbtRun scan = Qbt({"scan", "--list", "games.xml", "rom.gba"});
    EXPECT_EQ(scan.exitCode, 2);
    EXPECT_TRUE(scan.err.starts_with("scan (ROM files and zip archives) is not in this build"))
        << scan.err;
}

// Hangul has no form in code page 932, so LoadLibraryA cannot be given this path; the tool says
// so instead of trying a name with '?' in it.
TEST_F(QbtOnWindows, PluginPathOutsideTheAnsiCodePageIsRefusedClearly) {
    const std::filesystem::path tool = CopyToolAndPlugin(scratch_ / u8"바람");
    const QbtRun info = RunQbt(tool, {"info"}, {}, scratch_);
    EXPECT_EQ(info.exitCode, 4);
    EXPECT_TRUE(info.err.ends_with(": its path cannot be written in the ANSI code page\n"))
        << info.err;
}

// A Western Windows (code page 1252; Wine takes it from LC_ALL): a Latin-1 list's accents reach
// the table as they are, a Shift_JIS list's Japanese becomes '?' there, and JSON holds both.
TEST_F(QbtOnWindows, WesternCodePageShowsLatin1AndShiftJisListsRight) {
    const std::vector<std::string> western{"LC_ALL=en_US.UTF-8"};
    const auto lookUp = [&](const std::string& encoding, const std::string& title) {
        WriteFile(scratch_ / "list.xml", "<?xml version=\"1.0\" encoding=\"" + encoding +
                                             "\"?>\n<GAME><TITLE>" + title +
                                             "</TITLE><ROMCRC>12345678</ROMCRC></GAME>");
        const std::string list = Utf8(scratch_ / "list.xml");
        const QbtRun table =
            RunQbt(QBT_TOOL, {"lookup", "--list", list, "12345678"}, western, scratch_);
        const QbtRun json =
            RunQbt(QBT_TOOL, {"lookup", "--json", "--list", list, "12345678"}, western, scratch_);
        return std::pair{table.out, nlohmann::json::parse(json.out)[0]["title"]};
    };
    const auto [latin1Table, latin1Json] = lookUp("ISO-8859-1", "Ch\xE2teau");
    EXPECT_NE(latin1Table.find("  Ch\xE2teau  "), std::string::npos) << latin1Table;
    EXPECT_EQ(latin1Json, "Château");

    const auto [shiftJisTable, shiftJisJson] =
        lookUp("Shift_JIS", "\x90\xAF\x8B\xFB\x83\x7D\x81\x5B\x83\x50\x83\x62\x83\x67");
    EXPECT_NE(shiftJisTable.find("  ???????  "), std::string::npos) << shiftJisTable;
    EXPECT_EQ(shiftJisJson, "星屑マーケット");
}

}  // namespace
