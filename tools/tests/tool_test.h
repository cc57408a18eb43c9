// qbt end to end: the fixture the tool's test files share. How qbt is started, and in which
// codeset it writes, differs by platform: run_qbt_posix.cpp and run_qbt_windows.cpp.
#pragma once

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/tests/scratch.h"

struct QbtRun {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs `tool` with the test's environment plus `environment` ("NAME=value") on top, or with
// none at all for kEmptyEnvironment (Linux only). Arguments are UTF-8, and reach qbt in its
// terminal's codeset. Standard output and error go through files in `scratch`; their line ends
// come back as "\n".
inline const std::vector<std::string> kEmptyEnvironment{"env -i"};
QbtRun RunQbt(const std::filesystem::path& tool, const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment, const std::filesystem::path& scratch);

#ifndef _WIN32
// What to add to the environment for a terminal whose codeset is Shift_JIS (code page 932).
// qbt.exe has no such terminal: its manifest makes UTF-8 its ANSI code page whatever the system's.
std::vector<std::string> ShiftJisTerminal();
#endif

// The text's bytes in lower-case hexadecimal.
inline std::string HexOf(const std::string& text) {
    std::string hex;
    for (const char byte : text) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(byte));
        hex += digits;
    }
    return hex;
}

// The key a ROM of these bytes is looked up by: its CRC-32 in hexadecimal.
inline std::string CrcKeyOf(const std::string& content) {
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(content.data()),
                            static_cast<uInt>(content.size()));
    char key[9];
    std::snprintf(key, sizeof key, "%08lX", crc);
    return key;
}

// 星屑マーケット in Shift_JIS (code page 932).
inline constexpr const char* kStardustInShiftJis =
    "\x90\xAF\x8B\xFB\x83\x7D\x81\x5B\x83\x50\x83\x62\x83\x67";

// A game list record; an element left empty here is left out of the record.
struct Game {
    std::string content;  // the ROM's bytes, whose CRC-32 is the key
    std::string title;
    std::string publisher;
    std::string saveType;
    std::string location;
    std::string release;
};

// The values are written as given, in the bytes of the encoding the declaration names.
inline void WriteList(const std::filesystem::path& list, const std::vector<Game>& games,
                      const std::string& encoding = "UTF-8") {
    std::string text = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n<gamelist><games>\n";
    const auto element = [&](const char* tag, const std::string& value) {
        if (!value.empty()) text += std::string("<") + tag + ">" + value + "</" + tag + ">";
    };
    for (const Game& game : games) {
        text += "<GAME>";
        element("TITLE", game.title);
        element("PUBLISHER", game.publisher);
        element("SAVETYPE", game.saveType);
        element("LOCATION", game.location);
        element("RELEASENUMBER", game.release);
        element("ROMCRC", CrcKeyOf(game.content));
        text += "</GAME>\n";
    }
    WriteFile(list, text + "</games></gamelist>\n");
}

// Copies the built tool and plug-in into `folder`, placed as they were built, so that the copy
// finds its default plug-in as the original does. Returns the copied tool.
inline std::filesystem::path CopyToolAndPlugin(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    const fs::path tool = folder / "tool" / fs::path(QBT_TOOL).filename();
    const fs::path pluginFromTool =
        fs::path(QBT_PLUGIN).lexically_relative(fs::path(QBT_TOOL).parent_path());
    const fs::path plugin = (tool.parent_path() / pluginFromTool).lexically_normal();
    fs::create_directories(tool.parent_path());
    fs::create_directories(plugin.parent_path());
    fs::copy_file(QBT_TOOL, tool);
    fs::copy_file(QBT_PLUGIN, plugin);
    return tool;
}

// Every file under `folder`, by path relative to it, with the CRC-32 of its bytes; links by
// their target; with `withFolders`, every folder too, by its path and "/", as "folder".
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder,
                                                   bool withFolders = false) {
    std::map<std::string, std::string> files;
    namespace fs = std::filesystem;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        // With '/' between folders on every system, as tests write them.
        const std::string name =
            Utf8(fs::path(entry.path().lexically_relative(folder).generic_u8string()));
        if (entry.is_symlink()) {
            files[name] = "-> " + std::filesystem::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            files[name] = CrcKeyOf(ReadFile(entry.path()));
        } else if (withFolders && entry.is_directory()) {
            files[name + "/"] = "folder";
        }
    }
    return files;
}

// Files of distinct content, listed as "Game NNN" with release number NNN.
inline std::vector<Game> WriteManyRoms(const std::filesystem::path& roms, int count) {
    std::vector<Game> games;
    for (int number = 1; number <= count; ++number) {
        const std::string content = "rom " + std::to_string(number) + std::string(200, '.');
        const std::string name = std::to_string(number);
        WriteFile(roms / ("dump" + name + ".gba"), content);
        games.push_back({content, "Game " + name, "", "", "1", name});
    }
    return games;
}

// WriteManyRoms's games over four regions, (E) (U) (G) (C), and none for every fifth, with a
// save beside every tenth ROM and a folder of the user's, (E), that ROMs go into: what
// '{region}/{title}' sorts.
inline std::vector<Game> WriteManyRomsToSort(const std::filesystem::path& roms, int count) {
    std::vector<Game> games = WriteManyRoms(roms, count);
    for (std::size_t index = 0; index < games.size(); ++index) {
        games[index].location = index % 5 == 4 ? "" : std::to_string(index % 5);
        if (index % 10 == 0) {
            WriteFile(roms / ("dump" + std::to_string(index + 1) + ".sav"),
                      "save " + games[index].title);
        }
    }
    WriteFile(roms / "(E)" / "lone.sav", "a save of the user's, with no ROM");
    return games;
}

// The journal's lines, not the room kept after them.
inline std::size_t LinesIn(const std::filesystem::path& journal) {
    std::istringstream text(ReadFile(journal));
    std::size_t lines = 0;
    for (std::string line; std::getline(text, line);) lines += line.starts_with('{') ? 1 : 0;
    return lines;
}

// POSIX builds: runs qbt with `arguments` and, once `journal` has `lines` lines, sends it
// `signal`; with `ignored`, qbt starts with that signal ignored, as under nohup. `signal` is the
// one that ended it (0 if it exited), `status` its exit status otherwise.
struct StoppedRun {
    int signal = 0;
    int status = -1;
    std::string out;
    std::string err;
};
StoppedRun StopQbtMidway(const std::vector<std::string>& arguments,
                         const std::filesystem::path& journal, int signal, bool ignored,
                         const std::filesystem::path& scratch, std::size_t lines = 20);

// Windows builds: runs qbt with `arguments` and, once `journal` has `lines` lines, ends it with
// TerminateProcess, which, like SIGKILL, gives it no moment to finish what it is doing.
// `killed` when it was still running then.
struct KilledRun {
    bool killed = false;
    QbtRun run;
};
inline constexpr unsigned kKilledExitCode = 137;
KilledRun KillQbtMidway(const std::vector<std::string>& arguments,
                        const std::filesystem::path& journal, const std::filesystem::path& scratch,
                        std::size_t lines);

class ToolTest : public ScratchTest {
protected:
    QbtRun Qbt(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {}) {
        return RunQbt(QBT_TOOL, arguments, environment, scratch_);
    }

    // Runs qbt with the arguments and ends it once the journal has 100 lines; true when it was
    // still running then.
    using KillMidway = std::function<bool(const std::vector<std::string>& arguments,
                                          const std::filesystem::path& journal)>;

    // `count` ROMs of WriteManyRomsToSort under `roms`, sorted by '{region}/{title}': finished,
    // sorted again (nothing moves) and undone; then killed midway and undone. Every name, byte
    // and folder is back each time, the user's own folder too, and no folder qbt made is left.
    void ExpectSortedIntoFoldersAndBack(const std::filesystem::path& roms, int count,
                                        const KillMidway& killMidway) {
        namespace fs = std::filesystem;
        const fs::path list = scratch_ / "list.xml";
        WriteList(list, WriteManyRomsToSort(roms, count));
        const std::map<std::string, std::string> before = Snapshot(roms, true);
        const std::vector<std::string> rename{"rename",    "--list",           Utf8(list),
                                              "--pattern", "{region}/{title}", Utf8(roms)};
        for (const bool killed : {false, true}) {
            const fs::path journal = scratch_ / (killed ? "killed.jsonl" : "journal.jsonl");
            std::vector<std::string> apply = rename;
            apply.insert(apply.begin() + 1, {"--apply", "--journal", Utf8(journal)});
            if (killed) {
                ASSERT_TRUE(killMidway(apply, journal)) << "qbt finished before it was stopped";
            } else {
                const QbtRun run = Qbt(apply);
                EXPECT_EQ(run.exitCode, 0) << run.err;
                const std::string counts = std::to_string(count) + " renamed (and " +
                                           std::to_string(count / 10) +
                                           " saves or patches with them)\n";
                EXPECT_TRUE(run.out.ends_with("\n" + counts)) << run.out;
                const std::map<std::string, std::string> sorted = Snapshot(roms, true);
                EXPECT_EQ(sorted.at("(G)/Game 3.gba"), before.at("dump3.gba"));
                EXPECT_EQ(sorted.at("(E)/lone.sav"), before.at("(E)/lone.sav"));
                EXPECT_EQ(sorted.count("(C)/"), 1u);
                EXPECT_TRUE(Qbt(rename).out.ends_with("\n0 to rename, " + std::to_string(count) +
                                                      " already right\n"))
                    << "sorted again, nothing moves";
            }
            EXPECT_NE(Snapshot(roms, true), before) << "files were moved";
            const QbtRun undo = Qbt({"undo", Utf8(journal)});
            EXPECT_EQ(undo.exitCode, 0) << undo.err;
            EXPECT_EQ(Snapshot(roms, true), before) << (killed ? "killed midway" : "finished");
            if (!killed) {
                EXPECT_TRUE(undo.out.ends_with("; 3 folders removed\n")) << undo.out;
            }
        }
    }
};
