// Win32 calls only: msvcrt's _wstat, beneath libstdc++'s std::filesystem::status on mingw-w64,
// refuses every path that holds '?', and so every path in the "\\?\" form.
#define NOMINMAX
#include <windows.h>

#include <cstdint>
#include <string>

#include "tools/os/files.h"
#include "tools/os/platform.h"

namespace fs = std::filesystem;

namespace {

constexpr std::wstring_view kLongPrefix = LR"(\\?\)";

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

FileKind KindOf(const fs::path& path, bool followLinks, std::string& error) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(LongPath(path).c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        // The root of a drive has no entry of its own to find.
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (Attributes(path, data)) return KindOfAttributes(data.dwFileAttributes);
        const DWORD failure = GetLastError();
        if (IsMissing(failure)) return FileKind::kMissing;
        error = SystemErrorText(failure);
        return FileKind::kUnknown;
    }
    FindClose(search);
    if (!IsLink(found.dwFileAttributes, found.dwReserved0)) {
        return KindOfAttributes(found.dwFileAttributes);
    }
    if (!followLinks) return FileKind::kLink;
    // What the link leads to: opening it follows it.
    const HANDLE target = CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (target == INVALID_HANDLE_VALUE) return FileKind::kMissing;  // a dangling link
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(target, &information) != 0;
    CloseHandle(target);
    return known ? KindOfAttributes(information.dwFileAttributes) : FileKind::kUnknown;
}

bool ListFolder(const fs::path& folder, std::vector<FolderEntry>& entries, std::string& error) {
    WIN32_FIND_DATAW found;
    const HANDLE search =
        FindFirstFileExW((LongPath(folder) / L"*").c_str(), FindExInfoBasic, &found,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD failure = GetLastError();
        if (failure == ERROR_FILE_NOT_FOUND) return true;  // a drive's empty root
        error = SystemErrorText(failure);
        return false;
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        entries.push_back(
            {fs::path(std::wstring(name)), IsLink(found.dwFileAttributes, found.dwReserved0)
                                               ? FileKind::kLink
                                               : KindOfAttributes(found.dwFileAttributes)});
    } while (FindNextFileW(search, &found) != 0);
    const DWORD failure = GetLastError();
    FindClose(search);
    if (failure != ERROR_NO_MORE_FILES) {
        error = SystemErrorText(failure);
        return false;
    }
    return true;
}

Reservation ReserveName(const fs::path& path, std::string& error) {
    const HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD failure = GetLastError();
        if (failure == ERROR_FILE_EXISTS || failure == ERROR_ALREADY_EXISTS) {
            return Reservation::kTaken;
        }
        error = SystemErrorText(failure);
        return Reservation::kFailed;
    }
    CloseHandle(file);
    return Reservation::kReserved;
}

bool RenameReplacing(const fs::path& from, const fs::path& to, std::string& error) {
    if (MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    error = SystemErrorText(GetLastError());
    return false;
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

bool IsSecondName(const fs::path&, const fs::path&) { return false; }
bool RemoveSecondName(const fs::path&, const fs::path&) { return false; }

// NTFS logs a folder's entries itself, and FlushFileBuffers on a folder needs write access that
// the journal's folder need not grant.
bool FlushFolder(const fs::path&) { return true; }

namespace {

class WindowsJournalFile final : public JournalFile {
public:
    explicit WindowsJournalFile(HANDLE file) : file_(file) {}
    ~WindowsJournalFile() override { CloseHandle(file_); }
    WindowsJournalFile(const WindowsJournalFile&) = delete;
    WindowsJournalFile& operator=(const WindowsJournalFile&) = delete;

    bool Read(std::string& text, std::string& error) override {
        text.clear();
        if (GetFileType(file_) != FILE_TYPE_DISK) return true;
        char chunk[1 << 16];
        for (std::uint64_t at = 0;;) {
            OVERLAPPED position = At(at);
            DWORD length = 0;
            if (!ReadFile(file_, chunk, sizeof chunk, &length, &position)) {
                if (GetLastError() == ERROR_HANDLE_EOF) return true;
                return Failed(error);
            }
            if (length == 0) return true;
            text.append(chunk, length);
            at += length;
        }
    }

    bool WriteAt(std::uint64_t offset, std::string_view bytes, std::string& error) override {
        while (!bytes.empty()) {
            OVERLAPPED position = At(offset);
            DWORD written = 0;
            if (!WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           &position)) {
                return Failed(error);
            }
            bytes.remove_prefix(written);
            offset += written;
        }
        return true;
    }

    bool Sync(std::string& error) override { return FlushFileBuffers(file_) != 0 || Failed(error); }

private:
    static OVERLAPPED At(std::uint64_t offset) {
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(offset);
        position.OffsetHigh = static_cast<DWORD>(offset >> 32);
        return position;
    }
    static bool Failed(std::string& error) {
        error = SystemErrorText(GetLastError());
        return false;
    }

    HANDLE file_;
};

}  // namespace

std::unique_ptr<JournalFile> OpenJournalFile(const fs::path& path, std::string& error) {
    // Others may read it while it is open, not write it.
    const HANDLE file =
        CreateFileW(LongPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD failure = GetLastError();
        error = failure == ERROR_SHARING_VIOLATION ? "another program is writing it"
                                                   : SystemErrorText(failure);
        return nullptr;
    }
    return std::make_unique<WindowsJournalFile>(file);
}
