#define NOMINMAX
#include <windows.h>

#include <string>

#include "tools/disk/files.h"
#include "tools/system/terminal.h"
#include "tools/system/windows_text.h"

namespace {

// The last components only: the rename core builds both paths from one folder, but need not
// spell the folder the same way twice.
bool NamesDifferOnlyInCase(const std::filesystem::path& from, const std::filesystem::path& to) {
    const std::wstring a = from.filename().native();
    const std::wstring b = to.filename().native();
    return a != b && CompareStringOrdinal(a.data(), LengthAsInt(a.size()), b.data(),
                                          LengthAsInt(b.size()), TRUE) == CSTR_EQUAL;
}

// The name the file system holds for `path`, in its own letter case; empty if there is none.
std::wstring NameOnDisk(const std::filesystem::path& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(LongPath(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    FindClose(search);
    return found.cFileName;
}

// Whether the two paths name one file: the same volume and file index.
bool NameTheSameFile(const std::filesystem::path& first, const std::filesystem::path& second) {
    const auto identity = [](const std::filesystem::path& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE file =
            CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const bool known = GetFileInformationByHandle(file, &info) != 0;
        CloseHandle(file);
        return known;
    };
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    return identity(first, a) && identity(second, b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool MoveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

// A rename that changes only letter case, where the file system will not do it in one step:
// Wine 8 on a Linux file system reports success and leaves the name as it was, and a file
// system may refuse it as a rename onto an existing file. The file goes through a free name of
// its own beside it instead; should the process die between the two steps, that
// name ("<to>.qbt-renaming") says what it was meant to become.
DiskResult<> RenameThroughPassingName(const std::filesystem::path& from,
                                      const std::filesystem::path& to) {
    std::filesystem::path passing = to;
    passing += L".qbt-renaming";
    if (!MoveWithoutReplacing(from, passing)) {
        return DiskError{DiskError::kFailed, "cannot change the letter case through " +
                                                 PathToTerminal(passing.filename()) + ": " +
                                                 SystemMessage(GetLastError())};
    }
    if (MoveWithoutReplacing(passing, to)) return Done{};
    DiskError failed{DiskError::kFailed, SystemMessage(GetLastError())};
    if (!MoveWithoutReplacing(passing, from)) {
        failed.reason += "; the file is left as " + PathToTerminal(passing.filename());
    }
    return failed;
}

}  // namespace

DiskResult<> RenameWithoutReplacing(const std::filesystem::path& from,
                                    const std::filesystem::path& to) {
    // Without MOVEFILE_REPLACE_EXISTING an existing target fails the call, checked by the file
    // system in the same step as the rename. WRITE_THROUGH: the call returns only once the move
    // is on disk.
    if (!MoveWithoutReplacing(from, to)) {
        const DWORD failure = GetLastError();
        if (failure == ERROR_ALREADY_EXISTS || failure == ERROR_FILE_EXISTS) {
            const bool caseOnly = NamesDifferOnlyInCase(from, to) && NameTheSameFile(from, to);
            if (caseOnly) return RenameThroughPassingName(from, to);
            return DiskError{DiskError::kNameTaken, ""};
        }
        return DiskError{DiskError::kFailed, SystemMessage(failure)};
    }
    if (NamesDifferOnlyInCase(from, to) && NameOnDisk(to) != to.filename().native()) {
        return RenameThroughPassingName(from, to);
    }
    return Done{};
}
