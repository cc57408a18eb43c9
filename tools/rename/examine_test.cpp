#include "tools/rename/examine.h"

#include <cstring>

#include "tools/tests/scratch.h"

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

using ExamineTest = ScratchTest;

// A value that fills the 256-byte buffer may have been cut: then the size, and the exact copy.
TEST_F(ExamineTest, AsksThePluginOncePerFieldThePatternUses) {
    WriteFile(scratch_ / "a.gba", "a ROM");
    const auto callsFor = [&](const std::string& patternText, std::size_t titleLength) {
        title.assign(titleLength, 'T');
        calls = 0;
        const NamePattern pattern(patternText);
        const GameList list("<GAME></GAME>", "");
        const RenameItem item = Examine(scratch_ / "a.gba", {kCountingPlugin, list, 0, pattern});
        EXPECT_EQ(item.outcome, Outcome::kRename) << patternText;
        return calls;
    };
    EXPECT_EQ(callsFor("{release:04} - {title} {region}", 12), 3);
    EXPECT_EQ(callsFor("{title} {title:.3} {publisher} {save} {media}", 12), 4);
    EXPECT_EQ(callsFor("{crc} {name}", 12), 0);
    EXPECT_EQ(callsFor("{title}", 255), 3);
    EXPECT_EQ(callsFor("{title}", 254), 1);
}

}  // namespace
