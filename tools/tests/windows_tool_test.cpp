// What only the Windows build of qbt does: files and archives are read through UTF-16 names, the
// plug-in is loaded through the ANSI code page as a host does, which qbt.exe's manifest makes
// UTF-8, files are renamed through their UTF-16 names, and lists show right on a Western code
// page too.
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tools/collection/test_archives.h"
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
// code page (Hangul) is scanned too, and comes out exact in JSON; so is an archive's entry name.
TEST_F(QbtOnWindows, ScanReadsFilesAndArchivesThroughTheirUtf16Names) {
    const fs::path roms = scratch_ / u8"ロム";
    WriteFile(roms / "a.gba", std::string(1024, 'A'));
    WriteFile(roms / u8"星屑" / "b.gba", std::string(2048, 'B'));
    WriteFile(roms / u8"바람.gba", std::string(1024, 'A'));
    WriteFile(roms / "pack.ZIP", Zip({{"\xE6\x98\x9F/e.gba", std::string(512, 'E')}}));

    const QbtRun run = Qbt({"scan", "--json", Utf8(roms)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
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
                        Utf8(roms / "pack.ZIP") + ":星/e.gba A32CD1E8 Die Glühwürmchen-Expedition",
                        Utf8(roms / u8"星屑" / "b.gba") + " 6B286DAC 星屑マーケット",
                        Utf8(roms / u8"바람.gba") + " B737FB1A Lanternfish Lagoon",
                    }));
    EXPECT_EQ(result["found"], 4);

    const QbtRun tableRun = Qbt({"scan", Utf8(roms / "pack.ZIP"), Utf8(roms / u8"星屑")});
    EXPECT_EQ(tableRun.exitCode, 0);
    // Each row: the name, then the key and the first field, whatever the column's width.
    const auto row = [&](const std::string& name) {
        const std::size_t at = tableRun.out.find(name + "  ");
        return at == std::string::npos
                   ? std::string()
                   : tableRun.out.substr(at, tableRun.out.find('\n', at) - at);
    };
    EXPECT_NE(row(Utf8(roms / u8"星屑" / "b.gba")).find("  6B286DAC  月見ソフト  "),
              std::string::npos)
        << tableRun.out;
    EXPECT_NE(row(Utf8(roms / "pack.ZIP") + ":星/e.gba").find("  A32CD1E8  "), std::string::npos)
        << tableRun.out;
    // A path named that is not there: nothing is scanned.
    const fs::path absent = roms / u8"無い";
    const QbtRun missing = Qbt({"scan", Utf8(roms / u8"星屑"), Utf8(absent)});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, sampleNote + "qbt: cannot read " + Utf8(absent) +
                               ": No such file or directory; nothing was done\n");
}

// Hangul has no form in code page 932, the system's; qbt.exe's own code page is UTF-8, so
// LoadLibraryA takes the path. (Where the manifest is ignored, the path is refused clearly:
// system/system_test.cpp.)
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

// Sorted into folders by region in qbt.exe, the folders made through Win32 calls, and undone;
// ended midway by TerminateProcess: ExpectSortedIntoFoldersAndBack.
TEST_F(QbtOnWindows, SortsIntoFoldersAndUndoesARunKilledMidway) {
    ExpectSortedIntoFoldersAndBack(
        scratch_ / "roms", 300, [&](const auto& arguments, const fs::path& journal) {
            return KillQbtMidway(arguments, journal, scratch_, 100).killed;
        });
}

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(text.substr(at, end - at));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Linux's own: a link to a file outside the collection, a linked folder inside it, links to a
// save outside and to a file beside them spelt in other letter case, and a name that is not
// UTF-8 (`caf\351`). Wine shows the links as plain files and a folder without a reparse tag,
// and the name with U+FFFD. rename and scan leave each where and as it is, as the Linux build
// does; a linked folder named on the command line is entered, and its files are renamed where
// they lie.
TEST_F(QbtOnWindows, LeavesLinuxLinksAndNamesItCannotReadExactlyAlone) {
    if (UnixPathUnderWine(scratch_).empty()) GTEST_SKIP() << "only Wine has Linux's links";
    const auto linuxSide = [&](const std::string& script) {
        return RunOnLinuxSide(script, scratch_).value_or("the Linux side did not answer");
    };
    // Windows cannot remove a name it cannot spell.
    const std::shared_ptr<void> removeAfter(nullptr, [&](void*) { linuxSide("rm -rf coll"); });
    // Every file, folder and link, by its bytes, with its kind and target.
    const auto files = [&] {
        return linuxSide("find coll outside -printf '%p %y %l\\n' | LC_ALL=C sort");
    };
    linuxSide(
        "mkdir -p coll/sub outside/deep && printf %1024s | tr ' ' A >outside/target.gba && "
        "cp outside/target.gba outside/deep/other.gba && cp outside/target.gba coll/sub/a.gba && "
        "cp outside/target.gba \"coll/$(printf 'caf\\351').gba\" && "
        "ln -s ../outside/target.gba coll/link.gba && ln -s ../outside coll/linkdir && "
        "echo save >outside/a.sav && ln -s ../../outside/a.sav coll/sub/a.sav && "
        "echo not a ROM of the list >coll/sub/B.GBA && ln -s B.GBA coll/sub/b.gba");
    const std::string before = files();
    ASSERT_NE(before.find("coll/caf\xE9.gba f \n"), std::string::npos) << before;
    ASSERT_NE(before.find("coll/linkdir l ../outside\n"), std::string::npos) << before;

    const fs::path coll = scratch_ / "coll";
    const std::string sample = QBT_SAMPLE_LIST;
    const std::string lanternfish = "0001 - Lanternfish Lagoon (U).gba";
    // Each file's outcome, and the files on the Linux side once renamed; then undone.
    const auto renameAndUndo = [&](const std::vector<std::string>& named, int exitCode) {
        const std::string journal = Utf8(scratch_ / "journal.jsonl");
        std::vector<std::string> arguments{"rename", "--apply", "--json", "--journal",
                                           journal,  "--list",  sample};
        arguments.insert(arguments.end(), named.begin(), named.end());
        const QbtRun run = Qbt(arguments);
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        std::map<std::string, std::string> outcomes;
        const json result = json::parse(run.out);
        for (const json& file : result["files"]) {
            outcomes[file["file"]] = file["outcome"].get<std::string>() + " " +
                                     file.value("reason", file["new_name"].dump());
        }
        const std::string renamedOnLinux = files();
        EXPECT_EQ(Qbt({"undo", journal}).exitCode, 0);
        fs::remove(journal);
        return std::pair{outcomes, renamedOnLinux};
    };

    const auto [outcomes, renamed] = renameAndUndo({Utf8(coll)}, 1);
    const std::string inexact =
        "its name as the system shows it holds U+FFFD, the mark of bytes it could not read (a "
        "Linux name that is not UTF-8): qbt.exe could not give the name back";
    const std::string link = "skipped a symbolic link: links are left alone";
    EXPECT_EQ(outcomes, (std::map<std::string, std::string>{
                            {Utf8(coll / L"caf\uFFFD.gba"), "skipped " + inexact},
                            {Utf8(coll / "link.gba"), link},
                            {Utf8(coll / "linkdir"), link},
                            {Utf8(coll / "sub" / "a.gba"), "renamed \"" + lanternfish + "\""},
                            {Utf8(coll / "sub" / "a.sav"), link},
                            {Utf8(coll / "sub" / "B.GBA"), "not in the list null"},
                            {Utf8(coll / "sub" / "b.gba"), link}}));
    std::string expected = before;
    expected.replace(expected.find("coll/sub/a.gba"), 14, "coll/sub/" + lanternfish);
    EXPECT_EQ(SortedLines(renamed), SortedLines(expected));
    EXPECT_EQ(files(), before) << "undone";

    // Named, the linked folder is entered; its files are renamed in the folder it leads to.
    const auto [inLinked, renamedThere] = renameAndUndo({Utf8(coll / "linkdir")}, 0);
    EXPECT_EQ(inLinked.size(), 2u);
    EXPECT_NE(renamedThere.find("outside/" + lanternfish + " f \n"), std::string::npos)
        << renamedThere;
    EXPECT_NE(renamedThere.find("outside/deep/" + lanternfish + " f \n"), std::string::npos)
        << renamedThere;
    EXPECT_EQ(files(), before) << "undone";
    // A file named in other letters than the folders spell it, resolved to their spelling, is
    // no link either.
    const json typed = json::parse(
        Qbt({"rename", "--json", "--list", sample, Utf8(scratch_ / "COLL" / "Sub" / "A.GBA")}).out);
    EXPECT_EQ(typed["files"][0]["outcome"], "rename") << typed;

    // scan reads the links to files, as on Linux, but neither the linked folder nor the name.
    const json scanned = json::parse(Qbt({"scan", "--json", "--list", sample, Utf8(coll)}).out);
    std::vector<std::string> read;
    for (const json& rom : scanned["roms"]) read.push_back(rom["file"]);
    EXPECT_EQ(read, (std::vector<std::string>{Utf8(coll / "link.gba"), Utf8(coll / "sub" / "B.GBA"),
                                              Utf8(coll / "sub" / "a.gba"),
                                              Utf8(coll / "sub" / "b.gba")}));
    EXPECT_EQ(scanned["skipped"],
              json::array({{{"file", Utf8(coll / L"caf\uFFFD.gba")}, {"reason", inexact}}}));
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
