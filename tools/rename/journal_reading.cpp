#include "tools/rename/journal_reading.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>

#include "tools/disk/file_reading.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(' ') == std::string_view::npos;
}

int HexDigit(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    return -1;
}

// Why a line of the journal is no entry of it: the JSON library's words, or what is wrong with a
// path it holds.
struct LineFault {
    std::string why;
};

// The bytes of a path as PathToJson writes them. The JSON library throws for what is not
// (json::exception), which the caller catches.
Result<std::u8string, LineFault> PathBytesFromJson(const json& name) {
    if (name.is_string()) {
        const std::string& utf8 = name.get_ref<const std::string&>();
        return std::u8string(utf8.begin(), utf8.end());
    }
    const std::string& hex = name.at("bytes").get_ref<const std::string&>();
    std::u8string text;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2) {
        const int high = HexDigit(hex[at]);
        const int low = HexDigit(hex[at + 1]);
        if (high < 0 || low < 0) return LineFault{"\"bytes\" is not hexadecimal"};
        text += static_cast<char8_t>(high * 16 + low);
    }
    return text;
}

Result<fs::path, LineFault> PathFromJson(const json& name) {
    const Result<std::u8string, LineFault> text = PathBytesFromJson(name);
    if (!text.Ok()) return text.Why();
    if (text->empty()) return LineFault{"an empty path"};
    try {
        return fs::path(*text);
    } catch (const std::system_error& error) {
        // qbt.exe: bytes that are not UTF-8 name no Windows path.
        return LineFault{error.what()};
    }
}

// The entry a line's JSON holds, or why it holds none. The JSON library throws json::exception
// for what is not a journal's line, which the caller catches.
Result<JournalEntry, LineFault> EntryFromJson(const json& step, std::size_t number) {
    JournalEntry entry;
    entry.line = number;
    if (step.is_object() && step.contains("folder")) {
        Result<fs::path, LineFault> folder = PathFromJson(step.at("folder"));
        if (!folder.Ok()) return folder.Why();
        entry.folder = true;
        entry.to = std::move(*folder);
        return entry;
    }
    Result<fs::path, LineFault> from = PathFromJson(step.at("from"));
    if (!from.Ok()) return from.Why();
    Result<fs::path, LineFault> to = PathFromJson(step.at("to"));
    if (!to.Ok()) return to.Why();
    entry.from = std::move(*from);
    entry.to = std::move(*to);
    entry.placeholder = step.value("placeholder", false);
    entry.undo = step.value("undo", false);
    return entry;
}

// The journal's line `number` as an entry, or why it is none. The JSON library's exceptions are
// caught here, where it throws them.
Result<JournalEntry, LineFault> EntryFromLine(std::string_view line, std::size_t number) {
    try {
        return EntryFromJson(json::parse(line), number);
    } catch (const json::exception& error) {
        return LineFault{error.what()};
    }
}

// The entries read so far, and of each path the last entry that names it: what tells a line that
// retries a rename, or takes a change of letter case its second step, from a rename of its own.
class EntriesRead {
public:
    JournalContents contents;

    void Add(JournalEntry entry) {
        if (entry.folder) {
            contents.entries.push_back(std::move(entry));
            return;
        }
        if (TakenAsRetry(entry) || TakenAsSecondStep(entry)) return;
        contents.entries.push_back(std::move(entry));
        Named(contents.entries.size() - 1);
    }

private:
    void Named(std::size_t index) {
        const JournalEntry& entry = contents.entries[index];
        for (const fs::path* path : {&entry.from, &entry.to, &entry.via}) {
            if (!path->empty()) lastNaming_[*path] = index;
        }
    }

    // The same rename retried: the last entry naming either file is this very rename.
    bool TakenAsRetry(const JournalEntry& entry) {
        std::optional<std::size_t> latest;
        for (const fs::path* path : {&entry.from, &entry.to}) {
            if (const auto found = lastNaming_.find(*path); found != lastNaming_.end()) {
                latest = std::max(latest.value_or(0), found->second);
            }
        }
        if (!latest) return false;
        JournalEntry& same = contents.entries[*latest];
        if (same.undo != entry.undo || same.from != entry.from || same.to != entry.to ||
            !same.via.empty() || same.placeholder) {
            return false;
        }
        same.placeholder = entry.placeholder;  // retried onto a held name
        return true;
    }

    // The second step of a change of letter case, through a free name.
    bool TakenAsSecondStep(const JournalEntry& entry) {
        JournalEntry* previous = contents.entries.empty() ? nullptr : &contents.entries.back();
        if (previous == nullptr || previous->folder || previous->undo || entry.undo ||
            !previous->via.empty() || previous->to != entry.from || !IsFreeName(entry.from)) {
            return false;
        }
        previous->via = previous->to;
        previous->to = entry.to;
        previous->placeholder = entry.placeholder;
        Named(contents.entries.size() - 1);
        return true;
    }

    std::map<fs::path, std::size_t> lastNaming_;
};

}  // namespace

// Only the start of a line as qbt writes it, which JSON finds fault with at its end only, counts,
// so that no other text is ever taken for one.
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

Result<JournalContents> ReadJournal(JournalDisk& disk, const fs::path& path) {
    const DiskResult<std::string> text = disk.ReadJournalText(path);
    if (text.Ok()) return ParseJournal(*text, PathToTerminal(path));
    switch (text.Why().kind) {
        case DiskError::kMissing:
            return Failure{FailureKind::kCannotRead, CannotRead(path, "No such file or directory")};
        case DiskError::kNotAFile:
            return Failure{FailureKind::kCannotRead,
                           PathToTerminal(path) + " is not a qbt journal: not a file"};
        default: return Failure{FailureKind::kCannotRead, CannotRead(path, text.Why().reason)};
    }
}

Result<JournalContents> ParseJournal(std::string_view text, const std::string& name) {
    EntriesRead read;
    JournalContents& contents = read.contents;
    const std::size_t lastByte = text.find_last_not_of(kJournalRoom);
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        const bool last = end > lastByte;  // only room after it
        start = end + 1;
        ++lineNumber;
        if (IsBlank(line)) continue;
        Result<JournalEntry, LineFault> entry = EntryFromLine(line, lineNumber);
        if (entry.Ok()) {
            read.Add(std::move(*entry));
        } else if (last && IsCutShort(line)) {
            contents.tornLastLine = true;
        } else if (contents.entries.empty() && contents.damaged.empty()) {
            return Failure{FailureKind::kCannotRead, name + " is not a qbt journal: its line " +
                                                         std::to_string(lineNumber) +
                                                         " is not a rename"};
        } else {
            contents.damaged.push_back("line " + std::to_string(lineNumber) + ": " +
                                       entry.Why().why);
        }
    }
    return std::move(contents);
}
