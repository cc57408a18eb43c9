// A gzip-compressed ROM through zlib, which, unlike libarchive 3.6.2, compares each member's
// trailer (CRC-32 and length) with what it decompressed.
#include <zlib.h>

#include <array>
#include <cstring>

#include "platform/utf8.h"
#include "tools/base/ascii.h"
#include "tools/collection/archive_formats.h"
#include "tools/collection/crc32.h"
#include "tools/system/text_encoding.h"

namespace {

// The name the header records, where zlib puts it as it reads the header.
struct StoredName {
    std::array<char, 1024> text{};
    gz_header header{};

    explicit StoredName(z_stream& stream) {
        header.name = reinterpret_cast<Bytef*>(text.data());
        header.name_max = text.size() - 1;  // always ends with a NUL
        inflateGetHeader(&stream, &header);
    }
    StoredName(const StoredName&) = delete;
    StoredName& operator=(const StoredName&) = delete;
};

// The name the gzip header records, which gzip gives the file it restores (Latin-1 by the
// format, UTF-8 as Linux writes it); else the file's name without its .gz.
std::string EntryName(const StoredName& stored, std::string_view fileName) {
    if (stored.header.done == 1 && stored.header.name != Z_NULL && stored.text[0] != '\0') {
        const std::string_view name(stored.text.data());
        return IsValidUtf8(name) ? std::string(name)
                                 : ConvertText(name, TextEncoding::kLatin1, TextEncoding::kUtf8);
    }
    for (const std::string_view suffix : {".gz", ".z", "-gz"}) {
        if (fileName.size() > suffix.size() &&
            EqualsFolded(fileName.substr(fileName.size() - suffix.size()), suffix)) {
            return std::string(fileName.substr(0, fileName.size() - suffix.size()));
        }
    }
    return std::string(fileName);
}

struct Inflater {
    z_stream stream{};
    Inflater() = default;
    ~Inflater() { inflateEnd(&stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
};

// The compressed bytes, read into the stream's input as zlib needs them.
class CompressedInput {
public:
    CompressedInput(ArchiveInput& input, z_stream& stream)
        : input_(input), stream_(stream), buffer_(ThreadBuffer(0)) {}

    // At least `wanted` bytes unread in the stream's input, unless the file ends first.
    DiskResult<Done> Fill(std::size_t wanted) {
        if (stream_.avail_in >= wanted || ended_) return Done{};
        // Before the first read next_in is null, which memmove may not be given even for 0 bytes.
        if (stream_.avail_in > 0) std::memmove(buffer_, stream_.next_in, stream_.avail_in);
        const DiskResult<std::size_t> count =
            input_.Read(offset_, buffer_ + stream_.avail_in, kReadBufferSize - stream_.avail_in);
        if (!count.Ok()) return count.Why();
        ended_ = *count == 0;
        offset_ += *count;
        stream_.next_in = reinterpret_cast<Bytef*>(buffer_);
        stream_.avail_in += static_cast<uInt>(*count);
        return Done{};
    }

private:
    ArchiveInput& input_;
    z_stream& stream_;
    char* const buffer_;
    std::uint64_t offset_ = 0;
    bool ended_ = false;
};

// Whether the decompressed bytes, handed over as they come, begin as a tar archive: a 512-byte
// header marked "ustar" at 257.
class TarCheck {
public:
    bool BeginsTar(std::string_view produced) {
        if (start_.size() == kMarkEnd) return false;
        start_.append(produced.substr(0, kMarkEnd - start_.size()));
        return start_.size() == kMarkEnd && start_.substr(kMarkAt) == kMark;
    }

private:
    static constexpr std::size_t kMarkAt = 257;
    static constexpr std::string_view kMark = "ustar";
    static constexpr std::size_t kMarkEnd = kMarkAt + kMark.size();
    std::string start_;
};

// gzip restores members written one after another as one file; what follows the last one, it
// ignores, and so does qbt.
bool AnotherMemberFollows(const z_stream& stream) {
    return stream.avail_in >= 2 && stream.next_in[0] == 0x1F && stream.next_in[1] == 0x8B;
}

// zlib's words for a trailer that does not match the data: damage to the ROM's bytes. Anything
// else is data zlib could not decompress.
void NoteDataError(const z_stream& stream, RomInFile& rom) {
    const std::string_view message = stream.msg != nullptr ? stream.msg : "corrupt data";
    const bool mismatch = message == "incorrect data check" || message == "incorrect length check";
    rom.status = mismatch ? RomStatus::kDamaged : RomStatus::kUnreadable;
    rom.reason = mismatch ? std::string(message) : "corrupt data: " + std::string(message);
}

bool Unreadable(FileContents& contents, std::string reason) {
    contents.unreadable = std::move(reason);
    return false;
}

// Decompresses every member into `crc`, and notes in `rom` data that did not decompress. False
// when the file holds no ROM after all, or could not be read: `contents` then says why.
bool InflateMembers(z_stream& stream, ArchiveInput& input, Crc32& crc, RomInFile& rom,
                    FileContents& contents) {
    CompressedInput in(input, stream);
    char* const out = ThreadBuffer(1);
    TarCheck tar;
    for (;;) {
        if (const DiskResult<Done> filled = in.Fill(1); !filled.Ok()) {
            return Unreadable(contents, filled.Why().reason);
        }
        if (stream.avail_in == 0) {
            return Unreadable(contents, "truncated: the compressed data ends early");
        }
        stream.next_out = reinterpret_cast<Bytef*>(out);
        stream.avail_out = static_cast<uInt>(kReadBufferSize);
        const int status = inflate(&stream, Z_NO_FLUSH);
        const std::string_view produced(out, kReadBufferSize - stream.avail_out);
        crc.Add(produced);
        if (tar.BeginsTar(produced)) {
            contents.kind = ContentKind::kOther;
            contents.format = "a tar archive compressed with gzip";
            return false;
        }
        if (status == Z_STREAM_END) {
            if (const DiskResult<Done> filled = in.Fill(2); !filled.Ok()) {
                return Unreadable(contents, filled.Why().reason);
            }
            if (!AnotherMemberFollows(stream)) return true;
            inflateReset(&stream);
        } else if (status == Z_DATA_ERROR) {
            NoteDataError(stream, rom);
            return true;
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            return Unreadable(contents, stream.msg != nullptr ? stream.msg : "zlib error");
        }
    }
}

}  // namespace

void ReadGzip(ArchiveInput& input, std::string_view fileName, FileContents& contents) {
    Inflater inflater;
    // 16: gzip only, with its trailer.
    if (inflateInit2(&inflater.stream, 16 + MAX_WBITS) != Z_OK) {
        contents.unreadable = "out of memory";
        return;
    }
    StoredName stored(inflater.stream);
    Crc32 crc;
    RomInFile rom;
    if (!InflateMembers(inflater.stream, input, crc, rom, contents)) return;
    rom.entry = EntryName(stored, fileName);
    rom.crc = crc.Value();
    contents.roms.push_back(std::move(rom));
}
