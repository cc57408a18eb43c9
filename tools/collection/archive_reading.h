// What one file of a collection holds: a ROM, or an archive of ROMs, each with its CRC-32, told
// apart by the file's content rather than its name, since collections hold zips named .7z and
// ROMs named .bin of every kind.
//
//     const FileContents contents = ReadFileContents(file, "games.7z", {.verify = true});
//     for (const RomInFile& rom : contents.roms) ...   // rom.entry "Lantern One.gba", rom.crc
//
// Zip archives are read with libzip: the CRC-32 of each entry comes from the archive's directory
// without decompressing anything, or, with `verify`, from decompressing the entry, and a
// mismatch with the directory is a damaged entry. 7z archives likewise: the CRC-32 values of
// their header (sevenzip_header.h), and with `verify` their entries decompressed through
// libarchive; an entry whose data this build cannot decompress (encrypted, a method libarchive
// lacks) is unreadable either way. RAR (1.5 to 4) and RAR5 are read with libarchive, which
// offers no stored CRC, so their entries are always decompressed, one at a time and never held
// whole; the CRC-32 is computed over the bytes while libarchive compares them with what the
// archive records, and so is every entry of a 7z whose header leaves some CRC-32 out. A
// gzip-compressed file is one ROM, decompressed with zlib, which compares the trailer's CRC-32
// and length (libarchive 3.6.2 does not).
//
// What `verify` means for an entry whose archive records no CRC-32 (optional in 7z; RAR5 may
// record a BLAKE2sp hash instead): nothing changes, since such entries are decompressed anyway.
// Its CRC-32 is computed from its bytes, so it is the ROM's true key whatever the archive says,
// and libarchive checks a BLAKE2sp hash where there is one. With nothing to compare (a 7z entry
// without a checksum, and any stored, uncompressed RAR or RAR5 entry, whose CRC libarchive
// 3.6.2 never compares), an entry reads as ok and damage shows only as a key that no game has:
// never as a game present. libarchive does not say whether an entry was compared, so these
// cannot be reported apart.
//
// Memory: a buffer for reading plus what the decompressor needs (for LZMA the dictionary); a
// solid 7z is decompressed entry by entry as it streams past.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class ReadableFile;

enum class ContentKind {
    kPlain,  // one ROM: the file's own bytes
    kZip,
    kSevenZip,
    kRar,  // RAR 1.5 to 4
    kRar5,
    kGzip,   // one ROM compressed with gzip
    kOther,  // an archive or compressed file of a format qbt does not read: never a ROM
};

// "zip", "7z", "rar", "rar5", "gzip"; "file" for kPlain and "other" for kOther.
std::string_view FormatName(ContentKind kind);

enum class RomStatus {
    kOk,
    kDamaged,     // its bytes do not match the checksum the archive records for them
    kUnreadable,  // it could not be decompressed (a method this build lacks, encryption, ...)
};

struct RomInFile {
    std::string entry;  // the entry's name in the archive (UTF-8); empty for a plain file
    std::uint32_t crc = 0;
    RomStatus status = RomStatus::kOk;
    std::string reason;  // why it is damaged or unreadable
    // Whether `crc` was computed over the ROM's bytes; false only for a zip or 7z entry read
    // without `verify`, whose CRC-32 is the directory's or the header's, taken on trust.
    bool crcFromBytes = true;
};

struct FileContents {
    ContentKind kind = ContentKind::kPlain;
    // For kOther: what the file is ("a tar archive", "an xz-compressed file").
    std::string format;
    // Why the file, or the archive past some point, could not be read ("truncated", "not a zip
    // archive"); empty when it was read to its end. The ROMs read before the fault are kept.
    std::string unreadable;
    // One per regular file in an archive, in the archive's order; folders and links are left
    // out. A plain file or a gzip file gives one.
    std::vector<RomInFile> roms;
};

struct ReadingOptions {
    // Zip and 7z archives: decompress every entry and compare it with the CRC-32 the archive
    // records. The other formats are always decompressed and checked.
    bool verify = false;
    // Called from the reading thread with the count of bytes just read from the file, for a
    // progress bar over large archives.
    std::function<void(std::uint64_t)> bytesRead;
};

// Reads `file`, whose name (for the extension, and for the entry name of a gzip file that records
// none) is `name`. Never throws for what the file holds; a file that cannot be read at all has
// `unreadable` set and no ROMs.
FileContents ReadFileContents(ReadableFile& file, std::string_view name,
                              const ReadingOptions& options = {});
