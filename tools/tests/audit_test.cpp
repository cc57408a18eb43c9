// qbt audit end to end: a collection with known gaps against a list written for it, reported as
// a table, JSON and CSV, and its missing games written as a list that qbt reads as it reads the
// original.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/tests/tool_test.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class QbtAudit : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        list_ = scratch_ / "list.xml";
        roms_ = scratch_ / "roms";
        games_ = {{"one", "Lantern One", "P", "", "1", "1"},
                  {"two", "Harbor Two", "P", "", "7", "2"},
                  {"three", "Cove Three", "P", "", "0", "3"},
                  {"four", "Orbit, \"Four\"", "P", "", "9", "4"},
                  {"five", "\xE6\x98\x9F Five", "P", "", "7", "5"}};
        WriteList(list_, games_);
        // Game three and five missing, two twice, one file no game of the list.
        WriteFile(roms_ / "a.gba", games_[0].content);
        WriteFile(roms_ / "b.gba", games_[1].content);
        WriteFile(roms_ / "sub" / "b copy.gba", games_[1].content);
        WriteFile(roms_ / "d.gba", games_[3].content);
        WriteFile(roms_ / "stray.bin", "no game");
        // No ROMs, as rename counts them: not "not in the list".
        WriteFile(roms_ / "a.sav", "a save");
        WriteFile(roms_ / "qbt-rename-20261207-120501.jsonl", "");
    }
    QbtRun Audit(std::vector<std::string> options) {
        std::vector<std::string> arguments{"audit", "--list", Utf8(list_), "-j", "2"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(Utf8(roms_));
        return Qbt(arguments);
    }
    std::string Key(std::size_t game) const { return CrcKeyOf(games_[game].content); }

    std::vector<Game> games_;
    fs::path list_;
    fs::path roms_;
};

TEST_F(QbtAudit, ReportsWhatTheCollectionHasAndLacks) {
    const QbtRun table = Audit({});
    EXPECT_EQ(table.exitCode, 1) << table.err;
    EXPECT_NE(table.out.find("5 games in the list: 3 present (1 more than once), 2 missing; "
                             "files: 1 not in the list, 0 skipped, 0 unreadable"),
              std::string::npos)
        << table.out;

    const QbtRun jsonRun = Audit({"--json"});
    const json result = json::parse(jsonRun.out);
    std::vector<std::string> statuses;
    for (const json& game : result["games"]) {
        statuses.push_back(game["status"].get<std::string>() + " " +
                           game["title"].get<std::string>() + " " +
                           std::to_string(game["files"].size()));
    }
    EXPECT_EQ(statuses,
              (std::vector<std::string>{"present Lantern One 1", "duplicate Harbor Two 2",
                                        "missing Cove Three 0", "present Orbit, \"Four\" 1",
                                        "missing 星 Five 0"}));
    EXPECT_EQ(result["other_files"][0]["status"], "not in the list");
    EXPECT_EQ(result["summary"]["missing"], 2);

    const QbtRun csv = Audit({"--csv"});
    EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')), "status,key,release,title,file,reason");
    EXPECT_NE(csv.out.find("present," + Key(3) + ",4,\"Orbit, \"\"Four\"\"\","), std::string::npos)
        << csv.out;
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 1 + 7);
}

TEST_F(QbtAudit, MissingListHoldsExactlyTheMissingGamesAndAnswersAsTheList) {
    const fs::path missing = scratch_ / "missing.xml";
    const QbtRun run = Audit({"--missing-list", Utf8(missing)});
    EXPECT_EQ(run.exitCode, 1) << run.err;

    const QbtRun written = Qbt({"audit", "--json", "--list", Utf8(missing), Utf8(roms_)});
    std::vector<std::string> keys;
    const json writtenGames = json::parse(written.out)["games"];
    for (const json& game : writtenGames) keys.push_back(game["key"]);
    EXPECT_EQ(keys, (std::vector<std::string>{Key(2), Key(4)}));

    const auto lookUp = [&](const fs::path& list) {
        return Qbt({"lookup", "--json", "--list", Utf8(list), Key(2), Key(4), Key(0)}).out;
    };
    json fromMissing = json::parse(lookUp(missing));
    json fromList = json::parse(lookUp(list_));
    EXPECT_EQ(fromMissing[0], fromList[0]);
    EXPECT_EQ(fromMissing[1], fromList[1]);
    EXPECT_EQ(fromMissing[2]["in_list"], false);

    // Never written over the list it comes from.
    EXPECT_EQ(Audit({"--missing-list", Utf8(list_)}).exitCode, 2);
    EXPECT_EQ(json::parse(lookUp(list_)), fromList);
}

// A slip of the keyboard costs nothing: a ROM or another list named as the missing list is refused
// before the audit (exit 2) and left as it was, the ROM with --replace too. --replace renews an
// earlier missing list, written aside and renamed into place.
TEST_F(QbtAudit, MissingListReplacesNoFileOfTheUsers) {
    const fs::path other = scratch_ / "other.xml";
    WriteList(other, {games_[0]});
    const std::string otherText = ReadFile(other);
    const auto roms = Snapshot(roms_);
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--missing-list", Utf8(roms_ / "a.gba")},
          {"--missing-list", Utf8(roms_ / "a.gba"), "--replace"},
          {"--missing-list", Utf8(other)}}) {
        const QbtRun run = Audit(options);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(Snapshot(roms_), roms);
    EXPECT_EQ(ReadFile(other), otherText);

    const fs::path missing = scratch_ / "missing.xml";
    ASSERT_EQ(Audit({"--missing-list", Utf8(missing)}).exitCode, 1);
    EXPECT_EQ(Audit({"--missing-list", Utf8(missing)}).exitCode, 2)
        << "not again without --replace";
    WriteFile(roms_ / "c.gba", games_[2].content);  // a missing game found since
    const QbtRun renewed = Audit({"--replace", "--missing-list", Utf8(missing)});
    EXPECT_EQ(renewed.exitCode, 1) << renewed.err;
    const json games =
        json::parse(Qbt({"audit", "--json", "--list", Utf8(missing), Utf8(roms_)}).out)["games"];
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0]["key"], Key(4));
    for (const std::string& name : NamesIn(scratch_)) {
        EXPECT_FALSE(name.ends_with(".tmp")) << name << " left behind";
    }
}

}  // namespace
