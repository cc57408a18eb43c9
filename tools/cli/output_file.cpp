#include "tools/cli/output_file.h"

#include <algorithm>
#include <iterator>

#include "tools/base/ascii.h"
#include "tools/disk/file_reading.h"
#include "tools/disk/paths.h"
#include "tools/system/terminal.h"

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
std::vector<fs::path> SpellingsOf(const fs::path& path, CollectionDisk& disk) {
    std::vector<fs::path> spellings{Absolute(path)};
    if (fs::path resolved = disk.Resolved(path); !resolved.empty()) {
        spellings.push_back(std::move(resolved));
    }
    return spellings;
}

DiskResult<std::string> Contents(const fs::path& path, CollectionDisk& disk) {
    std::string bytes;
    const DiskResult<> read =
        ReadFileInPieces(disk, path, [&](std::string_view piece) { bytes.append(piece); });
    if (!read.Ok()) return read.Why();
    return bytes;
}

// A name beside `path` that nothing answers to, held with the content written whole.
DiskResult<fs::path> WriteTemporary(const fs::path& path, std::string_view content,
                                    OutputDisk& disk) {
    for (int number = 1; number <= 1000; ++number) {
        fs::path name = ".";
        name += path.filename();
        name += ".qbt-" + std::to_string(number) + ".tmp";
        const fs::path temporary = path.parent_path() / name;
        const DiskResult<> written = disk.WriteNewFile(temporary, content);
        if (written.Ok()) return temporary;
        if (written.Why().kind != DiskError::kNameTaken) return written.Why();
    }
    return DiskError{DiskError::kFailed, "no free temporary name beside it"};
}

// The words for a step that did not give the output its name.
std::string WhyNotMoved(const DiskError& error) {
    return error.kind == DiskError::kNameTaken ? "the name was taken meanwhile" : error.reason;
}

// Gives the temporary file the name `path` unless something took the name meanwhile.
std::string MoveIntoFreeName(const fs::path& temporary, const fs::path& path, OutputDisk& disk) {
    const DiskResult<> renamed = disk.Rename(temporary, path);
    if (renamed.Ok()) return "";
    if (renamed.Why().kind != DiskError::kCannotRefuse) return WhyNotMoved(renamed.Why());
    // exFAT through FUSE: only a name held with an empty file first is safe to rename onto.
    if (const DiskResult<> held = disk.Reserve(path); !held.Ok()) return WhyNotMoved(held.Why());
    const DiskResult<> replaced = disk.ReplacePlaceholder(temporary, path);
    if (replaced.Ok()) return "";
    disk.RemoveEmptyFile(path);
    return replaced.Why().reason;
}

bool IsFree(const fs::path& path, CollectionDisk& disk) {
    return KindOrUnknown(disk, path, false) == FileKind::kMissing;
}

}  // namespace

std::string WhyNotWritable(const fs::path& path, const OutputRules& rules, CollectionDisk& disk) {
    const DiskResult<FileKind> found = disk.KindAt(path, false);
    const std::string name = PathToTerminal(path);
    if (!found.Ok()) return "cannot tell what " + name + " is: " + found.Why().reason;
    const FileKind kind = *found;
    if (kind == FileKind::kMissing) return "";
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
    const DiskResult<std::string> bytes = Contents(path, disk);
    if (!bytes.Ok()) return "cannot read " + name + ": " + bytes.Why().reason;
    if (!rules.replaceable(*bytes)) {
        return name + " is not " + rules.kind + ": --replace replaces nothing else";
    }
    return "";
}

std::string WriteOutput(const fs::path& path, std::string_view content, const OutputRules& rules,
                        OutputDisk& disk) {
    const DiskResult<fs::path> temporary = WriteTemporary(path, content, disk);
    if (!temporary.Ok()) return temporary.Why().reason;
    std::string error;
    if (!rules.replace || IsFree(path, disk)) {
        error = MoveIntoFreeName(*temporary, path, disk);
    } else if (error = WhyNotWritable(path, rules, disk); error.empty()) {
        // Checked again: the audit may have run for minutes since the first look.
        const DiskResult<> replaced = disk.RenameReplacing(*temporary, path);
        if (!replaced.Ok()) error = replaced.Why().reason;
    }
    if (!error.empty()) disk.RemoveNewFile(*temporary);
    return error;
}
