#include "tools/roms/rom_files.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "tools/os/file_reading.h"
#include "tools/os/platform.h"

namespace fs = std::filesystem;

namespace {

void CollectFolder(const fs::path& folder, CollectedFiles& collected) {
    std::vector<fs::path> found;
    std::error_code error;
    fs::recursive_directory_iterator walk(folder, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        std::error_code typeError;  // a dangling link, say: reported, and the walk goes on
        if (walk->is_regular_file(typeError)) found.push_back(walk->path());
        if (typeError)
            collected.unreadable.push_back(CannotRead(walk->path(), typeError.message()));
    }
    if (error) collected.unreadable.push_back(CannotRead(folder, error.message()));
    std::sort(found.begin(), found.end());
    collected.files.insert(collected.files.end(), found.begin(), found.end());
}

}  // namespace

CollectedFiles CollectRomFiles(const std::vector<std::string>& paths) {
    CollectedFiles collected;
    for (const std::string& typed : paths) {
        const fs::path path = PathFromTerminal(typed);
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (error) {
            collected.unreadable.push_back(CannotRead(path, error.message()));
        } else if (fs::is_directory(status)) {
            CollectFolder(path, collected);
        } else {
            collected.files.push_back(path);
        }
    }
    return collected;
}
