// qbt end to end: the fixture the tool's test files share. How qbt is started, and in which
// codeset it writes, differs by platform: run_qbt_posix.cpp and run_qbt_windows.cpp.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

int CurrentProcessId();

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// A path as the UTF-8 that RunQbt takes.
inline std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
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

class ToolTest : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        scratch_ = std::filesystem::temp_directory_path() /
                   (std::string("qbt_") + test->test_suite_name() + "_" + test->name() + "_" +
                    std::to_string(CurrentProcessId()));
        std::filesystem::remove_all(scratch_);
        std::filesystem::create_directories(scratch_);
    }
    void TearDown() override { std::filesystem::remove_all(scratch_); }

    QbtRun Qbt(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {}) {
        return RunQbt(QBT_TOOL, arguments, environment, scratch_);
    }

    std::filesystem::path scratch_;
};
