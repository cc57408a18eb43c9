#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/disk/files.h"

namespace fs = std::filesystem;

namespace {

FileKind KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::kFile;
    if (S_ISDIR(mode)) return FileKind::kFolder;
    if (S_ISLNK(mode)) return FileKind::kLink;
    return FileKind::kOther;
}

}  // namespace

fs::path LongPath(const fs::path& path) { return path; }

FileKind KindOf(const fs::path& path, bool followLinks, std::string& error) {
    struct stat status {};
    if ((followLinks ? stat(path.c_str(), &status) : lstat(path.c_str(), &status)) == 0) {
        return KindOfMode(status.st_mode);
    }
    if (errno == ENOENT) return FileKind::kMissing;
    error = std::strerror(errno);
    return FileKind::kUnknown;
}

bool ListFolder(const fs::path& folder, std::vector<FolderEntry>& entries, std::string& error) {
    DIR* stream = opendir(folder.c_str());
    if (stream == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(stream)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        FileKind kind = FileKind::kUnknown;
        switch (entry->d_type) {
            case DT_REG: kind = FileKind::kFile; break;
            case DT_DIR: kind = FileKind::kFolder; break;
            case DT_LNK: kind = FileKind::kLink; break;
            case DT_UNKNOWN: break;  // some file systems leave it to lstat
            default: kind = FileKind::kOther; break;
        }
        if (kind == FileKind::kUnknown) {
            struct stat status {};
            if (fstatat(dirfd(stream), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
                kind = KindOfMode(status.st_mode);
            }
        }
        entries.push_back({fs::path(std::string(name)), kind});
        errno = 0;
    }
    const int readError = errno;
    closedir(stream);
    if (readError != 0) {
        error = std::strerror(readError);
        return false;
    }
    return true;
}

bool ListNames(const fs::path& folder, std::vector<fs::path>& names, std::string& error) {
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder, entries, error)) return false;
    for (FolderEntry& entry : entries) names.push_back(std::move(entry.name));
    return true;
}

// A Linux name is any bytes, and qbt keeps them as they are.
std::string InexactName(const fs::path&) { return {}; }

Reservation MakeFolder(const fs::path& path, std::string& error) {
    if (mkdir(path.c_str(), 0777) == 0) return Reservation::kReserved;
    if (errno == EEXIST) return Reservation::kTaken;
    error = std::strerror(errno);
    return Reservation::kFailed;
}

// rmdir refuses a folder that holds anything; lstat first, since rmdir of "link/" would follow.
bool RemoveEmptyFolder(const fs::path& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && rmdir(path.c_str()) == 0;
}

bool RenameReplacing(const fs::path& from, const fs::path& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    error = std::strerror(errno);
    return false;
}

bool IsEmptyFile(const fs::path& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size == 0;
}

bool RemoveEmptyFile(const fs::path& path) {
    return IsEmptyFile(path) && unlink(path.c_str()) == 0;
}

bool IsSecondName(const fs::path& kept, const fs::path& extra) {
    struct stat keptStatus {};
    struct stat extraStatus {};
    return lstat(kept.c_str(), &keptStatus) == 0 && lstat(extra.c_str(), &extraStatus) == 0 &&
           S_ISREG(keptStatus.st_mode) && keptStatus.st_dev == extraStatus.st_dev &&
           keptStatus.st_ino == extraStatus.st_ino && keptStatus.st_nlink > 1 && kept != extra;
}

bool RemoveSecondName(const fs::path& kept, const fs::path& extra) {
    return IsSecondName(kept, extra) && unlink(extra.c_str()) == 0;
}

bool FlushFolder(const fs::path& folder) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return false;
    const bool flushed = fsync(descriptor) == 0 || errno == EINVAL || errno == EROFS;
    close(descriptor);
    return flushed;
}

std::FILE* OpenForReading(const fs::path& path) { return std::fopen(path.c_str(), "rb"); }

fs::path ExecutableDirectory() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : executable.parent_path();
}
