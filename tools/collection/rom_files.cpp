#include "tools/collection/rom_files.h"

#include <algorithm>
#include <set>

#include "tools/disk/file_reading.h"
#include "tools/disk/files.h"
#include "tools/disk/paths.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;

namespace {

void CollectFolder(const fs::path& folder, std::vector<FoundPath>& found, CollectionDisk& disk) {
    DiskResult<std::vector<FolderEntry>> listed = disk.ListEntries(folder);
    if (!listed.Ok()) {
        found.push_back({folder, Found::kUnreadable, listed.Why().reason});
        return;
    }
    std::vector<FolderEntry>& entries = *listed;
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (const FolderEntry& entry : entries) {
        const fs::path path = folder / entry.name;
        if (std::string why = InexactName(path); !why.empty()) {
            found.push_back({path, Found::kLeftAlone, std::move(why)});
            continue;
        }
        switch (entry.kind) {
            case FileKind::kFile: found.push_back({path, Found::kFile, ""}); break;
            case FileKind::kFolder: CollectFolder(path, found, disk); break;
            case FileKind::kLink: found.push_back({path, Found::kLink, ""}); break;
            case FileKind::kUnknown:
                found.push_back({path, Found::kUnreadable, "its kind cannot be told"});
                break;
            case FileKind::kMissing:       // removed while the folder was read
            case FileKind::kOther: break;  // devices, sockets, pipes: no ROMs
        }
    }
}

}  // namespace

Result<std::vector<FoundPath>> CollectRomFiles(const std::vector<std::string>& paths,
                                               CollectionDisk& disk) {
    std::vector<std::pair<fs::path, FileKind>> named;
    std::string missing;
    for (const std::string& typed : paths) {
        const fs::path path = PathFromTerminal(typed);
        const DiskResult<FileKind> kind = disk.KindAt(path, true);
        if (!kind.Ok() || *kind == FileKind::kMissing) {
            if (!missing.empty()) missing += "; ";
            missing +=
                CannotRead(path, kind.Ok() ? "No such file or directory" : kind.Why().reason);
        }
        named.emplace_back(path, kind.Ok() ? *kind : FileKind::kUnknown);
    }
    if (!missing.empty()) return Failure{FailureKind::kCannotRead, missing + "; nothing was done"};

    std::vector<FoundPath> found;
    for (const auto& [path, kind] : named) {
        if (std::string why = InexactName(path); !why.empty()) {
            found.push_back({path, Found::kLeftAlone, std::move(why)});
        } else if (kind == FileKind::kFolder) {
            CollectFolder(path, found, disk);
        } else if (KindOrUnknown(disk, path, false) == FileKind::kLink) {
            found.push_back({path, Found::kLink, ""});
        } else {
            found.push_back({path, Found::kFile, ""});
        }
    }
    return found;
}

Result<FilesOnce> CollectFilesOnce(const std::vector<std::string>& paths, CollectionDisk& disk) {
    Result<std::vector<FoundPath>> named = CollectRomFiles(paths, disk);
    if (!named.Ok()) return named.Why();
    FilesOnce found;
    std::set<fs::path> seen;
    for (FoundPath& path : *named) {
        if (path.kind != Found::kFile) {
            found.leftAlone.push_back(std::move(path));
            continue;
        }
        const fs::path resolved = disk.Resolved(path.path);
        if (seen.insert(resolved.empty() ? Absolute(path.path) : resolved).second) {
            found.files.push_back(std::move(path.path));
        }
    }
    return found;
}
