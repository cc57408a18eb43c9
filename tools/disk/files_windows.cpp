// Win32 calls only: msvcrt's _wstat, beneath libstdc++'s std::filesystem::status on mingw-w64,
// refuses every path that holds '?', and so every path in the "\\?\" form.
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "tools/disk/files.h"
#include "tools/system/windows_text.h"

namespace fs = std::filesystem;

namespace {

constexpr std::wstring_view kLongPrefix = LR"(\\?\)";

DiskError Failed(DWORD failure) { return {DiskError::kFailed, SystemMessage(failure)}; }

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME;
}

// Symbolic links and junctions; other reparse points (files kept in the cloud, deduplicated
// files) are ordinary files to their users.
bool IsLink(DWORD attributes, DWORD reparseTag) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (reparseTag == IO_REPARSE_TAG_SYMLINK || reparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

FileKind KindOfAttributes(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kFolder : FileKind::kFile;
}

bool Attributes(const fs::path& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data) != 0;
}

// The path the system resolves `path` to, as its NT path ("\Device\...\name", no trailing
// separator); empty when the name cannot be opened or the system cannot say.
std::wstring FinalPath(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_NT);
        if (length == 0) {
            final.clear();
            break;
        }
        const bool whole = length < final.size();
        final.resize(length);
        if (whole) break;
    }
    CloseHandle(file);
    while (final.ends_with(L'\\')) final.pop_back();  // a volume's root
    return final;
}

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The folder that holds `path`, which LongPath made absolute: kept with its separator when it
// is a drive's root, since "\\?\C:" names the volume itself.
std::wstring FolderOf(const std::wstring& path) {
    std::wstring folder = path.substr(0, path.rfind(L'\\'));
    if (folder.ends_with(L':')) folder += L'\\';
    return folder;
}

// A link the system does not mark as one: Wine shows a Unix symbolic link to a file as a plain
// file, and one to a folder without a reparse tag, but the path a handle on it resolves to is
// the target's. `path` is what the folder keeps as `spelt`; `folder` is where the folder itself
// resolves to. Both resolved paths come from the same call, so drive letters, "\\?\" forms,
// short names, links above the folder and the folder's letter case cannot set them apart: only
// another folder or another name can. Where the system cannot say (the entry cannot be opened,
// or the folder not resolved), the entry is taken as it is marked.
bool ResolvesElsewhere(const std::wstring& path, std::wstring_view spelt,
                       std::wstring_view folder) {
    if (folder.empty()) return false;
    const std::wstring final = FinalPath(path);
    const std::size_t separator = final.rfind(L'\\');
    if (separator == std::wstring::npos) return false;
    const std::wstring_view name = std::wstring_view(final).substr(separator + 1);
    if (!SameIgnoringCase(std::wstring_view(final).substr(0, separator), folder)) return true;
    if (name == spelt) return false;
    if (!SameIgnoringCase(name, spelt)) return true;
    // The file system's own spelling, where the folder ignores case; or, where it does not, a
    // link to a sibling spelt otherwise, which answers to that spelling itself.
    std::wstring sibling = FolderOf(path);
    if (!sibling.ends_with(L'\\')) sibling += L'\\';
    sibling += name;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(sibling.c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return name == found.cFileName;
}

}  // namespace

fs::path LongPath(const fs::path& path) {
    const std::wstring& text = path.native();
    if (text.empty() || text.starts_with(kLongPrefix) || text.starts_with(LR"(\\.\)")) {
        return path;
    }
    // GetFullPathNameW does what the prefix turns off: "/" to "\", "." and ".." resolved.
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(text.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return path;
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (full.starts_with(LR"(\\)"))
        return fs::path(std::wstring(kLongPrefix) + L"UNC" + full.substr(1));
    return fs::path(std::wstring(kLongPrefix) + full);
}

DiskResult<FileKind> KindOf(const fs::path& path, bool followLinks) {
    const std::wstring longPath = LongPath(path).native();
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(longPath.c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        // The root of a drive has no entry of its own to find.
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (Attributes(path, data)) return KindOfAttributes(data.dwFileAttributes);
        const DWORD failure = GetLastError();
        if (IsMissing(failure)) return FileKind::kMissing;
        return Failed(failure);
    }
    FindClose(search);
    if (!IsLink(found.dwFileAttributes, found.dwReserved0)) {
        // A link the system marks as none: the entry already shows what it leads to.
        if (!followLinks &&
            ResolvesElsewhere(longPath, found.cFileName, FinalPath(FolderOf(longPath)))) {
            return FileKind::kLink;
        }
        return KindOfAttributes(found.dwFileAttributes);
    }
    if (!followLinks) return FileKind::kLink;
    // What the link leads to: opening it follows it.
    const HANDLE target = CreateFileW(longPath.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (target == INVALID_HANDLE_VALUE) return FileKind::kMissing;  // a dangling link
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(target, &information) != 0;
    CloseHandle(target);
    if (!known) return DiskError{DiskError::kFailed, ""};
    return KindOfAttributes(information.dwFileAttributes);
}

namespace {

// Calls `take` with each entry of the folder but "." and "..", as FindNextFileW finds it.
template <typename Take>
DiskResult<> ForEachEntry(const std::wstring& folder, Take take) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(
        (folder + (folder.ends_with(L'\\') ? L"*" : L"\\*")).c_str(), FindExInfoBasic, &found,
        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD failure = GetLastError();
        if (failure == ERROR_FILE_NOT_FOUND) return Done{};  // a drive's empty root
        return Failed(failure);
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..") take(found);
    } while (FindNextFileW(search, &found) != 0);
    const DWORD failure = GetLastError();
    FindClose(search);
    if (failure != ERROR_NO_MORE_FILES) return Failed(failure);
    return Done{};
}

}  // namespace

DiskResult<std::vector<FolderEntry>> ListFolder(const fs::path& folder) {
    const std::wstring longFolder = LongPath(folder).native();
    std::vector<FolderEntry> entries;
    const auto take = [&](const WIN32_FIND_DATAW& found) {
        const bool link = IsLink(found.dwFileAttributes, found.dwReserved0);
        entries.push_back({fs::path(found.cFileName),
                           link ? FileKind::kLink : KindOfAttributes(found.dwFileAttributes)});
    };
    if (DiskResult<> listed = ForEachEntry(longFolder, take); !listed.Ok()) return listed.Why();
    // One call for each entry, on top of the listing: a walk reads each file anyway.
    const std::wstring resolved = FinalPath(longFolder);
    const std::wstring prefix = longFolder + (longFolder.ends_with(L'\\') ? L"" : L"\\");
    for (FolderEntry& entry : entries) {
        if (entry.kind != FileKind::kLink &&
            ResolvesElsewhere(prefix + entry.name.native(), entry.name.native(), resolved)) {
            entry.kind = FileKind::kLink;
        }
    }
    return entries;
}

DiskResult<std::vector<fs::path>> ListNames(const fs::path& folder) {
    std::vector<fs::path> names;
    const DiskResult<> listed =
        ForEachEntry(LongPath(folder).native(),
                     [&](const WIN32_FIND_DATAW& found) { names.emplace_back(found.cFileName); });
    if (!listed.Ok()) return listed.Why();
    return names;
}

DiskResult<> MakeFolder(const fs::path& path) {
    if (CreateDirectoryW(LongPath(path).c_str(), nullptr) != 0) return Done{};
    const DWORD failure = GetLastError();
    if (failure == ERROR_ALREADY_EXISTS || failure == ERROR_FILE_EXISTS) {
        return DiskError{DiskError::kNameTaken, ""};
    }
    return Failed(failure);
}

// RemoveDirectoryW removes a junction, or a link to a folder, as it stands, and would take the
// way into another folder with it: only a folder KindOf calls one goes (Wine's unmarked links
// included), and RemoveDirectoryW refuses one that holds anything.
bool RemoveEmptyFolder(const fs::path& path) {
    const DiskResult<FileKind> kind = KindOf(path, false);
    return kind.Ok() && *kind == FileKind::kFolder && RemoveDirectoryW(LongPath(path).c_str()) != 0;
}

DiskResult<> RenameReplacing(const fs::path& from, const fs::path& to) {
    if (MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        return Done{};
    }
    return Failed(GetLastError());
}

bool IsEmptyFile(const fs::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return Attributes(path, data) &&
           (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
               0 &&
           data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
}

bool RemoveEmptyFile(const fs::path& path) {
    return IsEmptyFile(path) && DeleteFileW(LongPath(path).c_str()) != 0;
}

std::string InexactName(const fs::path& path) {
    if (path.native().find(L'\uFFFD') == std::wstring::npos) return {};
    return "its name as the system shows it holds U+FFFD, the mark of bytes it could not read (a "
           "Linux name that is not UTF-8): qbt.exe could not give the name back";
}

bool IsSecondName(const fs::path&, const fs::path&) { return false; }
bool RemoveSecondName(const fs::path&, const fs::path&) { return false; }

// NTFS logs a folder's entries itself, and FlushFileBuffers on a folder needs write access that
// the journal's folder need not grant.
DiskResult<> FlushFolder(const fs::path&) { return Done{}; }

DiskResult<std::FILE*> OpenForReading(const fs::path& path) {
    std::FILE* file = _wfopen(LongPath(path).c_str(), L"rb");
    if (file == nullptr) return DiskError{DiskError::kFailed, std::strerror(errno)};
    return file;
}

fs::path ExecutableDirectory() {
    // The wide-character name, so that a folder outside the ANSI code page still leads to the
    // sample list beside the build.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            return fs::path(name).parent_path();
        }
        name.resize(name.size() * 2);  // cut short: the path is longer than the buffer
    }
}
