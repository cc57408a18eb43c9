// A collection as collectors keep one, end to end, on Linux and from qbt.exe under Wine: loose
// ROMs, zips of one game and of several, a zip with a read-me, 7z solid and of one entry, RAR5
// and RAR 4, a gzip-compressed ROM, a zip damaged behind an intact directory, a truncated 7z and
// an archive of a format qbt does not read. Entry names in Japanese and accented Latin.
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "tools/collection/test_archives.h"
#include "tools/tests/tool_test.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const std::string kStardust = "\xE6\x98\x9F\xE5\xB1\x91\xE3\x83\x9E\xE3\x83\xBC\xE3\x82\xB1"
                              "\xE3\x83\x83\xE3\x83\x88.gba";  // 星屑マーケット
const std::string kChateau = "Ch\xC3\xA2teau des Brumes.nes";

class QbtCollection : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        for (unsigned game = 1; game <= 16; ++game) {
            const std::string number = std::to_string(game);
            games_.push_back(
                {RomLike(3000 + game, game + 2), "Game " + number, "P", "", "1", number});
        }
        WriteList(scratch_ / "list.xml", games_);
        roms_ = scratch_ / "roms";
        const auto rom = [&](int game) { return games_[game - 1].content; };
        const auto put = [&](const std::string& name, const std::string& bytes) {
            WriteFile(roms_ / fs::path(std::u8string(name.begin(), name.end())), bytes);
        };
        put("one.gba", rom(1));
        put("two.zip", Zip({{"two.gba", rom(2)}}));
        put("several.zip",
            Zip({{"inner/", ""}, {"three.gba", rom(3)}, {"inner/four.gba", rom(4)}, {"2.gba", rom(2)}}));
        put("five.zip", Zip({{"five.gba", rom(5)}, {"READ ME.TXT", "not a ROM"}}));
        put("solid.7z", SevenZip({{kStardust, rom(6)}, {kChateau, rom(7)}}));
        put("eight.7z", SevenZip({{kChateau, rom(8)}}, "copy"));
        put("rars.rar", Rar5({{"nine.gba", rom(9)}, {"ten.gba", rom(10)}}));
        put("eleven.bin", Rar4({{"eleven.gba", rom(11)}}));  // told by content, not by name
        put("twelve.gba.gz", Gzip(rom(12), ""));
        std::string damaged = Zip({{"thirteen.gba", rom(13)}}, true);
        damaged.replace(damaged.find(rom(13)), rom(13).size(), RomLikeDamaged());  // directory intact
        put("damaged.zip", damaged);
        const std::string sevenZip = SevenZip({{"fourteen.gba", rom(14)}});
        put("cut.7z", sevenZip.substr(0, sevenZip.size() - 40));
        std::string tar(1024, '\0');
        tar.replace(257, 6, std::string("ustar\0", 6));
        put("fifteen.tar", tar + rom(15));
        put("one.sav", "a save: no ROM");
    }

    QbtRun Run(const std::string& command, std::vector<std::string> options) {
        std::vector<std::string> arguments{command, "--list", Utf8(scratch_ / "list.xml"), "-j",
                                           "2"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(Utf8(roms_));
        return Qbt(arguments);
    }
    // Game 13's ROM with one bit changed.
    std::string RomLikeDamaged() const {
        std::string rom = games_[12].content;
        rom[1000] ^= 0x40;
        return rom;
    }
    std::string In(const std::string& file, const std::string& entry = "") const {
        return Utf8(roms_ / file) + (entry.empty() ? "" : ":" + entry);
    }

    std::vector<Game> games_;
    fs::path roms_;
};

// Every game once where it is, whatever holds it; with --verify the damaged zip is no game's.
TEST_F(QbtCollection, AuditCountsEveryGameInEveryArchiveOnce) {
    std::map<std::string, std::string> expected{
        {"Game 1", "present " + In("one.gba")},
        {"Game 2", "duplicate " + In("several.zip", "2.gba") + " " + In("two.zip", "two.gba")},
        {"Game 3", "present " + In("several.zip", "three.gba")},
        {"Game 4", "present " + In("several.zip", "inner/four.gba")},
        {"Game 5", "present " + In("five.zip", "five.gba")},
        {"Game 6", "present " + In("solid.7z", kStardust)},
        {"Game 7", "present " + In("solid.7z", kChateau)},
        {"Game 8", "present " + In("eight.7z", kChateau)},
        {"Game 9", "present " + In("rars.rar", "nine.gba")},
        {"Game 10", "present " + In("rars.rar", "ten.gba")},
        {"Game 11", "present " + In("eleven.bin", "eleven.gba")},
        {"Game 12", "present " + In("twelve.gba.gz", "twelve.gba")},
        {"Game 13", "present " + In("damaged.zip", "thirteen.gba")},
        {"Game 14", "missing"},
        {"Game 15", "missing"},
        {"Game 16", "missing"}};
    const auto audited = [&](const std::vector<std::string>& options) {
        const QbtRun run = Run("audit", options);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        const json result = json::parse(run.out);
        std::map<std::string, std::string> games;
        for (const json& game : result["games"]) {
            std::string line = game["status"];
            for (const json& file : game["files"]) line += " " + file.get<std::string>();
            games[game["title"]] = line;
        }
        std::vector<std::string> others;
        for (const json& file : result["other_files"]) {
            others.push_back(file["status"].get<std::string>() + " " + file["file"].get<std::string>());
        }
        return std::tuple{games, others, result["summary"]};
    };
    // Without --verify a zip's directory is taken on trust.
    const auto [trusting, othersTrusting, summary] = audited({"--json"});
    EXPECT_EQ(trusting, expected);
    const std::vector<std::string> others{"unreadable " + In("cut.7z"),
                                          "skipped " + In("fifteen.tar")};
    EXPECT_EQ(othersTrusting, others);
    EXPECT_EQ(summary["present"], 13);

    const fs::path missing = scratch_ / "missing.xml";
    const auto [verified, othersVerified, verifiedSummary] =
        audited({"--json", "--verify", "--missing-list", Utf8(missing)});
    expected["Game 13"] = "missing";
    EXPECT_EQ(verified, expected);
    EXPECT_EQ(othersVerified,
              (std::vector<std::string>{"unreadable " + In("cut.7z"),
                                        "damaged " + In("damaged.zip", "thirteen.gba"),
                                        "skipped " + In("fifteen.tar")}));
    EXPECT_EQ(verifiedSummary["damaged"], 1);
    // The missing list holds exactly what nothing has: an audit against it finds none of it.
    const json again = json::parse(Qbt({"audit", "--json", "--verify", "--list", Utf8(missing), Utf8(roms_)}).out);
    std::vector<std::string> titles;
    for (const json& game : again["games"]) {
        titles.push_back(game["title"].get<std::string>() + " " + game["status"].get<std::string>());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Game 13 missing", "Game 14 missing",
                                                "Game 15 missing", "Game 16 missing"}));

    const QbtRun table = Run("audit", {"--verify"});
    EXPECT_NE(table.out.find("damaged     " + CrcKeyOf(RomLikeDamaged())), std::string::npos)
        << table.out;
    EXPECT_NE(table.out.find("16 games in the list: 12 present (1 more than once), 4 missing; "
                             "files: 0 not in the list, 1 skipped, 1 unreadable, 1 damaged"),
              std::string::npos)
        << table.out;
    EXPECT_NE(table.err.find(In("damaged.zip", "thirteen.gba") + " is damaged: "),
              std::string::npos)
        << table.err;
}

// One file, one name: a plain ROM or an archive of one ROM (read-me aside), whatever the format;
// an archive of several games stays as it is, and so does a damaged one. scan says the same.
TEST_F(QbtCollection, RenameNamesArchivesOfOneRomAndScanReadsThemAll) {
    const QbtRun run = Run("rename", {"--json", "--verify"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    std::map<std::string, std::string> outcomes;
    const json plan = json::parse(run.out);
    for (const json& file : plan["files"]) {
        const std::string path = file["file"];
        outcomes[path.substr(path.find_last_of("/\\") + 1)] =
            file["outcome"].get<std::string>() +
            (file["new_name"].is_null() ? "" : " " + file["new_name"].get<std::string>());
    }
    EXPECT_EQ(outcomes, (std::map<std::string, std::string>{
                            {"one.gba", "rename 0001 - Game 1 (U).gba"},
                            {"one.sav", "rename 0001 - Game 1 (U).sav"},
                            {"two.zip", "rename 0002 - Game 2 (U).zip"},
                            {"several.zip", "skipped"},
                            {"five.zip", "rename 0005 - Game 5 (U).zip"},
                            {"solid.7z", "skipped"},
                            {"eight.7z", "rename 0008 - Game 8 (U).7z"},
                            {"rars.rar", "skipped"},
                            {"eleven.bin", "rename 0011 - Game 11 (U).bin"},
                            {"twelve.gba.gz", "rename 0012 - Game 12 (U).gba.gz"},
                            {"damaged.zip", "damaged"},
                            {"cut.7z", "unreadable"},
                            {"fifteen.tar", "skipped"}}));

    const json scan = json::parse(Run("scan", {"--json", "--verify"}).out);
    EXPECT_EQ(scan["found"], 13);
    EXPECT_EQ(scan["not_found"], 0);
    EXPECT_EQ(scan["damaged"], 1);
    EXPECT_EQ(scan["unreadable"], 1);
    EXPECT_EQ(scan["skipped"].size(), 1u);
}

}  // namespace
