#include "tools/rename/journal.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

#include "tools/os/errors.h"
#include "tools/os/file_reading.h"
#include "tools/os/platform.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

json PathToJson(const fs::path& path) {
    const std::u8string text = path.u8string();
    json name = std::string(text.begin(), text.end());
    try {
        name.dump();  // throws when the name is not UTF-8
        return name;
    } catch (const json::type_error&) {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (const char8_t byte : text) {
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 0xF];
        }
        return {{"bytes", hex}};
    }
}

int HexDigit(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    return -1;
}

// Throws for anything that PathToJson does not write.
fs::path PathFromJson(const json& name) {
    std::u8string text;
    if (name.is_string()) {
        const std::string& utf8 = name.get_ref<const std::string&>();
        text.assign(utf8.begin(), utf8.end());
    } else {
        const std::string& hex = name.at("bytes").get_ref<const std::string&>();
        for (std::size_t at = 0; at + 1 < hex.size(); at += 2) {
            const int high = HexDigit(hex[at]);
            const int low = HexDigit(hex[at + 1]);
            if (high < 0 || low < 0) throw std::invalid_argument("\"bytes\" is not hexadecimal");
            text += static_cast<char8_t>(high * 16 + low);
        }
    }
    if (text.empty()) throw std::invalid_argument("an empty path");
    return fs::path(text);
}

}  // namespace

fs::path DefaultJournalPath() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const fs::path folder = fs::current_path();
    fs::path path = folder / (std::string("qbt-rename-") + stamp + ".jsonl");
    for (int next = 2; fs::exists(fs::symlink_status(path)); ++next) {
        path =
            folder / (std::string("qbt-rename-") + stamp + "-" + std::to_string(next) + ".jsonl");
    }
    return path;
}

JournalWriter::JournalWriter(const fs::path& path) : file_(OpenForAppending(path)) {
    if (file_ == nullptr) {
        throw ToolError(kExitRenameFailed, "cannot write the journal " + PathToTerminal(path) +
                                               ": " + std::strerror(errno) +
                                               "; nothing was renamed");
    }
}

JournalWriter::~JournalWriter() { std::fclose(file_); }

bool JournalWriter::Record(const fs::path& from, const fs::path& to, std::string& error) {
    const std::string line = json{{"from", PathToJson(from)}, {"to", PathToJson(to)}}.dump() + "\n";
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || !FlushToDisk(file_)) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

JournalContents ReadJournal(const fs::path& path) {
    const std::string text = ReadWholeFile(path, "the journal");
    JournalContents contents;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = std::string_view(text).substr(start, end - start);
        const bool last = end >= text.size() - 1;
        const bool complete = end < text.size();
        start = end + 1;
        ++lineNumber;
        if (line.empty()) continue;
        try {
            const json entry = json::parse(line);
            contents.entries.push_back(
                {lineNumber, PathFromJson(entry.at("from")), PathFromJson(entry.at("to"))});
        } catch (const std::exception& error) {
            // Every line is written whole before its rename; one cut short at the end is the
            // line being written when the run was stopped, and its rename never happened.
            if (last && !complete) {
                contents.tornLastLine = true;
            } else {
                contents.damaged.push_back("line " + std::to_string(lineNumber) + ": " +
                                           error.what());
            }
        }
    }
    return contents;
}
