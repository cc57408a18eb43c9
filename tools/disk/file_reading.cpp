#include "tools/disk/file_reading.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "tools/system/terminal.h"
#include "tools/disk/files.h"

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

bool ReadInChunks(const fs::path& path, const std::function<void(std::string_view)>& consume,
                  std::string& error) {
    const std::unique_ptr<std::FILE, FileCloser> file(OpenForReading(path));
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    std::vector<char> chunk(1 << 16);
    std::size_t length;
    while ((length = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0) {
        consume({chunk.data(), length});
    }
    if (std::ferror(file.get())) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

Result<std::string> ReadWholeFile(const fs::path& path, std::string_view what) {
    std::string text;
    std::string error;
    if (!ReadInChunks(
            path, [&](std::string_view chunk) { text.append(chunk); }, error)) {
        return Failure{FailureKind::kCannotRead, "cannot read " + std::string(what) + " " +
                                                     PathToTerminal(path) + ": " + error};
    }
    return text;
}
