// Under Wine: where a file lies on the Linux side, for tests that check the bytes a UTF-16 name
// becomes there (UTF-8 under the suites' ja_JP.UTF-8 locale), and for what only Linux can make:
// symbolic links and names that are not UTF-8.
#pragma once

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

// The file's Unix path as Wine resolves it, in the letter case the directory holds; empty when
// not running under Wine or when there is no such file.
inline std::string UnixPathUnderWine(const std::filesystem::path& file) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) return {};
    char* unixPath = toUnix(std::filesystem::absolute(file).c_str());
    if (unixPath == nullptr) return {};
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// Under Wine: runs the shell `script` on the Linux side in `folder` and gives what it writes
// once it has finished; nothing when it cannot run or does not finish within a minute. Wine
// starts a Linux program but cannot wait for it, so the script marks its end by renaming its
// output into place.
inline std::optional<std::string> RunOnLinuxSide(const std::string& script,
                                                 const std::filesystem::path& folder) {
    const std::string unixFolder = UnixPathUnderWine(folder);
    if (unixFolder.empty()) return std::nullopt;
    const std::filesystem::path output = folder / "linux-side.out";
    std::filesystem::remove(output);
    std::ofstream(folder / "linux-side.sh", std::ios::binary)
        << "cd '" << unixFolder << "' || exit\n{\n"
        << script
        << "\n} >linux-side.part 2>&1\nrm linux-side.sh\nmv linux-side.part linux-side.out\n";
    const std::u8string unixScript(unixFolder.begin(), unixFolder.end());
    std::wstring command =
        L"/bin/sh \"" + std::filesystem::path(unixScript).wstring() + L"/linux-side.sh\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return std::nullopt;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    for (int waited = 0; !std::filesystem::exists(output); ++waited) {
        if (waited == 600) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::ifstream file(output, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    file.close();
    std::filesystem::remove(output);
    return text;
}

#endif
