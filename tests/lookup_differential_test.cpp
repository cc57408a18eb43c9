// The in-place lookup against the literal one on generated lists full of near-misses: every
// field, key and key type must give the same outcome, the same bytes, the same encoding and the
// same text once entities are decoded.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lookup/field_extraction.h"
#include "tests/support/game_list_generator.h"
#include "tests/support/literal_lookup.h"

namespace {

// Fragments chosen to collide, so that records come without ends and declarations in and out of
// place.
const std::vector<std::string> kFragments = {
    // Record and key tags, whole, cut short, with attributes, in other letter cases.
    "<GAME>", "<game>", "</GAME>", "</Game>", "<GAME id=\"1\">", "<GAM", "<ROMCRC>", "<romcrc>",
    "</ROMCRC>", "</romcrc>",
    // Keys that differ only in padding or letter case.
    "1234", "00001234", "0123", "123", "abcd", "ABCD", "0000ABCD",
    // Field tags.
    "<TITLE>", "</TITLE>", "<title>", "</TITLE", "<SAVETYPE>", "</SAVETYPE>",
    // Entities, markup characters, declarations, bytes of multi-byte characters.
    "&amp;", "&lt;", "&amp;lt;", ">", "<", "/", "x", " ", "\n", "<?xml encoding=\"utf-8\"?>",
    "UTF-8", "?>", "\xE3\x83\x86", "\x83\x65",
    // Pieces of records.
    "><", "></ROMCRC>", ">1234</ROMCRC>", ">0000abcd</romcrc>", ">123</ROMCRC>",
    "<GAME><ROMCRC>00001234</ROMCRC>", "<TITLE>t &amp;lt;</TITLE>", "<SAVETYPE>s</SAVETYPE>",
    "<Game><RomCrc>ABCD</RomCrc><Title>"};
const std::vector<std::string> kKeys = {"1234", "123", "abcd", "ABCD", "", "0000ABCD", "00001234"};

std::string RandomList(std::mt19937& random) {
    std::uniform_int_distribution<std::size_t> pick(0, kFragments.size() - 1);
    std::string list;
    const int pieces = std::uniform_int_distribution<int>(0, 60)(random);
    for (int i = 0; i < pieces; ++i) list += kFragments[pick(random)];
    return list;
}

constexpr ElementTag kTitle("TITLE");
constexpr ElementTag kSaveType("SAVETYPE");

TEST(LookupDifferential, SameResultAsTheLiteralLookupOnGeneratedLists) {
    std::mt19937 random(7);
    int found = 0;
    for (int round = 0; round < 30000; ++round) {
        const std::string list = RandomList(random);
        const std::string& key = kKeys[random() % kKeys.size()];
        const int32_t keyType = static_cast<int32_t>(random() % 4);
        const ElementTag& field = round % 2 == 0 ? kTitle : kSaveType;
        ASSERT_EQ(DifferenceFromLiteral(list.c_str(), key.c_str(), keyType, field), "") << list;
        found += FindField(FindKeyRecord({list.c_str(), key.c_str(), keyType}), field).outcome ==
                 LookupOutcome::kFound;
    }
    EXPECT_GT(found, 300) << "the generator should reach successful lookups too";
}

TEST(LookupDifferential, SameValuesAsTheLiteralLookupOnARealisticList) {
    const GeneratedList list = GenerateGameList(300 * 1024);
    std::vector<std::string> keys = {kAbsentKey, list.keys.front(), list.keys.back()};
    for (std::size_t i = 1; i < list.keys.size(); i += 61) keys.push_back(list.keys[i]);
    for (const std::string& key : keys) {
        for (const ElementTag& field :
             {ElementTag("TITLE"), ElementTag("PUBLISHER"), ElementTag("SAVETYPE"),
              ElementTag("ROMSIZE"), ElementTag("SOURCEROM"), ElementTag("LOCATION"),
              ElementTag("RELEASENUMBER"), ElementTag("COMMENT"), ElementTag("MISSING")}) {
            ASSERT_EQ(DifferenceFromLiteral(list.text.c_str(), key.c_str(), 0, field), "");
        }
    }
}

}  // namespace
