// What only the Windows build of qbt does: scan reads plain files but not zip archives, the
// plug-in is loaded through the ANSI code page as a host does, which qbt.exe's manifest makes
// UTF-8, files are renamed through their UTF-16 names, and lists show right on a Western code
// page too.
#define NOMINMAX
#include <windows.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tools/tests/tool_test.h"
#include "tools/tests/wine_unix_path.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using QbtOnWindows = ToolTest;
using QbtOnWesternWindows = ToolTest;

// Renames one ROM after `title`, given in the bytes of the list's `encoding`, and checks the name
// it gets on disk from the Linux side, where Wine writes UTF-16 names as UTF-8; then undoes it.
void ExpectRenamedAsStardustAndBack(const fs::path& scratch, const std::string& title,
                                    const std::string& encoding) {
    const std::string rom = "a ROM of the test's own";
    const fs::path roms = scratch / "roms";
    WriteFile(roms / "b.gba", rom);
    WriteList(scratch / "list.xml", {{rom, title, "", "", "", "7"}}, encoding);
    const fs::path journal = scratch / "journal.jsonl";
    const QbtRun run = RunQbt(QBT_TOOL,
                              {"rename", "--apply", "--journal", Utf8(journal), "--list",
                               Utf8(scratch / "list.xml"), Utf8(roms)},
                              {}, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::u8string name = u8"0007 - 星屑マーケット.gba";
    EXPECT_EQ(NamesIn(roms), std::vector<std::string>{Utf8(name)});
    const std::string onDisk = UnixPathUnderWine(roms / name);
    if (!onDisk.empty()) {
        EXPECT_EQ(onDisk.substr(onDisk.rfind('/') + 1), Utf8(name));
    }

    const QbtRun undo = RunQbt(QBT_TOOL, {"undo", Utf8(journal)}, {}, scratch);
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(NamesIn(roms), std::vector<std::string>{"b.gba"});
    EXPECT_EQ(ReadFile(roms / "b.gba"), rom);
}

// Folders and files are walked and read through their UTF-16 names, so a name outside the ANSI
// code page (Hangul) is scanned too, and comes out exact in JSON. A zip archive, whatever its
// letter case, is reported as skipped without being opened.
TEST_F(QbtOnWindows, ScanChecksumsPlainFilesAndSkipsZipArchives) {
    const fs::path roms = scratch_ / u8"ロム";
    WriteFile(roms / "a.gba", std::string(1024, 'A'));
    WriteFile(roms / u8"星屑" / "b.gba", std::string(2048, 'B'));
    WriteFile(roms / u8"바람.gba", std::string(1024, 'A'));
    WriteFile(roms / "pack.ZIP", "any bytes: the archive is not opened");

    const QbtRun run = Qbt({"scan", "--json", Utf8(roms)});
    EXPECT_EQ(run.exitCode, 1) << "the archive's ROMs were not looked up\n" << run.err;
    const std::string sampleNote = run.err;
    EXPECT_TRUE(sampleNote.starts_with("qbt: the sample list ")) << sampleNote;
    const json result = json::parse(run.out);
    std::vector<std::string> rows;
    for (const json& rom : result["roms"]) {
        rows.push_back(rom["file"].get<std::string>() + " " + rom["key"].get<std::string>() + " " +
                       rom["title"].get<std::string>());
    }
    EXPECT_EQ(rows, (std::vector<std::string>{
                        Utf8(roms / "a.gba") + " B737FB1A Lanternfish Lagoon",
                        Utf8(roms / u8"星屑" / "b.gba") + " 6B286DAC 星屑マーケット",
                        Utf8(roms / u8"바람.gba") + " B737FB1A Lanternfish Lagoon",
                    }));
    EXPECT_EQ(result["skipped"], json::array({{{"file", Utf8(roms / "pack.ZIP")},
                                               {"reason", "qbt.exe does not read zip archives"}}}));
    EXPECT_EQ(result["found"], 3);

    const QbtRun tableRun = Qbt({"scan", Utf8(roms / "pack.ZIP"), Utf8(roms / u8"星屑")});
    EXPECT_EQ(tableRun.exitCode, 1);
    const std::string table = tableRun.out;
    EXPECT_NE(table.find(Utf8(roms / u8"星屑" / "b.gba") + "  6B286DAC  月見ソフト  "),
              std::string::npos)
        << table;
    EXPECT_TRUE(table.ends_with(Utf8(roms / "pack.ZIP") +
                                "  skipped: qbt.exe does not read zip archives\n\n"
                                "1 found, 0 not in the list, 1 skipped\n"))
        << table;
    // A path named that is not there: nothing is scanned.
    const fs::path absent = roms / u8"無い";
    const QbtRun missing = Qbt({"scan", Utf8(roms / u8"星屑"), Utf8(absent)});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, sampleNote + "qbt: cannot read " + Utf8(absent) +
                               ": No such file or directory; nothing was done\n");
}

TEST_F(QbtOnWindows, HelpSaysZipArchivesAreNotRead) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--help"}, {"scan", "--help"}}) {
        const QbtRun help = Qbt(arguments);
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_NE(help.out.find("qbt.exe does not read zip archives"), std::string::npos)
            << help.out;
    }
}

// Hangul has no form in code page 932, the system's; qbt.exe's own code page is UTF-8, so
// LoadLibraryA takes the path. (Where the manifest is ignored, the path is refused clearly:
// os/platform_test.cpp.)
TEST_F(QbtOnWindows, RunsFromAFolderOutsideTheSystemCodePage) {
    const std::filesystem::path tool = CopyToolAndPlugin(scratch_ / u8"바람");
    const QbtRun info = RunQbt(tool, {"info"}, {}, scratch_);
    EXPECT_EQ(info.exitCode, 0) << info.err;
}

// A folder past MAX_PATH (260 characters), made and read here through the "\\?\" form: qbt
// renames in it and undoes, its paths in that form through Win32 calls.
TEST_F(QbtOnWindows, RenamesAndUndoesPastTwoHundredAndSixtyCharacters) {
    std::wstring folder = LR"(\\?\)" + scratch_.wstring();
    for (int level = 0; level < 6; ++level) {
        folder += L"\\" + std::wstring(50, static_cast<wchar_t>(L'a' + level));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    }
    const std::wstring rom = folder + L"\\a.gba";
    const HANDLE file = CreateFileW(rom.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string lanternfish(1024, 'A');
    DWORD written = 0;
    WriteFile(file, lanternfish.data(), static_cast<DWORD>(lanternfish.size()), &written, nullptr);
    CloseHandle(file);
    const fs::path roms = fs::path(folder.substr(4));
    ASSERT_GT(roms.native().size(), 300u);
    const auto exists = [&](const wchar_t* name) {
        return GetFileAttributesW((folder + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    };

    const std::string journal = Utf8(scratch_ / "journal.jsonl");
    const QbtRun run =
        Qbt({"rename", "--apply", "--list", QBT_SAMPLE_LIST, "--journal", journal, Utf8(roms)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(exists(L"0001 - Lanternfish Lagoon (U).gba")) << run.out;
    const QbtRun undo = Qbt({"undo", journal});
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_TRUE(exists(L"a.gba"));
    std::wstring deepest = folder;
    for (int level = 0; level < 6; ++level) {
        DeleteFileW((deepest + L"\\a.gba").c_str());
        RemoveDirectoryW(deepest.c_str());
        deepest.resize(deepest.rfind(L'\\'));
    }
}

// A Western Windows: run by the test tool_tests_code_page_1252 under a locale that gives Wine
// code page 1252. qbt.exe writes UTF-8 there too, so tables hold a Latin-1 list's accents and a
// Shift_JIS list's Japanese alike.
TEST_F(QbtOnWesternWindows, Latin1AndShiftJisListsAreShownRight) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    const auto lookUp = [&](const std::string& encoding, const std::string& title) {
        WriteFile(scratch_ / "list.xml", "<?xml version=\"1.0\" encoding=\"" + encoding +
                                             "\"?>\n<GAME><TITLE>" + title +
                                             "</TITLE><ROMCRC>12345678</ROMCRC></GAME>");
        const std::string list = Utf8(scratch_ / "list.xml");
        const QbtRun table = Qbt({"lookup", "--list", list, "12345678"});
        const QbtRun json = Qbt({"lookup", "--json", "--list", list, "12345678"});
        return std::pair{table.out, nlohmann::json::parse(json.out)[0]["title"]};
    };
    const auto [latin1Table, latin1Json] = lookUp("ISO-8859-1", "Ch\xE2teau");
    EXPECT_NE(latin1Table.find("  Château  "), std::string::npos) << latin1Table;
    EXPECT_EQ(latin1Json, "Château");

    const auto [shiftJisTable, shiftJisJson] = lookUp("Shift_JIS", kStardustInShiftJis);
    EXPECT_NE(shiftJisTable.find("  星屑マーケット  "), std::string::npos) << shiftJisTable;
    EXPECT_EQ(shiftJisJson, "星屑マーケット");
}

// The Shift_JIS list's title names the file right although code page 1252 holds none of its
// characters: qbt converts it from code page 932 and names the file in UTF-16.
TEST_F(QbtOnWesternWindows, ShiftJisTitleNamesAFileOutsideTheCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    ExpectRenamedAsStardustAndBack(scratch_, kStardustInShiftJis, "Shift_JIS");
}

}  // namespace
