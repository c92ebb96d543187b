#include "core/xml/xml_document.h"

#include <gtest/gtest.h>

#include "core/platform/text.h"
#include "support/test_support.h"

TEST(XmlDocument, WalksAFileListWithChineseNames) {
    test::TempDir dir;
    test::WriteFile(dir / "list.xml",
                    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<FileList>"
                    "<File name=\"封面.swf\" size=\"10\"/><!-- c --> text "
                    "<Other/><File name=\"b\\目录\\x.xml\" size=\"\"/></FileList>\r\n");
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(test::U16(dir / "list.xml")));
    ASSERT_TRUE(doc.FindElement(u"FileList"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(u"File"));
    EXPECT_EQ(doc.GetAttribute(u"name"), u"封面.swf");
    EXPECT_EQ(doc.GetAttribute(u"size"), u"10");
    ASSERT_TRUE(doc.FindElement(u"File"));
    EXPECT_EQ(doc.GetAttribute(u"name"), u"b\\目录\\x.xml");
    EXPECT_EQ(doc.GetAttribute(u"size"), u"");     // present but empty
    EXPECT_EQ(doc.GetAttribute(u"missing"), u"");  // absent
    EXPECT_FALSE(doc.FindElement(u"File"));
    // A failed search leaves the position where it was.
    EXPECT_EQ(doc.GetAttribute(u"name"), u"b\\目录\\x.xml");
}

TEST(XmlDocument, NamesAreCaseSensitiveAndEmptyMatchesAny) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadText(u"<MSG><wnd a='1'/><Wnd a='2'/></MSG>"));
    EXPECT_FALSE(doc.FindElement(u"msg"));
    ASSERT_TRUE(doc.FindElement(u"MSG"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(u"Wnd"));
    EXPECT_EQ(doc.GetAttribute(u"a"), u"2");
    XmlDocument any;
    ASSERT_TRUE(any.LoadText(u"<root><x/><y/></root>"));
    ASSERT_TRUE(any.FindElement());
    ASSERT_TRUE(any.EnterElement());
    ASSERT_TRUE(any.FindElement(u""));
    ASSERT_TRUE(any.FindElement(u""));
    EXPECT_FALSE(any.FindElement(u""));
}

TEST(XmlDocument, TopLevelElementOfAnotherNameIsNotFound) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadText(u"<CONFIG><Wnd/></CONFIG>"));
    EXPECT_FALSE(doc.FindElement(u"MSG"));
}

TEST(XmlDocument, EmptyTextGivesAnEmptyDocument) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadText(u"<a/>"));
    EXPECT_TRUE(doc.LoadText(u""));
    EXPECT_FALSE(doc.FindElement(u""));
    EXPECT_FALSE(doc.EnterElement());
    EXPECT_EQ(doc.GetText(), u"");
    EXPECT_EQ(doc.GetAttribute(u"x"), u"");
}

TEST(XmlDocument, MalformedInputLeavesAnEmptyDocument) {
    XmlDocument doc;
    EXPECT_FALSE(doc.LoadText(u"<invoke name='x'><arguments>"));
    EXPECT_FALSE(doc.FindElement(u"invoke"));
    EXPECT_FALSE(doc.LoadFile(u"/nonexistent/file.xml"));
    EXPECT_FALSE(doc.FindElement(u""));
}

TEST(XmlDocument, TextOfElements) {
    XmlDocument doc;
    ASSERT_TRUE(
        doc.LoadText(u"<a><s>one <b>two</b> three</s><e/><c><![CDATA[x<y]]></c>"
                     u"<n>  \r\n</n><ent>a&amp;b&lt;</ent></a>"));
    ASSERT_TRUE(doc.FindElement(u"a"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(u"s"));
    EXPECT_EQ(doc.GetText(), u"one two three");
    ASSERT_TRUE(doc.FindElement(u"e"));
    EXPECT_EQ(doc.GetText(), u"");
    ASSERT_TRUE(doc.FindElement(u"c"));
    EXPECT_EQ(doc.GetText(), u"x<y");
    ASSERT_TRUE(doc.FindElement(u"n"));
    EXPECT_EQ(doc.GetText(), u"  \n");  // XML normalises CR LF to LF
    ASSERT_TRUE(doc.FindElement(u"ent"));
    EXPECT_EQ(doc.GetText(), u"a&b<");
}

TEST(XmlDocument, LoadTextIgnoresTheDeclaredEncoding) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadText(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><s>中文</s>"));
    ASSERT_TRUE(doc.FindElement(u"s"));
    EXPECT_EQ(doc.GetText(), u"中文");
}

TEST(XmlDocument, DecodesUtf16AndGbkFiles) {
    test::TempDir dir;
    const std::u16string text =
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><MSG><Wnd Title=\"杂志\"/></MSG>";
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : text) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    test::WriteFile(dir / "u16.xml", utf16);
    test::WriteFile(
        dir / "gbk.xml",
        "<?xml version=\"1.0\" encoding=\"GB2312\"?><MSG><Wnd Title=\"\xD4\xD3\xD6\xBE\"/></MSG>");
    for (const char* name : {"u16.xml", "gbk.xml"}) {
        XmlDocument doc;
        ASSERT_TRUE(doc.LoadFile(test::U16(dir / name))) << name;
        ASSERT_TRUE(doc.FindElement(u"MSG"));
        ASSERT_TRUE(doc.EnterElement());
        ASSERT_TRUE(doc.FindElement(u"Wnd"));
        EXPECT_EQ(doc.GetAttribute(u"Title"), u"杂志") << name;
    }
}

TEST(XmlDocument, NeverLoadsExternalEntities) {
    test::TempDir dir;
    test::WriteFile(dir / "secret.txt", "SECRET");
    XmlDocument doc;
    const std::string xml =
        "<!DOCTYPE a [<!ENTITY x SYSTEM \"file://" + (dir / "secret.txt") + "\">]><a>&x;</a>";
    doc.LoadText(test::U16(xml));
    if (doc.FindElement(u"a")) {
        EXPECT_EQ(doc.GetText().find(u"SECRET"), std::u16string::npos);
    }
    XmlDocument dtd;
    dtd.LoadText(test::U16("<!DOCTYPE a SYSTEM \"http://127.0.0.1:1/x.dtd\"><a/>"));
}

TEST(XmlDocument, EntityExpansionBombFailsOrStaysSmall) {
    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    bomb += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
    for (int i = 2; i <= 9; ++i) {
        bomb += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            bomb += "&lol" + std::to_string(i - 1) + ";";
        bomb += "\">";
    }
    bomb += "]><lolz>&lol9;</lolz>";
    XmlDocument doc;
    doc.LoadText(test::U16(bomb));
    if (doc.FindElement(u"lolz")) {
        EXPECT_LT(doc.GetText().size(), 10'000'000u);
    }
}
