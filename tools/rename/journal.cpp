#include "tools/rename/journal.h"

#include <algorithm>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string_view>

#include "tools/collection/collection.h"
#include "tools/disk/paths.h"
#include "tools/rename/journal_reading.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// What undo's lines for a rename's line may take beyond its length: the marks it adds (31 bytes),
// and to spare for the steps an undo stopped midway journals again when run again.
constexpr std::uint64_t kUndoAllowance = 64;

// Where the next line goes: past the last line and its newline (one to add when it has none),
// over the room and over a last line cut short.
struct EndOfLines {
    std::size_t offset = 0;
    bool addNewline = false;
};

EndOfLines EndOfLinesIn(std::string_view text) {
    const std::size_t last = text.find_last_not_of(kJournalRoom);
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

}  // namespace

fs::path DefaultJournalPath(JournalDisk& disk) {
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

Result<JournalWriter> JournalWriter::Open(JournalDisk& disk, const fs::path& path) {
    DiskResult<std::unique_ptr<JournalFile>> file = disk.OpenJournal(path);
    const DiskResult<std::string> text = file.Ok() ? (*file)->Read() : file.Why();
    if (!text.Ok()) {
        return Failure{FailureKind::kRefused, "cannot write the journal " + PathToTerminal(path) +
                                                  ": " + text.Why().reason +
                                                  "; nothing was renamed"};
    }
    return JournalWriter(std::move(*file), *text);
}

JournalWriter::JournalWriter(std::unique_ptr<JournalFile> file, std::string_view text)
    : file_(std::move(file)) {
    const EndOfLines end = EndOfLinesIn(text);
    end_ = end.offset;
    size_ = text.size();
    room_ = size_ - end_;
    if (end.addNewline) held_.push_back('\n');
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

DiskResult<> JournalWriter::Sync() {
    if (held_.empty()) return Done{};
    // The room grows first, and the lines go over it: a disk that fills stops a batch before any
    // of its lines is written, never leaving less room than the renames before it kept.
    const std::uint64_t end = end_ + held_.size();
    if (const std::uint64_t size = std::max(size_, end + room_); size > size_) {
        std::string room(size - size_, ' ');
        room.back() = '\n';
        if (DiskResult<> grown = file_->WriteAt(size_, room); !grown.Ok()) return grown;
        size_ = size;
    }
    if (DiskResult<> written = file_->WriteAt(end_, held_); !written.Ok()) return written;
    end_ = end;
    held_.clear();
    return file_->Sync();
}

fs::path FreeName(const fs::path& folder, int number) {
    return folder / (".qbt-rename-" + std::to_string(number) + ".tmp");
}

bool IsFreeName(const fs::path& path) {
    const std::string name = Utf8Of(path.filename());
    return name.starts_with(".qbt-rename-") && name.ends_with(".tmp");
}
