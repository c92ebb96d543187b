#include "core/bridge/font_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Be16(unsigned v) {
    return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}
std::string Be32(unsigned v) {
    return Be16(v >> 16) + Be16(v & 0xFFFF);
}

// A font with one table, "name", holding one Windows Unicode full name; `at`
// is where the font starts in its file (offsets in a collection are absolute).
std::string FontNamed(const std::u16string& full, unsigned at = 0) {
    std::string text;
    for (char16_t c : full)
        text += Be16(c);
    const unsigned nameAt = at + 12 + 16;
    std::string name = Be16(0) + Be16(1) + Be16(6 + 12) +  // format, count, string offset
                       Be16(3) + Be16(1) + Be16(0x409) + Be16(4) + Be16(text.size()) + Be16(0) +
                       text;
    return Be32(0x00010000) + Be16(1) + Be16(16) + Be16(0) + Be16(0) +  // one table
           "name" + Be32(0) + Be32(nameAt) + Be32(name.size()) + name;
}

}  // namespace

TEST(FontNames, ReadsTheFullNameOfAFontAndOfACollection) {
    const std::string font = FontNamed(u"文泉驿微米黑");
    EXPECT_EQ(UnicodeFullNames(font), std::vector<std::u16string>{u"文泉驿微米黑"});
    const std::string collection =
        "ttcf" + Be32(0x00010000) + Be32(1) + Be32(16) + FontNamed(u"Mono", 16);
    EXPECT_EQ(UnicodeFullNames(collection), std::vector<std::u16string>{u"Mono"});
}

// A damaged font file is read as far as it goes: no name, never an exception
// (the reader runs while the Player starts).
TEST(FontNames, ADamagedFileGivesNoNameAndNoException) {
    const std::string font = FontNamed(u"Face");
    std::string manyTables = font;
    manyTables[4] = '\x7F';  // 32 000 tables claimed in a file of a few dozen bytes
    const std::string cases[] = {
        manyTables,
        font.substr(0, 20),
        font.substr(0, 40),
        "ttcf" + Be32(0x00010000) + Be32(3) + Be32(12 + 12) + Be32(0xFFFFFFF0) + Be32(99999),
        std::string(12, '\xFF'),
    };
    for (const std::string& bytes : cases) {
        std::vector<std::u16string> names;
        EXPECT_NO_THROW(names = UnicodeFullNames(bytes));
        for (const auto& n : names)
            EXPECT_TRUE(n.empty() || n == u"Face");
    }
}
