#include "core/platform/text.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Utf, RoundTripsChineseAndSupplementaryCharacters) {
    const std::string utf8 = "a中文\xF0\x9F\x98\x80z";  // includes U+1F600
    const std::u16string utf16 = Utf8ToUtf16(utf8);
    ASSERT_EQ(utf16.size(), 6u);
    EXPECT_EQ(utf16[1], u'中');
    EXPECT_EQ(utf16[3], 0xD83D);
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xE4\xB8x"), u"\uFFFDx");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Charset, ConvertsToGbkAndBack) {
    EXPECT_EQ(FromUtf16(u"中A", "GBK"),
              "\xD6\xD0"
              "A");
    EXPECT_EQ(ToUtf16("\xD6\xD0"
                      "A",
                      "GBK"),
              u"中A");
}

TEST(Charset, UnrepresentableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(FromUtf16(u"a中b", "ASCII"), "a?b");
    // A supplementary character is one character: one question mark.
    EXPECT_EQ(FromUtf16(u"x\U0001F600y", "GBK"), "x?y");
    EXPECT_EQ(FromUtf16(u"", "UTF-8"), "");
}

TEST(ParseInt, ReadsLeadingDigitsLeniently) {
    EXPECT_EQ(ParseInt(u"  -5px"), -5);
    EXPECT_EQ(ParseInt(u"abc"), 0);
    EXPECT_EQ(ParseInt(u"12.7"), 12);
    EXPECT_EQ(ParseInt(u"+42"), 42);
    EXPECT_EQ(ParseInt(u"\t\n 7"), 7);
    EXPECT_EQ(ParseInt(u"- 5"), 0);
    EXPECT_EQ(ParseInt(u""), 0);
    EXPECT_EQ(ParseInt(u"99999999999999999999"), 2147483647);
    EXPECT_EQ(ParseInt(u"-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseInt(u"-99999999999"), -2147483647 - 1);
}

TEST(TextFile, EncodesExactly) {
    EXPECT_EQ(EncodeTextFile(u"Hi", TextFileEncoding::Unicode),
              std::string("\xFF\xFE\x48\x00\x69\x00", 6));
    EXPECT_EQ(EncodeTextFile(u"Hi", TextFileEncoding::Utf8), "\xEF\xBB\xBF\x48\x69");
    EXPECT_EQ(EncodeTextFile(u"Hi", TextFileEncoding::Ansi), "Hi");
    EXPECT_EQ(EncodeTextFile(u"中", TextFileEncoding::Utf8), "\xEF\xBB\xBF\xE4\xB8\xAD");
    EXPECT_EQ(EncodeTextFile(u"", TextFileEncoding::Unicode), "\xFF\xFE");
}

TEST(Utf16Le, RoundTripsEveryCodeUnitAndDropsAnOddByte) {
    const std::u16string all = {u'\0', u'A',      u'\x00FF', u'\x0100',
                                u'中', u'\xD83D', u'\xDE00', u'\xFFFF'};
    EXPECT_EQ(Utf16LeBytes(u"A中"), std::string("A\0\x2D\x4E", 4));
    EXPECT_EQ(FromUtf16LeBytes(Utf16LeBytes(all)), all);
    EXPECT_EQ(FromUtf16LeBytes(std::string("A\0B", 3)), u"A");
}
