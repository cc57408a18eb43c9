// qbt rename and undo end to end, in the builds that have them: ROM files made by the test,
// renamed after the sample list or a list written for them, and every file checked afterwards
// for its name and its bytes.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tools/tests/tool_test.h"

extern char** environ;

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Every file under `folder`, by path relative to it, with the CRC-32 of its bytes; links by
// their target.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = Utf8(entry.path().lexically_relative(folder));
        if (entry.is_symlink()) {
            files[name] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            files[name] = CrcKeyOf(ReadFile(entry.path()));
        }
    }
    return files;
}

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

    const QbtRun plan = Qbt({"rename", "--json", Utf8(roms)});
    EXPECT_EQ(plan.exitCode, 1) << plan.err;
    EXPECT_EQ(Snapshot(roms), before) << "a dry run changes nothing";
    const fs::path journal = scratch_ / "journal.jsonl";
    const QbtRun applied =
        Qbt({"rename", "--json", "--apply", "--journal", Utf8(journal), Utf8(roms)});
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

    const QbtRun again = Qbt({"rename", Utf8(roms)});
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

// Files of distinct content, listed as "Game NNN" with release number NNN.
std::vector<Game> WriteManyRoms(const fs::path& roms, int count) {
    std::vector<Game> games;
    for (int number = 1; number <= count; ++number) {
        const std::string content = "rom " + std::to_string(number) + std::string(200, '.');
        const std::string name = std::to_string(number);
        WriteFile(roms / ("dump" + name + ".gba"), content);
        games.push_back({content, "Game " + name, "", "", "1", name});
    }
    return games;
}

std::size_t LinesIn(const fs::path& file) {
    const std::string text = ReadFile(file);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST_F(QbtRename, KilledMidwayThenUndoneEveryNameAndByteIsBack) {
    constexpr int kRoms = 400;
    const fs::path roms = scratch_ / "roms";
    const fs::path list = scratch_ / "list.xml";
    WriteList(list, WriteManyRoms(roms, kRoms));
    const std::map<std::string, std::string> before = Snapshot(roms);
    const fs::path journal = scratch_ / "journal.jsonl";

    std::vector<std::string> arguments{QBT_TOOL,      "rename", "--apply",  "--journal",
                                       Utf8(journal), "--list", Utf8(list), Utf8(roms)};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child;
    ASSERT_EQ(posix_spawn(&child, QBT_TOOL, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Stopped once it has renamed a few files, while it is at it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (LinesIn(journal) < 20 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "qbt finished before it could be stopped";
    const std::size_t journaled = LinesIn(journal);
    EXPECT_LT(journaled, static_cast<std::size_t>(kRoms));
    EXPECT_NE(Snapshot(roms), before) << "some files were renamed";

    const QbtRun undo = Qbt({"undo", Utf8(journal)});
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(Snapshot(roms), before);
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

    const QbtRun run =
        Qbt({"rename", "--json", "--apply", "--journal", Utf8(scratch_ / "journal.jsonl"),
             Utf8(roms), Utf8(roms / "sub"), Utf8(roms / "a.gba"), Utf8(roms / "outside-link")});
    if (geteuid() == 0) SetImmutable(roms / "locked", false);
    fs::permissions(roms / "locked", fs::perms::owner_all);

    EXPECT_EQ(run.exitCode, 6) << run.err;
    const json result = json::parse(run.out);
    EXPECT_EQ(result["summary"]["renamed"], 2) << "each file once, however often it is named";
    EXPECT_EQ(result["summary"]["skipped"], 2) << "the two links";
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
              (std::map<std::string, std::string>{{"c.gba", CrcKeyOf(kChateau)}}));
    EXPECT_EQ(Snapshot(roms), (std::map<std::string, std::string>{
                                  {"0001 - Lanternfish Lagoon (U).gba", CrcKeyOf(kLanternfish)},
                                  {"a-link.gba", "-> " + (roms / "a.gba").string()},
                                  {"locked/d.gba", CrcKeyOf(kMole)},
                                  {"outside-link", "-> " + (scratch_ / "outside").string()},
                                  {"sub/0002 - 星屑マーケット (J).gba", CrcKeyOf(kStardust)},
                              }));
}

}  // namespace
