// Under Wine: where a file lies on the Linux side, for tests that check the bytes a UTF-16 name
// becomes there (UTF-8 under the suites' ja_JP.UTF-8 locale).
#pragma once

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>
#include <string>

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

#endif
