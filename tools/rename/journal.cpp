#include "tools/rename/journal.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

#include "tools/os/errors.h"
#include "tools/os/file_reading.h"
#include "tools/os/files.h"
#include "tools/os/paths.h"
#include "tools/os/platform.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr std::string_view kJournalPrefix = "qbt-rename-";
constexpr std::string_view kJournalExtension = ".jsonl";

json PathToJson(const fs::path& path) {
    if (IsUtf8Path(path)) return Utf8Of(path);
    return {{"bytes", HexBytesOf(path)}};
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
    const std::string stem = std::string(kJournalPrefix) + stamp;
    fs::path path = folder / (stem + std::string(kJournalExtension));
    std::string unknown;
    for (int next = 2; KindOf(path, false, unknown) != FileKind::kMissing; ++next) {
        path = folder / (stem + "-" + std::to_string(next) + std::string(kJournalExtension));
    }
    return path;
}

bool IsDefaultJournalName(const fs::path& name) {
    const std::string text = Utf8Of(name.filename());
    return text.starts_with(kJournalPrefix) && text.ends_with(kJournalExtension);
}

JournalWriter::JournalWriter(const fs::path& path) {
    std::string ignored;
    const bool created = KindOf(path, true, ignored) == FileKind::kMissing;
    file_ = OpenForAppending(path);
    // A journal just made is flushed with its folder, or a crash could lose its very name.
    if (file_ == nullptr || (created && !FlushFolder(Absolute(path).parent_path()))) {
        const std::string reason = std::strerror(errno);
        if (file_ != nullptr) std::fclose(file_);
        throw ToolError(kExitRenameFailed, "cannot write the journal " + PathToTerminal(path) +
                                               ": " + reason + "; nothing was renamed");
    }
}

JournalWriter::~JournalWriter() { std::fclose(file_); }

bool JournalWriter::Record(const JournalStep& step, std::string& error) {
    json line = {{"from", PathToJson(step.from)}, {"to", PathToJson(step.to)}};
    if (step.placeholder) line["placeholder"] = true;
    if (step.undo) line["undo"] = true;
    const std::string text = line.dump() + "\n";
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || !FlushToDisk(file_)) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

fs::path FreeName(const fs::path& folder, int number) {
    return folder / (".qbt-rename-" + std::to_string(number) + ".tmp");
}

bool IsFreeName(const fs::path& path) {
    const std::string name = Utf8Of(path.filename());
    return name.starts_with(".qbt-rename-") && name.ends_with(".tmp");
}

JournalContents ReadJournal(const fs::path& path) {
    // Not a device or a pipe, which could be read without end.
    std::string error;
    if (const FileKind kind = KindOf(path, true, error); kind != FileKind::kFile) {
        throw ToolError(
            kExitUnreadableFile,
            kind == FileKind::kMissing || kind == FileKind::kUnknown
                ? CannotRead(path, kind == FileKind::kMissing ? "No such file or directory" : error)
                : PathToTerminal(path) + " is not a qbt journal: not a file");
    }
    return ParseJournal(ReadWholeFile(path, "the journal"), PathToTerminal(path));
}

JournalContents ParseJournal(std::string_view text, const std::string& name) {
    JournalContents contents;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        const bool complete = end < text.size();
        start = end + 1;
        ++lineNumber;
        if (line.empty()) continue;
        JournalEntry entry;
        entry.line = lineNumber;
        try {
            const json step = json::parse(line);
            entry.from = PathFromJson(step.at("from"));
            entry.to = PathFromJson(step.at("to"));
            entry.placeholder = step.value("placeholder", false);
            entry.undo = step.value("undo", false);
        } catch (const std::exception& error) {
            // Every line is written whole before its rename; one cut short at the end is the
            // line being written when the run was stopped, and its rename never happened.
            if (!complete) {
                contents.tornLastLine = true;
            } else if (contents.entries.empty() && contents.damaged.empty()) {
                throw ToolError(kExitUnreadableFile, name + " is not a qbt journal: its line " +
                                                         std::to_string(lineNumber) +
                                                         " is not a rename");
            } else {
                contents.damaged.push_back("line " + std::to_string(lineNumber) + ": " +
                                           error.what());
            }
            continue;
        }
        JournalEntry* previous = contents.entries.empty() ? nullptr : &contents.entries.back();
        const bool sameKind = previous != nullptr && previous->undo == entry.undo;
        if (sameKind && previous->from == entry.from && previous->to == entry.to &&
            !previous->placeholder) {
            previous->placeholder = entry.placeholder;  // the same rename, retried onto a held name
        } else if (sameKind && !entry.undo && previous->via.empty() && previous->to == entry.from &&
                   IsFreeName(entry.from)) {
            previous->via = previous->to;  // the second step of a change of letter case
            previous->to = entry.to;
            previous->placeholder = entry.placeholder;
        } else {
            contents.entries.push_back(std::move(entry));
        }
    }
    return contents;
}
