#include "tools/file_reading.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "tools/tool_error.h"
#include "tools/tool_platform.h"

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

fs::path DefaultGameListPath() {
    return BesideExecutable(QBT_LIST_FROM_INSTALLED_EXECUTABLE, QBT_LIST_FROM_EXECUTABLE);
}

std::string ReadInChunks(const fs::path& path,
                         const std::function<void(std::string_view)>& consume) {
    const std::unique_ptr<std::FILE, FileCloser> file(OpenForReading(path));
    if (!file) return std::strerror(errno);
    std::vector<char> chunk(1 << 16);
    std::size_t length;
    while ((length = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0) {
        consume({chunk.data(), length});
    }
    return std::ferror(file.get()) ? std::strerror(errno) : "";
}

std::string ReadWholeFile(const fs::path& path, std::string_view what) {
    std::string text;
    const std::string failure =
        ReadInChunks(path, [&](std::string_view chunk) { text.append(chunk); });
    if (!failure.empty()) {
        throw ToolError(kExitUnreadableFile, "cannot read " + std::string(what) + " " +
                                                 PathToTerminal(path) + ": " + failure);
    }
    return text;
}
