// qbt end to end on both platforms: the built program run on the sample list, its output and
// exit code checked.
#include "tools/tests/tool_test.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using QbtLookup = ToolTest;

TEST_F(QbtLookup, TableShowsSixFieldsPerKeyAndCodesInWords) {
    const QbtRun run = Qbt({"lookup", "B737FB1A", "6b286dac", "8D116ECE", "0F21DDB6", "00000000"});
    // Columns line up by display width: each Japanese character takes two columns.
    EXPECT_EQ(run.out,
              "KEY       PUBLISHER               TITLE                         SAVE TYPE          "
              "MEDIA                                 REGION             RELEASE\n"
              "B737FB1A  Pebblewick Studios      Lanternfish Lagoon            EEPROM_V124        "
              "RomSize:64Mbit / SrcRom:Driftwood     (U)                1\n"
              "6b286dac  月見ソフト              星屑マーケット                SRAM_V110          "
              "RomSize:32Mbit / SrcRom:Nightjar      (J)                2\n"
              "8D116ECE  Pebblewick Studios      Paper Lantern Parade          <field missing>    "
              "RomSize:16Mbit / SrcRom:Copperkettle  (U)                29\n"
              "0F21DDB6  Brambleton Interactive  <Prototype> Gearbox Gremlins  SRAM_V110          "
              "RomSize:32Mbit / SrcRom:Hollowreed    <empty>            <empty>\n"
              "00000000  <not in the list>       <not in the list>             <not in the list>  "
              "<not in the list>                     <not in the list>  <not in the list>\n");
    EXPECT_TRUE(run.err.starts_with("qbt: the sample list ") &&
                run.err.ends_with("games.xml (--list names yours)\n"))
        << run.err;
    EXPECT_EQ(run.exitCode, 1) << "one key is not in the list";
}

TEST_F(QbtLookup, JsonHoldsValuesNumbersAndCodes) {
    const QbtRun run = Qbt({"lookup", "--json", "9263626F", "6CAD4A26", "90C192CF", "D3AC94AF"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json answers = json::parse(run.out);
    ASSERT_EQ(answers.size(), 4u);

    EXPECT_EQ(answers[0]["key"], "9263626F");
    EXPECT_EQ(answers[0]["in_list"], true);
    EXPECT_EQ(answers[0]["title"], "Mole & Marmot: Tunnel Trouble");
    EXPECT_EQ(answers[0]["publisher"], "Burrow & Bough");
    EXPECT_EQ(answers[0]["release_number"], 4);

    EXPECT_EQ(answers[1]["publisher"], "") << "an empty element is an empty value, not an error";
    EXPECT_EQ(answers[1]["release_number"], json({{"code", -769}, {"error", "malformed"}}));

    EXPECT_EQ(answers[2]["media"], " / SrcRom:Copperkettle");

    EXPECT_EQ(answers[3]["media"], json({{"code", -768}, {"error", "empty"}}));
    EXPECT_EQ(answers[3]["region"], json({{"code", -513}, {"error", "field missing"}}));
}

TEST_F(QbtLookup, KeyTypeDecidesHowAShortKeyIsWidened) {
    const QbtRun widened = Qbt({"lookup", "--json", "99950D8"});
    EXPECT_EQ(widened.exitCode, 0);
    EXPECT_EQ(json::parse(widened.out)[0]["title"], "Capivara Radical");

    const QbtRun asGiven = Qbt({"lookup", "--json", "--key-type", "2", "99950D8"});
    EXPECT_EQ(asGiven.exitCode, 1);
    EXPECT_EQ(json::parse(asGiven.out)[0]["in_list"], false);
}

#ifndef _WIN32
// The plug-in is asked in UTF-8, so JSON holds even what the terminal cannot show.
TEST_F(QbtLookup, ShiftJisTerminalGetsShiftJisTablesButUtf8Json) {
    const std::vector<std::string> shiftJis = ShiftJisTerminal();
    const QbtRun table = Qbt({"lookup", "6b286dac", "36F675CC"}, shiftJis);
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.out.find("\x90\xAF\x8B\xFB\x83\x7D\x81\x5B\x83\x50\x83\x62\x83\x67"),
              std::string::npos)
        << "the title 星屑マーケット in Shift_JIS";
    EXPECT_NE(table.out.find("??? ??"), std::string::npos) << "Hangul has no Shift_JIS form";

    const QbtRun jsonRun = Qbt({"lookup", "--json", "6b286dac", "36F675CC"}, shiftJis);
    const json answers = json::parse(jsonRun.out);
    EXPECT_EQ(answers[0]["title"], "星屑マーケット");
    EXPECT_EQ(answers[1]["title"], "바람의 정원");
}
#endif

using QbtInfo = ToolTest;

TEST_F(QbtInfo, ShowsVersionAuthorAndDescriptionForTheTerminal) {
    const QbtRun run = Qbt({"info"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.starts_with("version      101\nauthor       ")) << run.out;
    EXPECT_TRUE(run.out.ends_with("\ndescription  Quillbridge用のリネームデータを拝借します。\n"))
        << run.out;
#ifndef _WIN32
    const QbtRun shiftJis = Qbt({"info"}, ShiftJisTerminal());
    EXPECT_TRUE(shiftJis.out.ends_with(
        "Quillbridge\x97\x70\x82\xCC\x83\x8A\x83\x6C\x81\x5B\x83\x80\x83\x66\x81\x5B\x83\x5E\x82"
        "\xF0\x94\x71\x8E\xD8\x82\xB5\x82\xDC\x82\xB7\x81\x42\n"))
        << "the plug-in's own 43 bytes";
#endif
}

// qbt's own version is the package's; the plug-in's is what it reports.
TEST_F(QbtInfo, VersionNamesQbtAndThePlugin) {
    for (const char* flag : {"--version", "-V"}) {
        const QbtRun run = Qbt({flag});
        EXPECT_EQ(run.exitCode, 0) << flag << run.err;
        EXPECT_EQ(run.out, std::string("qbt ") + QBT_VERSION + "\nplug-in 101\n") << flag;
    }
    const QbtRun noPlugin = Qbt({"--plugin", "/nonexistent/plugin.so", "--version"});
    EXPECT_EQ(noPlugin.exitCode, 4);
    EXPECT_EQ(noPlugin.out, std::string("qbt ") + QBT_VERSION + "\n");
}

using QbtPaths = ToolTest;

// The tool and its plug-in copied into a folder named in Japanese: the default plug-in is found
// from the executable's own path, and a path typed in the terminal's codeset reaches the file it
// names and comes back unchanged in a message.
TEST_F(QbtPaths, FolderNamedInJapaneseWorksAndIsShownAsTyped) {
    const fs::path folder = scratch_ / u8"ゲーム";
    const fs::path tool = CopyToolAndPlugin(folder);
    const fs::path list = folder / u8"一覧.xml";
    fs::copy_file(QBT_SAMPLE_LIST, list);

    const QbtRun info = RunQbt(tool, {"info"}, {}, scratch_);
    EXPECT_EQ(info.exitCode, 0) << info.err;

    const QbtRun lookup =
        RunQbt(tool, {"lookup", "--json", "--list", Utf8(list), "6b286dac"}, {}, scratch_);
    ASSERT_EQ(lookup.exitCode, 0) << lookup.err;
    EXPECT_EQ(json::parse(lookup.out)[0]["title"], "星屑マーケット");

    const fs::path absent = folder / u8"無い.xml";
    const QbtRun missing = Qbt({"lookup", "--list", Utf8(absent), "6b286dac"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.err,
              "qbt: cannot read the game list " + Utf8(absent) + ": No such file or directory\n");
}

using QbtErrors = ToolTest;

TEST_F(QbtErrors, UnreadableGameListExitsWithThree) {
    const QbtRun missing = Qbt({"lookup", "--list", "/nonexistent/games.xml", "B737FB1A"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err,
              "qbt: cannot read the game list /nonexistent/games.xml: No such file or directory\n");

    const QbtRun folder = Qbt({"lookup", "--list", Utf8(scratch_), "B737FB1A"});
    EXPECT_EQ(folder.exitCode, 3);
    EXPECT_TRUE(folder.err.starts_with("qbt: cannot read the game list ")) << folder.err;
}

TEST_F(QbtErrors, PluginThatCannotBeLoadedOrLacksExportsExitsWithFour) {
    const QbtRun missing = Qbt({"--plugin", "/nonexistent/plugin.so", "info"});
    EXPECT_EQ(missing.exitCode, 4);
    EXPECT_TRUE(missing.err.starts_with("qbt: cannot load the plug-in /nonexistent/plugin.so: "))
        << missing.err;

    const QbtRun notALibrary = Qbt({"--plugin", QBT_SAMPLE_LIST, "info"});
    EXPECT_EQ(notALibrary.exitCode, 4);

    const QbtRun incomplete = Qbt({"info", "--plugin", QBT_INCOMPLETE_PLUGIN});
    EXPECT_EQ(incomplete.exitCode, 4);
    EXPECT_EQ(incomplete.err, std::string("qbt: ") + QBT_INCOMPLETE_PLUGIN +
                                  " is not a complete list plug-in: it does not export "
                                  "GetPluginAuthor, GetPluginInfo, GetMaker, GetTitle, "
                                  "GetSaveInfo, GetMediaInfo, GetCountry, GetImgNum\n");

    const QbtRun chosen = Qbt({"info", "--plugin", QBT_PLUGIN});
    EXPECT_EQ(chosen.exitCode, 0) << chosen.err;
}

TEST_F(QbtErrors, BadCommandLinesExitWithTwo) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {},
             {"rename"},
             {"rename", "roms"},
             {"rename", "--list", QBT_SAMPLE_LIST, "--pattern", "{}", "roms"},
             {"lookup"},
             {"scan"},
             {"lookup", "--key-type", "x", "1"},
             {"lookup", "--colour", "1"}}) {
        const QbtRun run = Qbt(arguments);
        EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(arguments);
        EXPECT_NE(run.err, "") << testing::PrintToString(arguments);
    }
}

TEST_F(QbtErrors, AnUnknownCommandIsNamedWithTheCommandsThereAre) {
    const QbtRun run = Qbt({"frobnicate"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err,
              "qbt: unknown command 'frobnicate'; the commands are info, lookup, scan, rename, "
              "undo, audit (qbt --help tells more)\n");
}

TEST_F(QbtErrors, HelpListsTheSubcommandsAndExitCodes) {
    const QbtRun run = Qbt({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* text :
         {"\n  info ", "\n  lookup ", "\n  scan ", "\n  rename ", "\n  undo ", "--plugin",
          "Exit codes:", "4  the plug-in cannot be loaded", "\n  6  rename, undo: "}) {
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
    }
}

}  // namespace
