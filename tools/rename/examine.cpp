#include "tools/rename/examine.h"

#include "tools/base/ascii.h"
#include "tools/collection/collection.h"
#include "tools/collection/crc32.h"
#include "tools/collection/rom_files.h"
#include "tools/disk/file_reading.h"
#include "tools/host/rom_lookup.h"
#include "tools/system/interruption.h"
#include "tools/system/parallel.h"
#include "tools/system/text_encoding.h"

namespace fs = std::filesystem;

namespace {

// The fields the pattern uses, one export call each; false when the key is not in the list.
bool AskFields(const NamingContext& context, const std::string& key, NameFields& fields) {
    std::string record;
    const RomQuery rom = QueryFor(context.plugin, context.list, key, context.keyType, record);
    for (const FieldRow& field : kFields) {
        if (!context.pattern.Uses(field.field)) continue;
        const FieldAnswer answer = AskField(context.plugin, field, rom, Asking::kWithRoomyBuffer);
        if (answer.result == ErrKeyNotFound) return false;
        if (answer.result < 0) continue;
        if (field.field == Field::kRelease) {
            fields.release = answer.result;
        } else if (std::string text = NameTextFromValue(answer.text, context.list.encoding);
                   !text.empty()) {
            fields.texts[IndexOf(field.field)] =
                field.field == Field::kRegion ? RegionInName(text) : std::move(text);
        }
    }
    return true;
}

// The extension a new name keeps: a compressed ROM's two ("Lantern.gba.gz"), so that it still
// decompresses to a ROM that an emulator recognises.
std::string NameExtension(const fs::path& file) {
    const std::string extension = Utf8Of(file.extension());
    const fs::path inner = file.stem().extension();
    if (AsciiFolded(extension) != ".gz" || inner.empty() || inner == file.stem()) return extension;
    return Utf8Of(inner) + extension;
}

RenameItem Unnamed(const fs::path& file, Outcome outcome, std::string reason) {
    return {file, "", "", outcome, std::move(reason), {}};
}

// Why the file's path has no UTF-8 spelling, or "". On Windows a name that is not valid UTF-16
// (a lone surrogate) has none, and std::filesystem says so by throwing; the plan and the journal
// spell every path they take in UTF-8.
std::string UnspeltPath(const fs::path& file) {
    try {
        Utf8Of(Absolute(file));
        return {};
    } catch (const fs::filesystem_error& error) {
        return error.what();
    }
}

}  // namespace

RenameItem ReadKey(const fs::path& file, CollectionDisk& disk, bool verify) {
    RenameItem item{file, "", "", Outcome::kSkipped, "", {}};
    const FileContents contents = ReadRoms(file, disk, {.verify = verify, .bytesRead = {}});
    if (contents.kind == ContentKind::kOther) {
        item.reason = FormatNotRead(contents);
        return item;
    }
    if (!contents.unreadable.empty()) {
        item.outcome = Outcome::kUnreadable;
        item.reason = CannotRead(file, contents.unreadable);
        return item;
    }
    if (contents.roms.size() != 1) {
        item.reason = contents.roms.empty()
                          ? "an archive with no ROM in it"
                          : "an archive of " + std::to_string(contents.roms.size()) +
                                " files: only one that holds a single ROM is named";
        return item;
    }
    const RomInFile& rom = contents.roms.front();
    if (rom.status != RomStatus::kOk) {
        item.outcome = rom.status == RomStatus::kDamaged ? Outcome::kDamaged : Outcome::kUnreadable;
        item.reason =
            rom.entry.empty() ? rom.reason : Utf8ToTerminal(rom.entry) + ": " + rom.reason;
        return item;
    }
    item.key = CrcKey(rom.crc);
    return item;
}

RenameItem Examine(const fs::path& file, const NamingContext& context) {
    RenameItem item = ReadKey(file, context.disk, context.verify);
    if (item.key.empty()) return item;
    NameFields fields;
    fields.crc = item.key;
    fields.name = Utf8Of(file.stem());
    if (!AskFields(context, item.key, fields)) {
        item.outcome = Outcome::kNotInList;
        return item;
    }
    if (std::string why = UnspeltPath(file); !why.empty()) {
        return Unnamed(file, Outcome::kFailed, std::move(why));
    }
    item.newName = BelowFoldersAlreadyThere(
        file, context.pattern.FileName(std::move(fields), NameExtension(file)));
    if (item.newName.empty()) {
        item.reason = "the pattern gives this ROM no name";
    } else {
        item.outcome =
            item.newName == Utf8Of(file.filename()) ? Outcome::kAlreadyRight : Outcome::kRename;
    }
    return item;
}

std::vector<RenameItem> ExamineAll(const std::vector<fs::path>& files, const NamingContext& context,
                                   unsigned jobs) {
    std::vector<RenameItem> items(files.size());
    ForEachOnThreads(files.size(), jobs, "reading", [&](std::size_t index) {
        // After Ctrl-C no file more: nothing has been renamed yet, and the run stops.
        if (!Interrupted()) items[index] = Examine(files[index], context);
    });
    return items;
}

Result<FilesToName> CollectFilesToName(const std::vector<std::string>& paths,
                                       CollectionDisk& disk) {
    Result<FilesOnce> once = CollectFilesOnce(paths, disk);
    if (!once.Ok()) return once.Why();
    FilesToName found{std::move(once->files), {}};
    for (FoundPath& path : once->leftAlone) {
        switch (path.kind) {
            case Found::kLink:
                found.leftAlone.push_back(
                    Unnamed(path.path, Outcome::kSkipped, "a symbolic link: links are left alone"));
                break;
            case Found::kUnreadable:
                found.leftAlone.push_back(
                    Unnamed(path.path, Outcome::kUnreadable, CannotRead(path.path, path.reason)));
                break;
            case Found::kLeftAlone:
            case Found::kFile:
                found.leftAlone.push_back(
                    Unnamed(path.path, Outcome::kSkipped, std::move(path.reason)));
                break;
        }
    }
    return found;
}
