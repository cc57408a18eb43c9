// The two file-system steps rename's safety rests on: a rename that never replaces a file, and a
// journal written where it must be and by one writer only. Run against real files.
#include "tools/disk/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tools/tests/scratch.h"
#include "tools/tests/wine_unix_path.h"

namespace fs = std::filesystem;

namespace {

// How a rename went: "renamed", "name taken", "cannot refuse" or "failed", with the system's
// reason in `error_`.
class RenameWithoutReplacingTest : public ScratchTest {
protected:
    std::string Rename(const fs::path& from, const fs::path& to) {
        const DiskResult<> renamed = RenameWithoutReplacing(scratch_ / from, scratch_ / to);
        if (renamed.Ok()) return "renamed";
        error_ = renamed.Why().reason;
        switch (renamed.Why().kind) {
            case DiskError::kNameTaken: return "name taken";
            case DiskError::kCannotRefuse: return "cannot refuse";
            default: return "failed";
        }
    }
    std::string error_;
};

TEST_F(RenameWithoutReplacingTest, MovesTheFileToAFreeName) {
    WriteFile(scratch_ / "a.gba", "ROM A");
    EXPECT_EQ(Rename("a.gba", "b.gba"), "renamed") << error_;
    EXPECT_EQ(NamesIn(scratch_), std::vector<std::string>{"b.gba"});
    EXPECT_EQ(ReadFile(scratch_ / "b.gba"), "ROM A");
}

TEST_F(RenameWithoutReplacingTest, RefusesAnExistingTargetAndLeavesBothFilesWhole) {
    WriteFile(scratch_ / "a.gba", "ROM A");
    WriteFile(scratch_ / "b.gba", "ROM B");
    EXPECT_EQ(Rename("a.gba", "b.gba"), "name taken");
    EXPECT_EQ(ReadFile(scratch_ / "a.gba"), "ROM A");
    EXPECT_EQ(ReadFile(scratch_ / "b.gba"), "ROM B");

    fs::create_directory(scratch_ / "folder");
    EXPECT_NE(Rename("a.gba", "folder"), "renamed") << "a folder is not replaced either";
    EXPECT_EQ(ReadFile(scratch_ / "a.gba"), "ROM A");
}

// On a case-insensitive file system the target already "exists": it is the file itself.
TEST_F(RenameWithoutReplacingTest, ChangesOnlyTheLetterCase) {
    WriteFile(scratch_ / "mole & marmot.gba", "ROM M");
    EXPECT_EQ(Rename("mole & marmot.gba", "Mole & Marmot.GBA"), "renamed") << error_;
    EXPECT_EQ(NamesIn(scratch_), std::vector<std::string>{"Mole & Marmot.GBA"});
    EXPECT_EQ(ReadFile(scratch_ / "Mole & Marmot.GBA"), "ROM M");
#ifdef _WIN32
    const std::string onDisk = UnixPathUnderWine(scratch_ / "Mole & Marmot.GBA");
    if (!onDisk.empty()) {
        EXPECT_TRUE(onDisk.ends_with("/Mole & Marmot.GBA")) << onDisk;
    }
#endif
}

TEST_F(RenameWithoutReplacingTest, TakesJapaneseNames) {
    const fs::path japanese = u8"星屑マーケット (J).gba";
    WriteFile(scratch_ / "b.gba", "ROM B");
    EXPECT_EQ(Rename("b.gba", japanese), "renamed") << error_;
    EXPECT_EQ(NamesIn(scratch_), std::vector<std::string>{Utf8(japanese)});
    EXPECT_EQ(Rename(japanese, "b.gba"), "renamed") << error_;
    EXPECT_EQ(ReadFile(scratch_ / "b.gba"), "ROM B");
#ifdef _WIN32
    WriteFile(scratch_ / japanese, "ROM J");
    const std::string onDisk = UnixPathUnderWine(scratch_ / japanese);
    if (!onDisk.empty()) {
        EXPECT_TRUE(onDisk.ends_with(Utf8(japanese))) << onDisk;
    }
#endif
}

TEST_F(RenameWithoutReplacingTest, MissingFileFailsWithTheSystemsReason) {
    EXPECT_EQ(Rename("absent.gba", "b.gba"), "failed");
    EXPECT_NE(error_, "");
    EXPECT_FALSE(fs::exists(scratch_ / "b.gba"));
}

// The journal's file on the system's disk: written at offsets, over what it holds and past it,
// never truncated when opened again; a second writer is kept out while the first has it open.
using JournalFileTest = ScratchTest;

TEST_F(JournalFileTest, WrittenAtOffsetsNeverTruncatedAndWrittenByOneAtATime) {
    const fs::path path = scratch_ / "journal.jsonl";
    WriteFile(path, "line 1\n          \n");
    const std::string written = "line 1\nline 2\n   \nline 3\n";
    const auto why = [](const auto& result) { return result.Ok() ? "" : result.Why().reason; };
    {
        const DiskResult<std::unique_ptr<JournalFile>> file = OpenJournalFile(path);
        ASSERT_TRUE(file.Ok()) << why(file);
        const DiskResult<std::string> text = (*file)->Read();
        ASSERT_TRUE(text.Ok()) << why(text);
        EXPECT_EQ(*text, "line 1\n          \n");
        EXPECT_TRUE((*file)->WriteAt(7, "line 2\n").Ok());
        EXPECT_TRUE((*file)->WriteAt(18, "line 3\n").Ok());
        EXPECT_TRUE((*file)->Sync().Ok());
        EXPECT_EQ(ReadFile(path), written);
        EXPECT_FALSE(OpenJournalFile(path).Ok()) << "a second writer";
    }
    const DiskResult<std::unique_ptr<JournalFile>> again = OpenJournalFile(path);
    EXPECT_TRUE(again.Ok()) << why(again);
    EXPECT_EQ(ReadFile(path), written);
}

}  // namespace
