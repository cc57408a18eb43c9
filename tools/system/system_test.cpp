// What qbt asks of the system beyond its files: loading the plug-in, writing to a console.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "tools/system/library.h"
#include "tools/system/terminal.h"

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// Where Windows ignores qbt.exe's manifest (before Windows 10 version 1903), the ANSI code page
// is the system's; this test program runs so (code page 932). A plug-in path it cannot spell is
// refused rather than bent into the name of another file.
TEST(OpenLibrary, APathOutsideTheAnsiCodePageIsRefusedClearly) {
    const Result<void*> opened = OpenLibrary(fs::path(u8"\uBC14\uB78C") / "plugin.dll");
    ASSERT_FALSE(opened.Ok());
    EXPECT_EQ(opened.Why().message, "its path cannot be written in the ANSI code page");
}

// A console gets whole characters, however the text was cut into writes.
TEST(ConsoleBuffer, HandsOverWholeCharactersOfItsCodePage) {
    const std::pair<unsigned, std::string> texts[] = {
        {65001, "\xE6\x98\x9F\xE5\xB1\x91 Ch\xC3\xA2teau"}, {932, "\x90\xAF\x8B\xFB Ch"}};
    for (const auto& [codePage, text] : texts) {
        std::wstring shown;
        const auto buffer =
            MakeConsoleBuffer(codePage, [&](std::wstring_view part) { shown += part; });
        std::ostream console(buffer.get());
        for (const char byte : text) console << byte << std::flush;
        EXPECT_EQ(shown, codePage == 932 ? L"\u661F\u5C51 Ch" : L"\u661F\u5C51 Ch\u00E2teau");
    }
}
#endif

}  // namespace
