// Files qbt opens: held names and its own outputs made new, ROMs read at offsets, journals
// written at offsets by one writer at a time.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/disk/files.h"
#include "tools/disk/paths.h"

namespace fs = std::filesystem;

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

namespace {

class PosixReadableFile final : public ReadableFile {
public:
    PosixReadableFile(int descriptor, std::uint64_t size) : descriptor_(descriptor), size_(size) {}
    ~PosixReadableFile() override { close(descriptor_); }
    PosixReadableFile(const PosixReadableFile&) = delete;
    PosixReadableFile& operator=(const PosixReadableFile&) = delete;

    std::uint64_t Size() const override { return size_; }

    DiskResult<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t read = pread(descriptor_, buffer, size, static_cast<off_t>(offset));
            if (read >= 0) return static_cast<std::size_t>(read);
            if (errno != EINTR) return DiskError{DiskError::kFailed, std::strerror(errno)};
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
