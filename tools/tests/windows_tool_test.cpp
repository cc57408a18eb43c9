// What only the Windows build of qbt does: it has no scan, and it loads the plug-in through the
// ANSI code page as a host does.
#include <filesystem>
#include <string>

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

}  // namespace
