#include "core/platform/ascii_case.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace platform;

TEST(AsciiCase, FoldsOnlyTheAsciiLetters) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase(u"Set_Window", u"sET_wINDOW"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(u"quit", u"quit "));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(u"Ä", u"ä"));  // beyond ASCII, as Windows compares here
    EXPECT_FALSE(EqualsIgnoringAsciiCase(u"@", u"`"));  // neighbours of the letters stay apart
    EXPECT_FALSE(EqualsIgnoringAsciiCase(u"[", u"{"));
    EXPECT_TRUE(ContainsIgnoringAsciiCase(u"xxTrUexx", u"TRUE"));
    EXPECT_TRUE(ContainsIgnoringAsciiCase(u"anything", u""));
    EXPECT_FALSE(ContainsIgnoringAsciiCase(u"TRU", u"TRUE"));
    EXPECT_FALSE(ContainsIgnoringAsciiCase(u"", u"TRUE"));
}

// Keys are listed as regedit lists them: letters by their capitals, so "_"
// (between the capitals and the small letters) sorts after every letter.
TEST(AsciiCase, OrdersByCapitals) {
    std::vector<std::u16string> keys = {u"b", u"_x", u"A", u"a2", u"B1"};
    std::sort(keys.begin(), keys.end(), LessIgnoringAsciiCase);
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"A", u"a2", u"b", u"B1", u"_x"}));
    EXPECT_FALSE(LessIgnoringAsciiCase(u"abc", u"ABC"));
    EXPECT_FALSE(LessIgnoringAsciiCase(u"ABC", u"abc"));
}
