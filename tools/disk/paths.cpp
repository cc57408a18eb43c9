#include "tools/disk/paths.h"

#include "platform/utf8.h"

namespace fs = std::filesystem;

fs::path PathFromUtf8(std::string_view text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path Absolute(const fs::path& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return (error ? path : absolute).lexically_normal();
}

bool IsUtf8Path(const fs::path& path) { return IsValidUtf8(Utf8Of(path)); }

std::string HexBytesOf(const fs::path& path) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char byte : Utf8Of(path)) {
        const auto value = static_cast<unsigned char>(byte);
        hex += kDigits[value >> 4];
        hex += kDigits[value & 0xF];
    }
    return hex;
}
