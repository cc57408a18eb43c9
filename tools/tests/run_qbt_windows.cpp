#define NOMINMAX
#include <windows.h>

#include <chrono>

#include "tools/tests/tool_test.h"

namespace fs = std::filesystem;

namespace {

std::wstring Widen(const std::string& text, UINT codePage) {
    const int length =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

// One argument as the C runtime splits a command line: quoted when it holds blanks or quotes,
// backslashes doubled where a quote follows them.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t character : argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(character == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += character;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE CreateInheritableFile(const fs::path& path) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// qbt.exe writes its streams in text mode.
std::string WithNewlines(std::string text) {
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.erase(at, 1);
    return text;
}

// Starts qbt with `arguments`, its output going to files in `scratch`; null when it cannot.
HANDLE StartQbt(const fs::path& tool, const std::vector<std::string>& arguments,
                const fs::path& scratch) {
    std::wstring commandLine = Quoted(tool.native());
    for (const std::string& argument : arguments) {
        commandLine += L' ' + Quoted(Widen(argument, CP_UTF8));
    }
    const HANDLE outFile = CreateInheritableFile(scratch / "stdout");
    const HANDLE errFile = CreateInheritableFile(scratch / "stderr");

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(outFile);
    CloseHandle(errFile);
    if (!started) {
        ADD_FAILURE() << "cannot start " << tool << ", error " << GetLastError();
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

QbtRun WaitForQbt(HANDLE process, const fs::path& scratch) {
    WaitForSingleObject(process, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    return {static_cast<int>(exitCode), WithNewlines(ReadFile(scratch / "stdout")),
            WithNewlines(ReadFile(scratch / "stderr"))};
}

}  // namespace

QbtRun RunQbt(const fs::path& tool, const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment, const fs::path& scratch) {
    // qbt inherits the suite's environment whole: no test here needs more on Windows.
    if (!environment.empty()) ADD_FAILURE() << "extra environment is not passed on here";
    const HANDLE process = StartQbt(tool, arguments, scratch);
    return process == nullptr ? QbtRun{-1, "", ""} : WaitForQbt(process, scratch);
}

KilledRun KillQbtMidway(const std::vector<std::string>& arguments, const fs::path& journal,
                        const fs::path& scratch, std::size_t lines) {
    const HANDLE process = StartQbt(QBT_TOOL, arguments, scratch);
    if (process == nullptr) return {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (LinesIn(journal) < lines && std::chrono::steady_clock::now() < deadline) {
        Sleep(1);
    }
    KilledRun run;
    run.killed = TerminateProcess(process, kKilledExitCode) != 0;
    run.run = WaitForQbt(process, scratch);
    run.killed = run.killed && run.run.exitCode == static_cast<int>(kKilledExitCode);
    return run;
}
