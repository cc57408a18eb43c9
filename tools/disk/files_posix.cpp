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

DiskError Failed(int number) { return {DiskError::kFailed, std::strerror(number)}; }

// The entry's kind as the folder's listing gives it; where it gives none (some file systems
// leave it to lstat), as lstat does.
FileKind KindOfEntry(DIR* stream, const dirent& entry) {
    switch (entry.d_type) {
        case DT_REG: return FileKind::kFile;
        case DT_DIR: return FileKind::kFolder;
        case DT_LNK: return FileKind::kLink;
        case DT_UNKNOWN: break;
        default: return FileKind::kOther;
    }
    struct stat status {};
    if (fstatat(dirfd(stream), entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return FileKind::kUnknown;
    }
    return KindOfMode(status.st_mode);
}

}  // namespace

fs::path LongPath(const fs::path& path) { return path; }

DiskResult<FileKind> KindOf(const fs::path& path, bool followLinks) {
    struct stat status {};
    if ((followLinks ? stat(path.c_str(), &status) : lstat(path.c_str(), &status)) == 0) {
        return KindOfMode(status.st_mode);
    }
    if (errno == ENOENT) return FileKind::kMissing;
    return Failed(errno);
}

DiskResult<std::vector<FolderEntry>> ListFolder(const fs::path& folder) {
    DIR* stream = opendir(folder.c_str());
    if (stream == nullptr) return Failed(errno);
    std::vector<FolderEntry> entries;
    errno = 0;
    while (const dirent* entry = readdir(stream)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            entries.push_back({fs::path(std::string(name)), KindOfEntry(stream, *entry)});
        }
        errno = 0;
    }
    const int readError = errno;
    closedir(stream);
    if (readError != 0) return Failed(readError);
    return entries;
}

DiskResult<std::vector<fs::path>> ListNames(const fs::path& folder) {
    DiskResult<std::vector<FolderEntry>> entries = ListFolder(folder);
    if (!entries.Ok()) return entries.Why();
    std::vector<fs::path> names;
    for (FolderEntry& entry : *entries) names.push_back(std::move(entry.name));
    return names;
}

// A Linux name is any bytes, and qbt keeps them as they are.
std::string InexactName(const fs::path&) { return {}; }

DiskResult<> MakeFolder(const fs::path& path) {
    if (mkdir(path.c_str(), 0777) == 0) return Done{};
    if (errno == EEXIST) return DiskError{DiskError::kNameTaken, ""};
    return Failed(errno);
}

// rmdir refuses a folder that holds anything; lstat first, since rmdir of "link/" would follow.
bool RemoveEmptyFolder(const fs::path& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && rmdir(path.c_str()) == 0;
}

DiskResult<> RenameReplacing(const fs::path& from, const fs::path& to) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return Done{};
    return Failed(errno);
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

DiskResult<> FlushFolder(const fs::path& folder) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return Failed(errno);
    const bool flushed = fsync(descriptor) == 0 || errno == EINVAL || errno == EROFS;
    const int failure = errno;
    close(descriptor);
    if (flushed) return Done{};
    return Failed(failure);
}

DiskResult<std::FILE*> OpenForReading(const fs::path& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return Failed(errno);
    return file;
}

fs::path ExecutableDirectory() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : executable.parent_path();
}
