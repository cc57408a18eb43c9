#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

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

namespace {

pid_t Spawn(const fs::path& tool, const std::vector<std::string>& arguments,
            const std::vector<std::string>& environment, const fs::path& scratch) {
    std::vector<std::string> argumentStrings{tool.string()};
    argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
    // getenv takes the first of two entries with the same name, so the extra ones go first.
    const bool empty = environment == kEmptyEnvironment;
    std::vector<std::string> environmentStrings(empty ? std::vector<std::string>() : environment);
    for (char** entry = environ; !empty && *entry != nullptr; ++entry) {
        environmentStrings.push_back(*entry);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (scratch / "stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (scratch / "stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, tool.c_str(), &actions, nullptr, Pointers(argumentStrings).data(),
                    Pointers(environmentStrings).data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << tool;
        return -1;
    }
    return child;
}

}  // namespace

StoppedRun StopQbtMidway(const std::vector<std::string>& arguments, const fs::path& journal,
                         int signal, bool ignored, const fs::path& scratch, std::size_t lines) {
    // An ignored signal stays ignored in a child that posix_spawn starts.
    struct sigaction ignore {};
    struct sigaction kept {};
    ignore.sa_handler = SIG_IGN;
    if (ignored) sigaction(signal, &ignore, &kept);
    const pid_t child = Spawn(QBT_TOOL, arguments, {}, scratch);
    if (ignored) sigaction(signal, &kept, nullptr);
    StoppedRun run;
    if (child < 0) return run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (LinesIn(journal) < lines && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = ReadFile(scratch / "stdout");
    run.err = ReadFile(scratch / "stderr");
    return run;
}

QbtRun RunQbt(const fs::path& tool, const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment, const fs::path& scratch) {
    const pid_t child = Spawn(tool, arguments, environment, scratch);
    if (child < 0) return {-1, "", ""};
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(scratch / "stdout"),
            ReadFile(scratch / "stderr")};
}

std::vector<std::string> ShiftJisTerminal() {
    return {"LC_ALL=ja_JP.SJIS", "LOCPATH=" QBT_TEST_LOCALES};
}
