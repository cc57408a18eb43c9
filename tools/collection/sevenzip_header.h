// A 7z archive's header, read without decompressing any of the archive's data: each entry's
// name, size, kind and the CRC-32 the archive records for it, and each solid block's coders.
// A packed header is decompressed (it is small); nothing else is read but the start header.
//
//     const SevenZipHeader header = ReadSevenZipHeader(file);
//     if (header.status != SevenZipHeaderStatus::kRead) ... header.reason ...
//     for (const SevenZipEntry& entry : header.entries)
//         ... entry.name, entry.crc, header.blocks[*entry.block].encrypted ...
//
// It is the 7z reader of the LZMA SDK's C code (cmake/sevenzip_sdk.cmake), over the ReadableFile
// with every read at an offset. The SDK reports an anti-item (an entry an update deletes) as an
// empty file or folder, without saying it is one.
//
// Memory: the header as the archive declares it, within `memoryLimit` bytes in all: the unpacked
// header's size is a 64-bit number from the file, allocated before it is decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ReadableFile;

// The coders' method ids that matter to a reader.
inline constexpr std::uint32_t kSevenZipCopy = 0x00;
inline constexpr std::uint32_t kSevenZipLzma2 = 0x21;
inline constexpr std::uint32_t kSevenZipLzma = 0x030101;
inline constexpr std::uint32_t kSevenZipPpmd = 0x030401;
inline constexpr std::uint32_t kSevenZipAes = 0x06F10701;

struct SevenZipCoder {
    std::uint32_t method = 0;
    std::string properties;  // as the archive stores them
    // What the coder's decoder allocates by its properties: the dictionary of LZMA and LZMA2,
    // the model of PPMd; 0 for every other method.
    std::uint64_t dictionarySize = 0;
};

// A folder of the 7z format: the packed streams that the coders turn into the data of one or
// more entries (many in a solid archive).
struct SevenZipBlock {
    std::vector<SevenZipCoder> coders;  // in the archive's order
    std::uint64_t packedSize = 0;
    std::uint64_t unpackedSize = 0;
    // Whether one of its coders decrypts (AES-256, or another 7z encryption method id).
    bool encrypted = false;
};

struct SevenZipEntry {
    std::string name;  // UTF-8; what is not UTF-16 in the archive becomes U+FFFD
    std::uint64_t size = 0;
    bool isFolder = false;
    // Windows attributes, where the archive records them; with bit 15 (0x8000) set, the high 16
    // bits hold a Unix mode (UnixModeOf).
    std::optional<std::uint32_t> attributes;
    std::optional<std::uint32_t> crc;    // none for an empty file or a folder, or when not recorded
    std::optional<std::uint32_t> block;  // the index in SevenZipHeader::blocks; none without data
};

enum class SevenZipEntryType {
    kFile,
    kFolder,
    kSymbolicLink,
    kFifo,
    kCharacterDevice,
    kBlockDevice,
    kSocket,
};

// The Unix mode (type and permissions) the attributes carry, when they do.
std::optional<std::uint32_t> UnixModeOf(const SevenZipEntry& entry);
// What the entry is: a folder by its flag, else by the type of its Unix mode, else a file.
SevenZipEntryType TypeOf(const SevenZipEntry& entry);

enum class SevenZipHeaderStatus {
    kRead,
    kUnreadable,   // damaged, truncated, encrypted, or the file could not be read: `reason`
    kUnsupported,  // a form this reader lacks (a header packed with PPMd, say): `reason`
};

struct SevenZipHeader {
    SevenZipHeaderStatus status = SevenZipHeaderStatus::kRead;
    std::string reason;
    std::vector<SevenZipEntry> entries;  // in the archive's order
    std::vector<SevenZipBlock> blocks;   // in the archive's order
};

inline constexpr std::size_t kSevenZipHeaderMemoryLimit = std::size_t{256} << 20;

// Reads the header of the 7z archive `file`. Never throws for what the file holds.
SevenZipHeader ReadSevenZipHeader(ReadableFile& file,
                                  std::size_t memoryLimit = kSevenZipHeaderMemoryLimit);
