#include "tools/file_reading.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "tools/tool_error.h"
#include "tools/tool_platform.h"

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

fs::path DefaultGameListPath() {
    return (ExecutableDirectory() / QBT_LIST_FROM_EXECUTABLE).lexically_normal();
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

std::string ReadGameList(const fs::path& path) {
    std::string text;
    const std::string failure =
        ReadInChunks(path, [&](std::string_view chunk) { text.append(chunk); });
    if (!failure.empty()) {
        throw ToolError(kExitUnreadableFile,
                        "cannot read the game list " + PathToTerminal(path) + ": " + failure);
    }
    return text;
}
