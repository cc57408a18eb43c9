#include "tools/collection/sevenzip_header.h"

#include <7z.h>
#include <7zCrc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/system/text_encoding.h"
#include "tools/disk/readable_file.h"

namespace {

// The SDK's input: the file read at an offset of our own for every call, so that nothing but
// the start header and the header is read.
struct FileStream {
    explicit FileStream(ReadableFile& opened) : file(opened) {
        vt.Look = Look;
        vt.Skip = Skip;
        vt.Read = Read;
        vt.Seek = Seek;
    }

    ILookInStream vt;  // first, so that the SDK's pointer to it is a pointer to the stream
    ReadableFile& file;
    std::uint64_t position = 0;
    std::string error;  // the system's reason for a read that failed
    std::vector<Byte> lookahead = std::vector<Byte>(std::size_t{1} << 16);

    static FileStream& Of(ILookInStreamPtr stream) {
        return *const_cast<FileStream*>(reinterpret_cast<const FileStream*>(stream));
    }
    SRes ReadAt(void* buffer, std::size_t& size) {
        const DiskResult<std::size_t> count = file.ReadAt(position, buffer, size);
        if (!count.Ok()) {
            error = count.Why().reason;
            return SZ_ERROR_READ;
        }
        size = *count;
        return SZ_OK;
    }
    static SRes Look(ILookInStreamPtr p, const void** buffer, std::size_t* size) {
        FileStream& stream = Of(p);
        *size = std::min(*size, stream.lookahead.size());
        *buffer = stream.lookahead.data();
        return stream.ReadAt(stream.lookahead.data(), *size);
    }
    static SRes Skip(ILookInStreamPtr p, std::size_t offset) {
        Of(p).position += offset;
        return SZ_OK;
    }
    static SRes Read(ILookInStreamPtr p, void* buffer, std::size_t* size) {
        FileStream& stream = Of(p);
        const SRes result = stream.ReadAt(buffer, *size);
        if (result == SZ_OK) stream.position += *size;
        return result;
    }
    static SRes Seek(ILookInStreamPtr p, Int64* offset, ESzSeek origin) {
        FileStream& stream = Of(p);
        const std::uint64_t base = origin == SZ_SEEK_SET   ? 0
                                   : origin == SZ_SEEK_CUR ? stream.position
                                                           : stream.file.Size();
        const std::uint64_t position = base + static_cast<std::uint64_t>(*offset);
        if (position > static_cast<std::uint64_t>(INT64_MAX)) return SZ_ERROR_PARAM;
        stream.position = position;
        *offset = static_cast<Int64>(position);
        return SZ_OK;
    }
};

// The SDK's allocator, within a budget: each block records its size in front of it.
struct CappedAllocator {
    explicit CappedAllocator(std::size_t budget) : left(budget) {
        vt.Alloc = Alloc;
        vt.Free = Free;
    }

    ISzAlloc vt;  // first, as in FileStream
    std::size_t left;
    bool refused = false;

    static constexpr std::size_t kPrefix = alignof(std::max_align_t);
    static CappedAllocator& Of(ISzAllocPtr p) {
        return *const_cast<CappedAllocator*>(reinterpret_cast<const CappedAllocator*>(p));
    }
    static void* Alloc(ISzAllocPtr p, std::size_t size) {
        CappedAllocator& allocator = Of(p);
        allocator.refused = allocator.left < kPrefix || size > allocator.left - kPrefix;
        void* block = allocator.refused ? nullptr : std::malloc(size + kPrefix);
        if (block == nullptr) return nullptr;
        std::memcpy(block, &size, sizeof size);
        allocator.left -= size + kPrefix;
        return static_cast<char*>(block) + kPrefix;
    }
    static void Free(ISzAllocPtr p, void* address) {
        if (address == nullptr) return;
        void* block = static_cast<char*>(address) - kPrefix;
        std::size_t size;
        std::memcpy(&size, block, sizeof size);
        Of(p).left += size + kPrefix;
        std::free(block);
    }
};

// The SDK's archive database, freed however reading it ends.
struct OpenedArchive {
    explicit OpenedArchive(CappedAllocator& allocator) : alloc(&allocator.vt) {
        SzArEx_Init(&database);
    }
    ~OpenedArchive() { SzArEx_Free(&database, alloc); }
    OpenedArchive(const OpenedArchive&) = delete;
    OpenedArchive& operator=(const OpenedArchive&) = delete;

    CSzArEx database;
    ISzAllocPtr alloc;
};

// 7z's numbers: the leading one bits of the first byte count the bytes that follow.
bool ReadNumber(CSzData& data, std::uint64_t& value) {
    if (data.Size == 0) return false;
    const Byte first = data.Data[0];
    unsigned extra = 0;
    while (extra < 8 && (first & (0x80u >> extra)) != 0) ++extra;
    if (data.Size < 1 + extra) return false;
    value = extra < 8 ? std::uint64_t{first & ((0x80u >> extra) - 1u)} << (8 * extra) : 0;
    for (unsigned i = 0; i < extra; ++i) value |= std::uint64_t{data.Data[1 + i]} << (8 * i);
    data.Data += 1 + extra;
    data.Size -= 1 + extra;
    return true;
}

// Past the packed streams' description that begins a packed header (position, count, sizes,
// CRCs), to its first folder's coders.
bool SkipToFirstFolder(CSzData& data) {
    std::uint64_t id = 0, position = 0, streams = 0, value = 0;
    if (!ReadNumber(data, id) || id != 0x06 || !ReadNumber(data, position) ||
        !ReadNumber(data, streams)) {
        return false;
    }
    while (ReadNumber(data, id) && id != 0x00) {
        // Their sizes; CRCs of packed streams, which 7-Zip does not write, end the search.
        if (id != 0x09) return false;
        for (std::uint64_t i = 0; i < streams; ++i) {
            if (!ReadNumber(data, value)) return false;
        }
    }
    std::uint64_t folders = 0;
    if (!ReadNumber(data, id) || id != 0x07 || !ReadNumber(data, id) || id != 0x0B ||
        !ReadNumber(data, folders) || folders == 0 || data.Size == 0 || data.Data[0] != 0) {
        return false;
    }
    ++data.Data;  // the folders follow here, not in another stream
    --data.Size;
    return true;
}

// The SDK answers an encrypted header as it answers a missing method: the coders of a packed
// header (EncodedHeader, 0x17) tell which.
bool HeaderIsEncrypted(ReadableFile& file) {
    Byte start[k7zStartHeaderSize];
    const DiskResult<std::size_t> read = file.ReadAt(0, start, sizeof start);
    if (!read.Ok() || *read != sizeof start) return false;
    std::uint64_t offset = 0, size = 0;
    std::memcpy(&offset, start + 12, 8);  // little-endian, as every machine qbt runs on
    std::memcpy(&size, start + 20, 8);
    Byte header[256];
    const DiskResult<std::size_t> headerRead =
        file.ReadAt(k7zStartHeaderSize + offset, header,
                    static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof header)));
    const std::size_t count = headerRead.Ok() ? *headerRead : 0;
    CSzData data{header + 1, count > 0 ? count - 1 : 0};
    CSzFolder folder;
    if (count == 0 || header[0] != 0x17 || !SkipToFirstFolder(data) ||
        SzGetNextFolderItem(&folder, &data) != SZ_OK) {
        return false;
    }
    return std::any_of(folder.Coders, folder.Coders + folder.NumCoders,
                       [](const CSzCoderInfo& coder) { return coder.MethodID == kSevenZipAes; });
}

std::string InWords(std::size_t bytes) {
    return bytes >= (1 << 20) ? std::to_string(bytes >> 20) + " MB"
                              : std::to_string(bytes) + " bytes";
}

std::string ReasonFor(SRes result, const FileStream& stream, const CappedAllocator& allocator,
                      std::size_t memoryLimit) {
    switch (result) {
        case SZ_ERROR_READ: return "read error: " + stream.error;
        case SZ_ERROR_INPUT_EOF: return "truncated: its header lies past the end of the file";
        case SZ_ERROR_MEM:
            return allocator.refused
                       ? "its header would take more than " + InWords(memoryLimit) + " of memory"
                       : "out of memory";
        case SZ_ERROR_DATA: return "damaged header: its packed data is corrupt";
        case SZ_ERROR_CRC: return "damaged header: its CRC-32 does not match";
        case SZ_ERROR_UNSUPPORTED: return "its header is in a form qbt's 7z reader lacks";
        default: return "damaged header";
    }
}

std::uint64_t DictionarySize(std::uint32_t method, const std::string& properties) {
    const auto byte = [&](std::size_t at) { return std::uint64_t{Byte(properties[at])}; };
    const auto le32At = [&](std::size_t at) {
        return byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24;
    };
    if ((method == kSevenZipLzma || method == kSevenZipPpmd) && properties.size() >= 5) {
        return le32At(1);
    }
    if (method == kSevenZipLzma2 && properties.size() == 1 && byte(0) <= 40) {
        return byte(0) == 40 ? 0xFFFFFFFF : (2 | (byte(0) & 1)) << (byte(0) / 2 + 11);
    }
    return 0;
}

SevenZipBlock BlockOf(const CSzAr& archive, UInt32 index) {
    SevenZipBlock block;
    const Byte* coders = archive.CodersData + archive.FoCodersOffsets[index];
    CSzData data{coders, archive.FoCodersOffsets[index + 1] - archive.FoCodersOffsets[index]};
    CSzFolder folder;
    if (SzGetNextFolderItem(&folder, &data) == SZ_OK) {  // as it was when the header was read
        for (UInt32 i = 0; i < folder.NumCoders; ++i) {
            const CSzCoderInfo& info = folder.Coders[i];
            SevenZipCoder& coder = block.coders.emplace_back();
            coder.method = info.MethodID;
            coder.properties.assign(reinterpret_cast<const char*>(coders) + info.PropsOffset,
                                    info.PropsSize);
            coder.dictionarySize = DictionarySize(coder.method, coder.properties);
            block.encrypted = block.encrypted || (info.MethodID >> 16) == 0x06F1;
        }
    }
    const UInt32 firstPacked = archive.FoStartPackStreamIndex[index];
    const UInt32 endPacked = archive.FoStartPackStreamIndex[index + 1];
    block.packedSize = archive.PackPositions[endPacked] - archive.PackPositions[firstPacked];
    block.unpackedSize = SzAr_GetFolderUnpackSize(&archive, index);
    return block;
}

SevenZipEntry EntryOf(const CSzArEx& database, UInt32 index) {
    SevenZipEntry entry;
    if (database.FileNameOffsets != nullptr) {
        const std::size_t units = SzArEx_GetFileNameUtf16(&database, index, nullptr);
        const auto* name =
            reinterpret_cast<const char*>(database.FileNames) + database.FileNameOffsets[index] * 2;
        entry.name = Utf16ToUtf8(std::string_view(name, (units - 1) * 2), false);
    }
    entry.size = SzArEx_GetFileSize(&database, index);
    entry.isFolder = SzArEx_IsDir(&database, index);
    if (SzBitWithVals_Check(&database.Attribs, index)) {
        entry.attributes = database.Attribs.Vals[index];
    }
    if (SzBitWithVals_Check(&database.CRCs, index)) entry.crc = database.CRCs.Vals[index];
    // An empty file inside a solid block is given that block though it holds none of its data.
    if (database.FileToFolder[index] != UINT32_MAX && entry.size > 0) {
        entry.block = database.FileToFolder[index];
    }
    return entry;
}

}  // namespace

std::optional<std::uint32_t> UnixModeOf(const SevenZipEntry& entry) {
    if (!entry.attributes || (*entry.attributes & 0x8000) == 0) return std::nullopt;
    return *entry.attributes >> 16;
}

SevenZipEntryType TypeOf(const SevenZipEntry& entry) {
    if (entry.isFolder) return SevenZipEntryType::kFolder;
    switch (UnixModeOf(entry).value_or(0) & 0170000) {
        case 0120000: return SevenZipEntryType::kSymbolicLink;
        case 0040000: return SevenZipEntryType::kFolder;
        case 0010000: return SevenZipEntryType::kFifo;
        case 0020000: return SevenZipEntryType::kCharacterDevice;
        case 0060000: return SevenZipEntryType::kBlockDevice;
        case 0140000: return SevenZipEntryType::kSocket;
        default: return SevenZipEntryType::kFile;
    }
}

SevenZipHeader ReadSevenZipHeader(ReadableFile& file, std::size_t memoryLimit) {
    // Its CRC-32 functions are chosen for the processor once, before their first use.
    static const bool crcReady = (CrcGenerateTable(), true);
    (void)crcReady;
    FileStream stream(file);
    CappedAllocator allocator(memoryLimit);
    OpenedArchive opened(allocator);
    SevenZipHeader header;
    const SRes result = SzArEx_Open(&opened.database, &stream.vt, &allocator.vt, &allocator.vt);
    if (result == SZ_ERROR_UNSUPPORTED && HeaderIsEncrypted(file)) {
        header.status = SevenZipHeaderStatus::kUnreadable;
        header.reason = "encrypted, its header too: a password is needed";
    } else if (result != SZ_OK) {
        header.status = result == SZ_ERROR_UNSUPPORTED ? SevenZipHeaderStatus::kUnsupported
                                                       : SevenZipHeaderStatus::kUnreadable;
        header.reason = ReasonFor(result, stream, allocator, memoryLimit);
    } else {
        const CSzArEx& database = opened.database;
        for (UInt32 i = 0; i < database.db.NumFolders; ++i) {
            header.blocks.push_back(BlockOf(database.db, i));
        }
        for (UInt32 i = 0; i < database.NumFiles; ++i) {
            header.entries.push_back(EntryOf(database, i));
        }
    }
    return header;
}
