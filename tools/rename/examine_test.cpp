#include "tools/rename/examine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tools/disk/fake_disk.h"
#include "tools/disk/paths.h"

namespace fs = std::filesystem;

namespace {

// A stand-in plug-in that answers every key with one game and counts its calls.
int calls = 0;
std::string title;

int32_t CopyOut(const std::string& value, char** out, int32_t outSize) {
    ++calls;
    const auto length = static_cast<int32_t>(value.size());
    if (outSize == 0) return length + 1;
    const int32_t copied = std::min(length, outSize - 1);
    std::memcpy(*out, value.data(), static_cast<std::size_t>(copied));
    (*out)[copied] = '\0';
    return copied;
}
int32_t Title(const char*, const char*, int32_t, char** out, int32_t outSize) {
    return CopyOut(title, out, outSize);
}
int32_t Text(const char*, const char*, int32_t, char** out, int32_t outSize) {
    return CopyOut("Text", out, outSize);
}
int32_t Release(const char*, const char*, int32_t) {
    ++calls;
    return 7;
}
constexpr Plugin kCountingPlugin{nullptr, nullptr, nullptr, Text, Title, Text, Text, Text, Release};

// A value that fills the 256-byte buffer may have been cut: then the size, and the exact copy.
TEST(Examine, AsksThePluginOncePerFieldThePatternUses) {
    FakeDisk disk;
    disk.Add("/roms/a.gba", "a ROM");
    const auto callsFor = [&](const std::string& patternText, std::size_t titleLength) {
        title.assign(titleLength, 'T');
        calls = 0;
        const NamePattern pattern = *NamePattern::Parse(patternText);
        const GameList list("<GAME></GAME>", "");
        const RenameItem item = Examine("/roms/a.gba", {kCountingPlugin, list, 0, pattern, disk});
        EXPECT_EQ(item.outcome, Outcome::kRename) << patternText;
        return calls;
    };
    EXPECT_EQ(callsFor("{release:04} - {title} {region}", 12), 3);
    EXPECT_EQ(callsFor("{title} {title:.3} {publisher} {save} {media}", 12), 4);
    EXPECT_EQ(callsFor("{crc} {name}", 12), 0);
    EXPECT_EQ(callsFor("{title}", 255), 3);
    EXPECT_EQ(callsFor("{title}", 254), 1);
}

std::string Generic(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// Each file once however it is named; links met in a folder, and what lies behind them, left
// alone; a link named on the command line entered; an unreadable folder reported by its name.
TEST(CollectFilesToName, EachFileOnceAndNothingBehindALink) {
    FakeDisk disk;
    disk.Add("/roms/a.gba", "A");
    disk.Add("/roms/sub/b.gba", "B");
    disk.Add("/outside/c.gba", "C");
    disk.AddLink("/roms/link.gba", "/outside/c.gba");
    disk.AddLink("/roms/dir-link", "/outside");
    disk.AddLink("/roms/dangling", "/nowhere");
    disk.AddLink("/elsewhere", "roms/sub");
    disk.AddFolder("/roms/locked");
    disk.MakeUnreadable("/roms/locked");
    const FilesToName found =
        *CollectFilesToName({"/roms", "/roms/sub", "/elsewhere", "/roms/a.gba"}, disk);
    std::vector<std::string> lines;
    for (const fs::path& file : found.files) lines.push_back(Generic(Utf8Of(file)));
    for (const RenameItem& left : found.leftAlone) {
        lines.push_back(Generic(Utf8Of(left.file)) + ": " + Generic(left.reason));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "/roms/a.gba",
                         "/roms/sub/b.gba",
                         "/roms/dangling: a symbolic link: links are left alone",
                         "/roms/dir-link: a symbolic link: links are left alone",
                         "/roms/link.gba: a symbolic link: links are left alone",
                         "/roms/locked: cannot read /roms/locked: Permission denied",
                     }));

    const Result<FilesToName> absent = CollectFilesToName({"/roms", "/absent"}, disk);
    ASSERT_FALSE(absent.Ok()) << "a missing path was taken";
    EXPECT_EQ(absent.Why().kind, FailureKind::kCannotRead);
    EXPECT_EQ(Generic(absent.Why().message),
              "cannot read /absent: No such file or directory; nothing was done");

    disk.MakeUnreadable("/roms/a.gba");
    const RenameItem unread = ReadKey("/roms/a.gba", disk);
    EXPECT_EQ(unread.outcome, Outcome::kUnreadable);
    EXPECT_EQ(Generic(unread.reason), "cannot read /roms/a.gba: Permission denied");
}

}  // namespace
