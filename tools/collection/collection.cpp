#include "tools/collection/collection.h"

#include <algorithm>
#include <memory>

#include "tools/base/ascii.h"
#include "tools/disk/paths.h"
#include "tools/system/terminal.h"
#include "tools/system/text_encoding.h"

namespace fs = std::filesystem;

bool IsCompanionName(const fs::path& file) {
    const std::string extension = AsciiFolded(Utf8Of(file.extension()));
    return std::find(kCompanionExtensions.begin(), kCompanionExtensions.end(), extension) !=
           kCompanionExtensions.end();
}

bool IsNoRom(const fs::path& file) {
    const std::string name = Utf8Of(file.filename());
    return IsCompanionName(file) ||
           (name.starts_with(kJournalPrefix) && name.ends_with(kJournalExtension));
}

// The extension as std::filesystem takes it, found in the bytes: on Windows a path made of a name
// that is not UTF-8 throws, and a RAR5 archive's names come as the archive stores them.
bool IsReadMe(std::string_view entry) {
    constexpr std::string_view kSeparators = fs::path::preferred_separator == '/' ? "/" : "/\\";
    const std::size_t slash = entry.find_last_of(kSeparators);
    const std::string_view name = slash == std::string_view::npos ? entry : entry.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;  // ".txt" is a name, no extension
    const std::string extension = AsciiFolded(name.substr(dot));
    return extension == ".txt" || extension == ".nfo" || extension == ".diz";
}

FileContents ReadRoms(const fs::path& file, CollectionDisk& disk, const ReadingOptions& options) {
    const DiskResult<std::unique_ptr<ReadableFile>> opened = disk.OpenToRead(file);
    if (!opened.Ok()) {
        FileContents contents;
        contents.unreadable = opened.Why().reason;
        return contents;
    }
    FileContents contents = ReadFileContents(**opened, Utf8Of(file.filename()), options);
    // A gzip file is one ROM whatever name it records.
    if (contents.kind != ContentKind::kPlain && contents.kind != ContentKind::kGzip) {
        std::erase_if(contents.roms, [](const RomInFile& rom) { return IsReadMe(rom.entry); });
    }
    return contents;
}

std::string FormatNotRead(const FileContents& contents) {
    return contents.format + ", a format qbt does not read";
}

std::string RomNameForTerminal(const fs::path& file, std::string_view entry) {
    const std::string name = PathToTerminal(file);
    return entry.empty() ? name : name + ":" + Utf8ToTerminal(std::string(entry));
}

std::string RomNameInUtf8(const fs::path& file, std::string_view entry) {
    const std::string name = Utf8Of(file);
    return entry.empty() ? name : name + ":" + std::string(entry);
}
