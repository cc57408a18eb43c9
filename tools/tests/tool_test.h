// qbt end to end: the fixture the tool's test files share. How qbt is started, and in which
// codeset it writes, differs by platform: run_qbt_posix.cpp and run_qbt_windows.cpp.
#pragma once

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/tests/scratch.h"

struct QbtRun {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs `tool` with the test's environment plus `environment` ("NAME=value") on top. Arguments
// are UTF-8, and reach qbt in its terminal's codeset. Standard output and error go through files
// in `scratch`; their line ends come back as "\n".
QbtRun RunQbt(const std::filesystem::path& tool, const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment, const std::filesystem::path& scratch);

// What to add to the environment for a terminal whose codeset is Shift_JIS (code page 932).
std::vector<std::string> ShiftJisTerminal();

// qbt's output in the suite's own terminal codeset (UTF-8 on Linux, code page 932 under Wine),
// as UTF-8.
std::string TerminalTextAsUtf8(const std::string& text);

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

class ToolTest : public ScratchTest {
protected:
    QbtRun Qbt(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {}) {
        return RunQbt(QBT_TOOL, arguments, environment, scratch_);
    }
};
