#include "tests/support/game_list_generator.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace {

// xorshift32: tiny, fast and the same everywhere, unlike the standard distributions.
struct Random {
    std::uint32_t state;
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    template <typename Table>
    auto Pick(const Table& table) {
        return table[Next() % table.size()];
    }
};

constexpr std::array<std::string_view, 16> kLatinWords = {
    "Crystal", "Lantern", "Harbor",  "Quest",  "Shadow", "Orbit",  "Meadow",  "Racer",
    "Kingdom", "Puzzle",  "Thunder", "Garden", "Pilot",  "Legend", "Circuit", "Ember"};
constexpr std::array<std::string_view, 8> kAccentedWords = {
    "Caf\xC3\xA9",       "R\xC3\xAAve",   "F\xC3\xBChrer", "Se\xC3\xB1or",
    "\xC3\x89t\xC3\xA9", "Gar\xC3\xA7on", "Na\xC3\xAFve",  "\xC3\x85ngstr\xC3\xB6m"};
constexpr std::array<std::string_view, 8> kJapaneseWords = {
    "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88",  // テスト
    "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0",  // ゲーム
    "\xE5\x86\x92\xE9\x99\xBA",              // 冒険
    "\xE6\x98\x9F\xE3\x81\xAE\xE5\x9B\xBD",  // 星の国
    "\xE3\x83\xAC\xE3\x83\xBC\xE3\x82\xB9",  // レース
    "\xE9\xAD\x94\xE6\xB3\x95",              // 魔法
    "\xE3\x83\x91\xE3\x82\xBA\xE3\x83\xAB",  // パズル
    "\xE4\xBC\x9D\xE8\xAA\xAC"};             // 伝説
constexpr std::array<std::string_view, 8> kPublishers = {
    "Brightfield Soft", "Kumo &amp; Sons", "Northwind Interactive", "Pebble Works",
    "Saltmarsh Games",  "Tetsu Digital",   "Violet Arcade",         "Yamabiko Entertainment"};
constexpr std::array<std::string_view, 6> kSaveTypes = {"EEPROM_V124",  "SRAM_V113", "FLASH_V126",
                                                        "FLASH1M_V103", "None",      ""};
constexpr std::array<std::string_view, 5> kRomSizes = {"32 Mbit", "64 Mbit", "128 Mbit", "256 Mbit",
                                                       "8 Mbit"};
constexpr std::array<std::string_view, 4> kSources = {"Cartridge", "Dump &quot;A&quot;", "Disk",
                                                      ""};

std::string Title(Random& random) {
    std::string title;
    const unsigned words = 1 + random.Next() % 3;
    for (unsigned i = 0; i < words; ++i) {
        if (i > 0) title += ' ';
        switch (random.Next() % 4) {
            case 0: title += random.Pick(kJapaneseWords); break;
            case 1: title += random.Pick(kAccentedWords); break;
            default: title += random.Pick(kLatinWords); break;
        }
    }
    if (random.Next() % 8 == 0) title += " &amp; Friends";
    return title;
}

void AppendElement(std::string& text, std::string_view tag, std::string_view value) {
    text.append("    <").append(tag).append(">").append(value);
    text.append("</").append(tag).append(">\n");
}

}  // namespace

GeneratedList GenerateGameList(std::size_t minimumBytes, unsigned seed) {
    GeneratedList list;
    list.text.reserve(minimumBytes + 1024);
    list.text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GAMES>\n";
    Random random{0x9E3779B9U ^ seed};
    char number[16];
    for (unsigned image = 1; list.text.size() < minimumBytes; ++image) {
        std::uint32_t crc = random.Next();
        if (crc == 0xF00DF00DU) ++crc;
        char key[9];
        std::snprintf(key, sizeof key, "%08X", static_cast<unsigned>(crc));
        list.keys.emplace_back(key);
        list.recordOffsets.push_back(list.text.size());

        list.text += "  <GAME>\n";
        std::snprintf(number, sizeof number, "%04u", image % 10000);
        AppendElement(list.text, "IMAGENUMBER", number);
        AppendElement(list.text, "RELEASENUMBER", number);
        AppendElement(list.text, "TITLE", Title(random));
        AppendElement(list.text, "SAVETYPE", random.Pick(kSaveTypes));
        AppendElement(list.text, "ROMSIZE", random.Pick(kRomSizes));
        AppendElement(list.text, "PUBLISHER", random.Pick(kPublishers));
        std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(random.Next() % 26));
        AppendElement(list.text, "LOCATION", number);
        AppendElement(list.text, "SOURCEROM", random.Pick(kSources));
        AppendElement(list.text, "LANGUAGE", random.Next() % 2 ? "2" : "1");
        AppendElement(list.text, "ROMCRC", key);
        std::snprintf(number, sizeof number, "%08X", static_cast<unsigned>(random.Next()));
        AppendElement(list.text, "IM1CRC", number);
        AppendElement(list.text, "COMMENT", random.Next() % 3 ? "" : "Verified &lt;good&gt; dump");
        list.text += "  </GAME>\n";
    }
    list.text += "</GAMES>\n";
    return list;
}

namespace {

std::string Repeat(std::string_view piece, std::size_t bytes) {
    std::string text;
    text.reserve(bytes + piece.size());
    while (text.size() < bytes) text.append(piece);
    text.resize(bytes);
    return text;
}

}  // namespace

std::vector<HostileList> GenerateHostileLists(std::size_t bytes) {
    const std::string key = "1A2B3C4D";
    const std::string longKey(4096, '0');
    std::vector<HostileList> lists = {
        {"closing brackets", Repeat(">", bytes), key},
        {"zeros", Repeat("0", bytes), "00000000"},
        {"unfinished record tags", "<GAME>" + Repeat("<GAME", bytes), key},
        {"key near-misses", Repeat(">1A2B3C4D</ROMCRX>", bytes), key},
        {"key digit near-misses", Repeat(">1A2B3C4E</ROMCRC>", bytes), key},
        {"padding near-misses", Repeat(">0000", bytes), "4D"},
        {"short key tails", Repeat("x4D</ROMCRC>", bytes), "4D"},
        {"long key prefixes", Repeat(longKey.substr(0, 4000) + "1", bytes), longKey},
    };
    for (HostileList& list : lists) {
        // The record tag search has to go back over the whole run to the tag at the start.
        const bool recordTagAtStart = list.text.compare(0, 6, "<GAME>") == 0;
        list.text += recordTagAtStart ? "" : "<GAME>";
        list.text += "<ROMCRC>" + list.key + "</ROMCRC><TITLE>found</TITLE></GAME>";
    }
    return lists;
}
