#include "core/search/regex.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

void PrintTo(const RegexInstruction& i, std::ostream* os) {
    *os << "{" << i.kind << "," << i.operand << "}";
}

namespace {

bool Matches(std::u16string_view pattern, std::u16string_view text, bool caseSensitive = true) {
    Regex re;
    EXPECT_EQ(re.Parse(pattern, caseSensitive), RegexOk)
        << std::string(pattern.begin(), pattern.end());
    RegexMatchContext ctx(4);
    return re.Match(text, &ctx);
}

RegexError ErrorOf(std::u16string_view pattern) {
    Regex re;
    return re.Parse(pattern, true);
}

using P = std::vector<RegexInstruction>;

// The program of a pattern without its first and last instructions (OpCall 2 ... OpMatch).
P Body(std::u16string_view pattern) {
    Regex re;
    EXPECT_EQ(re.Parse(pattern, true), RegexOk);
    P p = re.Program();
    EXPECT_GE(p.size(), 3u);
    EXPECT_EQ(p.front(), (RegexInstruction{OpCall, 2}));
    EXPECT_EQ(p.back(), (RegexInstruction{OpMatch, 0}));
    return P(p.begin() + 1, p.end() - 1);
}

}  // namespace

TEST(RegexSyntax, BarSeparatesSingleRepeatExpressions) {
    EXPECT_TRUE(Matches(u"ab|cd", u"abd"));
    EXPECT_TRUE(Matches(u"ab|cd", u"acd"));
    EXPECT_FALSE(Matches(u"ab|cd", u"ab"));
    EXPECT_TRUE(Matches(u"(ab)|(cd)", u"ab"));
    EXPECT_TRUE(Matches(u"(ab)|(cd)", u"xcd"));
    EXPECT_TRUE(Matches(u"a|b|c", u"c"));
}

TEST(RegexSyntax, AnchorsAndStartPositions) {
    EXPECT_FALSE(Matches(u"x*$", u"abc"));  // the end of a non-empty text is never a start
    EXPECT_TRUE(Matches(u"c$", u"abc"));
    EXPECT_TRUE(Matches(u"$", u""));
    EXPECT_FALSE(Matches(u"$", u"a"));
    EXPECT_TRUE(Matches(u"a^", u"a^"));  // ^ anchors only as the first character
    EXPECT_TRUE(Matches(u"^ab", u"abc"));
    EXPECT_FALSE(Matches(u"^bc", u"abc"));
    EXPECT_TRUE(Matches(u"a$b", u"xa$b"));  // $ elsewhere is literal
    EXPECT_TRUE(Matches(u"", u""));
    EXPECT_TRUE(Matches(u"", u"abc"));
    EXPECT_TRUE(Matches(u"^", u""));
    EXPECT_TRUE(Matches(u"^", u"abc"));
}

TEST(RegexSyntax, EmptyRightSideAndLiteralBar) {
    Regex re;
    ASSERT_EQ(re.Parse(u"a|", true), RegexOk);
    EXPECT_EQ(re.Program(), (P{{OpCall, 2}, {OpNextStart, 0}, {OpMatch, 0}}));
    EXPECT_TRUE(Matches(u"a|", u"zzz"));
    EXPECT_TRUE(Matches(u"(a|)b", u"b"));
    EXPECT_TRUE(Matches(u"|x", u"a|x"));
    EXPECT_FALSE(Matches(u"|x", u"ax"));
}

TEST(RegexSyntax, TrailingTextAfterACloserIsIgnored) {
    Regex a, b;
    ASSERT_EQ(a.Parse(u"ab)cd", true), RegexOk);
    ASSERT_EQ(b.Parse(u"ab", true), RegexOk);
    EXPECT_EQ(a.Program(), b.Program());
    EXPECT_TRUE(Matches(u"ab]x", u"ab"));
}

// Every form that may match nothing is known so in every enclosing construct,
// so that repeating it is refused rather than looping.
TEST(RegexSyntax, RepeatingWhatMayBeEmptyIsRefusedEverywhere) {
    for (const char16_t* p : {u"(a+?)*", u"(a+?)+", u"{a+?}*", u"{a|}*", u"{a|}+", u"(a|)*",
                              u"({a*?})*", u"(!a*)*", u"(b|{c??})+"}) {
        SCOPED_TRACE(test::U8(p));
        EXPECT_EQ(ErrorOf(p), RegexInvalidRepeator);
    }
    EXPECT_EQ(ErrorOf(u"(a+)*"), RegexOk);  // X+ is as empty as X
    EXPECT_EQ(ErrorOf(u"{a|b}*"), RegexOk);
}

TEST(RegexSyntax, Quantifiers) {
    EXPECT_EQ(ErrorOf(u"(a*)*"), RegexInvalidRepeator);
    EXPECT_EQ(ErrorOf(u"(a?)+"), RegexInvalidRepeator);
    EXPECT_EQ(ErrorOf(u"(a*)*?"), RegexInvalidRepeator);
    EXPECT_EQ(ErrorOf(u"(a*)?"), RegexOk);
    EXPECT_EQ(ErrorOf(u"(a*)??"), RegexOk);
    EXPECT_EQ(ErrorOf(u"()*"), RegexOk);  // an empty group leaves the flag clear
    EXPECT_TRUE(Matches(u"(ab)??c", u"c"));
    EXPECT_TRUE(Matches(u"(ab)??c", u"abc"));
    EXPECT_TRUE(Matches(u"a**", u"aaa*"));  // a* then a literal star
    EXPECT_FALSE(Matches(u"^a**$", u"aaa"));
    EXPECT_TRUE(Matches(u"^a+b$", u"aab"));
    EXPECT_FALSE(Matches(u"^a+b$", u"b"));
    EXPECT_TRUE(Matches(u"*a", u"x*a"));  // a quantifier where no atom precedes it is literal
    EXPECT_TRUE(Matches(u"^.*?x$", u"abx"));
}

TEST(RegexSyntax, GreedyAndLazyGroupsCaptureDifferently) {
    Regex re;
    RegexMatchContext ctx;
    ASSERT_EQ(re.Parse(u"{a*}", true), RegexOk);
    ASSERT_TRUE(re.Match(u"aaab", &ctx));
    EXPECT_EQ(ctx.groups[0], std::make_pair(0u, 3u));
    ASSERT_EQ(re.Parse(u"{a*?}b", true), RegexOk);
    ASSERT_TRUE(re.Match(u"aaab", &ctx));
    EXPECT_EQ(ctx.groups[0], std::make_pair(0u, 3u));
    ASSERT_EQ(re.Parse(u"{a+?}", true), RegexOk);
    ASSERT_TRUE(re.Match(u"aaab", &ctx));
    EXPECT_EQ(ctx.groups[0], std::make_pair(0u, 1u));
    EXPECT_EQ(ctx.matchStart, 0u);
}

TEST(RegexSyntax, LeftmostNotLongest) {
    Regex re;
    RegexMatchContext ctx;
    uint32_t end = 0;
    ASSERT_EQ(re.Parse(u"{(a)|(ab)}", true), RegexOk);
    ASSERT_TRUE(re.Match(u"xab", &ctx, &end));
    EXPECT_EQ(ctx.matchStart, 1u);
    EXPECT_EQ(ctx.groups[0], std::make_pair(1u, 2u));
    EXPECT_EQ(end, 2u);
}

TEST(RegexSets, ItemsRangesAndErrors) {
    EXPECT_TRUE(Matches(u"[\\t]", u"\t"));
    EXPECT_FALSE(Matches(u"[\\t]", u"t"));
    EXPECT_TRUE(Matches(u"\\t", u"t"));
    EXPECT_TRUE(Matches(u"[-a]", u"-"));
    EXPECT_TRUE(Matches(u"[a-c]", u"b"));
    EXPECT_FALSE(Matches(u"[^a-c]", u"b"));
    EXPECT_TRUE(Matches(u"[^a-c]", u"d"));
    EXPECT_TRUE(Matches(u"[\\]]", u"]"));
    EXPECT_TRUE(Matches(u"[dq]", u"q"));  // abbreviation letters are plain inside a set
    EXPECT_FALSE(Matches(u"[\\d]", u"5"));
    EXPECT_FALSE(Matches(u"[a]", u""));
    EXPECT_FALSE(Matches(u"[^a]", u""));
    EXPECT_EQ(ErrorOf(u"[]"), RegexEmptyRange);
    EXPECT_EQ(ErrorOf(u"[^]"), RegexEmptyRange);
    EXPECT_EQ(ErrorOf(u"[a-]"), RegexBracketExpected);
    EXPECT_EQ(ErrorOf(u"[a"), RegexBracketExpected);
    EXPECT_EQ(ErrorOf(u"[a-"), RegexBracketExpected);
    EXPECT_EQ(ErrorOf(u"[z-a]"), RegexInvalidRange);
    EXPECT_EQ(ErrorOf(u"[ab\\"), RegexBracketExpected);  // a lone backslash inside a set
}

TEST(RegexEscapes, LoneTrailingBackslashIsLiteral) {
    EXPECT_TRUE(Matches(u"a\\", u"a\\"));
    EXPECT_FALSE(Matches(u"a\\", u"a"));
    EXPECT_TRUE(Matches(u"\\.", u"."));
    EXPECT_FALSE(Matches(u"\\.", u"x"));
    EXPECT_TRUE(Matches(u"\\\\", u"\\"));
}

TEST(RegexEscapes, Abbreviations) {
    EXPECT_TRUE(Matches(u"^\\b$", u" "));
    EXPECT_TRUE(Matches(u"^\\b$", u"\t"));
    EXPECT_TRUE(Matches(u"\\q", u"say \"x\" now"));
    EXPECT_FALSE(Matches(u"\\q", u"say 'x' now"));  // only the double-quoted form is compiled
    EXPECT_TRUE(Matches(u"^\\d\\d$", u"42"));
    EXPECT_TRUE(Matches(u"^\\z$", u"12345"));
    EXPECT_TRUE(Matches(u"^\\w$", u"abcXYZ"));
    EXPECT_FALSE(Matches(u"^\\w$", u"ab1"));
    EXPECT_TRUE(Matches(u"^\\h+$", u"0fA9"));
    EXPECT_TRUE(Matches(u"^\\a\\c$", u"7x"));
    EXPECT_TRUE(Matches(u"a\\nb", u"a\r\nb"));
    EXPECT_TRUE(Matches(u"a\\nb", u"a\rb"));
    EXPECT_TRUE(Matches(u"a\\nb", u"a\nb"));
    EXPECT_TRUE(Matches(u"\\D", u"D"));           // case-sensitive: \D is a literal D
    EXPECT_TRUE(Matches(u"^\\D$", u"7", false));  // folded: \D acts as \d
    EXPECT_EQ(ErrorOf(u"\\d*"), RegexOk);
    EXPECT_EQ(ErrorOf(u"(\\d*)*"), RegexInvalidRepeator);
}

TEST(RegexGroups, BackReferences) {
    EXPECT_TRUE(Matches(u"{a}\\0", u"aa"));
    EXPECT_FALSE(Matches(u"^{a}\\0$", u"ab"));
    EXPECT_EQ(ErrorOf(u"\\0{a}"), RegexInvalidGroup);
    EXPECT_EQ(ErrorOf(u"{a}\\1"), RegexInvalidGroup);
    EXPECT_EQ(ErrorOf(u"{a"), RegexBraceExpected);
    EXPECT_EQ(ErrorOf(u"(a"), RegexParenExpected);
    EXPECT_TRUE(Matches(u"^{[a-z]+}-\\0$", u"abc-ABC", false));  // folded back-reference
    EXPECT_FALSE(Matches(u"^{[a-z]+}-\\0$", u"abc-ABC", true));
    EXPECT_TRUE(Matches(u"^{x*}y\\0$", u"y"));  // an empty capture refers to nothing
}

TEST(RegexGroups, NegativeLookAhead) {
    EXPECT_TRUE(Matches(u"^!ab", u"b"));
    EXPECT_FALSE(Matches(u"^!ab", u"a"));
    EXPECT_TRUE(Matches(u"^!(tmp).*$", u"data.txt"));
    EXPECT_FALSE(Matches(u"^!(tmp).*$", u"tmpfile"));
}

TEST(RegexCase, OnlyAsciiLettersFold) {
    EXPECT_TRUE(Matches(u"ABC", u"xabcx", false));
    EXPECT_TRUE(Matches(u"abc", u"xABCx", false));
    EXPECT_FALSE(Matches(u"ABC", u"xabcx", true));
    EXPECT_FALSE(Matches(u"Ä", u"ä", false));
    EXPECT_TRUE(Matches(u"[A-C]", u"b", false));
    Regex re;
    RegexMatchContext ctx;
    ASSERT_EQ(re.Parse(u"{B+}", false), RegexOk);
    ASSERT_TRUE(re.Match(u"aBbB", &ctx));
    EXPECT_EQ(ctx.groups[0], std::make_pair(1u, 4u));  // positions in the caller's text
}

TEST(RegexApi, NullInputsAndReuse) {
    Regex re;
    ASSERT_EQ(re.Parse(u"abc", true), RegexOk);
    const P before = re.Program();
    EXPECT_EQ(re.Parse(static_cast<const char16_t*>(nullptr), true), RegexInvalidInput);
    EXPECT_EQ(re.Program(), before);  // the previous program stays
    EXPECT_FALSE(re.Match(u"abc", nullptr));
    EXPECT_EQ(re.Parse(u"(x", true), RegexParenExpected);
    RegexMatchContext ctx;
    EXPECT_FALSE(re.Match(u"x", &ctx));  // a failed compilation is never run
    EXPECT_STREQ(RegexErrorText(9), "Invalid repeator");
    EXPECT_STREQ(RegexErrorText(11), "Unknown error");
    EXPECT_STREQ(RegexErrorText(-1), "Unknown error");
}

// A match that backtracks without end stops at its step budget, and says that it
// gave up rather than found no match; the next match starts afresh.
TEST(RegexLimits, PathologicalBacktrackingGivesUpAtTheBudget) {
    Regex re;
    ASSERT_EQ(re.Parse(u"a*a*b", true), RegexOk);
    re.SetStepBudget(100'000);
    RegexMatchContext ctx(256);
    EXPECT_FALSE(re.Match(std::u16string(400, u'a'), &ctx));
    EXPECT_TRUE(ctx.gaveUp);
    EXPECT_FALSE(re.Match(u"aac", &ctx));
    EXPECT_FALSE(ctx.gaveUp);
    EXPECT_TRUE(re.Match(u"aab", &ctx));
    EXPECT_FALSE(ctx.gaveUp);
}

TEST(RegexLimits, DeepNestingFailsCleanly) {
    const std::u16string deep = std::u16string(5000, u'(') + u"a" + std::u16string(5000, u')');
    EXPECT_EQ(ErrorOf(deep), RegexOutOfMemory);
    const std::u16string ok = std::u16string(200, u'(') + u"a" + std::u16string(200, u')');
    EXPECT_TRUE(Matches(ok, u"a"));
    // `+` copies its operand: nesting doubles the program until the size limit refuses it.
    std::u16string plus = u"a";
    for (int i = 0; i < 40; ++i)
        plus = u"(" + plus + u")+";
    EXPECT_EQ(ErrorOf(plus), RegexOutOfMemory);
}

TEST(RegexLimits, StackGrowsFromATinyStart) {
    Regex re;
    ASSERT_EQ(re.Parse(u"^(a|b)*$", true), RegexOk);
    RegexMatchContext ctx(2);
    EXPECT_TRUE(re.Match(std::u16string(200, u'a') + u"b", &ctx));
    EXPECT_GT(ctx.stack.size(), 200u);
}

// The compiled form of each template, pinned instruction by instruction.
TEST(RegexProgram, Templates) {
    EXPECT_EQ(Body(u"a"), (P{{OpNextStart, 0}, {OpChar, 'a'}}));
    Regex anchored;
    ASSERT_EQ(anchored.Parse(u"^a", true), RegexOk);
    EXPECT_EQ(anchored.Program(), (P{{OpCall, 2}, {OpFail, 0}, {OpChar, 'a'}, {OpMatch, 0}}));
    // (X): OpCall a, OpReturn, a: X
    EXPECT_EQ(Body(u"(a)"), (P{{OpNextStart, 0}, {OpCall, 4}, {OpReturn, 0}, {OpChar, 'a'}}));
    EXPECT_EQ(Body(u"()"), (P{{OpNextStart, 0}, {OpCall, 4}, {OpReturn, 0}, {OpNop, 0}}));
    // {X}
    EXPECT_EQ(Body(u"{a}"), (P{{OpNextStart, 0},
                               {OpPushGroup, 0},
                               {OpGroupOpen, 0},
                               {OpCall, 7},
                               {OpPopGroup, 0},
                               {OpReturn, 0},
                               {OpChar, 'a'},
                               {OpGroupClose, 0}}));
    // !X
    EXPECT_EQ(Body(u"!a"), (P{{OpNextStart, 0},
                              {OpSlotFromPos, 0},
                              {OpSlotFromDepth, 1},
                              {OpCall, 8},
                              {OpPosFromSlot, 0},
                              {OpDepthFromSlot, 1},
                              {OpJump, 12},
                              {OpChar, 'a'},
                              {OpPosFromSlot, 0},
                              {OpDepthFromSlot, 1},
                              {OpReturn, 0}}));
    // X|Y
    EXPECT_EQ(Body(u"a|b"), (P{{OpNextStart, 0},
                               {OpSavePos, 0},
                               {OpCall, 6},
                               {OpRestorePos, 0},
                               {OpJump, 8},
                               {OpChar, 'a'},
                               {OpJump, 9},
                               {OpChar, 'b'}}));
    // sets
    EXPECT_EQ(Body(u"[a-cx]"), (P{{OpNextStart, 0},
                                  {OpInSet, 7},
                                  {OpNop, 'a'},
                                  {OpNop, 'c'},
                                  {OpNop, 'x'},
                                  {OpNop, 'x'}}));
    EXPECT_EQ(Body(u"[^a]"), (P{{OpNextStart, 0}, {OpNotInSet, 5}, {OpNop, 'a'}, {OpNop, 'a'}}));
    // X*
    EXPECT_EQ(Body(u"a*"), (P{{OpNextStart, 0},
                              {OpPushSlot, 0},
                              {OpSlotFromPos, 0},
                              {OpSavePos, 0},
                              {OpCall, 9},
                              {OpRestorePos, 0},
                              {OpPopSlot, 0},
                              {OpJump, 13},
                              {OpChar, 'a'},
                              {OpReturnIfNoProgress, 0},
                              {OpSlotFromPos, 0},
                              {OpJump, 2}}));
    // X?: the same without the loop
    EXPECT_EQ(Body(u"a?"), (P{{OpNextStart, 0},
                              {OpPushSlot, 0},
                              {OpSlotFromPos, 0},
                              {OpSavePos, 0},
                              {OpCall, 9},
                              {OpRestorePos, 0},
                              {OpPopSlot, 0},
                              {OpJump, 12},
                              {OpChar, 'a'},
                              {OpReturnIfNoProgress, 0},
                              {OpSlotFromPos, 0}}));
    // X+: X, then the star over a second copy
    EXPECT_EQ(Body(u"a+"), (P{{OpNextStart, 0},
                              {OpChar, 'a'},
                              {OpPushSlot, 0},
                              {OpSlotFromPos, 0},
                              {OpSavePos, 0},
                              {OpCall, 10},
                              {OpRestorePos, 0},
                              {OpPopSlot, 0},
                              {OpJump, 14},
                              {OpChar, 'a'},
                              {OpReturnIfNoProgress, 0},
                              {OpSlotFromPos, 0},
                              {OpJump, 3}}));
    // X*?, X+?, X??
    EXPECT_EQ(Body(u"a*?"), (P{{OpNextStart, 0}, {OpCall, 5}, {OpChar, 'a'}, {OpJump, 2}}));
    EXPECT_EQ(Body(u"a+?"),
              (P{{OpNextStart, 0}, {OpChar, 'a'}, {OpCall, 6}, {OpChar, 'a'}, {OpJump, 3}}));
    EXPECT_EQ(Body(u"a??"), (P{{OpNextStart, 0}, {OpCall, 4}, {OpChar, 'a'}}));
    // $ as the last character matches the terminator
    EXPECT_EQ(Body(u"a$"), (P{{OpNextStart, 0}, {OpChar, 'a'}, {OpChar, 0}}));
}

TEST(RegexProgram, SlotsAndGroupsAcrossCopies) {
    // Slots are taken as the templates would take them when compiled in place:
    // the star's slot first, then its operand's; the second copy of `+` gets new
    // slots but keeps the group numbers.
    Regex re;
    ASSERT_EQ(re.Parse(u"(b*)*?", true), RegexInvalidRepeator);
    ASSERT_EQ(re.Parse(u"{b?}+", true), RegexInvalidRepeator);
    ASSERT_EQ(re.Parse(u"{(bc)?d}+", true), RegexOk);
    EXPECT_EQ(re.GroupCount(), 1u);
    EXPECT_EQ(re.SlotCount(), 3u);  // one inside the first copy, the star's, one in the copy
    ASSERT_EQ(re.Parse(u"(b?c)*", true), RegexOk);
    const P& p = re.Program();
    EXPECT_EQ(p[2], (RegexInstruction{OpPushSlot, 0}));  // the star's slot comes first
    bool innerUsesSlot1 = false;
    for (const auto& ins : p)
        innerUsesSlot1 |= ins.kind == OpReturnIfNoProgress && ins.operand == 1;
    EXPECT_TRUE(innerUsesSlot1);
    RegexMatchContext ctx;
    EXPECT_TRUE(re.Match(u"bcbcc", &ctx));
}
