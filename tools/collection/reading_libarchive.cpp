// 7z, RAR and RAR5 through libarchive, over the ReadableFile with a seek callback (a 7z's header
// lies at the end of the file). Entries stream past one at a time; each is decompressed to
// its end, which is where libarchive compares it with the archive's checksum.
#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "tools/collection/archive_formats.h"
#include "tools/collection/crc32.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#endif

namespace {

struct Source {
    ArchiveInput& input;
    std::uint64_t position = 0;
    char* buffer;
};

la_ssize_t Read(archive* reader, void* data, const void** block) {
    Source& source = *static_cast<Source*>(data);
    const DiskResult<std::size_t> count =
        source.input.Read(source.position, source.buffer, kReadBufferSize);
    if (!count.Ok()) {
        archive_set_error(reader, EIO, "read error: %s", count.Why().reason.c_str());
        return -1;
    }
    source.position += *count;
    *block = source.buffer;
    return static_cast<la_ssize_t>(*count);
}

la_int64_t Seek(archive*, void* data, la_int64_t offset, int whence) {
    Source& source = *static_cast<Source*>(data);
    const auto size = static_cast<la_int64_t>(source.input.Size());
    la_int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<la_int64_t>(source.position);
    if (whence == SEEK_END) base = size;
    const la_int64_t position = base + offset;
    if (position < 0) return ARCHIVE_FATAL;
    source.position = static_cast<std::uint64_t>(position);
    return position;
}

la_int64_t Skip(archive*, void* data, la_int64_t request) {
    Source& source = *static_cast<Source*>(data);
    const std::uint64_t size = source.input.Size();
    const std::uint64_t left = source.position < size ? size - source.position : 0;
    const auto skipped = std::min(static_cast<std::uint64_t>(request), left);
    source.position += skipped;
    return static_cast<la_int64_t>(skipped);
}

struct ReaderFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};

// libarchive converts names into the thread's locale (Linux) before it hands them out as
// UTF-8, so in the C locale every character outside ASCII would be lost: a UTF-8 locale for the
// thread while it reads. On Windows it keeps a name exactly only in the form the archive stores:
// UTF-8 in RAR5, UTF-16 in 7z and RAR; any other form passes through the C runtime's code page.
class Utf8Names {
public:
#ifdef _WIN32
    static std::string Of(archive_entry* entry, ContentKind kind) {
        if (kind == ContentKind::kRar5) {
            const char* name = archive_entry_pathname_utf8(entry);
            if (name != nullptr) return name;
        }
        const wchar_t* wide = archive_entry_pathname_w(entry);
        if (wide == nullptr) {
            const char* narrow = archive_entry_pathname(entry);
            return narrow == nullptr ? "" : narrow;
        }
        const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
        std::string name(static_cast<std::size_t>(std::max(length, 1)), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, name.data(), length, nullptr, nullptr);
        name.resize(name.size() - 1);
        return name;
    }
#else
    Utf8Names() {
        static const locale_t utf8 = [] {
            locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
            return locale != nullptr
                       ? locale
                       : newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(nullptr));
        }();
        if (utf8 != nullptr) previous_ = uselocale(utf8);
    }
    ~Utf8Names() {
        if (previous_ != nullptr) uselocale(previous_);
    }
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;

    static std::string Of(archive_entry* entry, ContentKind) {
        const char* name = archive_entry_pathname_utf8(entry);
        if (name == nullptr) name = archive_entry_pathname(entry);
        return name == nullptr ? "" : name;
    }

private:
    locale_t previous_ = nullptr;
#endif
};

std::string ErrorOf(archive* reader) {
    const char* message = archive_error_string(reader);
    // It gives none when a 7z's header lies past the end of a file cut short.
    return message != nullptr ? message : "damaged or truncated";
}

// libarchive reports a checksum that does not match the data only in words: "7-Zip bad CRC",
// "File CRC error" (RAR), "Checksum error: CRC32" or "BLAKE2" (RAR5).
bool IsChecksumMismatch(std::string_view message) {
    return message.find("bad CRC") != std::string_view::npos ||
           message.find("File CRC error") != std::string_view::npos ||
           message.starts_with("Checksum error");
}

// The entry's CRC-32 over its bytes to its end, the holes of a sparse entry as zeros; the
// status of libarchive's last answer, ARCHIVE_EOF when the entry was read whole.
int ReadEntryData(archive* reader, Crc32& crc) {
    std::int64_t expected = 0;  // sparse entries leave holes of zeros between blocks
    for (;;) {
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status < ARCHIVE_WARN) return status;
        static constexpr char kZeros[4096] = {};
        while (expected < offset) {
            const auto hole = std::min<std::int64_t>(offset - expected, sizeof kZeros);
            crc.Add({kZeros, static_cast<std::size_t>(hole)});
            expected += hole;
        }
        // Not for the empty block at the end: libdeflate takes a null buffer for a fresh start
        // and answers the CRC of nothing.
        if (size > 0) crc.Add({static_cast<const char*>(block), size});
        expected += static_cast<std::int64_t>(size);
        if (status == ARCHIVE_WARN || status == ARCHIVE_EOF) return status;
    }
}

// A ROM for the entry, decompressed to its end; the status of libarchive's last answer.
int ReadEntry(archive* reader, archive_entry* entry, ContentKind kind, RomInFile& rom) {
    rom.entry = Utf8Names::Of(entry, kind);
    Crc32 crc;
    const int status = ReadEntryData(reader, crc);
    rom.crc = crc.Value();
    if (status != ARCHIVE_EOF) {
        rom.reason = ErrorOf(reader);
        rom.status = IsChecksumMismatch(rom.reason) ? RomStatus::kDamaged : RomStatus::kUnreadable;
    }
    return status;
}

using Reader = std::unique_ptr<archive, ReaderFree>;

// A reader of the one format, over `source`; null with `contents.unreadable` set when the
// archive cannot be opened.
Reader OpenReader(Source& source, ContentKind kind, FileContents& contents) {
    Reader reader(archive_read_new());
    if (kind == ContentKind::kSevenZip) archive_read_support_format_7zip(reader.get());
    if (kind == ContentKind::kRar) archive_read_support_format_rar(reader.get());
    if (kind == ContentKind::kRar5) archive_read_support_format_rar5(reader.get());
    archive_read_set_seek_callback(reader.get(), Seek);
    if (archive_read_open2(reader.get(), &source, nullptr, Read, Skip, nullptr) != ARCHIVE_OK) {
        contents.unreadable = ErrorOf(reader.get());
        return nullptr;
    }
    return reader;
}

}  // namespace

// Adds a ROM per regular file, in the archive's order. libarchive stops at the first fatal
// error (RAR readers at a checksum mismatch too): the archive is unreadable from there on.
void ReadWithLibarchive(ArchiveInput& input, FileContents& contents) {
#ifndef _WIN32
    const Utf8Names utf8Names;
#endif
    Source source{input, 0, ThreadBuffer(0)};
    const Reader reader = OpenReader(source, contents.kind, contents);
    if (!reader) return;
    for (;;) {
        archive_entry* entry = nullptr;
        const int header = archive_read_next_header(reader.get(), &entry);
        if (header == ARCHIVE_EOF) return;
        if (header == ARCHIVE_RETRY) continue;
        if (header < ARCHIVE_WARN) {  // a name that did not convert is only a warning
            contents.unreadable = ErrorOf(reader.get());
            return;
        }
        if (archive_entry_filetype(entry) != AE_IFREG) continue;
        RomInFile& rom = contents.roms.emplace_back();
        if (ReadEntry(reader.get(), entry, contents.kind, rom) == ARCHIVE_FATAL) {
            contents.unreadable = rom.reason;
            return;
        }
    }
}
