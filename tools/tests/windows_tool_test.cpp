// What only the Windows build of qbt does: it has no scan, it loads the plug-in through the ANSI
// code page as a host does, and it shows lists on a Western code page too.
#define NOMINMAX
#include <windows.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "tools/tests/tool_test.h"

namespace fs = std::filesystem;

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

// A Western Windows: run by the test tool_tests_code_page_1252 under a locale that gives Wine
// code page 1252. A Latin-1 list's accents reach the table as they are, a Shift_JIS list's
// Japanese becomes '?' there, and JSON holds both.
TEST(QbtOnWesternWindows, Latin1AndShiftJisListsAreShownRight) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    const fs::path scratch =
        fs::temp_directory_path() / ("qbt_western_" + std::to_string(CurrentProcessId()));
    const auto lookUp = [&](const std::string& encoding, const std::string& title) {
        WriteFile(scratch / "list.xml", "<?xml version=\"1.0\" encoding=\"" + encoding +
                                            "\"?>\n<GAME><TITLE>" + title +
                                            "</TITLE><ROMCRC>12345678</ROMCRC></GAME>");
        const std::string list = Utf8(scratch / "list.xml");
        const QbtRun table = RunQbt(QBT_TOOL, {"lookup", "--list", list, "12345678"}, {}, scratch);
        const QbtRun json =
            RunQbt(QBT_TOOL, {"lookup", "--json", "--list", list, "12345678"}, {}, scratch);
        return std::pair{table.out, nlohmann::json::parse(json.out)[0]["title"]};
    };
    const auto [latin1Table, latin1Json] = lookUp("ISO-8859-1", "Ch\xE2teau");
    EXPECT_NE(latin1Table.find("  Ch\xE2teau  "), std::string::npos) << latin1Table;
    EXPECT_EQ(latin1Json, "Château");

    const auto [shiftJisTable, shiftJisJson] =
        lookUp("Shift_JIS", "\x90\xAF\x8B\xFB\x83\x7D\x81\x5B\x83\x50\x83\x62\x83\x67");
    EXPECT_NE(shiftJisTable.find("  ???????  "), std::string::npos) << shiftJisTable;
    EXPECT_EQ(shiftJisJson, "星屑マーケット");
    fs::remove_all(scratch);
}

}  // namespace
