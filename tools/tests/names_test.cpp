// The names qbt rename gives, end to end: the same collection named alike, byte for byte, under
// every locale (Linux) and code page (qbt.exe under Wine, run at 932 and at 1252), each name
// holding every character of its title; undo puts every name back.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/tests/tool_test.h"
#include "tools/tests/wine_unix_path.h"

namespace fs = std::filesystem;

namespace {

struct Named {
    const char* file;
    Game game;  // its content is the file's
    const char* name;
};

// Titles from a UTF-8 list with characters of no one code page, titles that begin or end with
// a separator beside a missing field, a region label without brackets, a release number in
// full-width digits (a letter or digit first: read, as atoi reads it, as 0).
const std::vector<Named> kCollection{
    {"a.gba",
     {"1", "髙橋名人の冒険島 ～Ⅱ～", "", "", "7", "1"},
     "0001 - 髙橋名人の冒険島 ～Ⅱ～ (J).gba"},
    {"b.gba",
     {"2", "Château des Brumes ①", "", "", "5", "2"},
     "0002 - Château des Brumes ① (F).gba"},
    {"c.gba", {"3", "Ça Va ✓ Ωmega", "", "", "0", "3"}, "0003 - Ça Va ✓ Ωmega (E).gba"},
    {"d.gba", {"4", ".hack//Outbreak", "", "", "7", ""}, "_hack__Outbreak (J).gba"},
    {"e.gba", {"5", "+Anima", "", "", "7", ""}, "+Anima (J).gba"},
    {"f.gba", {"6", "Hero Tour", "", "", "12", "1000"}, "1000 - Hero Tour (Norway).gba"},
    {"g.gba", {"7", "~Kira Kira~", "", "", "", "7"}, "0007 - ~Kira Kira~.gba"},
    {"h.gba", {"8", "Full Width", "", "", "1", "１２"}, "0000 - Full Width (U).gba"},
    {"i.gba", {"9", "Lanternfish Lagoon", "", "", "1", "8"}, "0008 - Lanternfish Lagoon (U).gba"},
    {"i.sav", {"a save", "", "", "", "", ""}, "0008 - Lanternfish Lagoon (U).sav"},
};

// Where each test varies the terminal: the locales a Linux user may have, a service's none.
std::vector<std::vector<std::string>> Terminals() {
#ifdef _WIN32
    return {{}};  // the code page the suite runs at
#else
    return {kEmptyEnvironment, {"LC_ALL=C"}, ShiftJisTerminal(), {"LC_ALL=C.UTF-8"}};
#endif
}

using QbtNames = ToolTest;

TEST_F(QbtNames, TheSameInEveryLocaleWithEveryCharacterAndUndone) {
    std::vector<Game> games;
    std::vector<std::string> before;
    std::vector<std::string> after;
    for (const Named& named : kCollection) {
        if (!named.game.title.empty()) games.push_back(named.game);
        before.push_back(named.file);
        after.push_back(named.name);
    }
    std::sort(after.begin(), after.end());
    WriteList(scratch_ / "list.xml", games);
    const fs::path roms = scratch_ / "roms";
    for (const std::vector<std::string>& terminal : Terminals()) {
        for (const Named& named : kCollection) WriteFile(roms / named.file, named.game.content);
        const fs::path journal = scratch_ / "journal.jsonl";
        const QbtRun run = Qbt({"rename", "--apply", "--journal", Utf8(journal), "--list",
                                Utf8(scratch_ / "list.xml"), Utf8(roms)},
                               terminal);
        const std::string where = terminal.empty() ? "" : terminal.front();
        EXPECT_EQ(run.exitCode, 0) << where << ": " << run.err;
        EXPECT_EQ(NamesIn(roms), after) << where;
#ifdef _WIN32
        for (const std::string& name : after) {  // as the Linux side holds them
            const std::string onDisk =
                UnixPathUnderWine(roms / fs::path(std::u8string(name.begin(), name.end())));
            if (!onDisk.empty()) {
                EXPECT_TRUE(onDisk.ends_with("/" + name)) << onDisk;
            }
        }
#endif
        const QbtRun undo = Qbt({"undo", Utf8(journal)}, terminal);
        EXPECT_EQ(undo.exitCode, 0) << where << ": " << undo.err;
        EXPECT_EQ(NamesIn(roms), before) << where;
        fs::remove_all(roms);
        fs::remove(journal);
    }
}

// 星屑マーケット and 髙橋名人の冒険島 ～Ⅱ～ in code page 932, and 星 alone, in lists without a
// declaration: enough text to tell the encoding by, and too little.
TEST_F(QbtNames, AnUndeclaredShiftJisListIsNamedRightOrNotRenamed) {
    const std::string stardust = kStardustInShiftJis;
    const std::string takahashi =
        "\xFB\xFC\x8B\xB4\x96\xBC\x90\x6C\x82\xCC\x96\x60\x8C\xAF\x93\x87 \x81\x60\x87\x55\x81\x60";
    for (const std::vector<std::string>& terminal : Terminals()) {
        WriteFile(scratch_ / "roms" / "a.gba", "1");
        WriteFile(scratch_ / "roms" / "b.gba", "2");
        const auto rename = [&](const std::string& first, const std::string& second) {
            WriteFile(scratch_ / "list.xml", "<GAME><TITLE>" + first + "</TITLE><ROMCRC>" +
                                                 CrcKeyOf("1") + "</ROMCRC></GAME><GAME><TITLE>" +
                                                 second + "</TITLE><ROMCRC>" + CrcKeyOf("2") +
                                                 "</ROMCRC></GAME>");
            return Qbt({"rename", "--apply", "--journal", Utf8(scratch_ / "journal.jsonl"),
                        "--list", Utf8(scratch_ / "list.xml"), Utf8(scratch_ / "roms")},
                       terminal);
        };
        const std::string where = terminal.empty() ? "" : terminal.front();
        const QbtRun weak = rename("\x90\xAF", "\x90\xAF");
        EXPECT_EQ(weak.exitCode, 2) << where;
        EXPECT_NE(weak.err.find("--list-encoding"), std::string::npos) << where << weak.err;
        EXPECT_EQ(NamesIn(scratch_ / "roms"), (std::vector<std::string>{"a.gba", "b.gba"}));

        const QbtRun strong = rename(stardust, takahashi);
        EXPECT_EQ(strong.exitCode, 0) << where << strong.err;
        EXPECT_NE(strong.err.find("reads as Shift_JIS"), std::string::npos) << where << strong.err;
        EXPECT_EQ(NamesIn(scratch_ / "roms"),
                  (std::vector<std::string>{"星屑マーケット.gba", "髙橋名人の冒険島 ～Ⅱ～.gba"}))
            << where;
        fs::remove_all(scratch_ / "roms");
    }
}

// A list that writes the CRC-32 0000D325 as "D325": lookup, scan, audit and rename with every
// key type find the game.
TEST_F(QbtNames, AKeyWithoutItsLeadingZerosIsFoundByEveryCommand) {
    const std::string rom = "rom with a short key \x18\xC7\xAA\x54";
    ASSERT_EQ(CrcKeyOf(rom), "0000D325");
    const std::string list = Utf8(scratch_ / "list.xml");
    const std::string roms = Utf8(scratch_ / "roms");
    WriteFile(scratch_ / "list.xml", "<GAME><TITLE>Short Key</TITLE><ROMCRC>D325</ROMCRC></GAME>");
    WriteFile(scratch_ / "roms" / "a.gba", rom);
    const QbtRun lookup = Qbt({"lookup", "--list", list, "0000D325"});
    EXPECT_EQ(lookup.exitCode, 0) << lookup.out;
    EXPECT_NE(lookup.out.find("Short Key"), std::string::npos) << lookup.out;
    const QbtRun scan = Qbt({"scan", "--list", list, roms});
    EXPECT_NE(scan.out.find("Short Key"), std::string::npos) << scan.out;
    const QbtRun audit = Qbt({"audit", "--list", list, roms});
    EXPECT_EQ(audit.exitCode, 0) << audit.out << audit.err;
    for (const char* keyType : {"0", "1", "2", "32"}) {
        const QbtRun rename = Qbt({"rename", "--key-type", keyType, "--list", list, roms});
        EXPECT_NE(rename.out.find("Short Key.gba"), std::string::npos) << keyType << rename.out;
    }
}

#ifndef _WIN32
// The new names, like scan's and lookup's titles, in the terminal's own codeset.
TEST_F(QbtNames, TheRenameTableIsInTheTerminalsCodeset) {
    WriteList(scratch_ / "list.xml", {{"1", "星屑マーケット", "", "", "", ""}});
    WriteFile(scratch_ / "roms" / "a.gba", "1");
    const QbtRun run = Qbt(
        {"rename", "--list", Utf8(scratch_ / "list.xml"), Utf8(scratch_ / "roms")},
        ShiftJisTerminal());
    EXPECT_NE(run.out.find(std::string(kStardustInShiftJis) + ".gba"), std::string::npos)
        << run.out;
}
#endif

TEST_F(QbtNames, NoCompanionsLeavesSavesWhereTheyAre) {
    WriteList(scratch_ / "list.xml", {{"1", "Title", "", "", "", ""}});
    WriteFile(scratch_ / "roms" / "a.gba", "1");
    WriteFile(scratch_ / "roms" / "a.sav", "a save");
    const QbtRun run = Qbt({"rename", "--apply", "--no-companions", "--journal",
                            Utf8(scratch_ / "journal.jsonl"), "--list", Utf8(scratch_ / "list.xml"),
                            Utf8(scratch_ / "roms")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch_ / "roms"), (std::vector<std::string>{"Title.gba", "a.sav"}));
}

}  // namespace

