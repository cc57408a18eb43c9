#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/tests/tool_test.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

QbtRun RunQbt(const fs::path& tool, const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment, const fs::path& scratch) {
    std::vector<std::string> argumentStrings{tool.string()};
    argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
    // getenv takes the first of two entries with the same name, so the extra ones go first.
    std::vector<std::string> environmentStrings(environment);
    for (char** entry = environ; *entry != nullptr; ++entry) environmentStrings.push_back(*entry);

    const fs::path out = scratch / "stdout";
    const fs::path err = scratch / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child;
    const int spawned =
        posix_spawn(&child, tool.c_str(), &actions, nullptr, Pointers(argumentStrings).data(),
                    Pointers(environmentStrings).data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << tool;
        return {-1, "", ""};
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

std::vector<std::string> ShiftJisTerminal() {
    return {"LC_ALL=ja_JP.SJIS", "LOCPATH=" QBT_TEST_LOCALES};
}

// The suite runs under C.UTF-8.
std::string TerminalTextAsUtf8(const std::string& text) { return text; }
