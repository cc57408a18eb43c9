#include "tools/disk/letter_case.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

// As exFAT and NTFS compare names, in the C locale the test runs in, whose own tables know no
// letter outside ASCII, and without changing it.
TEST(FoldedName, FoldsEveryLetterAsCardsDoWhateverTheProcessLocale) {
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    EXPECT_EQ(FoldedName("ærøskøbing.gba"), FoldedName("ÆRØSKØBING.gba"));
    EXPECT_EQ(FoldedName("ｔｈｅ Ｇａｍｅ"), FoldedName("ＴＨＥ ｇＡＭＥ"));
    EXPECT_EQ(FoldedName("Ωmega ЖУК"), FoldedName("ωMEGA жук"));
    EXPECT_NE(FoldedName("ærø.gba"), FoldedName("aro.gba"));
#ifndef _WIN32
    // Linux names that are not UTF-8 keep their bytes, and so stay apart.
    EXPECT_EQ(FoldedName("caf\xE9"), "CAF\xE9");
    EXPECT_NE(FoldedName("caf\xE9"), FoldedName("caf\xC9"));
#endif
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), locale);
}

}  // namespace
