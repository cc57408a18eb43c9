#include <dlfcn.h>

#include "tools/system/library.h"

Result<void*> OpenLibrary(const std::filesystem::path& path) {
    // RTLD_NOW: a library with unresolved symbols fails here, not at its first call.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return Failure{FailureKind::kPluginUnusable, dlerror()};
    return library;
}

void* FindExport(void* library, const char* name) { return dlsym(library, name); }
