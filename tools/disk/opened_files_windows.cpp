// Files qbt opens: held names and its own outputs made new, ROMs read at offsets, journals
// written at offsets by one writer at a time. Win32 calls only, every path through LongPath.
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "tools/disk/files.h"
#include "tools/system/windows_text.h"

namespace fs = std::filesystem;

namespace {

DiskError Failed(DWORD failure) { return {DiskError::kFailed, SystemMessage(failure)}; }

// A file made here and now, never one that was there: kNameTaken when the name is.
DiskResult<HANDLE> CreateNewFile(const fs::path& path) {
    const HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD failure = GetLastError();
    if (failure == ERROR_FILE_EXISTS || failure == ERROR_ALREADY_EXISTS) {
        return DiskError{DiskError::kNameTaken, ""};
    }
    return Failed(failure);
}

}  // namespace

DiskResult<> ReserveName(const fs::path& path) {
    const DiskResult<HANDLE> file = CreateNewFile(path);
    if (!file.Ok()) return file.Why();
    CloseHandle(*file);
    return Done{};
}

namespace {

class WindowsReadableFile final : public ReadableFile {
public:
    WindowsReadableFile(HANDLE file, std::uint64_t size) : file_(file), size_(size) {}
    ~WindowsReadableFile() override { CloseHandle(file_); }
    WindowsReadableFile(const WindowsReadableFile&) = delete;
    WindowsReadableFile& operator=(const WindowsReadableFile&) = delete;

    std::uint64_t Size() const override { return size_; }

    // An OVERLAPPED offset on a handle opened for synchronous reading reads there and waits, so
    // several threads may read one file without sharing a file pointer.
    DiskResult<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        const DWORD count = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (ReadFile(file_, buffer, count, &read, &at) != 0) return std::size_t{read};
        const DWORD failure = GetLastError();
        if (failure == ERROR_HANDLE_EOF) return std::size_t{0};
        return DiskError{DiskError::kFailed, SystemMessage(failure)};
    }

private:
    HANDLE file_;
    std::uint64_t size_;
};

}  // namespace

DiskResult<std::unique_ptr<ReadableFile>> OpenReadable(const fs::path& path) {
    const HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Failed(GetLastError());
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) == 0) {
        const DWORD failure = GetLastError();
        CloseHandle(file);
        return Failed(failure);
    }
    return std::unique_ptr<ReadableFile>(
        std::make_unique<WindowsReadableFile>(file, static_cast<std::uint64_t>(size.QuadPart)));
}

DiskResult<> WriteNewFile(const fs::path& path, std::string_view content) {
    const DiskResult<HANDLE> created = CreateNewFile(path);
    if (!created.Ok()) return created.Why();
    const HANDLE file = *created;
    DWORD failure = ERROR_SUCCESS;
    for (std::size_t written = 0; written < content.size() && failure == ERROR_SUCCESS;) {
        DWORD count = 0;
        const DWORD piece =
            static_cast<DWORD>(std::min<std::size_t>(content.size() - written, 1u << 30));
        if (WriteFile(file, content.data() + written, piece, &count, nullptr) == 0) {
            failure = GetLastError();
        } else if (count == 0) {
            failure = ERROR_WRITE_FAULT;
        }
        written += count;
    }
    if (failure == ERROR_SUCCESS && FlushFileBuffers(file) == 0) failure = GetLastError();
    CloseHandle(file);
    if (failure == ERROR_SUCCESS) return Done{};
    DeleteFileW(LongPath(path).c_str());
    return Failed(failure);
}

bool RemoveFile(const fs::path& path) { return DeleteFileW(LongPath(path).c_str()) != 0; }

namespace {

class WindowsJournalFile final : public JournalFile {
public:
    explicit WindowsJournalFile(HANDLE file) : file_(file) {}
    ~WindowsJournalFile() override { CloseHandle(file_); }
    WindowsJournalFile(const WindowsJournalFile&) = delete;
    WindowsJournalFile& operator=(const WindowsJournalFile&) = delete;

    DiskResult<std::string> Read() override {
        std::string text;
        if (GetFileType(file_) != FILE_TYPE_DISK) return text;
        char chunk[1 << 16];
        for (std::uint64_t at = 0;;) {
            OVERLAPPED position = At(at);
            DWORD length = 0;
            if (!ReadFile(file_, chunk, sizeof chunk, &length, &position)) {
                const DWORD failure = GetLastError();
                if (failure == ERROR_HANDLE_EOF) return text;
                return Failed(failure);
            }
            if (length == 0) return text;
            text.append(chunk, length);
            at += length;
        }
    }

    DiskResult<> WriteAt(std::uint64_t offset, std::string_view bytes) override {
        while (!bytes.empty()) {
            OVERLAPPED position = At(offset);
            DWORD written = 0;
            if (!WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           &position)) {
                return Failed(GetLastError());
            }
            bytes.remove_prefix(written);
            offset += written;
        }
        return Done{};
    }

    DiskResult<> Sync() override {
        if (FlushFileBuffers(file_) != 0) return Done{};
        return Failed(GetLastError());
    }

private:
    static OVERLAPPED At(std::uint64_t offset) {
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(offset);
        position.OffsetHigh = static_cast<DWORD>(offset >> 32);
        return position;
    }

    HANDLE file_;
};

}  // namespace

DiskResult<std::unique_ptr<JournalFile>> OpenJournalFile(const fs::path& path) {
    // Others may read it while it is open, not write it.
    const HANDLE file =
        CreateFileW(LongPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD failure = GetLastError();
        if (failure == ERROR_SHARING_VIOLATION) {
            return DiskError{DiskError::kFailed, "another program is writing it"};
        }
        return Failed(failure);
    }
    return std::unique_ptr<JournalFile>(std::make_unique<WindowsJournalFile>(file));
}
