#include "tools/cli/output_file.h"

#include <algorithm>
#include <iterator>

#include "tools/base/ascii.h"
#include "tools/disk/paths.h"
#include "tools/system/terminal.h"
#include "tools/disk/files.h"

namespace fs = std::filesystem;

namespace {

// The path's parts, letters folded: a folder that ignores case is inside itself however spelt,
// and one that does not is refused a little more often, never less.
std::vector<std::string> FoldedParts(const fs::path& path) {
    std::vector<std::string> parts;
    for (const fs::path& part : path) {
        if (!part.empty()) parts.push_back(AsciiFolded(Utf8Of(part)));
    }
    return parts;
}

bool IsWithin(const fs::path& path, const fs::path& folder) {
    const std::vector<std::string> inner = FoldedParts(path);
    const std::vector<std::string> outer = FoldedParts(folder);
    return outer.size() <= inner.size() && std::equal(outer.begin(), outer.end(), inner.begin());
}

// The path made absolute, and resolved (links followed) where the system can.
std::vector<fs::path> SpellingsOf(const fs::path& path, Disk& disk) {
    std::vector<fs::path> spellings{Absolute(path)};
    if (fs::path resolved = disk.Resolved(path); !resolved.empty()) {
        spellings.push_back(std::move(resolved));
    }
    return spellings;
}

std::string Contents(const fs::path& path, Disk& disk, std::string& error) {
    std::string bytes;
    if (!ReadFileInPieces(
            disk, path, [&](std::string_view piece) { bytes.append(piece); }, error)) {
        bytes.clear();
    }
    return bytes;
}

// A name beside `path` that nothing answers to, held with the content written whole.
fs::path WriteTemporary(const fs::path& path, std::string_view content, Disk& disk,
                        std::string& error) {
    for (int number = 1; number <= 1000; ++number) {
        fs::path name = ".";
        name += path.filename();
        name += ".qbt-" + std::to_string(number) + ".tmp";
        const fs::path temporary = path.parent_path() / name;
        switch (disk.WriteNewFile(temporary, content, error)) {
            case Reservation::kReserved: return temporary;
            case Reservation::kTaken: continue;
            case Reservation::kFailed: return {};
        }
    }
    error = "no free temporary name beside it";
    return {};
}

// Gives the temporary file the name `path` unless something took the name meanwhile.
std::string MoveIntoFreeName(const fs::path& temporary, const fs::path& path, Disk& disk) {
    std::string error;
    switch (disk.Rename(temporary, path, error)) {
        case RenameResult::Renamed: return "";
        case RenameResult::TargetExists: return "the name was taken meanwhile";
        case RenameResult::Failed: return error;
        case RenameResult::CannotRefuse: break;
    }
    // exFAT through FUSE: only a name held with an empty file first is safe to rename onto.
    switch (disk.Reserve(path, error)) {
        case Reservation::kReserved: break;
        case Reservation::kTaken: return "the name was taken meanwhile";
        case Reservation::kFailed: return error;
    }
    if (disk.ReplacePlaceholder(temporary, path, error)) return "";
    disk.RemoveEmptyFile(path);
    return error;
}

}  // namespace

std::string WhyNotWritable(const fs::path& path, const OutputRules& rules, Disk& disk) {
    std::string error;
    const FileKind kind = disk.KindAt(path, false, error);
    const std::string name = PathToTerminal(path);
    if (kind == FileKind::kMissing) return "";
    if (kind == FileKind::kUnknown) return "cannot tell what " + name + " is: " + error;
    for (const auto& [read, what] : rules.beingRead) {
        if (disk.IsSameFile(path, read)) return name + " is " + what + " itself";
    }
    if (!rules.replace) return name + " exists: qbt replaces no file unless --replace is given";
    if (kind == FileKind::kLink) return name + " is a symbolic link: --replace replaces a file";
    if (kind != FileKind::kFile) return name + " is no file";
    // Compared in every spelling, so that a link or a path the system cannot resolve never lets
    // a file of the collection through.
    for (const fs::path& output : SpellingsOf(path, disk)) {
        for (const fs::path& named : rules.readUnder) {
            for (const fs::path& folder : SpellingsOf(named, disk)) {
                if (IsWithin(output, folder)) {
                    return name + " lies in " + PathToTerminal(named) + ", which this run reads";
                }
            }
        }
    }
    error.clear();
    const std::string bytes = Contents(path, disk, error);
    if (!error.empty()) return "cannot read " + name + ": " + error;
    if (!rules.replaceable(bytes)) {
        return name + " is not " + rules.kind + ": --replace replaces nothing else";
    }
    return "";
}

std::string WriteOutput(const fs::path& path, std::string_view content, const OutputRules& rules,
                        Disk& disk) {
    std::string error;
    const fs::path temporary = WriteTemporary(path, content, disk, error);
    if (temporary.empty()) return error;
    if (!rules.replace || disk.KindAt(path, false, error) == FileKind::kMissing) {
        error = MoveIntoFreeName(temporary, path, disk);
    } else if (error = WhyNotWritable(path, rules, disk); error.empty()) {
        // Checked again: the audit may have run for minutes since the first look.
        disk.RenameReplacing(temporary, path, error);
    }
    if (!error.empty()) disk.RemoveNewFile(temporary);
    return error;
}
