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

DiskError Failed(int number) { return {DiskError::kFailed, std::strerror(number)}; }

// A file made here and now, never one that was there: kNameTaken when the name is.
DiskResult<int> CreateNewFile(const fs::path& path) {
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (file >= 0) return file;
    if (errno == EEXIST) return DiskError{DiskError::kNameTaken, ""};
    return Failed(errno);
}

}  // namespace

DiskResult<> ReserveName(const fs::path& path) {
    const DiskResult<int> file = CreateNewFile(path);
    if (!file.Ok()) return file.Why();
    close(*file);
    return Done{};
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

DiskResult<std::unique_ptr<ReadableFile>> OpenReadable(const fs::path& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return Failed(errno);
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        const int failure = errno;
        close(descriptor);
        return Failed(failure);
    }
    return std::unique_ptr<ReadableFile>(std::make_unique<PosixReadableFile>(
        descriptor, static_cast<std::uint64_t>(status.st_size)));
}

namespace {

// Writes all of `content` to `file` and through to the disk: 0, or the errno that stopped it.
int WriteWhole(int file, std::string_view content) {
    for (std::size_t written = 0; written < content.size();) {
        const ssize_t count = write(file, content.data() + written, content.size() - written);
        if (count >= 0) {
            written += static_cast<std::size_t>(count);
        } else if (errno != EINTR) {
            return errno;
        }
    }
    return fsync(file) != 0 && errno != EINVAL ? errno : 0;
}

}  // namespace

DiskResult<> WriteNewFile(const fs::path& path, std::string_view content) {
    const DiskResult<int> file = CreateNewFile(path);
    if (!file.Ok()) return file.Why();
    int failure = WriteWhole(*file, content);
    if (close(*file) != 0 && failure == 0) failure = errno;
    if (failure == 0) return Done{};
    unlink(path.c_str());
    return Failed(failure);
}

bool RemoveFile(const fs::path& path) { return unlink(path.c_str()) == 0; }

namespace {

class PosixJournalFile final : public JournalFile {
public:
    explicit PosixJournalFile(int descriptor) : descriptor_(descriptor) {}
    ~PosixJournalFile() override { close(descriptor_); }
    PosixJournalFile(const PosixJournalFile&) = delete;
    PosixJournalFile& operator=(const PosixJournalFile&) = delete;

    DiskResult<std::string> Read() override {
        struct stat status {};
        if (fstat(descriptor_, &status) != 0) return Failed(errno);
        std::string text;
        if (!S_ISREG(status.st_mode)) return text;
        char chunk[1 << 16];
        for (off_t at = 0;;) {
            const ssize_t length = pread(descriptor_, chunk, sizeof chunk, at);
            if (length < 0 && errno == EINTR) continue;
            if (length < 0) return Failed(errno);
            if (length == 0) return text;
            text.append(chunk, static_cast<std::size_t>(length));
            at += length;
        }
    }

    DiskResult<> WriteAt(std::uint64_t offset, std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written =
                pwrite(descriptor_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
            if (written < 0 && errno == EINTR) continue;
            if (written < 0) return Failed(errno);
            bytes.remove_prefix(static_cast<std::size_t>(written));
            offset += static_cast<std::uint64_t>(written);
        }
        return Done{};
    }

    DiskResult<> Sync() override {
        if (fsync(descriptor_) == 0) return Done{};
        return Failed(errno);
    }

private:
    int descriptor_;
};

}  // namespace

DiskResult<std::unique_ptr<JournalFile>> OpenJournalFile(const fs::path& path) {
    int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const bool created = descriptor >= 0;
    if (!created && errno == EEXIST) descriptor = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (descriptor < 0) return Failed(errno);
    auto file = std::make_unique<PosixJournalFile>(descriptor);
    // Where the file system keeps no locks (some network ones), nothing is refused.
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        return DiskError{DiskError::kFailed, "another qbt is writing it"};
    }
    if (created) {
        if (DiskResult<> flushed = FlushFolder(Absolute(path).parent_path()); !flushed.Ok()) {
            return flushed.Why();
        }
    }
    return std::unique_ptr<JournalFile>(std::move(file));
}
