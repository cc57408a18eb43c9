#include "tools/collection/audit.h"

#include <gtest/gtest.h>

#include "tools/os/fake_disk.h"
#include "tools/roms/crc32.h"

namespace {

// The exports linked in, as a host finds them in the library.
constexpr Plugin kExports{GetPluginVersion, GetPluginAuthor, GetPluginInfo, GetMaker, GetTitle,
                          GetSaveInfo,      GetMediaInfo,    GetCountry,    GetImgNum};

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
    const Audit audit = AuditCollection(kExports, games, {"/roms"}, 2, disk);

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

}  // namespace
