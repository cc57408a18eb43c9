// qbt rename and undo end to end, in the builds that have them: ROM files made by the test,
// renamed after the sample list or a list written for them, and every file checked afterwards
// for its name and its bytes.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/tests/tool_test.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

void WriteZip(const fs::path& archivePath, const std::vector<std::string>& contents) {
    int error = 0;
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (std::size_t entry = 0; entry < contents.size(); ++entry) {
        const std::string& content = contents[entry];
        zip_file_add(archive, ("rom" + std::to_string(entry) + ".gba").c_str(),
                     zip_source_buffer(archive, content.data(), content.size(), 0), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

// The contents whose CRC-32s are the sample list's first five games.
const std::string kLanternfish(1024, 'A');  // 0001 Lanternfish Lagoon (U)
const std::string kStardust(2048, 'B');     // 0002 星屑マーケット (J)
const std::string kChateau(4096, 'C');      // 0003 Château des Brumes (F)
const std::string kMole(512, 'D');          // 0004 Mole & Marmot: Tunnel Trouble (E)
const std::string kGlowworm(512, 'E');      // 0005 Die Glühwürmchen-Expedition (G)

class QbtRename : public ToolTest {
protected:
    // The new name each file gets, by the file as reported, from a --json run.
    static std::map<std::string, std::string> NewNames(const QbtRun& run) {
        std::map<std::string, std::string> names;
        const json result = json::parse(run.out);
        for (const json& file : result["files"]) {
            names[file["file"]] = file["new_name"].is_null() ? "-" : file["new_name"];
        }
        return names;
    }
};

TEST_F(QbtRename, PlanIsWhatApplyDoesAndUndoPutsItBack) {
    const fs::path roms = scratch_ / "roms";
    WriteFile(roms / "a.gba", kLanternfish);
    WriteFile(roms / "a2.gba", kLanternfish);  // the same game: a.gba takes the name first
    WriteFile(roms / u8"ほし" / "b.gba", kStardust);
    WriteFile(roms / "c.bin", kChateau);
    WriteFile(roms / "unknown.bin", std::string(100, 'Z'));
    WriteZip(roms / "single.zip", {kMole});
    WriteZip(roms / "double.zip", {kGlowworm, kLanternfish});
    const std::map<std::string, std::string> before = Snapshot(roms);

    const QbtRun plan = Qbt({"rename", "--json", "--list", QBT_SAMPLE_LIST, Utf8(roms)});
    EXPECT_EQ(plan.exitCode, 1) << plan.err;
    EXPECT_EQ(Snapshot(roms), before) << "a dry run changes nothing";
    const fs::path journal = scratch_ / "journal.jsonl";
    const QbtRun applied = Qbt({"rename", "--json", "--apply", "--journal", Utf8(journal), "--list",
                                QBT_SAMPLE_LIST, Utf8(roms)});
    EXPECT_EQ(applied.exitCode, 1) << applied.err;

    json planned = json::parse(plan.out);
    json done = json::parse(applied.out);
    for (json& file : planned["files"]) {
        if (file["outcome"] == "rename") file["outcome"] = "renamed";
    }
    EXPECT_EQ(planned["files"], done["files"]);
    EXPECT_EQ(done["summary"]["renamed"], 4);
    EXPECT_EQ(done["journal"], Utf8(journal));

    const std::string r = Utf8(roms) + "/";
    EXPECT_EQ(NewNames(applied),
              (std::map<std::string, std::string>{
                  {r + "a.gba", "0001 - Lanternfish Lagoon (U).gba"},
                  {r + "a2.gba", "0001 - Lanternfish Lagoon (U).gba"},
                  {r + "c.bin", "0003 - Château des Brumes (F).bin"},
                  {r + "double.zip", "-"},
                  {r + "single.zip", "0004 - Mole & Marmot_ Tunnel Trouble (E).zip"},
                  {r + "unknown.bin", "-"},
                  {r + "ほし/b.gba", "0002 - 星屑マーケット (J).gba"},
              }));
    EXPECT_EQ(done["files"][1]["reason"], r + "a.gba takes the name first");
    EXPECT_EQ(done["files"][3]["reason"],
              "an archive of 2 files: only one that holds a single ROM is named");
    std::map<std::string, std::string> expected = before;
    for (const auto& [from, to] : std::map<std::string, std::string>{
             {"a.gba", "0001 - Lanternfish Lagoon (U).gba"},
             {"c.bin", "0003 - Château des Brumes (F).bin"},
             {"single.zip", "0004 - Mole & Marmot_ Tunnel Trouble (E).zip"},
             {"ほし/b.gba", "ほし/0002 - 星屑マーケット (J).gba"}}) {
        expected[to] = expected[from];
        expected.erase(from);
    }
    EXPECT_EQ(Snapshot(roms), expected);

    const QbtRun again = Qbt({"rename", "--list", QBT_SAMPLE_LIST, Utf8(roms)});
    EXPECT_TRUE(
        again.out.ends_with("\n0 to rename, 4 already right, 1 not in the list, "
                            "1 conflict, 1 skipped\n"))
        << again.out;

    // A run stopped while writing a line leaves it torn; undo needs no plug-in.
    std::ofstream(journal, std::ios::app | std::ios::binary) << "{\"from\": \"" << Utf8(roms);
    const QbtRun undo = Qbt({"undo", "--plugin", "/nonexistent/plugin.so", Utf8(journal)});
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(undo.out,
              "4 restored, 0 already in place\n"
              "The journal's last line is incomplete: qbt was stopped while writing it, before "
              "that rename.\n");
    EXPECT_EQ(Snapshot(roms), before);
}

// The name is made from the list's own encoding, not from the terminal's codeset: the file gets
// UTF-8 bytes under a Shift_JIS terminal and under the C locale alike.
TEST_F(QbtRename, ShiftJisListNamesFilesInUtf8UnderAnyTerminal) {
    const fs::path list = scratch_ / "list.xml";
    WriteList(list, {{kStardust, kStardustInShiftJis, "", "", "", "2"}}, "Shift_JIS");
    const fs::path roms = scratch_ / "roms";
    for (const std::vector<std::string>& terminal :
         {ShiftJisTerminal(), std::vector<std::string>{"LC_ALL=C"}}) {
        WriteFile(roms / "b.gba", kStardust);
        const QbtRun run = Qbt({"rename", "--apply", "--journal", Utf8(scratch_ / "journal.jsonl"),
                                "--list", Utf8(list), Utf8(roms)},
                               terminal);
        EXPECT_EQ(run.exitCode, 0) << terminal[0] << ": " << run.err;
        EXPECT_EQ(NamesIn(roms),
                  std::vector<std::string>{"0002 - \xE6\x98\x9F\xE5\xB1\x91\xE3\x83\x9E\xE3\x83\xBC"
                                           "\xE3\x82\xB1\xE3\x83\x83\xE3\x83\x88.gba"})
            << terminal[0];
        fs::remove_all(roms);
    }
}

// Stopped while it renames, by SIGKILL, or by SIGINT or SIGTERM, which let the rename under way
// finish, print the summary and the command that undoes it, and end with the signal; and once
// with SIGINT ignored, as nohup leaves it, which changes nothing. Then undone: every name and
// every byte is back.
TEST_F(QbtRename, StoppedMidwayThenUndoneEveryNameAndByteIsBack) {
    struct Stop {
        int signal;
        bool ignored;
    };
    for (const Stop stop :
         {Stop{SIGKILL, false}, Stop{SIGINT, false}, Stop{SIGTERM, false}, Stop{SIGINT, true}}) {
        const std::string which =
            std::string(strsignal(stop.signal)) + (stop.ignored ? ", ignored" : "");
        constexpr int kRoms = 400;
        const fs::path roms = scratch_ / "roms";
        const fs::path list = scratch_ / "list.xml";
        fs::remove_all(roms);
        WriteList(list, WriteManyRoms(roms, kRoms));
        const std::map<std::string, std::string> before = Snapshot(roms);
        const fs::path journal = scratch_ / "journal.jsonl";
        fs::remove(journal);

        const StoppedRun run = StopQbtMidway(
            {"rename", "--apply", "--journal", Utf8(journal), "--list", Utf8(list), Utf8(roms)},
            journal, stop.signal, stop.ignored, scratch_);
        if (stop.ignored) {
            EXPECT_EQ(run.status, 0) << which << ": " << run.err;
            EXPECT_TRUE(run.out.ends_with("\n400 renamed\n")) << which;
        } else {
            ASSERT_EQ(run.signal, stop.signal) << which << ": qbt finished before it was stopped";
            EXPECT_NE(Snapshot(roms), before) << which << ": some files were renamed";
        }
        if (stop.signal != SIGKILL && !stop.ignored) {
            // What was renamed is what is reported; the journal holds at least that much, since
            // a batch of renames is journaled before the first of them.
            std::size_t renamed = 0;
            for (const auto& [name, crc] : Snapshot(roms)) renamed += before.count(name) == 0;
            EXPECT_GE(LinesIn(journal), renamed) << which;
            EXPECT_TRUE(
                run.out.ends_with(" renamed, " + std::to_string(kRoms - renamed) + " to rename\n"))
                << which << ": every rename done was reported\n"
                << run.out;
            EXPECT_TRUE(run.err.ends_with("qbt: interrupted after " + std::to_string(renamed) +
                                          " renames; qbt undo " + Utf8(journal) +
                                          " puts the names back\n"))
                << which << ": " << run.err;
        }
        const QbtRun undo = Qbt({"undo", Utf8(journal)});
        EXPECT_EQ(undo.exitCode, 0) << which << ": " << undo.err;
        EXPECT_EQ(Snapshot(roms), before) << which;
    }
}

// Sorted into folders by region: the dry run and JSON show each new path and change nothing;
// then sorted, killed midway and undone as ExpectSortedIntoFoldersAndBack says.
TEST_F(QbtRename, SortedIntoFoldersThenUndoneEveryNameByteAndFolderIsBack) {
    const fs::path roms = scratch_ / "roms";
    const fs::path list = scratch_ / "list.xml";
    WriteList(list, WriteManyRomsToSort(roms, 10));
    const std::map<std::string, std::string> before = Snapshot(roms, true);
    const std::vector<std::string> rename{"rename",    "--list",           Utf8(list),
                                          "--pattern", "{region}/{title}", Utf8(roms)};
    std::vector<std::string> json = rename;
    json.insert(json.begin() + 1, "--json");
    const std::map<std::string, std::string> planned = NewNames(Qbt(json));
    EXPECT_EQ(planned.at(Utf8(roms / "dump1.gba")), "(E)/Game 1.gba");
    EXPECT_EQ(planned.at(Utf8(roms / "dump1.sav")), "(E)/Game 1.sav");
    EXPECT_EQ(planned.at(Utf8(roms / "dump5.gba")), "Game 5.gba");
    EXPECT_NE(Qbt(rename).out.find("(U)/Game 2.gba"), std::string::npos);
    EXPECT_EQ(Snapshot(roms, true), before) << "a dry run";
    fs::remove_all(roms);

    ExpectSortedIntoFoldersAndBack(roms, 400, [&](const auto& arguments, const fs::path& journal) {
        return StopQbtMidway(arguments, journal, SIGKILL, false, scratch_, 100).signal == SIGKILL;
    });
}

// Nothing is renamed when the run cannot start: a path named is missing (3), the journal named
// is no journal (3, and it is left as it was), the journal cannot be written (6). Undo of a file
// that is no journal says so in one line.
TEST_F(QbtRename, LooksBeforeItActs) {
    const fs::path roms = scratch_ / "roms";
    WriteFile(roms / "a.gba", kLanternfish);
    const std::map<std::string, std::string> before = Snapshot(roms);
    const std::string list = ReadFile(QBT_SAMPLE_LIST);
    WriteFile(scratch_ / "games.xml", list);
    const std::string journal = Utf8(scratch_ / "journal.jsonl");
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string err;
    };
    for (const Case& run :
         std::vector<Case>{{{"--journal", journal, Utf8(roms), Utf8(scratch_ / "absent")},
                            3,
                            "qbt: cannot read " + Utf8(scratch_ / "absent") +
                                ": No such file or directory; nothing was done\n"},
                           {{"--journal", Utf8(scratch_ / "games.xml"), Utf8(roms)},
                            3,
                            "qbt: " + Utf8(scratch_ / "games.xml") +
                                " is not a qbt journal: its line 1 is not a rename\n"},
                           {{"--journal", "/dev/full", Utf8(roms)}, 6, ""}}) {
        std::vector<std::string> arguments{"rename", "--apply", "--list", QBT_SAMPLE_LIST};
        arguments.insert(arguments.end(), run.arguments.begin(), run.arguments.end());
        const QbtRun done = Qbt(arguments);
        EXPECT_EQ(done.exitCode, run.exitCode) << run.arguments[1] << ": " << done.err;
        if (!run.err.empty()) {
            EXPECT_EQ(done.err, run.err);
        }
        EXPECT_EQ(Snapshot(roms), before) << run.arguments[1] << ": nothing renamed";
    }
    EXPECT_EQ(ReadFile(scratch_ / "games.xml"), list);
    const QbtRun undo = Qbt({"undo", Utf8(scratch_ / "games.xml")});
    EXPECT_EQ(undo.exitCode, 3);
    EXPECT_EQ(undo.err, "qbt: " + Utf8(scratch_ / "games.xml") +
                            " is not a qbt journal: its line 1 is not a rename\n");
}

// One journal added to by two runs, and a second journal: undone together, last named first,
// each from its last rename back; a dry run first shows the same and changes nothing.
TEST_F(QbtRename, SeveralRunsAndJournalsAreUndoneWhole) {
    const fs::path roms = scratch_ / "roms";
    const fs::path first = scratch_ / "first.jsonl";
    const fs::path second = scratch_ / "second.jsonl";
    WriteFile(roms / "a.gba", kLanternfish);
    const std::map<std::string, std::string> before = Snapshot(roms);
    const auto rename = [&](const std::string& pattern, const fs::path& journal) {
        const QbtRun run = Qbt({"rename", "--apply", "--list", QBT_SAMPLE_LIST, "--pattern",
                                pattern, "--journal", Utf8(journal), Utf8(roms)});
        EXPECT_EQ(run.exitCode, 0) << run.err;
    };
    rename("{title}", first);
    rename("{crc}", first);
    rename("{release}", second);
    ASSERT_EQ(NamesIn(roms), std::vector<std::string>{"1.gba"});

    const QbtRun plan = Qbt({"undo", "--dry-run", "--json", Utf8(first), Utf8(second)});
    EXPECT_EQ(plan.exitCode, 0) << plan.err;
    EXPECT_EQ(NamesIn(roms), std::vector<std::string>{"1.gba"});
    std::vector<std::string> steps;
    const json planned = json::parse(plan.out);
    for (const json& journal : planned["journals"]) {
        for (const json& entry : journal["entries"]) {
            steps.push_back(fs::path(entry["file"].get<std::string>()).filename().string() +
                            " -> " +
                            fs::path(entry["old_name"].get<std::string>()).filename().string() +
                            ": " + entry["outcome"].get<std::string>());
        }
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"1.gba -> B737FB1A.gba: restore",
                                               "B737FB1A.gba -> Lanternfish Lagoon.gba: restore",
                                               "Lanternfish Lagoon.gba -> a.gba: restore"}));
    const QbtRun undo = Qbt({"undo", Utf8(first), Utf8(second)});
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(undo.out, "3 restored, 0 already in place\n");
    EXPECT_EQ(Snapshot(roms), before);
}

// What is left alone is in the table and in JSON with its reason, counted as listed: a folder
// that cannot be read (named itself, the files beside it still renamed), a dangling link; a name
// that is not UTF-8 comes with its bytes in the journal's form.
TEST_F(QbtRename, WhatIsLeftAloneIsListedAndOddNamesKeepTheirBytes) {
    const fs::path roms = scratch_ / "roms";
    WriteFile(roms / "a.gba", kLanternfish);
    WriteFile(roms / "locked" / "b.gba", kStardust);
    WriteFile(roms / std::string("\xFF.gba"), "odd");
    fs::create_symlink(roms / "gone.gba", roms / "dangling.gba");
    fs::permissions(roms / "locked", fs::perms::none);
    fs::permissions(scratch_, fs::perms::others_exec | fs::perms::others_read,
                    fs::perm_options::add);
    // Root reads any folder: the run is made as nobody then, who owns nothing here, with copies
    // of qbt, the plug-in and the list that nobody can reach wherever the build is.
    std::vector<std::string> arguments{"rename", "--json", Utf8(roms)};
    const QbtRun run = geteuid() != 0 ? Qbt(arguments) : [&] {
        fs::copy_file(QBT_SAMPLE_LIST, scratch_ / "games.xml");
        arguments.insert(arguments.end() - 1, {"--list", Utf8(scratch_ / "games.xml")});
        arguments.insert(arguments.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups",
                                             Utf8(CopyToolAndPlugin(scratch_))});
        return RunQbt("/usr/bin/setpriv", arguments, {}, scratch_);
    }();
    fs::permissions(roms / "locked", fs::perms::owner_all);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const json result = json::parse(run.out);
    std::map<std::string, std::string> files;
    for (const json& file : result["files"]) {
        files[file["file"]] =
            file["outcome"].get<std::string>() +
            (file.contains("reason") ? ": " + file["reason"].get<std::string>() : "") +
            (file.contains("file_bytes") ? " " + file["file_bytes"].dump() : "");
    }
    const std::string r = Utf8(roms) + "/";
    EXPECT_EQ(files,
              (std::map<std::string, std::string>{
                  {r + "a.gba", "rename"},
                  {r + "dangling.gba", "skipped: a symbolic link: links are left alone"},
                  {r + "locked", "unreadable: cannot read " + r + "locked: Permission denied"},
                  {r + "\xEF\xBF\xBD.gba",
                   "not in the list {\"bytes\":\"" + HexOf(r) + "ff2e676261\"}"}}));
    std::size_t listed = 0;
    for (const auto& [outcome, count] : result["summary"].items())
        listed += count.get<std::size_t>();
    EXPECT_EQ(listed, result["files"].size()) << "the counts agree with the entries";
    EXPECT_EQ(run.err, "qbt: cannot read " + r + "locked: Permission denied\n");
}

// Sets or clears the immutable flag, which stops even root from renaming in a folder.
bool SetImmutable(const fs::path& folder, bool immutable) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor < 0) return false;
    int flags = 0;
    bool done = ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
    flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
    close(descriptor);
    return done;
}

TEST_F(QbtRename, PathsNamedTwiceLinksAndLockedFoldersLoseNothing) {
    const fs::path roms = scratch_ / u8"ロム";
    WriteFile(roms / "a.gba", kLanternfish);
    WriteFile(roms / "sub" / "b.gba", kStardust);
    WriteFile(scratch_ / "outside" / "c.gba", kChateau);
    fs::create_directory_symlink(scratch_ / "outside", roms / "outside-link");
    fs::create_symlink(roms / "a.gba", roms / "a-link.gba");
    WriteFile(roms / "locked" / "d.gba", kMole);
    const bool locked =
        geteuid() == 0
            ? SetImmutable(roms / "locked", true)
            : (fs::permissions(roms / "locked", fs::perms::owner_read | fs::perms::owner_exec),
               true);
    if (!locked) GTEST_SKIP() << "cannot lock a folder here";

    const QbtRun run = Qbt({"rename", "--json", "--apply", "--journal",
                            Utf8(scratch_ / "journal.jsonl"), "--list", QBT_SAMPLE_LIST, Utf8(roms),
                            Utf8(roms / "sub"), Utf8(roms / "a.gba"), Utf8(roms / "outside-link")});
    if (geteuid() == 0) SetImmutable(roms / "locked", false);
    fs::permissions(roms / "locked", fs::perms::owner_all);

    EXPECT_EQ(run.exitCode, 6) << run.err;
    const json result = json::parse(run.out);
    EXPECT_EQ(result["summary"]["renamed"], 3) << "each file once, however often it is named";
    EXPECT_EQ(result["summary"]["skipped"], 2) << "the two links met inside the folder";
    EXPECT_EQ(result["summary"]["failed"], 1);
    for (const json& file : result["files"]) {
        if (file["outcome"] == "failed") {
            EXPECT_EQ(file["file"], Utf8(roms / "locked" / "d.gba"));
            EXPECT_TRUE(file["reason"] == "Operation not permitted" ||
                        file["reason"] == "Permission denied")
                << file["reason"];
        }
    }
    EXPECT_EQ(Snapshot(scratch_ / "outside"),
              (std::map<std::string, std::string>{
                  {"0003 - Château des Brumes (F).gba", CrcKeyOf(kChateau)}}))
        << "a link to a folder, named, is entered";
    EXPECT_EQ(Snapshot(roms), (std::map<std::string, std::string>{
                                  {"0001 - Lanternfish Lagoon (U).gba", CrcKeyOf(kLanternfish)},
                                  {"a-link.gba", "-> " + (roms / "a.gba").string()},
                                  {"locked/d.gba", CrcKeyOf(kMole)},
                                  {"outside-link", "-> " + (scratch_ / "outside").string()},
                                  {"sub/0002 - 星屑マーケット (J).gba", CrcKeyOf(kStardust)},
                              }));
}

}  // namespace
