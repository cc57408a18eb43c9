#include "tools/rename/undo.h"

#include <gtest/gtest.h>

#include "tools/os/fake_disk.h"

namespace {

JournalContents Journal(const std::vector<std::pair<std::string, std::string>>& renames) {
    JournalContents journal;
    for (const auto& [from, to] : renames) {
        journal.entries.push_back({journal.entries.size() + 1, "/roms/" + from, "/roms/" + to});
    }
    return journal;
}

// A folder that ignores letter case, after renames a -> b -> c, x -> X (case only), and some
// done by hand since.
TEST(UndoJournal, LastRenameFirstAndNothingReplaced) {
    FakeDisk disk;
    disk.Add("/roms/c.gba", "A");      // a -> b -> c
    disk.Add("/roms/X.gba", "X");      // x -> X
    disk.Add("/roms/never.gba", "N");  // journaled, but the run stopped before the rename
    disk.Add("/roms/taken.gba", "T");  // o -> n, and a new file took o since
    disk.Add("/roms/o.gba", "new");
    const UndoOutcome undone = UndoJournal(Journal({{"a.gba", "b.gba"},
                                                    {"b.gba", "c.gba"},
                                                    {"x.gba", "X.gba"},
                                                    {"never.gba", "renamed.gba"},
                                                    {"o.gba", "taken.gba"},
                                                    {"gone.gba", "moved.gba"}}),
                                           disk);
    EXPECT_EQ(disk.Files(), (std::map<std::string, std::string>{{"/roms/a.gba", "A"},
                                                                {"/roms/never.gba", "N"},
                                                                {"/roms/o.gba", "new"},
                                                                {"/roms/taken.gba", "T"},
                                                                {"/roms/x.gba", "X"}}));
    EXPECT_EQ(undone.restored, 3u);
    EXPECT_EQ(undone.inPlace, 1u);
    EXPECT_EQ(undone.skipped, (std::vector<std::string>{
                                  "line 6: neither /roms/gone.gba nor /roms/moved.gba exists: the "
                                  "file was renamed or removed since",
                                  "line 5: /roms/o.gba exists again: /roms/taken.gba is left as "
                                  "it is"}));
    EXPECT_TRUE(undone.failed.empty());
}

}  // namespace
