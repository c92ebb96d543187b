#include "core/bridge/movie_text.h"

#include <gtest/gtest.h>

#include "core/platform/text.h"
#include "support/test_support.h"

namespace {

std::string Gbk(const std::u16string& text) {
    return platform::FromUtf16(text, "GB18030");
}

}  // namespace

TEST(MovieText, KindsByName) {
    EXPECT_EQ(KindOfMovieFile(u"pages\\Page2.SWF"), MovieFileKind::Bytes);
    EXPECT_EQ(KindOfMovieFile(u"a/b.Mp3"), MovieFileKind::Bytes);
    EXPECT_EQ(KindOfMovieFile(u"图片/说明.XML"), MovieFileKind::Text);
    EXPECT_EQ(KindOfMovieFile(u"style.css"), MovieFileKind::Text);
    EXPECT_EQ(KindOfMovieFile(u"answer.asp"), MovieFileKind::Text);
    EXPECT_EQ(KindOfMovieFile(u"data/list.dat"), MovieFileKind::Unknown);
    EXPECT_EQ(KindOfMovieFile(u"dir.txt/noext"), MovieFileKind::Unknown);
}

// What the engine is handed for each kind of file a movie loads.
TEST(MovieText, GbkTextIsHandedOverAsUtf8AndEverythingElseAsItIs) {
    const std::string chinese = "编者㐀";  // the last is GB18030-only, four bytes there
    std::string binary = Gbk(u"编者");
    binary += std::string("\0\x01\x80\xFF", 4);
    const struct {
        const char* what;
        std::string bytes;
        MovieFileKind kind;
        std::optional<std::string> served;
    } cases[] = {
        {"GBK text", Gbk(u"v=编者"), MovieFileKind::Text, "v=编者"},
        {"GB18030-only text", Gbk(u"<a>编者㐀</a>"), MovieFileKind::Text, "<a>" + chinese + "</a>"},
        {"GBK in a file of no known kind", Gbk(u"编者\r\n"), MovieFileKind::Unknown, "编者\r\n"},
        {"UTF-8", "v=" + chinese, MovieFileKind::Text, std::nullopt},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + chinese, MovieFileKind::Text, std::nullopt},
        {"UTF-16 with its mark", std::string("\xFF\xFE\x16\x7F", 4), MovieFileKind::Text,
         std::nullopt},
        {"ASCII", "a=1&b=2", MovieFileKind::Text, std::nullopt},
        {"a movie", Gbk(u"编者"), MovieFileKind::Bytes, std::nullopt},
        {"binary of no known kind", binary, MovieFileKind::Unknown, std::nullopt},
        {"text the code page does not decode", "\x81", MovieFileKind::Text, std::nullopt},
        {"empty", "", MovieFileKind::Text, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MovieTextAsUtf8(c.bytes, c.kind, "GB18030"), c.served) << c.what;
    // Issues from elsewhere name their own code page.
    EXPECT_EQ(MovieTextAsUtf8("caf\xE9", MovieFileKind::Text, "WINDOWS-1252"), "café");
    test::ScopedEnv big5("PLAYER_CODEPAGE", "BIG5");
    EXPECT_EQ(MovieCodePage(), "BIG5");
}
