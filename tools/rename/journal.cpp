#include "tools/rename/journal.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "tools/collection/collection.h"
#include "tools/disk/file_reading.h"
#include "tools/disk/paths.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// What undo's lines for a rename's line may take beyond its length: the marks it adds (31 bytes),
// and to spare for the steps an undo stopped midway journals again when run again.
constexpr std::uint64_t kUndoAllowance = 64;

constexpr std::string_view kRoom = " \n";

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(' ') == std::string_view::npos;
}

// A journal line cut short, when it is the last: what a run stopped while writing it leaves.
// Its rename never happened, since none happens before its line is whole on the disk. Only the
// start of a line as qbt writes it, which JSON finds fault with at its end only, counts, so that
// no other text is ever taken for one.
bool IsCutShort(std::string_view line) {
    constexpr std::string_view kLineStarts[] = {R"({"from":)", R"({"folder":)"};
    if (std::none_of(std::begin(kLineStarts), std::end(kLineStarts), [&](std::string_view start) {
            return line.starts_with(start) || start.starts_with(line);
        })) {
        return false;
    }
    try {
        [[maybe_unused]] const json parsed = json::parse(line);
    } catch (const json::parse_error& error) {
        return error.byte > line.size();
    }
    return false;
}

// Where the next line goes: past the last line and its newline (one to add when it has none),
// over the room and over a last line cut short.
struct EndOfLines {
    std::size_t offset = 0;
    bool addNewline = false;
};

EndOfLines EndOfLinesIn(std::string_view text) {
    const std::size_t last = text.find_last_not_of(kRoom);
    if (last == std::string_view::npos) return {};
    const std::size_t newline = text.rfind('\n', last);
    const std::size_t start = newline == std::string_view::npos ? 0 : newline + 1;
    if (IsCutShort(text.substr(start, last + 1 - start))) return {start, false};
    if (last + 1 < text.size() && text[last + 1] == '\n') return {last + 2, false};
    return {last + 1, true};
}

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

fs::path DefaultJournalPath(Disk& disk) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const fs::path folder = disk.CurrentFolder();
    const std::string stem = std::string(kJournalPrefix) + stamp;
    fs::path path = folder / (stem + std::string(kJournalExtension));
    for (int next = 2; disk.Exists(path); ++next) {
        path = folder / (stem + "-" + std::to_string(next) + std::string(kJournalExtension));
    }
    return path;
}

bool IsDefaultJournalName(const fs::path& name) {
    const std::string text = Utf8Of(name.filename());
    return text.starts_with(kJournalPrefix) && text.ends_with(kJournalExtension);
}

Result<JournalWriter> JournalWriter::Open(Disk& disk, const fs::path& path) {
    std::string error;
    std::string text;
    std::unique_ptr<JournalFile> file = disk.OpenJournal(path, error);
    if (file == nullptr || !file->Read(text, error)) {
        return Failure{FailureKind::kRefused, "cannot write the journal " + PathToTerminal(path) +
                                                  ": " + error + "; nothing was renamed"};
    }
    return JournalWriter(std::move(file), text);
}

JournalWriter::JournalWriter(std::unique_ptr<JournalFile> file, std::string_view text)
    : file_(std::move(file)) {
    const EndOfLines end = EndOfLinesIn(text);
    end_ = end.offset;
    size_ = text.size();
    room_ = size_ - end_;
    if (end.addNewline) held_ = "\n";
}

void JournalWriter::Record(const JournalStep& step) {
    if (step.folder) {
        // Undo removes the folder without a line of its own: it needs no room.
        held_ += json{{"folder", PathToJson(step.to)}}.dump() + "\n";
        return;
    }
    json line = {{"from", PathToJson(step.from)}, {"to", PathToJson(step.to)}};
    if (step.placeholder) line["placeholder"] = true;
    if (step.undo) line["undo"] = true;
    const std::string text = line.dump() + "\n";
    held_ += text;
    // Undo's own lines take up the room that the rename's lines kept for them.
    room_ = step.undo ? room_ - std::min<std::uint64_t>(room_, text.size())
                      : room_ + text.size() + kUndoAllowance;
}

bool JournalWriter::Sync(std::string& error) {
    if (held_.empty()) return true;
    // The room grows first, and the lines go over it: a disk that fills stops a batch before any
    // of its lines is written, never leaving less room than the renames before it kept.
    const std::uint64_t end = end_ + held_.size();
    if (const std::uint64_t size = std::max(size_, end + room_); size > size_) {
        std::string room(size - size_, ' ');
        room.back() = '\n';
        if (!file_->WriteAt(size_, room, error)) return false;
        size_ = size;
    }
    if (!file_->WriteAt(end_, held_, error)) return false;
    end_ = end;
    held_.clear();
    return file_->Sync(error);
}

fs::path FreeName(const fs::path& folder, int number) {
    return folder / (".qbt-rename-" + std::to_string(number) + ".tmp");
}

bool IsFreeName(const fs::path& path) {
    const std::string name = Utf8Of(path.filename());
    return name.starts_with(".qbt-rename-") && name.ends_with(".tmp");
}

Result<JournalContents> ReadJournal(Disk& disk, const fs::path& path) {
    std::string text;
    std::string error;
    switch (disk.ReadJournalText(path, text, error)) {
        case FileKind::kFile: return ParseJournal(text, PathToTerminal(path));
        case FileKind::kMissing: error = "No such file or directory"; [[fallthrough]];
        case FileKind::kUnknown: return Failure{FailureKind::kCannotRead, CannotRead(path, error)};
        default: break;
    }
    return Failure{FailureKind::kCannotRead,
                   PathToTerminal(path) + " is not a qbt journal: not a file"};
}

Result<JournalContents> ParseJournal(std::string_view text, const std::string& name) {
    JournalContents contents;
    // Of each path, the last entry that names it.
    std::map<fs::path, std::size_t> lastNaming;
    const auto named = [&](std::size_t index) {
        const JournalEntry& entry = contents.entries[index];
        for (const fs::path* path : {&entry.from, &entry.to, &entry.via}) {
            if (!path->empty()) lastNaming[*path] = index;
        }
    };
    const std::size_t lastByte = text.find_last_not_of(kRoom);
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        const bool last = end > lastByte;  // only room after it
        start = end + 1;
        ++lineNumber;
        if (IsBlank(line)) continue;
        JournalEntry entry;
        entry.line = lineNumber;
        try {
            const json step = json::parse(line);
            if (step.is_object() && step.contains("folder")) {
                entry.folder = true;
                entry.to = PathFromJson(step.at("folder"));
                contents.entries.push_back(std::move(entry));
                continue;
            }
            entry.from = PathFromJson(step.at("from"));
            entry.to = PathFromJson(step.at("to"));
            entry.placeholder = step.value("placeholder", false);
            entry.undo = step.value("undo", false);
        } catch (const std::exception& error) {
            if (last && IsCutShort(line)) {
                contents.tornLastLine = true;
            } else if (contents.entries.empty() && contents.damaged.empty()) {
                return Failure{FailureKind::kCannotRead, name + " is not a qbt journal: its line " +
                                                             std::to_string(lineNumber) +
                                                             " is not a rename"};
            } else {
                contents.damaged.push_back("line " + std::to_string(lineNumber) + ": " +
                                           error.what());
            }
            continue;
        }
        // The same rename retried: the last entry naming either file is this very rename.
        std::optional<std::size_t> latest;
        for (const fs::path* path : {&entry.from, &entry.to}) {
            if (const auto found = lastNaming.find(*path); found != lastNaming.end()) {
                latest = std::max(latest.value_or(0), found->second);
            }
        }
        if (latest) {
            JournalEntry& same = contents.entries[*latest];
            if (same.undo == entry.undo && same.from == entry.from && same.to == entry.to &&
                same.via.empty() && !same.placeholder) {
                same.placeholder = entry.placeholder;  // retried onto a held name
                continue;
            }
        }
        JournalEntry* previous = contents.entries.empty() ? nullptr : &contents.entries.back();
        if (previous != nullptr && !previous->folder && !previous->undo && !entry.undo &&
            previous->via.empty() && previous->to == entry.from && IsFreeName(entry.from)) {
            previous->via = previous->to;  // the second step of a change of letter case
            previous->to = entry.to;
            previous->placeholder = entry.placeholder;
            named(contents.entries.size() - 1);
            continue;
        }
        contents.entries.push_back(std::move(entry));
        named(contents.entries.size() - 1);
    }
    return contents;
}
