#include "tools/collection/archive_reading.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <tuple>

#include "tools/collection/test_archives.h"
#include "tools/disk/readable_file.h"

namespace {

// Bytes in memory that come back a few at a time, as a slow disk may hand them, so that every
// reader's loops are exercised; a read at or past `failAt` fails.
class MemoryFile final : public ReadableFile {
public:
    explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t failAt = UINT64_MAX;

    std::uint64_t Size() const override { return bytes_.size(); }
    DiskResult<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (offset + size > failAt) return DiskError{DiskError::kFailed, "Input/output error"};
        if (offset >= bytes_.size()) return std::size_t{0};
        const auto count =
            std::min({size, static_cast<std::size_t>(bytes_.size() - offset), std::size_t{4099}});
        std::memcpy(buffer, bytes_.data() + offset, count);
        return count;
    }

private:
    std::string bytes_;
};

std::uint32_t CrcOf(std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
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

const std::string kRomA = RomLike(70000, 7);
const std::string kRomB = RomLike(40000, 13);
const std::string kRomC = RomLike(1000, 3);

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
        // Content decides, not the name.
        const FileContents sevenZip = Read(SevenZip(members), "games.bin", verify);
        EXPECT_EQ(sevenZip.kind, ContentKind::kSevenZip);
        EXPECT_EQ(sevenZip.unreadable, "");
        EXPECT_EQ(SeenIn(sevenZip), expected);
        EXPECT_EQ(sevenZip.roms[0].crcFromBytes, verify);  // the header's, unless verifying
    }

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

// Data changed behind an intact directory or header: only decompressing shows it, and the key is
// then the CRC of the bytes as they are, never the one the archive records.
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
    const std::vector<Seen> found = {{"a.gba", CrcOf(damagedRom), RomStatus::kDamaged},
                                     {"b.gba", CrcOf(kRomB), RomStatus::kOk}};
    for (const auto& [archive, name] : {std::pair{damage(Zip(members, true)), "a.zip"},
                                        std::pair{damage(SevenZip(members, "copy")), "a.7z"}}) {
        EXPECT_EQ(SeenIn(Read(archive, name)),
                  (std::vector<Seen>{{"a.gba", CrcOf(kRomA), RomStatus::kOk},
                                     {"b.gba", CrcOf(kRomB), RomStatus::kOk}}));
        const FileContents verified = Read(archive, name, true);
        EXPECT_EQ(SeenIn(verified), found);
        EXPECT_NE(verified.roms[0].reason, "");
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
