#include "core/package/window_config.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

std::u16string Write(const test::TempDir& dir, const std::string& xml) {
    test::WriteFile(dir / "config.xml", xml);
    return test::U16(dir / "config.xml");
}

}  // namespace

TEST(LoadingConfig, ReadsSizeOnlyWhenShown) {
    test::TempDir dir;
    auto c = ReadLoadingConfig(
        Write(dir, "<MSG><Wnd bShowLoading='True' LoadX='431' LoadY='168'/></MSG>"));
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->showLoading);
    EXPECT_EQ(c->loadX, 431);
    EXPECT_EQ(c->loadY, 168);
    c = ReadLoadingConfig(Write(dir, "<MSG><Wnd bShowLoading='1' LoadX='431'/></MSG>"));
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->showLoading);
    EXPECT_EQ(c->loadX, 0);
}

TEST(LoadingConfig, NoSettingsWithoutMsgOrWnd) {
    test::TempDir dir;
    EXPECT_FALSE(ReadLoadingConfig(Write(dir, "<CFG><Wnd bShowLoading='TRUE'/></CFG>")));
    EXPECT_FALSE(ReadLoadingConfig(Write(dir, "<MSG><Other/></MSG>")));
    EXPECT_FALSE(ReadLoadingConfig(Write(dir, "<MSG><Wnd")));
    EXPECT_FALSE(ReadLoadingConfig(test::U16(dir / "missing.xml")));
}

TEST(MainWindowConfig, ParsesEveryAttribute) {
    test::TempDir dir;
    auto c = ReadMainWindowConfig(
        Write(dir,
              "<MSG><!-- x --> <Wnd Width='1024' Height='768' Title='杂志 Vol.1' Bfull='untrue' "
              "bShowTitle='TRUE' TBKbmp='title.bmp' Extra='ignored'/><Wnd Width='1'/></MSG>"));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->width, 1024);
    EXPECT_EQ(c->height, 768);
    EXPECT_EQ(c->title, u"杂志 Vol.1");
    EXPECT_TRUE(c->fullScreen);  // "untrue" contains "true"
    EXPECT_TRUE(c->showTitle);
    EXPECT_EQ(c->titleBitmap, u"title.bmp");  // resolved (or not) by the window
}

TEST(MainWindowConfig, EmptyValuesKeepDefaultsAndOddValuesParseLeniently) {
    test::TempDir dir;
    auto c =
        ReadMainWindowConfig(Write(dir, "<MSG><Wnd Width='' Height='abc' Bfull='yes'/></MSG>"));
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->width);   // empty: keep the current width
    EXPECT_EQ(c->height, 0);  // abc: 0
    EXPECT_FALSE(c->fullScreen);
    EXPECT_FALSE(c->showTitle);  // missing under an existing Wnd: no strip
    EXPECT_EQ(c->title, u"");
    c = ReadMainWindowConfig(Write(dir, "<MSG><Wnd bShowTitle='true'/></MSG>"));
    EXPECT_TRUE(c->showTitle);
    EXPECT_FALSE(ReadMainWindowConfig(Write(dir, "<MSG/>")));  // no Wnd: caller keeps its defaults
}

TEST(LoadingConfig, WindowIsCentredWithTruncatedHalves) {
    EXPECT_EQ(LoadingWindowRect(1024, 768, 431, 168), (WindowRect{297, 300, 728, 468}));
    EXPECT_EQ(LoadingWindowRect(1024, 768, 0, 0), (WindowRect{512, 384, 512, 384}));
}
