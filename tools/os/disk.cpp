#include "tools/os/disk.h"

namespace fs = std::filesystem;

namespace {

class SystemFileSystem final : public Disk {
public:
    std::vector<fs::path> NamesIn(const fs::path& folder) override {
        std::vector<fs::path> names;
        std::error_code error;
        fs::directory_iterator entry(folder, error);
        for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
            names.push_back(entry->path().filename());
        }
        return names;
    }

    bool Exists(const fs::path& path) override {
        std::error_code error;
        return fs::symlink_status(path, error).type() != fs::file_type::not_found;
    }

    bool IsSameEntry(const fs::path& existing, const fs::path& name) override {
        std::error_code error;
        if (!fs::equivalent(existing, name, error) || error) return false;
        fs::directory_iterator entry(name.parent_path(), error);
        for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
            if (entry->path().filename() == name.filename()) return false;
        }
        return !error;
    }

    RenameResult Rename(const fs::path& from, const fs::path& to, std::string& error) override {
        return RenameWithoutReplacing(from, to, error);
    }
};

}  // namespace

Disk& SystemDisk() {
    static SystemFileSystem disk;
    return disk;
}
