#include "tools/collection/archive_reading.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <tuple>

#include "tools/os/readable_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#endif

namespace {

// Bytes in memory that come back a few at a time, as a slow disk may hand them, so that every
// reader's loops are exercised; a read at or past `failAt` fails.
class MemoryFile final : public ReadableFile {
public:
    explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t failAt = UINT64_MAX;

    std::uint64_t Size() const override { return bytes_.size(); }
    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size,
                        std::string& error) override {
        if (offset + size > failAt) {
            error = "Input/output error";
            return -1;
        }
        if (offset >= bytes_.size()) return 0;
        const auto count =
            std::min({size, static_cast<std::size_t>(bytes_.size() - offset), std::size_t{4099}});
        std::memcpy(buffer, bytes_.data() + offset, count);
        return static_cast<std::int64_t>(count);
    }

private:
    std::string bytes_;
};

std::uint32_t CrcOf(std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// ROM-like content that LZMA and deflate cannot shrink to nothing.
std::string Rom(std::size_t size, unsigned seed) {
    std::string rom(size, '\0');
    for (std::size_t i = 0; i < size; ++i) rom[i] = static_cast<char>((i * seed) >> 5 ^ (i % 251));
    return rom;
}

struct Member {
    std::string name;  // UTF-8; ending in '/' for a folder
    std::string content;
    bool link = false;
};

// A zip written by libzip: names in UTF-8, each entry stored or deflated.
std::string Zip(const std::vector<Member>& members, zip_int32_t method = ZIP_CM_DEFLATE) {
    zip_error_t error;
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    for (const Member& member : members) {
        if (member.name.ends_with('/')) {
            zip_dir_add(archive, member.name.c_str(), ZIP_FL_ENC_UTF_8);
            continue;
        }
        zip_source_t* data =
            zip_source_buffer(archive, member.content.data(), member.content.size(), 0);
        const zip_int64_t index =
            zip_file_add(archive, member.name.c_str(), data, ZIP_FL_ENC_UTF_8);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), method, 9);
        if (member.link) {
            zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0,
                                             ZIP_OPSYS_UNIX, 0120777u << 16);
        }
    }
    EXPECT_EQ(zip_close(archive), 0);
    std::string bytes;
    zip_source_open(buffer);
    char chunk[4096];
    zip_int64_t count;
    while ((count = zip_source_read(buffer, chunk, sizeof chunk)) > 0) bytes.append(chunk, count);
    zip_source_close(buffer);
    zip_source_free(buffer);
    return bytes;
}

// A 7z written by libarchive, solid as its writer makes them: `compression` "lzma2" or "copy".
std::string SevenZip(const std::vector<Member>& members, const char* compression = "lzma2") {
#ifndef _WIN32
    // libarchive takes names in the thread's locale, as it hands them out.
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    const locale_t previous = uselocale(utf8);
#endif
    std::string bytes;
    archive* writer = archive_write_new();
    archive_write_set_format_7zip(writer);
    archive_write_set_format_option(writer, "7zip", "compression", compression);
    archive_write_set_bytes_in_last_block(writer, 1);  // no padding after the archive
    archive_write_open2(
        writer, &bytes, nullptr,
        [](archive*, void* data, const void* block, size_t size) -> la_ssize_t {
            static_cast<std::string*>(data)->append(static_cast<const char*>(block), size);
            return static_cast<la_ssize_t>(size);
        },
        nullptr, nullptr);
    for (const Member& member : members) {
        archive_entry* entry = archive_entry_new();
        const bool folder = member.name.ends_with('/');
#ifdef _WIN32
        std::wstring wide(member.name.size(), L'\0');
        wide.resize(MultiByteToWideChar(CP_UTF8, 0, member.name.data(),
                                        static_cast<int>(member.name.size()), wide.data(),
                                        static_cast<int>(wide.size())));
        archive_entry_copy_pathname_w(entry, wide.c_str());
#else
        archive_entry_set_pathname_utf8(entry, member.name.c_str());
#endif
        archive_entry_set_filetype(entry, folder ? AE_IFDIR : member.link ? AE_IFLNK : AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        if (member.link) archive_entry_set_symlink(entry, member.content.c_str());
        const bool data = !folder && !member.link;
        archive_entry_set_size(entry, data ? static_cast<la_int64_t>(member.content.size()) : 0);
        archive_write_header(writer, entry);
        if (data) archive_write_data(writer, member.content.data(), member.content.size());
        archive_entry_free(entry);
    }
    EXPECT_EQ(archive_write_close(writer), ARCHIVE_OK) << archive_error_string(writer);
    archive_write_free(writer);
#ifndef _WIN32
    uselocale(previous);
    freelocale(utf8);
#endif
    return bytes;
}

// One gzip member that records `name` (none when empty).
std::string Gzip(std::string_view content, const std::string& name) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    gz_header header{};
    header.name = name.empty() ? Z_NULL : reinterpret_cast<Bytef*>(const_cast<char*>(name.c_str()));
    deflateSetHeader(&stream, &header);
    std::string bytes(deflateBound(&stream, content.size()) + name.size() + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(bytes.data());
    stream.avail_out = static_cast<uInt>(bytes.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    bytes.resize(stream.total_out);
    deflateEnd(&stream);
    return bytes;
}

std::string Vint(std::uint64_t value) {  // 7 bits a byte, the lowest first
    std::string bytes;
    do {
        bytes += static_cast<char>((value & 0x7F) | (value > 0x7F ? 0x80 : 0));
        value >>= 7;
    } while (value != 0);
    return bytes;
}

std::string Le32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

// A RAR5 archive of stored (uncompressed) entries, written here after RARLAB's published
// description of the format, since no free tool writes RAR: each block is its CRC-32, its size
// and its fields; a file block records its data's CRC-32 and is followed by the data.
std::string Rar5(const std::vector<Member>& members) {
    const auto block = [](const std::string& fields) {
        const std::string sized = Vint(fields.size()) + fields;
        return Le32(CrcOf(sized)) + sized;
    };
    std::string rar("Rar!\x1A\x07\x01\x00", 8);
    rar += block(Vint(1) + Vint(0) + Vint(0));  // the main block: no flags
    for (const Member& member : members) {
        const bool folder = member.name.ends_with('/');
        const std::string name =
            folder ? member.name.substr(0, member.name.size() - 1) : member.name;
        std::string fields = Vint(2) + Vint(0x0002) + Vint(member.content.size());  // data follows
        fields += Vint(folder ? 0x0001 : 0x0004);  // a folder, or a file with a CRC-32
        fields += Vint(member.content.size()) + Vint(folder ? 0x10 : 0x20);  // size, attributes
        if (!folder) fields += Le32(CrcOf(member.content));
        fields += Vint(0) + Vint(0) + Vint(name.size()) + name;  // stored, by Windows
        rar += block(fields) + member.content;
    }
    return rar + block(Vint(5) + Vint(0) + Vint(0));  // the end
}

// The same for RAR 1.5 to 4, ASCII names only: its blocks begin with the low half of the
// CRC-32 of the rest of the block, a type, flags and the block's size.
std::string Rar4(const std::vector<Member>& members) {
    const auto le16 = [](std::size_t value) {
        return std::string{static_cast<char>(value), static_cast<char>(value >> 8)};
    };
    const auto block = [&](char type, unsigned flags, const std::string& fields) {
        const std::string rest = type + le16(flags) + le16(7 + fields.size()) + fields;
        return le16(CrcOf(rest) & 0xFFFF) + rest;
    };
    std::string rar("Rar!\x1A\x07\x00", 7);
    rar += block(0x73, 0, std::string(6, '\0'));  // the archive block
    for (const Member& member : members) {
        const std::string size = Le32(static_cast<std::uint32_t>(member.content.size()));
        // Packed and unpacked size, by Windows, CRC-32, a DOS time, version 2.0, stored, the
        // name's size, attributes, the name.
        const std::string fields = size + size + '\x02' + Le32(CrcOf(member.content)) +
                                   Le32(0x5A210000) + "\x14\x30" + le16(member.name.size()) +
                                   Le32(0x20) + member.name;
        rar += block(0x74, 0x8000, fields) + member.content;  // 0x8000: the sizes are there
    }
    return rar + block(0x7B, 0x4000, "");  // the end
}

FileContents Read(std::string bytes, std::string_view name, bool verify = false,
                  std::uint64_t failAt = UINT64_MAX) {
    MemoryFile file(std::move(bytes));
    file.failAt = failAt;
    ReadingOptions options;
    options.verify = verify;
    return ReadFileContents(file, name, options);
}

// name, CRC, status: what a test compares.
using Seen = std::tuple<std::string, std::uint32_t, RomStatus>;
std::vector<Seen> SeenIn(const FileContents& contents) {
    std::vector<Seen> seen;
    for (const RomInFile& rom : contents.roms) seen.emplace_back(rom.entry, rom.crc, rom.status);
    return seen;
}

// Names that no code page holds whole: Japanese and accented Latin.
const std::string kJapanese =
    "\xE6\x98\x9F\xE3\x81\xAE\xE3\x82\xAB\xE3\x83\xBC\xE3\x83\x93\xE3\x82\xA3.gba";
const std::string kAccented = "Caf\xC3\xA9 \xC3\x86ther/Cr\xC3\xA8me.nes";

const std::string kRomA = Rom(70000, 7);
const std::string kRomB = Rom(40000, 13);
const std::string kRomC = Rom(1000, 3);

// Every regular file of an archive is a ROM, under its UTF-8 name; folders and links are not.
TEST(ArchiveReading, ReadsEveryRomOfEachFormatUnderItsName) {
    const std::vector<Member> members = {{"sub/", ""},
                                         {kJapanese, kRomA},
                                         {"link.gba", "target.gba", true},
                                         {kAccented, kRomB},
                                         {"read me.txt", kRomC}};
    const std::vector<Seen> expected = {{kJapanese, CrcOf(kRomA), RomStatus::kOk},
                                        {kAccented, CrcOf(kRomB), RomStatus::kOk},
                                        {"read me.txt", CrcOf(kRomC), RomStatus::kOk}};
    for (const bool verify : {false, true}) {
        const FileContents zip = Read(Zip(members), "games.zip", verify);
        EXPECT_EQ(zip.kind, ContentKind::kZip);
        EXPECT_EQ(zip.unreadable, "");
        EXPECT_EQ(SeenIn(zip), expected);
        EXPECT_EQ(zip.roms[0].crcFromBytes, verify);  // the directory's, unless verifying
    }
    // Content decides, not the name.
    const FileContents sevenZip = Read(SevenZip(members), "games.bin");
    EXPECT_EQ(sevenZip.kind, ContentKind::kSevenZip);
    EXPECT_EQ(sevenZip.unreadable, "");
    EXPECT_EQ(SeenIn(sevenZip), expected);

    std::vector<Member> noLinks = members;
    std::erase_if(noLinks, [](const Member& member) { return member.link; });
    const FileContents rar = Read(Rar5(noLinks), "games.rar");
    EXPECT_EQ(rar.kind, ContentKind::kRar5);
    EXPECT_EQ(rar.unreadable, "");
    EXPECT_EQ(SeenIn(rar), expected);
    const FileContents rar4 = Read(Rar4({{"a.gba", kRomA}}), "games.rar");
    EXPECT_EQ(rar4.kind, ContentKind::kRar);
    EXPECT_EQ(SeenIn(rar4), (std::vector<Seen>{{"a.gba", CrcOf(kRomA), RomStatus::kOk}}));
}

// Data changed behind an intact directory: only decompressing shows it, and the key is then the
// CRC of the bytes as they are, never the one the archive records.
TEST(ArchiveReading, DamagedEntriesAreFoundAndKeyedByTheirBytes) {
    std::string damagedRom = kRomA;
    damagedRom[5000] ^= 0x40;
    const std::vector<Member> members = {{"a.gba", kRomA}, {"b.gba", kRomB}};
    const auto damage = [&](std::string archive) {
        const std::size_t at = archive.find(kRomA.substr(4990, 20));
        EXPECT_NE(at, std::string::npos);
        archive[at + 10] ^= 0x40;
        return archive;
    };
    const std::string zip = damage(Zip(members, ZIP_CM_STORE));
    EXPECT_EQ(SeenIn(Read(zip, "a.zip")),
              (std::vector<Seen>{{"a.gba", CrcOf(kRomA), RomStatus::kOk},
                                 {"b.gba", CrcOf(kRomB), RomStatus::kOk}}));
    const std::vector<Seen> found = {{"a.gba", CrcOf(damagedRom), RomStatus::kDamaged},
                                     {"b.gba", CrcOf(kRomB), RomStatus::kOk}};
    EXPECT_EQ(SeenIn(Read(zip, "a.zip", true)), found);
    for (const bool verify : {false, true}) {
        const FileContents sevenZip = Read(damage(SevenZip(members, "copy")), "a.7z", verify);
        EXPECT_EQ(SeenIn(sevenZip), found);
        EXPECT_NE(sevenZip.roms[0].reason, "");
    }

    // libarchive 3.6.2 compares no CRC for stored RAR entries: the key is still the bytes'.
    for (const std::string& rar : {Rar4(members), Rar5(members)}) {
        EXPECT_EQ(SeenIn(Read(damage(rar), "a.rar", true)),
                  (std::vector<Seen>{{"a.gba", CrcOf(damagedRom), RomStatus::kOk},
                                     {"b.gba", CrcOf(kRomB), RomStatus::kOk}}));
    }

    // A deflated entry changed: corrupt data or a CRC mismatch, never ok.
    std::string deflated = Zip({{"a.gba", kRomA}});
    deflated[deflated.size() / 3] ^= 0x10;
    const FileContents zipRead = Read(deflated, "a.zip", true);
    ASSERT_EQ(zipRead.roms.size(), 1u);
    EXPECT_NE(zipRead.roms[0].status, RomStatus::kOk);
}

TEST(ArchiveReading, GzipIsOneRomCheckedAgainstItsTrailer) {
    const std::string gzip = Gzip(kRomA, kJapanese);
    EXPECT_EQ(SeenIn(Read(gzip, "x.gz")),
              (std::vector<Seen>{{kJapanese, CrcOf(kRomA), RomStatus::kOk}}));
    // No name recorded: the file's, without .gz. Members one after another are one file.
    EXPECT_EQ(SeenIn(Read(Gzip(kRomA, "") + Gzip(kRomB, ""), "Lantern.GBA.gz")),
              (std::vector<Seen>{{"Lantern.GBA", CrcOf(kRomA + kRomB), RomStatus::kOk}}));

    std::string badTrailer = gzip;
    badTrailer[badTrailer.size() - 6] ^= 1;  // the trailer's CRC-32
    EXPECT_EQ(SeenIn(Read(badTrailer, "x.gz")),
              (std::vector<Seen>{{kJapanese, CrcOf(kRomA), RomStatus::kDamaged}}));

    const FileContents truncated = Read(gzip.substr(0, gzip.size() / 2), "x.gz");
    EXPECT_NE(truncated.unreadable, "");
    EXPECT_TRUE(truncated.roms.empty());

    std::string tar(1024, '\0');
    tar.replace(0, 5, "a.gba");
    tar.replace(257, 6, std::string("ustar\0", 6));
    const FileContents tarGz = Read(Gzip(tar, ""), "x.tgz");
    EXPECT_EQ(tarGz.kind, ContentKind::kOther);
    EXPECT_TRUE(tarGz.roms.empty());
}

// Archives qbt cannot read through, and files that are no ROM, are never keyed as ROMs.
TEST(ArchiveReading, TellsPlainRomsFromArchivesItCannotRead) {
    MemoryFile file(kRomA);
    std::uint64_t counted = 0;  // what a progress bar is told
    ReadingOptions options;
    options.bytesRead = [&](std::uint64_t bytes) { counted += bytes; };
    const FileContents plain = ReadFileContents(file, "a.7z.gba", options);
    EXPECT_EQ(plain.kind, ContentKind::kPlain);
    EXPECT_EQ(SeenIn(plain), (std::vector<Seen>{{"", CrcOf(kRomA), RomStatus::kOk}}));
    EXPECT_EQ(counted, kRomA.size());
    EXPECT_EQ(SeenIn(Read("", "empty.gba")), (std::vector<Seen>{{"", 0, RomStatus::kOk}}));

    const std::string zip = Zip({{"a.gba", kRomA}});
    const std::string sevenZip = SevenZip({{"a.gba", kRomA}, {"b.gba", kRomB}});
    for (const auto& [bytes, name] : std::vector<std::pair<std::string, std::string>>{
             {zip.substr(0, zip.size() - 30), "cut.zip"},
             {sevenZip.substr(0, sevenZip.size() - 30), "cut.7z"},
             {sevenZip.substr(0, 40), "cut.7z"},
             {kRomA, "rom.7z"},  // named as an archive, yet none
             {kRomA, "rom.zip"},
             {std::string("Rar!\x1A\x07\x00", 7) + kRomC, "a.bin"},
             {std::string("Rar!\x1A\x07\x01\x00", 8) + kRomC, "a.bin"},
         }) {
        const FileContents contents = Read(bytes, name);
        EXPECT_NE(contents.unreadable, "") << name;
        EXPECT_TRUE(contents.roms.empty()) << name;
    }
    EXPECT_EQ(Read(std::string("Rar!\x1A\x07\x01\x00", 8), "a.rar").kind, ContentKind::kRar5);

    std::string tar(1024, '\0');
    tar.replace(257, 6, std::string("ustar\0", 6));
    for (const std::string& other : {std::string("\xFD"
                                                 "7zXZ\0\0\x04",
                                                 8) +
                                         kRomC,
                                     tar, std::string("MSCF\0\0\0\0", 8) + kRomC}) {
        const FileContents contents = Read(other, "a.gba");
        EXPECT_EQ(contents.kind, ContentKind::kOther);
        EXPECT_NE(contents.format, "");
        EXPECT_TRUE(contents.roms.empty());
    }
}

// The system's reason comes through from whichever library read the file.
TEST(ArchiveReading, AFileThatCannotBeReadSaysWhy) {
    const std::string sevenZip = SevenZip({{"a.gba", kRomA}});
    for (const auto& [bytes, name] :
         std::vector<std::pair<std::string, std::string>>{{kRomA, "a.gba"},
                                                          {Zip({{"a.gba", kRomA}}), "a.zip"},
                                                          {sevenZip, "a.7z"},
                                                          {Gzip(kRomA, ""), "a.gz"}}) {
        const FileContents contents = Read(bytes, name, true, bytes.size() / 2);
        EXPECT_NE(contents.unreadable.find("Input/output error"), std::string::npos)
            << name << ": " << contents.unreadable;
    }
}

}  // namespace
