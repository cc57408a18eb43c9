#include "tools/cli/output_file.h"

#include <gtest/gtest.h>

#include "tools/disk/fake_disk.h"

namespace fs = std::filesystem;

namespace {

using Files = std::map<std::string, std::string>;

// An audit of /roms against /lists/full.xml; a "list" is what starts with "<list".
class OutputFileTest : public testing::Test {
protected:
    void SetUp() override {
        disk_.Add("/lists/full.xml", "<list>all</list>");
        disk_.Add("/lists/old.xml", "<list>wanted</list>");
        disk_.Add("/lists/notes.txt", "mine");
        disk_.Add("/roms/a.gba", "ROM");
        disk_.Add("/roms/wanted.xml", "<list>wanted</list>");
        disk_.AddLink("/lists/link.xml", "old.xml");
        rules_.kind = "a game list";
        rules_.replaceable = [](std::string_view bytes) { return bytes.starts_with("<list"); };
        rules_.beingRead = {{"/lists/full.xml", "the game list"}};
        rules_.readUnder = {"/roms"};
    }

    // What WhyNotWritable says, and when it says nothing, what WriteOutput does.
    std::string Write(const fs::path& path, bool replace) {
        rules_.replace = replace;
        const std::string why = WhyNotWritable(path, rules_, disk_);
        return why.empty() ? WriteOutput(path, "<list>new</list>", rules_, disk_) : why;
    }

    FakeDisk disk_;
    OutputRules rules_;
};

TEST_F(OutputFileTest, NoFileOfTheUsersIsReplaced) {
    const Files before = disk_.Files();
    for (const bool replace : {false, true}) {
        EXPECT_EQ(Write("/roms/a.gba", replace),
                  replace ? "/roms/a.gba lies in /roms, which this run reads"
                          : "/roms/a.gba exists: qbt replaces no file unless --replace is given");
        EXPECT_EQ(Write("/lists/FULL.xml", replace), "/lists/FULL.xml is the game list itself");
        EXPECT_EQ(Write("/roms/wanted.xml", replace).empty(), false);
        EXPECT_EQ(Write("/lists", replace).empty(), false);
    }
    EXPECT_EQ(Write("/lists/old.xml", false),
              "/lists/old.xml exists: qbt replaces no file unless --replace is given");
    EXPECT_EQ(Write("/lists/notes.txt", true),
              "/lists/notes.txt is not a game list: --replace replaces nothing else");
    EXPECT_EQ(Write("/lists/link.xml", true),
              "/lists/link.xml is a symbolic link: --replace replaces a file");
    EXPECT_EQ(disk_.Files(), before);
}

// Written whole under a temporary name, then renamed into place: over a list only with
// --replace, and never over a file that took a free name meanwhile.
TEST_F(OutputFileTest, WrittenAsideThenRenamedIntoPlace) {
    EXPECT_EQ(Write("/lists/old.xml", true), "");
    EXPECT_EQ(Write("/lists/new.xml", false), "");
    Files expected = disk_.Files();
    EXPECT_EQ(expected["/lists/old.xml"], "<list>new</list>");
    EXPECT_EQ(expected["/lists/new.xml"], "<list>new</list>");

    rules_.replace = false;
    ASSERT_EQ(WhyNotWritable("/lists/late.xml", rules_, disk_), "");
    disk_.Add("/lists/late.xml", "someone else's");
    EXPECT_EQ(WriteOutput("/lists/late.xml", "<list>new</list>", rules_, disk_),
              "the name was taken meanwhile");
    expected["/lists/late.xml"] = "someone else's";
    EXPECT_EQ(disk_.Files(), expected) << "and no temporary file is left";

    disk_.writeFailure = "No space left on device";
    EXPECT_EQ(Write("/lists/full-disk.xml", false), "No space left on device");
    EXPECT_EQ(disk_.Files(), expected);
}

// exFAT through FUSE cannot refuse to replace in a rename: the name is held first.
TEST_F(OutputFileTest, OnACardTheNameIsHeldFirst) {
    disk_.refusesToReplace = false;
    Files expected = disk_.Files();
    EXPECT_EQ(Write("/lists/new.xml", false), "");
    expected["/lists/new.xml"] = "<list>new</list>";
    EXPECT_EQ(disk_.Files(), expected);
}

}  // namespace
