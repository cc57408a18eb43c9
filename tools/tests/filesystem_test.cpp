// qbt rename and undo on the file systems of cards, mounted as many systems mount them: exFAT
// through exfat-fuse (no RENAME_NOREPLACE, no hard links, letter case ignored, a new inode
// number for each spelling of a name) and NTFS through ntfs-3g (no RENAME_NOREPLACE). Each test
// makes its image and mounts it with filesystems/image.sh, and takes it away after; so does the
// test of a disk left without a free byte, on tmpfs.
#include <fcntl.h>
#include <signal.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "tools/tests/tool_test.h"

namespace fs = std::filesystem;

namespace {

constexpr decltype(statfs::f_type) kFuseMagic = 0x65735546;
constexpr decltype(statfs::f_type) kTmpfsMagic = 0x01021994;
constexpr decltype(statfs::f_type) kExt4Magic = 0xEF53;

// A file system made and mounted with filesystems/image.sh for the test, and taken away after.
class Mounted : public ToolTest {
protected:
    void Mount(const std::string& kind, decltype(statfs::f_type) type) {
        kind_ = kind;
        const fs::path mounts = scratch_ / "mounts";
        ASSERT_EQ(Image("mount"), 0);
        const fs::path skip = mounts / (kind + ".skip");
        if (fs::exists(skip)) GTEST_SKIP() << ReadFile(skip);
        // Never a plain folder in its place: the test would pass on the wrong file system.
        struct statfs mounted {};
        ASSERT_EQ(statfs((mounts / kind).c_str(), &mounted), 0) << "not mounted";
        ASSERT_EQ(mounted.f_type, type) << kind << " is not mounted as it should be";
        card_ = mounts / kind;
    }
    void TearDown() override {
        if (!kind_.empty()) {
            EXPECT_EQ(Image("unmount"), 0);
        }
        ToolTest::TearDown();
    }

    int Image(const std::string& action) {
        const std::string command = "bash '" QBT_CARD_IMAGES "' " + action + " " + kind_ + " '" +
                                    (scratch_ / "mounts").string() + "' >/dev/null";
        return std::system(command.c_str());
    }

    std::string kind_;
    fs::path card_;
};

class OnCard : public Mounted, public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        Mounted::SetUp();
        Mount(GetParam(), std::string(GetParam()) == "ext4" ? kExt4Magic : kFuseMagic);
    }
};

// The cards' file systems and ext4, as Linux keeps a collection.
using OnImage = OnCard;

// A few hundred ROMs and three already named but for the letter case, of ASCII letters and of
// others, which these file systems ignore as well (two steps through a free name): renamed,
// undone; then renamed again, killed midway, undone. Every name and byte is back each time, and
// no held name or free name is left.
TEST_P(OnCard, RenamesUndoesAndUndoesARunKilledMidway) {
    const fs::path roms = card_ / "roms";
    std::vector<Game> games = WriteManyRoms(roms, 300);
    const std::vector<std::pair<std::string, std::string>> caseOnly{
        {"0997 - GAME CASE (U).gba", "Game Case"},
        {"0998 - ærøskøbing (U).gba", "Ærøskøbing"},
        {"0999 - ｔｈｅ (U).gba", "ＴＨＥ"}};
    std::vector<std::string> caseChanged;
    for (std::size_t index = 0; index < caseOnly.size(); ++index) {
        const auto& [name, title] = caseOnly[index];
        const std::string content(300, static_cast<char>('c' + index));
        WriteFile(roms / "case" / name, content);
        games.push_back({content, title, "", "", "1", std::to_string(997 + index)});
        caseChanged.push_back(name.substr(0, 7) + title + " (U).gba");
    }
    const fs::path list = scratch_ / "list.xml";
    WriteList(list, games);
    const std::map<std::string, std::string> before = Snapshot(roms);
    const std::vector<std::string> rename{"rename", "--apply",  "--journal", "",
                                          "--list", Utf8(list), Utf8(roms)};
    for (const bool killed : {false, true}) {
        const fs::path journal = scratch_ / (killed ? "killed.jsonl" : "journal.jsonl");
        std::vector<std::string> arguments = rename;
        arguments[3] = Utf8(journal);
        if (killed) {
            // After the first batches: on a card the first batch is journaled twice, the second
            // time with the names held first.
            const StoppedRun run = StopQbtMidway(arguments, journal, SIGKILL, false, scratch_, 100);
            ASSERT_EQ(run.signal, SIGKILL) << "qbt finished before it could be stopped";
        } else {
            const QbtRun run = Qbt(arguments);
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_TRUE(run.out.ends_with("\n303 renamed\n")) << run.out;
            EXPECT_EQ(NamesIn(roms / "case"), caseChanged);
            EXPECT_EQ(Snapshot(roms).size(), before.size());
        }
        EXPECT_NE(Snapshot(roms), before) << "files were renamed";
        const QbtRun undone = Qbt({"undo", Utf8(journal)});
        EXPECT_EQ(undone.exitCode, 0) << undone.err;
        EXPECT_EQ(Snapshot(roms), before) << (killed ? "killed midway" : "");
    }
}

// Sorted into folders by region, as a card is sorted, and undone: ExpectSortedIntoFoldersAndBack.
TEST_P(OnImage, SortsIntoFoldersAndUndoesAndUndoesARunKilledMidway) {
    ExpectSortedIntoFoldersAndBack(
        card_ / "roms", 300, [&](const auto& arguments, const fs::path& journal) {
            return StopQbtMidway(arguments, journal, SIGKILL, false, scratch_, 100).signal ==
                   SIGKILL;
        });
}

INSTANTIATE_TEST_SUITE_P(FuseMounts, OnCard, testing::Values("exfat", "ntfs"),
                         [](const testing::TestParamInfo<const char*>& kind) {
                             return std::string(kind.param);
                         });
INSTANTIATE_TEST_SUITE_P(Images, OnImage, testing::Values("ext4", "exfat", "ntfs"),
                         [](const testing::TestParamInfo<const char*>& kind) {
                             return std::string(kind.param);
                         });

// Free bytes on the file system that holds `path`.
std::uint64_t FreeBytes(const fs::path& path) {
    struct statvfs status {};
    return statvfs(path.c_str(), &status) == 0
               ? static_cast<std::uint64_t>(status.f_bavail) * status.f_frsize
               : 0;
}

// Writes to `file` until the file system holds not one free byte.
void FillUp(const fs::path& file) {
    const int descriptor = open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    ASSERT_GE(descriptor, 0);
    const std::string block(4096, 'f');
    for (const std::size_t size : {block.size(), std::size_t{1}}) {
        while (write(descriptor, block.data(), size) == static_cast<ssize_t>(size)) {
        }
    }
    close(descriptor);
}

using OnFullDisk = Mounted;

// A rename whose journal fills the disk stops, exit 6; undo, with not one free byte left, writes
// its own lines over the room the rename kept for them and puts back every name and byte, once
// killed midway and then run again. A thousand renames, so that undo is still at work when the
// test sees its first lines.
TEST_F(OnFullDisk, UndoRestoresEverythingOnADiskWithoutAFreeByte) {
    Mount("tmpfs", kTmpfsMagic);
    constexpr std::size_t kRoms = 2000;
    const fs::path roms = card_ / "roms";
    const fs::path list = scratch_ / "list.xml";
    WriteList(list, WriteManyRoms(roms, kRoms));
    const std::map<std::string, std::string> before = Snapshot(roms);
    // Room for the journal of about half the renames.
    WriteFile(card_ / "filler", std::string(FreeBytes(card_) - 768 * 1024, 'f'));
    const fs::path journal = card_ / "journal.jsonl";
    const QbtRun rename =
        Qbt({"rename", "--apply", "--journal", Utf8(journal), "--list", Utf8(list), Utf8(roms)});
    EXPECT_EQ(rename.exitCode, 6) << rename.err;
    EXPECT_NE(rename.out.find("the journal cannot be written: No space left on device"),
              std::string::npos)
        << rename.out;
    const std::size_t renamed = LinesIn(journal);
    ASSERT_GT(renamed, 100u) << rename.out;
    ASSERT_LT(renamed, kRoms) << "the disk did not fill";
    FillUp(card_ / "filler");
    ASSERT_EQ(FreeBytes(card_), 0u);

    const StoppedRun stopped =
        StopQbtMidway({"undo", Utf8(journal)}, journal, SIGKILL, false, scratch_, renamed + 20);
    ASSERT_EQ(stopped.signal, SIGKILL) << "undo finished before it could be stopped";
    std::size_t inPlace = 0;
    for (const auto& [name, crc] : Snapshot(roms)) inPlace += before.count(name);
    EXPECT_GT(inPlace, kRoms - renamed) << "killed before it restored a name";
    EXPECT_LT(inPlace, kRoms) << "killed after the last name";
    const QbtRun undo = Qbt({"undo", Utf8(journal)});
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(Snapshot(roms), before);
}

}  // namespace
