// 7z archives keyed by the CRC-32 values their header records (sevenzip_header), as zip archives
// are by their directory's, without decompressing anything. With `verify`, and for an archive
// whose header leaves some entry's CRC-32 out, every entry is decompressed through libarchive as
// it streams past, as before; so is an archive whose header only libarchive reads.
#include <algorithm>
#include <array>
#include <cstdio>

#include "tools/collection/archive_formats.h"
#include "tools/collection/sevenzip_header.h"

namespace {

// The archive as the header reader sees it, every byte counted as the other readers count it.
class CountedFile final : public ReadableFile {
public:
    explicit CountedFile(ArchiveInput& input) : input_(input) {}
    std::uint64_t Size() const override { return input_.Size(); }
    DiskResult<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
                                   std::size_t size) override {
        return input_.Read(offset, buffer, size);
    }

private:
    ArchiveInput& input_;
};

bool IsRom(const SevenZipEntry& entry) { return TypeOf(entry) == SevenZipEntryType::kFile; }

// The methods libarchive 3.6.2 decompresses 7z data with, through zlib, bzip2 and liblzma:
// "packed with <name>, which qbt cannot decompress" for the others.
struct Method {
    std::uint32_t id;
    const char* name;
    bool decompressed;
};
constexpr std::array kMethods{
    Method{kSevenZipCopy, "Copy", true},   Method{kSevenZipLzma, "LZMA", true},
    Method{kSevenZipLzma2, "LZMA2", true}, Method{kSevenZipPpmd, "PPMd", true},
    Method{0x040108, "Deflate", true},     Method{0x040202, "BZip2", true},
    Method{0x03, "Delta", true},           Method{0x03030103, "BCJ", true},
    Method{0x0303011B, "BCJ2", true},      Method{0x03030205, "PPC", true},
    Method{0x03030401, "IA64", true},      Method{0x03030501, "ARM", true},
    Method{0x03030701, "ARMT", true},      Method{0x03030805, "SPARC", true},
    Method{0x040109, "Deflate64", false},  Method{0x0A, "ARM64", false},
    Method{0x0B, "RISCV", false},          Method{0x04F71101, "Zstandard", false},
};

std::string MethodName(std::uint32_t id) {
    const auto* known = std::find_if(kMethods.begin(), kMethods.end(),
                                     [&](const Method& method) { return method.id == id; });
    if (known != kMethods.end()) return known->name;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", id);
    return std::string("method ") + hex;
}

// Why the entries of `block` cannot be decompressed by this build; empty when they can.
std::string WhyNotDecompressed(const SevenZipBlock& block) {
    if (block.encrypted) return "encrypted: a password is needed";
    for (const SevenZipCoder& coder : block.coders) {
        const bool decompressed = std::any_of(
            kMethods.begin(), kMethods.end(),
            [&](const Method& method) { return method.id == coder.method && method.decompressed; });
        if (!decompressed) {
            return "packed with " + MethodName(coder.method) + ", which qbt cannot decompress";
        }
    }
    return {};
}

// An entry whose CRC-32 only its bytes can give.
bool LacksCrc(const SevenZipEntry& entry, const SevenZipHeader& header) {
    return IsRom(entry) && entry.block && !entry.crc &&
           WhyNotDecompressed(header.blocks[*entry.block]).empty();
}

RomInFile RomOf(const SevenZipEntry& entry, const SevenZipHeader& header) {
    RomInFile rom;
    rom.entry = entry.name;
    if (!entry.block) return rom;  // empty: the CRC-32 of nothing, 00000000
    rom.reason = WhyNotDecompressed(header.blocks[*entry.block]);
    if (!rom.reason.empty()) {
        rom.status = RomStatus::kUnreadable;
        return rom;
    }
    rom.crc = *entry.crc;
    rom.crcFromBytes = false;
    return rom;
}

}  // namespace

void ReadSevenZip(ArchiveInput& input, FileContents& contents) {
    if (input.Options().verify) return ReadWithLibarchive(input, contents);
    CountedFile file(input);
    const SevenZipHeader header = ReadSevenZipHeader(file);
    if (header.status == SevenZipHeaderStatus::kUnreadable) {
        contents.unreadable = header.reason;
        return;
    }
    if (header.status == SevenZipHeaderStatus::kUnsupported ||
        std::any_of(header.entries.begin(), header.entries.end(),
                    [&](const SevenZipEntry& entry) { return LacksCrc(entry, header); })) {
        return ReadWithLibarchive(input, contents);
    }
    for (const SevenZipEntry& entry : header.entries) {
        if (IsRom(entry)) contents.roms.push_back(RomOf(entry, header));
    }
}
