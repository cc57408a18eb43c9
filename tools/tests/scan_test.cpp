// qbt scan end to end: ROM files, folders and zip archives made by the test, their checksums
// looked up in the sample list.
#include <zip.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/tests/tool_test.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using QbtScan = ToolTest;

// ROM images whose CRC-32s the sample list holds (the first five games) or does not ('Z').
void WriteRoms(const fs::path& folder) {
    WriteFile(folder / "a.gba", std::string(1024, 'A'));
    WriteFile(folder / "sub" / "b.gba", std::string(2048, 'B'));
    WriteFile(folder / "sub" / "deeper" / "c.bin", std::string(4096, 'C'));
    WriteFile(folder / "unknown.bin", std::string(100, 'Z'));
    WriteFile(folder / "a.sav", "a save: no ROM, so neither found nor not in the list");

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
    const QbtRun run = Qbt({"scan", "--json", "-j", "3", roms.string()});  // in order all the same
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

// A path named that is not there stops the run before anything is read (exit 3); a file that
// cannot be read is reported and the rest is scanned (exit 1).
TEST_F(QbtScan, UnreadableFilesAreReportedAndTheRestIsScannedButAMissingPathStopsAll) {
    WriteFile(scratch_ / "a.gba", std::string(1024, 'A'));
    WriteFile(scratch_ / "broken.zip", "not an archive");
    const QbtRun run =
        Qbt({"scan", (scratch_ / "a.gba").string(), (scratch_ / "broken.zip").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("Lanternfish Lagoon"), std::string::npos);
    EXPECT_NE(run.out.find("1 found, 0 not in the list, 1 unreadable"), std::string::npos);
    EXPECT_NE(run.err.find("broken.zip: Not a zip archive"), std::string::npos) << run.err;

    const QbtRun missing = Qbt({"scan", "--list", QBT_SAMPLE_LIST, (scratch_ / "a.gba").string(),
                                (scratch_ / "absent").string()});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "qbt: cannot read " + (scratch_ / "absent").string() +
                               ": No such file or directory; nothing was done\n");
}

// Under a Turkish locale std::tolower('I') is not 'i': the extension is folded as ASCII.
TEST_F(QbtScan, UpperCaseZipExtensionIsAnArchiveUnderATurkishLocale) {
    int error = 0;
    zip_t* archive = zip_open((scratch_ / "GAME.ZIP").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    static const std::string e(512, 'E');
    zip_file_add(archive, "e.gba", zip_source_buffer(archive, e.data(), e.size(), 0), 0);
    ASSERT_EQ(zip_close(archive), 0);

    const QbtRun run = Qbt({"scan", "--json", (scratch_ / "GAME.ZIP").string()},
                           {"LC_ALL=tr_TR.ISO-8859-9", "LOCPATH=" QBT_TEST_LOCALES});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.out.find("GAME.ZIP:e.gba") != std::string::npos) << run.out;
}

}  // namespace
