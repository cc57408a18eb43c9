#include "tools/rename/examine.h"

#include <atomic>
#include <set>
#include <thread>

#include "tools/host/rom_lookup.h"
#include "tools/os/file_reading.h"
#include "tools/os/interruption.h"
#include "tools/os/platform.h"
#include "tools/os/progress_bar.h"
#include "tools/rename/safe_name.h"
#include "tools/roms/checksum.h"
#include "tools/roms/rom_files.h"

namespace fs = std::filesystem;

namespace {

// The fields the pattern uses, one export call each; false when the key is not in the list.
bool AskFields(const NamingContext& context, const std::string& key, NameFields& fields) {
    const RomQuery rom{context.list.text.c_str(), key.c_str(), context.keyType,
                       context.list.utf8.get()};
    for (const FieldSpec& field : kFields) {
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

}  // namespace

RenameItem Examine(const fs::path& file, const NamingContext& context) {
    RenameItem item{file, "", "", Outcome::kSkipped, ReasonToSkip(file), {}};
    if (!item.reason.empty()) return item;
    std::string unreadable;
    const std::vector<RomChecksum> checksums = ChecksumsOf(file, unreadable);
    if (!unreadable.empty()) {
        item.outcome = Outcome::kUnreadable;
        item.reason = unreadable;
        return item;
    }
    if (checksums.size() != 1) {
        item.reason = checksums.empty() ? "an archive with no file in it"
                                        : "an archive of " + std::to_string(checksums.size()) +
                                              " files: only one that holds a single ROM is named";
        return item;
    }
    item.key = CrcKey(checksums.front().crc);
    NameFields fields;
    fields.crc = item.key;
    fields.name = Utf8Of(file.stem());
    if (!AskFields(context, item.key, fields)) {
        item.outcome = Outcome::kNotInList;
        return item;
    }
    item.newName = SafeFileName(context.pattern.Format(fields), Utf8Of(file.extension()));
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
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    ProgressBar progress("reading", files.size());
    const auto work = [&] {
        // After Ctrl-C no file more: nothing has been renamed yet, and the run stops.
        for (std::size_t index; !Interrupted() && (index = next++) < files.size();) {
            try {
                items[index] = Examine(files[index], context);
            } catch (const std::exception& error) {
                items[index] = {files[index], "", "", Outcome::kFailed, error.what(), {}};
            }
            progress.Show(++done);
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned helper = 1; helper < jobs && helper < files.size(); ++helper) {
        helpers.emplace_back(work);
    }
    work();
    for (std::thread& helper : helpers) helper.join();
    return items;
}

FilesToName CollectFilesToName(const std::vector<std::string>& paths) {
    FilesToName found;
    std::set<fs::path> seen;
    for (FoundPath& path : CollectRomFiles(paths)) {
        switch (path.kind) {
            case Found::kLink:
                found.leftAlone.push_back({path.path, "", "", Outcome::kSkipped,
                                           "a symbolic link: links are left alone", {}});
                continue;
            case Found::kUnreadable:
                found.leftAlone.push_back({path.path, "", "", Outcome::kUnreadable,
                                           CannotRead(path.path, path.reason), {}});
                continue;
            case Found::kFile: break;
        }
        std::error_code error;
        const fs::path canonical = fs::canonical(path.path, error);
        if (seen.insert(error ? Absolute(path.path) : canonical).second) {
            found.files.push_back(std::move(path.path));
        }
    }
    return found;
}
