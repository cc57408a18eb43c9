#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/os/files.h"
#include "tools/os/paths.h"

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

namespace {

// A file made here and now, never one that was there: kTaken when the name is.
Reservation CreateNewFile(const fs::path& path, int& file, std::string& error) {
    file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (file >= 0) return Reservation::kReserved;
    if (errno == EEXIST) return Reservation::kTaken;
    error = std::strerror(errno);
    return Reservation::kFailed;
}

}  // namespace

Reservation ReserveName(const fs::path& path, std::string& error) {
    int file = -1;
    const Reservation made = CreateNewFile(path, file, error);
    if (made == Reservation::kReserved) close(file);
    return made;
}

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

namespace {

class PosixReadableFile final : public ReadableFile {
public:
    PosixReadableFile(int descriptor, std::uint64_t size) : descriptor_(descriptor), size_(size) {}
    ~PosixReadableFile() override { close(descriptor_); }
    PosixReadableFile(const PosixReadableFile&) = delete;
    PosixReadableFile& operator=(const PosixReadableFile&) = delete;

    std::uint64_t Size() const override { return size_; }

    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size,
                        std::string& error) override {
        for (;;) {
            const ssize_t read = pread(descriptor_, buffer, size, static_cast<off_t>(offset));
            if (read >= 0) return read;
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return -1;
        }
    }

private:
    int descriptor_;
    std::uint64_t size_;
};

}  // namespace

std::unique_ptr<ReadableFile> OpenReadable(const fs::path& path, std::string& error) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        error = std::strerror(errno);
        close(descriptor);
        return nullptr;
    }
    return std::make_unique<PosixReadableFile>(descriptor,
                                               static_cast<std::uint64_t>(status.st_size));
}

Reservation WriteNewFile(const fs::path& path, std::string_view content, std::string& error) {
    int file = -1;
    if (const Reservation made = CreateNewFile(path, file, error); made != Reservation::kReserved) {
        return made;
    }
    int failure = 0;
    for (std::size_t written = 0; written < content.size() && failure == 0;) {
        const ssize_t count = write(file, content.data() + written, content.size() - written);
        if (count >= 0) {
            written += static_cast<std::size_t>(count);
        } else if (errno != EINTR) {
            failure = errno;
        }
    }
    if (failure == 0 && fsync(file) != 0 && errno != EINVAL) failure = errno;
    if (close(file) != 0 && failure == 0) failure = errno;
    if (failure == 0) return Reservation::kReserved;
    unlink(path.c_str());
    error = std::strerror(failure);
    return Reservation::kFailed;
}

bool RemoveFile(const fs::path& path) { return unlink(path.c_str()) == 0; }

namespace {

class PosixJournalFile final : public JournalFile {
public:
    explicit PosixJournalFile(int descriptor) : descriptor_(descriptor) {}
    ~PosixJournalFile() override { close(descriptor_); }
    PosixJournalFile(const PosixJournalFile&) = delete;
    PosixJournalFile& operator=(const PosixJournalFile&) = delete;

    bool Read(std::string& text, std::string& error) override {
        struct stat status {};
        if (fstat(descriptor_, &status) != 0) return Failed(error);
        text.clear();
        if (!S_ISREG(status.st_mode)) return true;
        char chunk[1 << 16];
        for (off_t at = 0;;) {
            const ssize_t length = pread(descriptor_, chunk, sizeof chunk, at);
            if (length < 0 && errno == EINTR) continue;
            if (length < 0) return Failed(error);
            if (length == 0) return true;
            text.append(chunk, static_cast<std::size_t>(length));
            at += length;
        }
    }

    bool WriteAt(std::uint64_t offset, std::string_view bytes, std::string& error) override {
        while (!bytes.empty()) {
            const ssize_t written =
                pwrite(descriptor_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
            if (written < 0 && errno == EINTR) continue;
            if (written < 0) return Failed(error);
            bytes.remove_prefix(static_cast<std::size_t>(written));
            offset += static_cast<std::uint64_t>(written);
        }
        return true;
    }

    bool Sync(std::string& error) override { return fsync(descriptor_) == 0 || Failed(error); }

private:
    static bool Failed(std::string& error) {
        error = std::strerror(errno);
        return false;
    }

    int descriptor_;
};

}  // namespace

std::unique_ptr<JournalFile> OpenJournalFile(const fs::path& path, std::string& error) {
    int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const bool created = descriptor >= 0;
    if (!created && errno == EEXIST) descriptor = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (descriptor < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    auto file = std::make_unique<PosixJournalFile>(descriptor);
    // Where the file system keeps no locks (some network ones), nothing is refused.
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        error = "another qbt is writing it";
        return nullptr;
    }
    if (created && !FlushFolder(Absolute(path).parent_path())) {
        error = std::strerror(errno);
        return nullptr;
    }
    return file;
}
