// Reads files as qbt's collection room does (collection/archive_reading.h), one after another
// on one thread, and says what they held and the process's peak memory: what
// bench/archive_benchmark.sh times against cat and 7zz until scan, rename and audit read
// archives through the room.
//
//   archive_reading_figures [--verify] FILE...
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "tools/collection/archive_reading.h"
#include "tools/disk/readable_file.h"

namespace {

class PosixFile final : public ReadableFile {
public:
    explicit PosixFile(const char* path) : descriptor_(open(path, O_RDONLY | O_CLOEXEC)) {
        struct stat status;
        if (descriptor_ >= 0 && fstat(descriptor_, &status) == 0) size_ = status.st_size;
    }
    ~PosixFile() override {
        if (descriptor_ >= 0) close(descriptor_);
    }
    bool IsOpen() const { return descriptor_ >= 0; }

    std::uint64_t Size() const override { return size_; }
    DiskResult<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        const ssize_t count = pread(descriptor_, buffer, size, static_cast<off_t>(offset));
        if (count < 0) return DiskError{DiskError::kFailed, std::strerror(errno)};
        return static_cast<std::size_t>(count);
    }

private:
    int descriptor_;
    std::uint64_t size_ = 0;
};

// The most memory the process has held: the kernel's high-water mark of its resident set.
std::string PeakMemory() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:")) return line.substr(line.find_first_not_of(" \t", 6));
    }
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    ReadingOptions options;
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--verify") == 0) {
        options.verify = true;
        first = 2;
    }
    std::size_t files = 0, roms = 0, damaged = 0, unreadable = 0, other = 0;
    std::uint32_t crcs = 0;  // so that no reading can be left out
    for (int i = first; i < argc; ++i) {
        PosixFile file(argv[i]);
        ++files;
        if (!file.IsOpen()) {
            ++unreadable;
            continue;
        }
        const char* slash = std::strrchr(argv[i], '/');
        const FileContents contents = ReadFileContents(file, slash ? slash + 1 : argv[i], options);
        if (!contents.unreadable.empty()) {
            ++unreadable;
            std::fprintf(stderr, "%s: %s\n", argv[i], contents.unreadable.c_str());
        }
        if (contents.kind == ContentKind::kOther) ++other;
        for (const RomInFile& rom : contents.roms) {
            ++roms;
            crcs ^= rom.crc;
            if (rom.status == RomStatus::kDamaged) ++damaged;
            if (rom.status == RomStatus::kUnreadable) ++unreadable;
        }
    }
    std::printf(
        "%zu files, %zu ROMs (CRCs xor %08X), %zu damaged, %zu unreadable, %zu of other "
        "formats; peak memory %s\n",
        files, roms, crcs, damaged, unreadable, other, PeakMemory().c_str());
    return damaged + unreadable == 0 ? 0 : 1;
}
