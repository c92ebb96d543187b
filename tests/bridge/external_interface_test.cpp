#include "core/bridge/external_interface.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "core/bridge/pipe_split.h"
#include "support/test_support.h"

namespace {

// A locale whose decimal separator is a comma, made for the test, in force for
// the object's life.
class CommaDecimalLocale {
public:
    CommaDecimalLocale() {
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + (m_dir / "de_DE.UTF-8") + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return;
        m_locpath.emplace("LOCPATH", m_dir.path().c_str());
        m_active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~CommaDecimalLocale() { std::setlocale(LC_ALL, "C"); }
    bool Active() const { return m_active && std::localeconv()->decimal_point[0] == ','; }

private:
    test::TempDir m_dir;
    std::optional<test::ScopedEnv> m_locpath;
    bool m_active = false;
};

}  // namespace

// What the Player formats for a movie does not follow the reader's locale.
TEST(ProgressCall, UsesAPointUnderACommaLocale) {
    CommaDecimalLocale locale;
    if (!locale.Active())
        GTEST_SKIP() << "no de_DE locale can be made here";
    EXPECT_EQ(
        ProgressCall(50.5),
        u"<invoke name=\"wmanum\" >  <arguments><string>50.500000</string></arguments></invoke>");
    EXPECT_EQ(ReplyNumber(-1234567), u"<number>-1234567</number>");
}

TEST(InvokeRequest, NeedsInvokeAndArguments) {
    InvokeRequest r;
    EXPECT_TRUE(r.Decode(u"<invoke name=\"brivol_quit\"><arguments/></invoke>"));
    EXPECT_EQ(r.Name(), u"brivol_quit");
    InvokeRequest noArgs;
    EXPECT_FALSE(noArgs.Decode(u"<invoke name=\"brivol_quit\"></invoke>"));
    InvokeRequest broken;
    EXPECT_FALSE(broken.Decode(u"<invoke name=\"x\"><arguments>"));
    InvokeRequest other;
    EXPECT_FALSE(other.Decode(u"<call name=\"x\"><arguments/></call>"));
    InvokeRequest nameless;
    EXPECT_TRUE(nameless.Decode(u"<invoke returntype=\"xml\"><arguments/></invoke>"));
    EXPECT_EQ(nameless.Name(), u"");
}

TEST(InvokeRequest, CursorSearchesForwardAndStaysOnFailure) {
    InvokeRequest r;
    ASSERT_TRUE(
        r.Decode(u"<invoke name=\"x\" returntype=\"xml\"><arguments><number>1</number>"
                 u"<true/><string>s</string><null/><number>2</number></arguments></invoke>"));
    // A string-then-numbers reader gets the string and only the number after it.
    EXPECT_EQ(r.NextString(), u"s");
    EXPECT_EQ(r.NextNumber(), u"2");
    EXPECT_EQ(r.NextNumber(), std::nullopt);
    EXPECT_EQ(r.NextString(), std::nullopt);
    InvokeRequest n;
    ASSERT_TRUE(
        n.Decode(u"<invoke name=\"x\"><arguments><number>1</number><string>a</string>"
                 u"<number>2</number></arguments></invoke>"));
    EXPECT_EQ(n.NextNumber(), u"1");
    EXPECT_EQ(n.NextNumber(), u"2");          // skips the string
    EXPECT_EQ(n.NextString(), std::nullopt);  // searches only forward
    InvokeRequest e;
    ASSERT_TRUE(e.Decode(
        u"<invoke name=\"x\"><arguments><string/><String>X</String></arguments></invoke>"));
    EXPECT_EQ(e.NextString(), u"");           // an empty string argument is still an argument
    EXPECT_EQ(e.NextString(), std::nullopt);  // names are case-sensitive
}

TEST(Replies, ExactTexts) {
    EXPECT_EQ(ReplyString(u"C:\\a&b<c>.txt"), u"<string>C:\\a&b<c>.txt</string>");  // verbatim
    EXPECT_EQ(ReplyNumber(-12), u"<number>-12</number>");
    EXPECT_EQ(ReplyTrue(), u"<true/>");
    EXPECT_EQ(ReplyFalse(), u"<false/>");
    EXPECT_EQ(ReplyArray({u"a", u"b"}),
              u"<array><property id=\"0\"><string>a</string></property>"
              u"<property id=\"1\"><string>b</string></property></array>");
    EXPECT_EQ(ReplyArray({}), u"<array></array>");
}

TEST(InvokeCalls, ExactTextsAndSpacing) {
    EXPECT_EQ(InvokeWithInteger(u"cisonline", 1),
              u"<invoke name=\"cisonline\" > <arguments><string>1</string></arguments></invoke>");
    EXPECT_EQ(InvokeWithString(u"hdgetreg", u"<&>"),
              u"<invoke name=\"hdgetreg\" > <arguments><string><&></string></arguments></invoke>");
    EXPECT_EQ(
        ProgressCall(1.0),
        u"<invoke name=\"wmanum\" >  <arguments><string>1.000000</string></arguments></invoke>");
    EXPECT_EQ(ProgressCall(42.1234567),
              u"<invoke name=\"wmanum\" >  <arguments><string>42.123457"
              u"</string></arguments></invoke>");
}

TEST(PipeSplit, FirstFieldAndRest) {
    EXPECT_EQ(SplitFirst(u"a|b|c"), (std::pair<std::u16string, std::u16string>{u"a", u"b|c"}));
    EXPECT_EQ(SplitFirst(u"abc"), (std::pair<std::u16string, std::u16string>{u"abc", u""}));
    EXPECT_EQ(SplitFirst(u"|x"), (std::pair<std::u16string, std::u16string>{u"", u"x"}));
    EXPECT_EQ(SplitFirst(u""), (std::pair<std::u16string, std::u16string>{u"", u""}));
}
