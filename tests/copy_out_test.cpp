// The copy-out contract, the plug-in's identity and argument checking, seen from the host.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/host_calls.h"

namespace {

const std::string kDescription =
    "Quillbridge"
    "\x97\x70\x82\xCC\x83\x8A\x83\x6C\x81\x5B\x83\x80\x83\x66\x81\x5B\x83\x5E\x82\xF0"
    "\x94\x71\x8E\xD8\x82\xB5\x82\xDC\x82\xB7\x81\x42";

BufferAnswer CopyDescription(int32_t outSize) { return CopyInto(GetPluginInfo, outSize); }

TEST(PluginIdentity, VersionIs101) {
    EXPECT_EQ(GetPluginVersion(), 101);
    EXPECT_EQ(GetPluginVersion(), 101);
}

TEST(PluginIdentity, AuthorCreditIsHandleDashReservedDomain) {
    char buffer[128];
    char* out = buffer;
    const int32_t length = GetPluginAuthor(&out, sizeof buffer);
    const std::string credit(buffer);
    ASSERT_EQ(length, static_cast<int32_t>(credit.size()));
    EXPECT_EQ(GetPluginAuthor(nullptr, 0), length + 1);
    const auto dash = credit.find(" - ");
    ASSERT_NE(dash, std::string::npos);
    EXPECT_GT(dash, 0U);
    EXPECT_EQ(credit.substr(dash + 3), "example.org");
    for (char c : credit) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "not plain ASCII: " << credit;
}

TEST(CopyOut, SizeQueryCountsTheNul) {
    EXPECT_EQ(GetPluginInfo(nullptr, 0), 44);
    char* unreadable = nullptr;
    EXPECT_EQ(GetPluginInfo(&unreadable, 0), 44);
}

TEST(CopyOut, ExactAndLargerBuffersGetTheWholeShiftJisDescription) {
    for (int32_t size : {44, 45, 200}) {
        const BufferAnswer copy = CopyDescription(size);
        EXPECT_EQ(copy.result, 43);
        EXPECT_EQ(copy.buffer.substr(0, 44), kDescription + '\0');
        EXPECT_EQ(copy.buffer.substr(44), std::string(static_cast<std::size_t>(size) - 44, '#'))
            << "bytes past the NUL must stay untouched";
    }
}

TEST(CopyOut, ShortBufferCutsByBytesEvenInsideADoubleByteCharacter) {
    const BufferAnswer ten = CopyDescription(10);
    EXPECT_EQ(ten.result, 9);
    EXPECT_EQ(ten.buffer, std::string("Quillbrid") + '\0');

    const BufferAnswer thirteen = CopyDescription(13);
    EXPECT_EQ(thirteen.result, 12);
    EXPECT_EQ(thirteen.buffer, std::string("Quillbridge\x97") + '\0');

    const BufferAnswer one = CopyDescription(1);
    EXPECT_EQ(one.result, 0);
    EXPECT_EQ(one.buffer, std::string(1, '\0'));
}

TEST(CopyOut, FieldValueCutToBufferAndSizeQueryGivesWholeLength) {
    const std::string list = Utf8List(Game("0000ABCD", "<TITLE>Lanternfish Odyssey</TITLE>"));
    EXPECT_EQ(GetTitle(list.c_str(), "abcd", 0, nullptr, 0), 20);
    const BufferAnswer cut = CopyInto(GetTitle, list, "abcd", 5);
    EXPECT_EQ(cut.result, 4);
    EXPECT_EQ(cut.buffer, std::string("Lant") + '\0');
    EXPECT_EQ(AskLikeHost(GetTitle, list, "abcd"), "Lanternfish Odyssey");
}

// The media line is copied out part by part: every cut, inside a part or between two, is the
// whole line's first bytes.
TEST(CopyOut, MediaLineCutAtEveryByte) {
    const std::string list = Utf8List(
        Game("0000ABCD", "<ROMSIZE>8 Mbit</ROMSIZE><SOURCEROM>Cart &amp; Box</SOURCEROM>"));
    const std::string line = "RomSize:8 Mbit / SrcRom:Cart & Box";
    for (std::size_t size = 1; size <= line.size() + 2; ++size) {
        const std::size_t kept = std::min(size - 1, line.size());
        const BufferAnswer cut = CopyInto(GetMediaInfo, list, "abcd", static_cast<int32_t>(size));
        EXPECT_EQ(cut.result, static_cast<int32_t>(kept)) << size;
        EXPECT_EQ(cut.buffer, line.substr(0, kept) + '\0' + std::string(size - kept - 1, '#'))
            << size;
    }
}

TEST(CopyOut, FailedLookupWritesNothingForQueryOrCopy) {
    const std::string list = Utf8List(Game("0000ABCD", "<TITLE>Lanternfish</TITLE>"));
    for (const NamedTextExport& text : kTextExports) {
        EXPECT_EQ(AskLikeHost(text.query, list, "DEADBEEF"), ErrKeyNotFound) << text.name;
    }
}

class BadArguments : public ::testing::TestWithParam<NamedTextExport> {};

TEST_P(BadArguments, RejectedBeforeAnyLookupAndNothingWritten) {
    const TextExport query = GetParam().query;
    const std::string list =
        Utf8List(Game("0000ABCD",
                      "<TITLE>x</TITLE><PUBLISHER>p</PUBLISHER><SAVETYPE>s</SAVETYPE>"
                      "<ROMSIZE>8</ROMSIZE><LOCATION>1</LOCATION>"));
    char buffer[16] = "untouched";
    char* out = buffer;
    char* nullBuffer = nullptr;

    EXPECT_EQ(query(nullptr, "ABCD", 0, &out, 16), ErrBadArgument);
    EXPECT_EQ(query(list.c_str(), nullptr, 0, &out, 16), ErrBadArgument);
    EXPECT_EQ(query(nullptr, nullptr, 0, nullptr, 0), ErrBadArgument);
    EXPECT_EQ(query(list.c_str(), "ABCD", 0, &out, -1), ErrBadArgument);
    EXPECT_EQ(query(list.c_str(), "ABCD", 0, nullptr, 16), ErrBadArgument);
    EXPECT_EQ(query(list.c_str(), "ABCD", 0, &nullBuffer, 16), ErrBadArgument);
    // A key that is not in the list must still be reported as a bad argument first.
    EXPECT_EQ(query(list.c_str(), "FFFF", 0, &out, -5), ErrBadArgument);
    EXPECT_STREQ(buffer, "untouched");

    EXPECT_GT(query(list.c_str(), "ABCD", 0, nullptr, 0), 0) << "a size query never reads out";
}

INSTANTIATE_TEST_SUITE_P(TextExports, BadArguments, ::testing::ValuesIn(kTextExports),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BadArguments, IdentityAndReleaseNumberExports) {
    char buffer[16] = "untouched";
    char* out = buffer;
    char* nullBuffer = nullptr;
    EXPECT_EQ(GetPluginAuthor(&out, -1), ErrBadArgument);
    EXPECT_EQ(GetPluginInfo(&out, -1), ErrBadArgument);
    EXPECT_EQ(GetPluginAuthor(nullptr, 16), ErrBadArgument);
    EXPECT_EQ(GetPluginInfo(&nullBuffer, 16), ErrBadArgument);
    EXPECT_STREQ(buffer, "untouched");

    EXPECT_EQ(GetImgNum(nullptr, "ABCD", 0), ErrBadArgument);
    EXPECT_EQ(GetImgNum("<GAME>", nullptr, 0), ErrBadArgument);
}

}  // namespace
