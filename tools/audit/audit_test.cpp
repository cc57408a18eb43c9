#include "tools/audit/audit.h"

#include <gtest/gtest.h>

#include "tools/collection/crc32.h"
#include "tools/collection/test_archives.h"
#include "tools/disk/fake_disk.h"
#include "tools/host/test_plugin.h"

namespace {

std::string KeyOf(std::string_view content) {
    Crc32 crc;
    crc.Add(content);
    return CrcKey(crc.Value());
}

// The audit reads what the disk holds: a game's file found by its bytes, saves no ROMs, a link
// and an unreadable file counted apart.
TEST(AuditCollection, ReadsTheCollectionThroughTheDisk) {
    const std::string list = "<GAME><TITLE>One</TITLE><ROMCRC>" + KeyOf("one") +
                             "</ROMCRC></GAME><GAME><TITLE>Two</TITLE><ROMCRC>" + KeyOf("two") +
                             "</ROMCRC></GAME>";
    const GameList games(list, "");
    FakeDisk disk;
    disk.Add("/roms/renamed.gba", "one");
    disk.Add("/roms/renamed.sav", "two");
    disk.Add("/roms/stray.bin", "none");
    disk.Add("/roms/locked.gba", "two");
    disk.MakeUnreadable("/roms/locked.gba");
    disk.AddLink("/roms/link.gba", "/elsewhere/two.gba");
    const Audit audit = *AuditCollection(kLinkedPlugin, games, {"/roms"}, 2, disk);

    ASSERT_EQ(audit.games.size(), 2u);
    EXPECT_EQ(audit.games[0].title.text, "One");
    EXPECT_EQ(audit.games[0].files.size(), 1u);
    EXPECT_TRUE(audit.games[1].files.empty());
    std::vector<std::string> files;
    for (const AuditedFile& file : audit.files) {
        files.push_back(file.file.filename().string() + " " + std::to_string(file.status) + " " +
                        file.key);
    }
    EXPECT_EQ(files, (std::vector<std::string>{"locked.gba 3 ", "renamed.gba 0 " + KeyOf("one"),
                                               "stray.bin 1 " + KeyOf("none"), "link.gba 2 "}));
}

// Each ROM of an archive is a game of its own, read-me files aside; with `verify` a damaged entry
// is no game's, and its game stays missing.
TEST(AuditCollection, EveryRomOfAnArchiveCountsAndADamagedOneDoesNot) {
    const std::string three = RomLike(5000, 5);
    std::string damaged = three;
    damaged[100] ^= 1;
    const std::string list = "<GAME><ROMCRC>" + KeyOf("one") + "</ROMCRC></GAME><GAME><ROMCRC>" +
                             KeyOf("two") + "</ROMCRC></GAME><GAME><ROMCRC>" + KeyOf(three) +
                             "</ROMCRC></GAME>";
    const GameList games(list, "");
    FakeDisk disk;
    disk.Add("/roms/pack.zip", Zip({{"a.gba", "one"}, {"b.gba", "two"}, {"info.NFO", "no ROM"}}));
    std::string bad = Zip({{"c.gba", three}}, true);
    bad.replace(bad.find(three), three.size(), damaged);
    disk.Add("/roms/bad.zip", bad);
    const auto seen = [&](bool verify) {
        const Audit audit = *AuditCollection(kLinkedPlugin, games, {"/roms"}, 1, disk, verify);
        std::vector<std::string> lines;
        for (const AuditedGame& game : audit.games) {
            std::string line = std::to_string(game.files.size());
            for (const std::size_t file : game.files) line += " " + audit.files[file].entry;
            lines.push_back(line);
        }
        for (const AuditedFile& file : audit.files) {
            if (file.status != AuditedFile::kGame) lines.push_back(std::to_string(file.status));
        }
        return lines;
    };
    EXPECT_EQ(seen(false), (std::vector<std::string>{"1 a.gba", "1 b.gba", "1 c.gba"}));
    EXPECT_EQ(seen(true), (std::vector<std::string>{"1 a.gba", "1 b.gba", "0",
                                                    std::to_string(AuditedFile::kDamaged)}));
}

}  // namespace
