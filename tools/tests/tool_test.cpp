// qbt end to end: the built program run on the sample list, its output and exit code checked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

struct QbtRun {
    int exitCode;
    std::string out;
    std::string err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

class ToolTest : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        scratch_ =
            fs::temp_directory_path() / (std::string("qbt_") + test->test_suite_name() + "_" +
                                         test->name() + "_" + std::to_string(getpid()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
    }
    void TearDown() override { fs::remove_all(scratch_); }

    // Runs qbt with the test's environment, plus `environment` ("NAME=value") on top.
    QbtRun Qbt(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {}) {
        std::vector<std::string> argumentStrings{QBT_TOOL};
        argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
        // getenv takes the first of two entries with the same name, so the extra ones go first.
        std::vector<std::string> environmentStrings(environment);
        for (char** entry = environ; *entry != nullptr; ++entry)
            environmentStrings.push_back(*entry);

        const fs::path out = scratch_ / "stdout";
        const fs::path err = scratch_ / "stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t child;
        const int spawned =
            posix_spawn(&child, QBT_TOOL, &actions, nullptr, Pointers(argumentStrings).data(),
                        Pointers(environmentStrings).data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << QBT_TOOL;
            return {-1, "", ""};
        }
        int status = 0;
        waitpid(child, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
    }

    fs::path scratch_;

private:
    static std::vector<char*> Pointers(std::vector<std::string>& strings) {
        std::vector<char*> pointers;
        for (std::string& text : strings) pointers.push_back(text.data());
        pointers.push_back(nullptr);
        return pointers;
    }
};

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
    EXPECT_EQ(run.err, "");
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

TEST_F(QbtLookup, ShiftJisTerminalGetsShiftJisTablesButUtf8Json) {
    const std::vector<std::string> shiftJis{"LC_ALL=ja_JP.SJIS", "LOCPATH=" QBT_TEST_LOCALES};
    const QbtRun table = Qbt({"lookup", "6b286dac", "36F675CC"}, shiftJis);
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.out.find("\x90\xAF\x8B\xFB\x83\x7D\x81\x5B\x83\x50\x83\x62\x83\x67"),
              std::string::npos)
        << "the title 星屑マーケット in Shift_JIS";
    EXPECT_NE(table.out.find("??? ??"), std::string::npos) << "Hangul has no Shift_JIS form";

    const QbtRun jsonRun = Qbt({"lookup", "--json", "6b286dac", "36F675CC"}, shiftJis);
    const json answers = json::parse(jsonRun.out);
    EXPECT_EQ(answers[0]["title"], "星屑マーケット");
    EXPECT_EQ(answers[1]["title"], "??? ??");
}

using QbtInfo = ToolTest;

TEST_F(QbtInfo, ShowsVersionAuthorAndDescriptionForTheTerminal) {
    const QbtRun run = Qbt({"info"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.starts_with("version      101\nauthor       ")) << run.out;
    EXPECT_TRUE(run.out.ends_with("\ndescription  Quillbridge用のリネームデータを拝借します。\n"))
        << run.out;

    const QbtRun shiftJis = Qbt({"info"}, {"LC_ALL=ja_JP.SJIS", "LOCPATH=" QBT_TEST_LOCALES});
    EXPECT_TRUE(shiftJis.out.ends_with(
        "Quillbridge\x97\x70\x82\xCC\x83\x8A\x83\x6C\x81\x5B\x83\x80\x83\x66\x81\x5B\x83\x5E\x82"
        "\xF0\x94\x71\x8E\xD8\x82\xB5\x82\xDC\x82\xB7\x81\x42\n"))
        << "the plug-in's own 43 bytes";
}

using QbtScan = ToolTest;

// ROM images whose CRC-32s the sample list holds (the first five games) or does not ('Z').
void WriteRoms(const fs::path& folder) {
    WriteFile(folder / "a.gba", std::string(1024, 'A'));
    WriteFile(folder / "sub" / "b.gba", std::string(2048, 'B'));
    WriteFile(folder / "sub" / "deeper" / "c.bin", std::string(4096, 'C'));
    WriteFile(folder / "unknown.bin", std::string(100, 'Z'));

    static const std::string d(512, 'D');
    static const std::string e(512, 'E');
    int error = 0;
    zip_t* archive = zip_open((folder / "pack.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    zip_dir_add(archive, "inner", ZIP_FL_ENC_UTF_8);
    zip_file_add(archive, "inner/d.gba", zip_source_buffer(archive, d.data(), d.size(), 0), 0);
    zip_file_add(archive, "e.gba", zip_source_buffer(archive, e.data(), e.size(), 0), 0);
    ASSERT_EQ(zip_close(archive), 0);
}

TEST_F(QbtScan, ChecksumsFilesFoldersAndZipEntries) {
    const fs::path roms = scratch_ / "roms";
    WriteRoms(roms);
    const QbtRun run = Qbt({"scan", "--json", roms.string()});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const json result = json::parse(run.out);

    std::vector<std::string> rows;
    for (const json& rom : result["roms"]) {
        const std::string title = rom["in_list"] ? rom["title"].get<std::string>() : "-";
        rows.push_back(fs::path(rom["file"].get<std::string>()).lexically_relative(roms).string() +
                       " " + rom["key"].get<std::string>() + " " + title);
    }
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "a.gba B737FB1A Lanternfish Lagoon",
                        "pack.zip:inner/d.gba 9263626F Mole & Marmot: Tunnel Trouble",
                        "pack.zip:e.gba A32CD1E8 Die Glühwürmchen-Expedition",
                        "sub/b.gba 6B286DAC 星屑マーケット",
                        "sub/deeper/c.bin DE5CFA6F Château des Brumes",
                        "unknown.bin 9748744C -",
                    }));
    EXPECT_EQ(result["found"], 5);
    EXPECT_EQ(result["not_found"], 1);
    EXPECT_EQ(result["unreadable"], 0);

    const QbtRun table = Qbt({"scan", (roms / "a.gba").string(), (roms / "unknown.bin").string()});
    EXPECT_TRUE(table.out.starts_with("FILE")) << table.out;
    EXPECT_TRUE(table.out.ends_with("\n1 found, 1 not in the list\n")) << table.out;
}

TEST_F(QbtScan, UnreadablePathsAreReportedAndTheRestIsScanned) {
    WriteFile(scratch_ / "a.gba", std::string(1024, 'A'));
    WriteFile(scratch_ / "broken.zip", "not an archive");
    const QbtRun run = Qbt({"scan", (scratch_ / "a.gba").string(),
                            (scratch_ / "broken.zip").string(), (scratch_ / "absent").string()});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.out.find("Lanternfish Lagoon"), std::string::npos);
    EXPECT_NE(run.out.find("1 found, 0 not in the list, 2 unreadable"), std::string::npos);
    EXPECT_NE(run.err.find("broken.zip: Not a zip archive"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("absent: No such file or directory"), std::string::npos) << run.err;
}

using QbtErrors = ToolTest;

TEST_F(QbtErrors, UnreadableGameListExitsWithThree) {
    const QbtRun missing = Qbt({"lookup", "--list", "/nonexistent/games.xml", "B737FB1A"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err,
              "qbt: cannot read the game list /nonexistent/games.xml: No such file or directory\n");

    const QbtRun folder = Qbt({"scan", "--list", scratch_.string(), scratch_.string()});
    EXPECT_EQ(folder.exitCode, 3);
    EXPECT_NE(folder.err.find("Is a directory"), std::string::npos) << folder.err;
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
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"rename"},
                                               {"lookup"},
                                               {"scan"},
                                               {"lookup", "--key-type", "x", "1"},
                                               {"lookup", "--colour", "1"}}) {
        const QbtRun run = Qbt(arguments);
        EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(arguments);
        EXPECT_NE(run.err, "") << testing::PrintToString(arguments);
    }
}

TEST_F(QbtErrors, HelpListsTheSubcommandsAndExitCodes) {
    const QbtRun run = Qbt({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* text :
         {"info", "lookup", "scan", "--plugin", "Exit codes:", "4  the plug-in cannot be loaded"}) {
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
    }
}

}  // namespace
