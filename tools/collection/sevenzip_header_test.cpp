// The 7z header reader on archives 7-Zip makes at test time (7zz, Debian package 7zip), against
// what decompressing the same archives gives (libarchive, as --verify reads them).
#include "tools/collection/sevenzip_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "tools/collection/archive_reading.h"
#include "tools/collection/test_archives.h"
#include "tools/disk/system_disk.h"
#include "tools/disk/readable_file.h"
#include "tools/tests/scratch.h"

namespace {

namespace fs = std::filesystem;

const std::string kJapanese = "\xE6\x98\x9F\xE3\x81\xAE\xE3\x82\xAB\xE3\x83\xBC.gba";

class SevenZipHeaderReading : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        WriteFile(scratch_ / "roms" / kJapanese, RomLike(70000, 7));
        WriteFile(scratch_ / "roms" / "b.gba", RomLike(40000, 13));
        WriteFile(scratch_ / "roms" / "empty.gba", "");
        WriteFile(scratch_ / "roms" / "sub" / "c.gba", RomLike(1000, 3));
        fs::create_directories(scratch_ / "roms" / "sub" / "nothing");
        fs::create_symlink("b.gba", scratch_ / "roms" / "link.gba");
    }

    // The ROMs made into `name` by 7zz with `switches`; links stored as links.
    fs::path Make(const std::string& name, const std::string& switches) {
        const fs::path archive = scratch_ / name;
        const std::string command = "cd '" + Utf8(scratch_ / "roms") +
                                    "' && LC_ALL=C.UTF-8 7zz a -bso0 -bsp0 -snl " + switches +
                                    " '" + Utf8(archive) + "' . > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return archive;
    }
};

std::unique_ptr<ReadableFile> Open(const fs::path& path) {
    DiskResult<std::unique_ptr<ReadableFile>> file = SystemDisk().OpenToRead(path);
    EXPECT_TRUE(file.Ok()) << file.Why().reason;
    return file.Ok() ? std::move(*file) : nullptr;
}

FileContents ContentsOf(const fs::path& path, bool verify = false) {
    return ReadFileContents(*Open(path), Utf8(path.filename()),
                            {.verify = verify, .bytesRead = {}});
}

SevenZipHeader HeaderOf(const fs::path& path,
                        std::size_t memoryLimit = kSevenZipHeaderMemoryLimit) {
    return ReadSevenZipHeader(*Open(path), memoryLimit);
}

// name, CRC, status, reason: what a test compares.
using Seen = std::tuple<std::string, std::uint32_t, RomStatus, std::string>;
std::vector<Seen> SeenIn(const FileContents& contents) {
    std::vector<Seen> seen;
    for (const RomInFile& rom : contents.roms) {
        seen.emplace_back(rom.entry, rom.crc, rom.status, rom.reason);
    }
    std::sort(seen.begin(), seen.end());
    return seen;
}

bool HasCoder(const SevenZipHeader& header, std::uint32_t method) {
    return std::any_of(header.blocks.begin(), header.blocks.end(), [&](const SevenZipBlock& block) {
        return std::any_of(block.coders.begin(), block.coders.end(),
                           [&](const SevenZipCoder& coder) { return coder.method == method; });
    });
}

const SevenZipEntry& EntryNamed(const SevenZipHeader& header, std::string_view name) {
    static const SevenZipEntry none;
    const auto entry = std::find_if(header.entries.begin(), header.entries.end(),
                                    [&](const SevenZipEntry& each) { return each.name == name; });
    return entry == header.entries.end() ? none : *entry;
}

// The header's CRC-32 values are the ones decompressing gives, whatever packed the data or the
// header, and every entry keeps its kind: folders and links are no ROMs, an empty file is one.
TEST_F(SevenZipHeaderReading, HeaderCrcsAreTheDecompressedOnesForEveryMethod) {
    const std::vector<std::pair<std::string, std::uint32_t>> methods = {
        {"-m0=LZMA -md=64k", kSevenZipLzma}, {"-m0=LZMA2 -md=64k", kSevenZipLzma2},
        {"-m0=PPMd", kSevenZipPpmd},         {"-m0=BZip2", 0x040202},
        {"-m0=Deflate", 0x040108},           {"-m0=Copy", kSevenZipCopy},
        {"-mf=BCJ -ms=off", 0x03030103}};
    for (const auto& [switches, method] : methods) {
        for (const std::string headerPacking : {"-mhc=on", "-mhc=off"}) {
            SCOPED_TRACE(switches + " " + headerPacking);
            const fs::path archive = Make("a.7z", switches + " " + headerPacking);
            const SevenZipHeader header = HeaderOf(archive);
            ASSERT_EQ(header.status, SevenZipHeaderStatus::kRead) << header.reason;
            EXPECT_TRUE(HasCoder(header, method));
            if (method == kSevenZipLzma || method == kSevenZipLzma2) {
                EXPECT_EQ(header.blocks.at(0).coders.at(0).dictionarySize, 64u << 10);
            }
            EXPECT_EQ(TypeOf(EntryNamed(header, "sub/nothing")), SevenZipEntryType::kFolder);
            EXPECT_EQ(TypeOf(EntryNamed(header, "link.gba")), SevenZipEntryType::kSymbolicLink);
            const SevenZipEntry& empty = EntryNamed(header, "empty.gba");
            EXPECT_EQ(TypeOf(empty), SevenZipEntryType::kFile);
            EXPECT_FALSE(empty.crc || empty.block);

            const FileContents fromHeader = ContentsOf(archive);
            EXPECT_EQ(SeenIn(fromHeader), SeenIn(ContentsOf(archive, true)));
            EXPECT_EQ(fromHeader.roms.size(), 4u);
            EXPECT_EQ(std::count_if(fromHeader.roms.begin(), fromHeader.roms.end(),
                                    [](const RomInFile& rom) { return rom.crcFromBytes; }),
                      1);  // the empty file's, from its no bytes
            fs::remove(archive);
        }
    }
}

// Entries whose data this build cannot decompress are unreadable though their CRC-32 is known:
// never keyed as present.
TEST_F(SevenZipHeaderReading, EncryptedOrUndecompressableEntriesAreUnreadable) {
    const fs::path encrypted = Make("encrypted.7z", "-psecret -mhe=off");
    const SevenZipHeader header = HeaderOf(encrypted);
    EXPECT_TRUE(HasCoder(header, kSevenZipAes));
    EXPECT_TRUE(header.blocks.at(0).encrypted);
    for (const auto& [switches, reason] :
         std::vector<std::pair<std::string, std::string>>{{"-psecret -mhe=off", "encrypted"},
                                                          {"-m0=Deflate64", "Deflate64"},
                                                          {"-mf=ARM64", "ARM64"}}) {
        const FileContents contents = ContentsOf(Make("x.7z", switches));
        EXPECT_EQ(contents.unreadable, "");
        ASSERT_EQ(contents.roms.size(), 4u) << switches;
        for (const RomInFile& rom : contents.roms) {
            if (rom.entry == "empty.gba") continue;
            EXPECT_EQ(rom.status, RomStatus::kUnreadable) << switches << " " << rom.entry;
            EXPECT_NE(rom.reason.find(reason), std::string::npos) << rom.reason;
        }
        fs::remove(scratch_ / "x.7z");
    }

    // An encrypted header is told from a method the reader lacks.
    const fs::path hidden = Make("hidden.7z", "-psecret -mhe=on");
    EXPECT_EQ(HeaderOf(hidden).status, SevenZipHeaderStatus::kUnreadable);
    const FileContents contents = ContentsOf(hidden);
    EXPECT_EQ(contents.unreadable, "encrypted, its header too: a password is needed");
    EXPECT_TRUE(contents.roms.empty());
}

// A header cut short, changed, or larger than the memory allowed: the archive is unreadable with
// the reason, and none of its entries is a ROM.
TEST_F(SevenZipHeaderReading, DamagedOrTruncatedHeadersAreUnreadable) {
    for (const std::string headerPacking : {"-mhc=on", "-mhc=off"}) {
        const std::string intact = ReadFile(Make("intact.7z", headerPacking));
        std::string changedStart = intact;
        changedStart[14] ^= 0x01;  // the header's offset, under the start header's CRC-32
        std::string changedHeader = intact;
        changedHeader[intact.size() - 8] ^= 0x10;
        for (const auto& [bytes, reason] : std::vector<std::pair<std::string, std::string>>{
                 {intact.substr(0, intact.size() - 20), "truncated"},
                 {intact.substr(0, 40), "truncated"},
                 {changedStart, "damaged"},
                 {changedHeader, "damaged"}}) {
            SCOPED_TRACE(headerPacking + ", " + reason);
            WriteFile(scratch_ / "bad.7z", bytes);
            const FileContents contents = ContentsOf(scratch_ / "bad.7z");
            EXPECT_NE(contents.unreadable.find(reason), std::string::npos) << contents.unreadable;
            EXPECT_TRUE(contents.roms.empty());
        }
        const SevenZipHeader capped = HeaderOf(scratch_ / "intact.7z", 200);
        EXPECT_EQ(capped.status, SevenZipHeaderStatus::kUnreadable);
        EXPECT_EQ(capped.reason, "its header would take more than 200 bytes of memory");
    }
}

}  // namespace
