// A gzip-compressed ROM through zlib, which, unlike libarchive 3.6.2, compares each member's
// trailer (CRC-32 and length) with what it decompressed.
#include <zlib.h>

#include <array>
#include <cstring>

#include "platform/utf8.h"
#include "tools/collection/archive_formats.h"
#include "tools/base/ascii.h"
#include "tools/system/text_encoding.h"
#include "tools/collection/crc32.h"

namespace {

// The name the gzip header records, which gzip gives the file it restores (Latin-1 by the
// format, UTF-8 as Linux writes it); else the file's name without its .gz.
std::string EntryName(const gz_header& header, const char* stored, std::string_view fileName) {
    if (header.done == 1 && header.name != Z_NULL && stored[0] != '\0') {
        const std::string_view name(stored);
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

// A tar archive begins with a 512-byte header marked "ustar" at 257.
constexpr std::size_t kTarMarkAt = 257;
constexpr std::string_view kTarMark = "ustar";

}  // namespace

void ReadGzip(ArchiveInput& input, std::string_view fileName, FileContents& contents) {
    Inflater inflater;
    z_stream& stream = inflater.stream;
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {  // 16: gzip only, with its trailer
        contents.unreadable = "out of memory";
        return;
    }
    std::array<char, 1024> storedName{};
    gz_header header{};
    header.name = reinterpret_cast<Bytef*>(storedName.data());
    header.name_max = storedName.size() - 1;  // always ends with a NUL
    inflateGetHeader(&stream, &header);

    char* const in = ThreadBuffer(0);
    char* const out = ThreadBuffer(1);
    std::uint64_t offset = 0;
    bool inputEnded = false;
    // At least `wanted` bytes unread in `in`, unless the file ends first.
    const auto fill = [&](std::size_t wanted) {
        if (stream.avail_in >= wanted || inputEnded) return true;
        // Before the first read next_in is null, which memmove may not be given even for 0 bytes.
        if (stream.avail_in > 0) std::memmove(in, stream.next_in, stream.avail_in);
        std::string error;
        const std::int64_t count =
            input.Read(offset, in + stream.avail_in, kReadBufferSize - stream.avail_in, error);
        if (count < 0) {
            contents.unreadable = error;
            return false;
        }
        inputEnded = count == 0;
        offset += static_cast<std::uint64_t>(count);
        stream.next_in = reinterpret_cast<Bytef*>(in);
        stream.avail_in += static_cast<uInt>(count);
        return true;
    };

    Crc32 crc;
    std::string start;  // the first bytes, to tell a tar archive
    RomInFile rom;
    for (;;) {
        if (!fill(1)) return;
        if (stream.avail_in == 0) {
            contents.unreadable = "truncated: the compressed data ends early";
            return;
        }
        stream.next_out = reinterpret_cast<Bytef*>(out);
        stream.avail_out = static_cast<uInt>(kReadBufferSize);
        const int status = inflate(&stream, Z_NO_FLUSH);
        const std::string_view produced(out, kReadBufferSize - stream.avail_out);
        crc.Add(produced);
        if (start.size() < kTarMarkAt + kTarMark.size()) {
            start.append(produced.substr(0, kTarMarkAt + kTarMark.size() - start.size()));
            if (start.size() == kTarMarkAt + kTarMark.size() &&
                start.substr(kTarMarkAt) == kTarMark) {
                contents.kind = ContentKind::kOther;
                contents.format = "a tar archive compressed with gzip";
                return;
            }
        }
        if (status == Z_STREAM_END) {
            // gzip restores members written one after another as one file; what follows the
            // last one, it ignores, and so does qbt.
            if (!fill(2)) return;
            if (stream.avail_in >= 2 && stream.next_in[0] == 0x1F && stream.next_in[1] == 0x8B) {
                inflateReset(&stream);
                continue;
            }
            break;
        }
        if (status == Z_DATA_ERROR) {
            const std::string_view message = stream.msg != nullptr ? stream.msg : "corrupt data";
            // zlib's words for a trailer that does not match the data.
            const bool mismatch =
                message == "incorrect data check" || message == "incorrect length check";
            rom.status = mismatch ? RomStatus::kDamaged : RomStatus::kUnreadable;
            rom.reason = mismatch ? std::string(message) : "corrupt data: " + std::string(message);
            break;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            contents.unreadable = stream.msg != nullptr ? stream.msg : "zlib error";
            return;
        }
    }
    rom.entry = EntryName(header, storedName.data(), fileName);
    rom.crc = crc.Value();
    contents.roms.push_back(std::move(rom));
}
