#include "tools/collection/archive_reading.h"

#include <array>
#include <vector>

#include "tools/base/ascii.h"
#include "tools/collection/archive_formats.h"
#include "tools/collection/crc32.h"

namespace {

// Enough of the file's start for every signature below (tar's lies at 257).
constexpr std::size_t kSignatureBytes = 264;

bool At(std::string_view start, std::size_t offset, std::string_view signature) {
    return start.size() >= offset + signature.size() &&
           start.substr(offset, signature.size()) == signature;
}

using namespace std::string_view_literals;

// Archives are told by signatures of at least four bytes, so that a ROM is not taken for one by
// chance; gzip's three are backed by its flag byte's reserved bits, which must be clear.
ContentKind KindOf(std::string_view start, std::string& other) {
    if (At(start, 0, "PK\x03\x04"sv) || At(start, 0, "PK\x05\x06"sv) ||
        At(start, 0, "PK\x07\x08PK\x03\x04"sv)) {
        return ContentKind::kZip;
    }
    if (At(start, 0, "7z\xBC\xAF\x27\x1C"sv)) return ContentKind::kSevenZip;
    if (At(start, 0, "Rar!\x1A\x07\x00"sv)) return ContentKind::kRar;
    if (At(start, 0, "Rar!\x1A\x07\x01\x00"sv)) return ContentKind::kRar5;
    if (At(start, 0, "\x1F\x8B\x08"sv) && start.size() > 3 &&
        (static_cast<unsigned char>(start[3]) & 0xE0) == 0) {
        return ContentKind::kGzip;
    }
    // What else collections hold beside ROMs: archives and compressed files that qbt leaves to
    // the user, saying what they are, rather than keying their bytes as a ROM that no list has.
    static constexpr struct {
        std::size_t offset;
        std::string_view signature;
        std::string_view what;
    } kOthers[] = {
        {0, "\xFD\x37zXZ\x00"sv, "an xz-compressed file"},
        {0, "\x28\xB5\x2F\xFD"sv, "a zstd-compressed file"},
        {0, "\x04\x22\x4D\x18"sv, "an lz4-compressed file"},
        {257, "ustar"sv, "a tar archive"},
        {0, "MSCF\0\0\0\0"sv, "a cabinet archive"},
        {7, "**ACE**"sv, "an ACE archive"},
        {0, "!<arch>\n"sv, "an ar archive"},
        {0, "070701"sv, "a cpio archive"},
        {0, "070707"sv, "a cpio archive"},
    };
    for (const auto& [offset, signature, what] : kOthers) {
        if (At(start, offset, signature)) {
            other = what;
            return ContentKind::kOther;
        }
    }
    // bzip2: "BZh", the block size, and the block magic (the digits of pi).
    if (At(start, 0, "BZh"sv) && start.size() >= 10 && start[3] >= '1' && start[3] <= '9' &&
        At(start, 4, "\x31\x41\x59\x26\x53\x59"sv)) {
        other = "a bzip2-compressed file";
        return ContentKind::kOther;
    }
    // LHA: "-lh" or "-lz", a method character and "-" after the header's size and checksum.
    if (start.size() >= 7 && start[2] == '-' && start[3] == 'l' &&
        (start[4] == 'h' || start[4] == 'z') && start[6] == '-') {
        other = "an LHA archive";
        return ContentKind::kOther;
    }
    return ContentKind::kPlain;
}

std::string ExtensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? "" : AsciiFolded(name.substr(dot));
}

// An extension that promises an archive whose signature is missing: a damaged archive, never a
// ROM. Zip is not here: libzip finds a zip's directory behind data put before it, as in
// self-extracting archives.
std::string_view PromisedArchive(std::string_view extension) {
    if (extension == ".7z") return "7z";
    if (extension == ".rar") return "rar";
    if (extension == ".gz") return "gzip";
    return {};
}

void ReadPlain(ArchiveInput& input, std::string_view start, FileContents& contents) {
    Crc32 crc;
    crc.Add(start);
    char* const buffer = ThreadBuffer(0);
    std::uint64_t offset = start.size();
    for (;;) {
        const DiskResult<std::size_t> count = input.Read(offset, buffer, kReadBufferSize);
        if (!count.Ok()) {
            contents.unreadable = count.Why().reason;
            return;
        }
        if (*count == 0) break;
        crc.Add({buffer, *count});
        offset += *count;
    }
    RomInFile rom;
    rom.crc = crc.Value();
    contents.roms.push_back(std::move(rom));
}

}  // namespace

DiskResult<std::size_t> ArchiveInput::Read(std::uint64_t offset, void* buffer, std::size_t size) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t filled = 0;
    while (filled < size) {
        const DiskResult<std::size_t> count =
            file_.ReadAt(offset + filled, bytes + filled, size - filled);
        if (!count.Ok()) {
            DiskError error = count.Why();
            if (error.reason.empty()) error.reason = "the system could not read it";
            return error;
        }
        if (*count == 0) break;
        filled += *count;
    }
    if (filled > 0 && options_.bytesRead) options_.bytesRead(filled);
    return filled;
}

char* ThreadBuffer(int which) {
    thread_local std::vector<char> buffers[2];
    std::vector<char>& buffer = buffers[which];
    if (buffer.empty()) buffer.resize(kReadBufferSize);
    return buffer.data();
}

std::string_view FormatName(ContentKind kind) {
    switch (kind) {
        case ContentKind::kPlain: return "file";
        case ContentKind::kZip: return "zip";
        case ContentKind::kSevenZip: return "7z";
        case ContentKind::kRar: return "rar";
        case ContentKind::kRar5: return "rar5";
        case ContentKind::kGzip: return "gzip";
        case ContentKind::kOther: return "other";
    }
    return "other";
}

FileContents ReadFileContents(ReadableFile& file, std::string_view name,
                              const ReadingOptions& options) {
    FileContents contents;
    ArchiveInput input(file, options);
    std::array<char, kSignatureBytes> start;
    const DiskResult<std::size_t> count = input.Read(0, start.data(), start.size());
    if (!count.Ok()) {
        contents.unreadable = count.Why().reason;
        return contents;
    }
    const std::string_view startBytes(start.data(), *count);
    contents.kind = KindOf(startBytes, contents.format);
    switch (contents.kind) {
        case ContentKind::kPlain: {
            const std::string extension = ExtensionOf(name);
            if (extension == ".zip") {
                contents.kind = ContentKind::kZip;
                ReadZip(input, contents);
            } else if (const std::string_view promised = PromisedArchive(extension);
                       !promised.empty()) {
                contents.unreadable =
                    "not a " + std::string(promised) + " archive: it does not begin as one";
            } else {
                ReadPlain(input, startBytes, contents);
            }
            break;
        }
        case ContentKind::kZip: ReadZip(input, contents); break;
        case ContentKind::kSevenZip: ReadSevenZip(input, contents); break;
        case ContentKind::kRar:
        case ContentKind::kRar5: ReadWithLibarchive(input, contents); break;
        case ContentKind::kGzip: ReadGzip(input, name, contents); break;
        case ContentKind::kOther: break;
    }
    return contents;
}
