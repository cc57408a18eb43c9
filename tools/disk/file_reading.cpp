#include "tools/disk/file_reading.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "tools/disk/files.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

fs::path BesideExecutable(std::string_view installed, std::string_view inBuildTree) {
    const fs::path folder = ExecutableDirectory();
    const fs::path installedPath = (folder / installed).lexically_normal();
    const fs::path buildTreePath = (folder / inBuildTree).lexically_normal();
    std::error_code ignored;
    if (fs::exists(installedPath, ignored) || !fs::exists(buildTreePath, ignored)) {
        return installedPath;
    }
    return buildTreePath;
}

std::string CannotRead(const fs::path& path, std::string_view reason) {
    return "cannot read " + PathToTerminal(path) + ": " + std::string(reason);
}

DiskResult<> ReadInChunks(const fs::path& path,
                          const std::function<void(std::string_view)>& consume) {
    const DiskResult<std::FILE*> opened = OpenForReading(path);
    if (!opened.Ok()) return opened.Why();
    const std::unique_ptr<std::FILE, FileCloser> file(*opened);
    std::vector<char> chunk(1 << 16);
    std::size_t length;
    while ((length = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0) {
        consume({chunk.data(), length});
    }
    if (std::ferror(file.get())) return DiskError{DiskError::kFailed, std::strerror(errno)};
    return Done{};
}

DiskResult<> ReadFileInPieces(CollectionDisk& disk, const fs::path& path,
                              const std::function<void(std::string_view)>& consume) {
    const DiskResult<std::unique_ptr<ReadableFile>> file = disk.OpenToRead(path);
    if (!file.Ok()) return file.Why();
    std::vector<char> piece(1 << 16);
    for (std::uint64_t offset = 0;;) {
        const DiskResult<std::size_t> read = (*file)->ReadAt(offset, piece.data(), piece.size());
        if (!read.Ok()) return read.Why();
        if (*read == 0) return Done{};
        consume({piece.data(), *read});
        offset += *read;
    }
}

Result<std::string> ReadWholeFile(const fs::path& path, std::string_view what) {
    std::string text;
    const DiskResult<> read =
        ReadInChunks(path, [&](std::string_view chunk) { text.append(chunk); });
    if (!read.Ok()) {
        return Failure{FailureKind::kCannotRead, "cannot read " + std::string(what) + " " +
                                                     PathToTerminal(path) + ": " +
                                                     read.Why().reason};
    }
    return text;
}
