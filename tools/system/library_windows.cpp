#define NOMINMAX
#include <windows.h>

#include <string>

#include "tools/system/library.h"
#include "tools/system/windows_text.h"

Result<void*> OpenLibrary(const std::filesystem::path& path) {
    // Through the ANSI entry point, as a host loads its plug-ins. A path that has no exact ANSI
    // spelling is refused rather than bent into the name of some other file.
    bool inexact = false;
    const std::string ansiPath = FromWide(path.native(), CP_ACP, true, &inexact);
    if (inexact) {
        return Failure{FailureKind::kPluginUnusable,
                       "its path cannot be written in the ANSI code page"};
    }
    // A damaged library would otherwise stop the tool with a message box; the error is reported
    // on standard error like any other.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode);
    HMODULE library = LoadLibraryA(ansiPath.c_str());
    const DWORD loadError = GetLastError();
    SetThreadErrorMode(previousMode, nullptr);
    if (library == nullptr) {
        return Failure{FailureKind::kPluginUnusable, SystemMessage(loadError, ansiPath)};
    }
    return static_cast<void*>(library);
}

void* FindExport(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
