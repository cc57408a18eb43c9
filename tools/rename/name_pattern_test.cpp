#include "tools/rename/name_pattern.h"

#include <gtest/gtest.h>

#include <optional>

#include "tools/rename/items.h"

namespace {

// A pattern the test knows to be good; one that is not fails the test where it is made.
NamePattern Pattern(std::string text) { return *NamePattern::Parse(std::move(text)); }

// "Bare Title": no publisher, no region, no release number, save type SRAM.
NameFields BareGame() {
    NameFields fields;
    fields.texts[IndexOf(Field::kTitle)] = "Bare Title";
    fields.texts[IndexOf(Field::kSave)] = "SRAM";
    fields.crc = "B737FB1A";
    fields.name = "bare";
    return fields;
}

TEST(NamePattern, MissingFieldsLeaveNoDebris) {
    const NameFields bare = BareGame();
    for (const char* pattern :
         {"{release:04} - {title} {region}", "[{publisher}] {title} ({region})",
          "{title} - {publisher} - {release}", "{release}{region} {title}",
          "{title} ({region}, {publisher})", "{publisher}, {title}, {region:>6}"}) {
        EXPECT_EQ(Pattern(pattern).Format(bare), "Bare Title") << pattern;
    }
    EXPECT_EQ(Pattern("{title} ({region}, {save})").Format(bare), "Bare Title (SRAM)");
    EXPECT_EQ(Pattern("{save} - {publisher} - {title}").Format(bare), "SRAM - Bare Title");
    EXPECT_EQ(Pattern("{release} {publisher}").Format(bare), "");

    NameFields made = bare;
    made.release = 12;
    made.texts[IndexOf(Field::kSave)].reset();
    EXPECT_EQ(Pattern("{release:04} {save}{title}").Format(made), "0012 Bare Title");
}

TEST(NamePattern, FieldsWidthsAndPrecisions) {
    NameFields fields = BareGame();
    fields.release = 7;
    fields.texts[IndexOf(Field::kRegion)] = "(J)";
    EXPECT_EQ(Pattern("{release:04} - {title} {region}").Format(fields), "0007 - Bare Title (J)");
    EXPECT_EQ(Pattern("{title:.4} {crc} {name}").Format(fields), "Bare B737FB1A bare");
}

TEST(NamePattern, UsesOnlyTheFieldsItNames) {
    const NamePattern pattern = Pattern("{release:04} - {title} {crc}");
    for (const FieldRow& field : kFields) {
        const bool expected = field.field == Field::kRelease || field.field == Field::kTitle;
        EXPECT_EQ(pattern.Uses(field.field), expected) << field.patternName;
    }
}

// A present field keeps every character, even one that is a separator, beside a missing one;
// spaces a width pads with stay.
TEST(NamePattern, TidyingTakesNothingOfAPresentField) {
    struct Case {
        const char* pattern;
        const char* title;
        std::optional<int32_t> release;
        const char* region;  // "" for none
        const char* name;
    };
    const Case cases[] = {
        {"{release:04} - {title} {region}", ".hack//Outbreak", {}, "(J)", ".hack//Outbreak (J)"},
        {"{release:04} - {title} {region}", "+Anima", {}, "", "+Anima"},
        {"{release:04} - {title} {region}", "~Kira Kira~", 12, "", "0012 - ~Kira Kira~"},
        {"[{region}] {title}", "[Prototype] Gear", {}, "", "[Prototype] Gear"},
        {"{title} {release:>6}", "Tour", 7, "", "Tour      7"},
        {"{release:<4}|{title}", "Tour", 7, "", "7   |Tour"},
        {"{title}  ({region})  {release}", "Tour", 3, "", "Tour  3"},
    };
    for (const Case& c : cases) {
        NameFields fields;
        fields.texts[IndexOf(Field::kTitle)] = c.title;
        if (*c.region != '\0') fields.texts[IndexOf(Field::kRegion)] = c.region;
        fields.release = c.release;
        EXPECT_EQ(Pattern(c.pattern).Format(fields), c.name) << c.pattern << " " << c.title;
    }
}

TEST(NamePattern, PatternsThatCannotNameRomsApartAreRefused) {
    const std::pair<const char*, const char*> refused[] = {
        {"", "it is empty"},
        {"{}", "not by position"},
        {"{0} {title}", "not by position"},
        {"{:>6}", "not by position"},
        {".", "names no field"},
        {"{{title}}", "names no field"},
        {"{title} {colour}", "argument not found"},
        // fmt's own reasons.
        {"{release:.3}", "precision not allowed"},
        {"{title", "missing '}'"},
        {"{title:d}", "invalid type specifier"},
        // A folder without a name, or a name without a folder.
        {"{region}//{title}", "each needs a name"},
        {"/{title}", "each needs a name"},
        {"{title}/", "each needs a name"},
    };
    for (const auto& [pattern, why] : refused) {
        const Result<NamePattern> parsed = NamePattern::Parse(pattern);
        ASSERT_FALSE(parsed.Ok()) << pattern << " was taken";
        const Failure& failure = parsed.Why();
        EXPECT_EQ(failure.kind, FailureKind::kWrongUsage);
        EXPECT_TRUE(
            failure.message.starts_with("the pattern \"" + std::string(pattern) + "\" cannot"))
            << failure.message;
        EXPECT_NE(failure.message.find(why), std::string::npos) << failure.message;
    }
    for (const char* taken : {"{crc}", "{name}", "{{{title}}}"}) {
        EXPECT_TRUE(NamePattern::Parse(taken).Ok()) << taken;
    }
}

TEST(NamePattern, RegionsAreBracketedInNames) {
    const std::pair<const char*, const char*> regions[] = {
        {"Norway", "(Norway)"}, {"USA Brazil", "(USA Brazil)"}, {"(U)", "(U)"}, {"(EUJ)", "(EUJ)"}};
    for (const auto& [label, inName] : regions) EXPECT_EQ(RegionInName(label), inName);
}

// Line breaks and tabs in a value are the list's layout: one space, and none at either end.
TEST(NamePattern, ValuesBecomeOneLineOfUtf8) {
    const ValueEncoding shiftJis{TextEncoding::kShiftJis, ""};
    EXPECT_EQ(NameTextFromValue("\n  \x90\xAF\x8B\xFB\tA\r\n  B  C\x1F\x1E\t ", shiftJis),
              "星屑 A B  C__");
}

// Too long a name loses the end of its title, never what the pattern puts after it.
TEST(NamePattern, LongNamesAreShortenedInTheTitleKeepingTheRegion) {
    [[maybe_unused]] const std::size_t limit = 255;  // bytes; qbt.exe counts UTF-16 units
    NameFields fields;
    fields.release = 1507;
    std::string title;
    for (int copy = 0; copy < 84; ++copy) title += "\xE9\x95\xB7";  // 長, 3 bytes (1 UTF-16 unit)
    fields.texts[IndexOf(Field::kTitle)] = title;
    fields.texts[IndexOf(Field::kRegion)] = "(EUJ)";
    fields.texts[IndexOf(Field::kPublisher)] = std::string(40, 'p');
    const NamePattern pattern = Pattern("{release} - {title} {region}");
    const std::string name = pattern.FileName(fields, ".GBA");
    EXPECT_TRUE(name.starts_with("1507 - \xE9\x95\xB7")) << name;
    EXPECT_TRUE(name.ends_with("\xE9\x95\xB7 (EUJ).GBA")) << name;
#ifndef _WIN32
    EXPECT_GT(name.size(), limit - 3) << "as much of the title as fits";
    EXPECT_LE(name.size(), limit);
#endif
    // When the title is down to a character, the longest other field gives way.
    const NamePattern wide = Pattern("{title} {publisher} {region}");
    fields.texts[IndexOf(Field::kPublisher)] = std::string(300, 'p');
    const std::string both = wide.FileName(fields, ".GBA");
    EXPECT_TRUE(both.starts_with("\xE9\x95\xB7 ppp")) << both;
    EXPECT_TRUE(both.ends_with("p (EUJ).GBA")) << both;
#ifndef _WIN32
    EXPECT_EQ(both.size(), limit);
#endif
    // A name that fits is the pattern's, untouched.
    fields.texts[IndexOf(Field::kTitle)] = "Short";
    EXPECT_EQ(pattern.FileName(fields, ".gba"), "1507 - Short (EUJ).gba");
}

// Only a / the pattern writes makes a folder, not one of a value or a fill; folder names are
// made safe as names are, never "." or "..", and a folder its fields leave empty is left out.
TEST(NamePattern, ASlashWrittenInThePatternMakesFolders) {
    NameFields fields = BareGame();
    fields.texts[IndexOf(Field::kTitle)] = "A/B";
    fields.texts[IndexOf(Field::kRegion)] = "(E)";
    const NamePattern sorted = Pattern("{region}/{title}");
    EXPECT_TRUE(sorted.MakesFolders());
    EXPECT_EQ(sorted.FileName(fields, ".gba"), "(E)/A_B.gba");
    EXPECT_EQ(Pattern("{title:/>5}").FileName(fields, ".gba"), "__A_B.gba");
    EXPECT_EQ(Pattern("{{/}}{title}").FileName(fields, ".gba"), "{/}A_B.gba");
    EXPECT_EQ(Pattern("{publisher}/{region} {save}/{title}").FileName(fields, ".gba"),
              "(E) SRAM/A_B.gba");
    for (const char* dots : {".", "..", "...", " .. "}) {
        fields.texts[IndexOf(Field::kRegion)] = dots;
        const std::string name = sorted.FileName(fields, ".gba");
        EXPECT_TRUE(name.ends_with("A_B.gba")) << name;
        EXPECT_EQ(name.find('.'), name.find(".gba")) << name;
    }
    fields.texts[IndexOf(Field::kRegion)] = std::string(300, 'r');
    const std::string deep = sorted.FileName(fields, ".gba");
    EXPECT_EQ(deep.find('/'), 255u) << "a folder's name is cut as a file's";
}

// Sorted once, a ROM stays in its folders when sorted again; only all of them say so.
TEST(NamePattern, FoldersAROMLiesInAlreadyAreNotMadeAgain) {
    EXPECT_EQ(BelowFoldersAlreadyThere("/roms/(u)/sega/a.gba", "(U)/Sega/A.gba"), "A.gba");
    EXPECT_EQ(BelowFoldersAlreadyThere("/roms/(U)/a.gba", "(E)/A.gba"), "(E)/A.gba");
    EXPECT_EQ(BelowFoldersAlreadyThere("/roms/Sega/a.gba", "(U)/Sega/A.gba"), "(U)/Sega/A.gba");
    EXPECT_EQ(BelowFoldersAlreadyThere("/(U)/a.gba", "A.gba"), "A.gba");
}

}  // namespace
