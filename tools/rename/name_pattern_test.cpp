#include "tools/rename/name_pattern.h"

#include <gtest/gtest.h>

#include "tools/os/errors.h"

namespace {

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
        EXPECT_EQ(NamePattern(pattern).Format(bare), "Bare Title") << pattern;
    }
    EXPECT_EQ(NamePattern("{title} ({region}, {save})").Format(bare), "Bare Title (SRAM)");
    EXPECT_EQ(NamePattern("{save} - {publisher} - {title}").Format(bare), "SRAM - Bare Title");
    EXPECT_EQ(NamePattern("{release} {publisher}").Format(bare), "");

    NameFields made = bare;
    made.release = 12;
    made.texts[IndexOf(Field::kSave)].reset();
    EXPECT_EQ(NamePattern("{release:04} {save}{title}").Format(made), "0012 Bare Title");
}

TEST(NamePattern, FieldsWidthsAndPrecisions) {
    NameFields fields = BareGame();
    fields.release = 7;
    fields.texts[IndexOf(Field::kRegion)] = "(J)";
    EXPECT_EQ(NamePattern("{release:04} - {title} {region}").Format(fields),
              "0007 - Bare Title (J)");
    EXPECT_EQ(NamePattern("{title:.4} {crc} {name}").Format(fields), "Bare B737FB1A bare");
}

TEST(NamePattern, UsesOnlyTheFieldsItNames) {
    const NamePattern pattern("{release:04} - {title} {crc}");
    for (const FieldSpec& field : kFields) {
        const bool expected = field.field == Field::kRelease || field.field == Field::kTitle;
        EXPECT_EQ(pattern.Uses(field.field), expected) << field.patternName;
    }
}

TEST(NamePattern, UnknownFieldsAndBadFormatsAreRefused) {
    for (const char* pattern : {"{title} {colour}", "{release:.3}", "{title", "{title:d}"}) {
        try {
            NamePattern{pattern};
            ADD_FAILURE() << pattern << " was taken";
        } catch (const ToolError& error) {
            EXPECT_EQ(error.exitCode, kExitBadUsage);
            EXPECT_TRUE(
                std::string(error.what()).starts_with("the pattern \"" + std::string(pattern)))
                << error.what();
        }
    }
}

TEST(NamePattern, ValuesBecomeOneLineOfUtf8) {
    const ValueEncoding shiftJis{TextEncoding::kShiftJis};
    EXPECT_EQ(NameTextFromValue("\x90\xAF\x8B\xFB\tA\r\nB\x1F", shiftJis), "星屑 A  B_");
}

}  // namespace
