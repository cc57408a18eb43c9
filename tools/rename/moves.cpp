#include "tools/name_moves.h"

#include "tools/tool_platform.h"

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

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}

std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& byte : folded) {
        if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte - 'A' + 'a');
    }
    return folded;
}

bool IsSameEntry(const fs::path& existing, const fs::path& name) {
    std::error_code error;
    if (!fs::equivalent(existing, name, error) || error) return false;
    fs::directory_iterator entry(name.parent_path(), error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        if (entry->path().filename() == name.filename()) return false;
    }
    return !error;
}

namespace {

Move Record(JournalWriter* journal, const fs::path& from, const fs::path& to, std::string& error) {
    if (journal == nullptr || journal->Record(from, to, error)) return Move::kMoved;
    error = "the journal cannot be written: " + error;
    return Move::kJournalFailed;
}

Move FromRenameResult(RenameResult result) {
    switch (result) {
        case RenameResult::Renamed: return Move::kMoved;
        case RenameResult::TargetExists: return Move::kNameTaken;
        case RenameResult::Failed: break;
    }
    return Move::kRefused;
}

// A rename that changes only the case of letters, on a file system that takes `to` for the
// file's own name: two steps through a free name, each journaled. If the second step fails the
// first is taken back.
Move MoveThroughFreeName(const fs::path& from, const fs::path& to, JournalWriter* journal,
                         std::string& error) {
    fs::path free;
    for (int number = 1;
         Exists(free = from.parent_path() / (".qbt-rename-" + std::to_string(number) + ".tmp"));
         ++number) {
    }
    if (Move move = Record(journal, from, free, error); move != Move::kMoved) return move;
    const Move first = FromRenameResult(RenameWithoutReplacing(from, free, error));
    if (first != Move::kMoved) return first;
    Move second = Record(journal, free, to, error);
    if (second == Move::kMoved) second = FromRenameResult(RenameWithoutReplacing(free, to, error));
    if (second != Move::kMoved) {
        std::string ignored;
        Record(journal, free, from, ignored);
        if (RenameWithoutReplacing(free, from, ignored) != RenameResult::Renamed) {
            error += "; the file is left as " + PathToTerminal(free) + ", which undo puts back";
            return Move::kRefused;
        }
    }
    return second;
}

}  // namespace

Move MoveName(const fs::path& from, const fs::path& to, JournalWriter* journal,
              std::string& error) {
    if (Exists(to)) {
        if (!IsSameEntry(from, to)) return Move::kNameTaken;
        return MoveThroughFreeName(from, to, journal, error);
    }
    if (Move move = Record(journal, from, to, error); move != Move::kMoved) return move;
    return FromRenameResult(RenameWithoutReplacing(from, to, error));
}
