#include "tools/collection/collection.h"

#include <gtest/gtest.h>

namespace {

// By the extension of the entry's own name, in any letter case; a name that is not UTF-8 is
// judged as any other, never made into a path (which throws on Windows).
TEST(IsReadMe, TheEntrysOwnExtensionDecides) {
    for (const char* readMe : {"readme.txt", "Game/INFO.NFO", "file_id.diz", "caf\xE9.txt"}) {
        EXPECT_TRUE(IsReadMe(readMe)) << readMe;
    }
    for (const char* rom : {"game.gba", "notes.txt/game.gba", ".txt", "Game/.nfo", "txt"}) {
        EXPECT_FALSE(IsReadMe(rom)) << rom;
    }
}

}  // namespace
