#include <dlfcn.h>

#include "tools/system/library.h"

void* OpenLibrary(const std::filesystem::path& path, std::string& error) {
    // RTLD_NOW: a library with unresolved symbols fails here, not at its first call.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) error = dlerror();
    return library;
}

void* FindExport(void* library, const char* name) { return dlsym(library, name); }
