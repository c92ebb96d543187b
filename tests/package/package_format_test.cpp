#include "package/package_format.h"

#include <gtest/gtest.h>

#include "package_writer.h"
#include "support/test_support.h"
#include "xml/xml_document.h"

namespace {

// A source of a given size that holds only a trailer at its end.
class SparseSource : public ByteSource {
public:
    SparseSource(int64_t size, std::string tail) : m_size(size), m_tail(std::move(tail)) {}
    int64_t Size() const override { return m_size; }
    size_t ReadAt(int64_t offset, void* buffer, size_t n) override {
        auto* out = static_cast<char*>(buffer);
        size_t done = 0;
        for (; done < n && offset + static_cast<int64_t>(done) < m_size; ++done) {
            const int64_t pos = offset + static_cast<int64_t>(done);
            const int64_t tailStart = m_size - static_cast<int64_t>(m_tail.size());
            out[done] = pos >= tailStart ? m_tail[static_cast<size_t>(pos - tailStart)] : 'x';
        }
        return done;
    }

private:
    int64_t m_size;
    std::string m_tail;
};

PackageContents ReadAppended(const std::string& bytes) {
    MemoryByteSource source(bytes);
    const FileListSpan span = LocateAppendedList(source);
    XmlDocument doc;
    doc.LoadBytes(ReadSpan(source, span));
    PackageContents contents;
    EXPECT_TRUE(ReadAppendedEntries(doc, span, contents));
    return contents;
}

}  // namespace

TEST(PackageFormat, LocatesTheFileListOfTheWorkedExample) {
    SparseSource source(5'444'690, BuildAppendedTrailer(11'891));
    const FileListSpan span = LocateAppendedList(source);
    EXPECT_EQ(span.offset, 5'432'759);
    EXPECT_EQ(span.offset + span.length - 1, 5'444'649);
    EXPECT_EQ(span.offset + span.length, 5'444'690 - 40);
}

TEST(PackageFormat, DamagedTrailersGiveAnEmptyList) {
    MemoryByteSource tiny("short");
    EXPECT_EQ(LocateAppendedList(tiny).length, 0);
    const std::string huge = std::string(10, 'x') + BuildAppendedTrailer(1'000'000);
    MemoryByteSource source(huge);
    EXPECT_EQ(LocateAppendedList(source).length, 0);
}

TEST(PackageFormat, AppendedPlacementSkipsEmptyNamesAndSizes) {
    const std::string list =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<FileList>"
        "<File name=\"a\" size=\"3\" startpos=\"4\"/><File name=\"\" size=\"100\"/>"
        "<File name=\"b\" size=\"\"/><File name=\"c\" size=\"2\" startpos=\"999\"/>"
        "<File name=\"neg\" size=\"-5\"/><File name=\"d\" size=\"1\"/></FileList>\r\n";
    const std::string bytes = "EXE_AAACCD" + list + BuildAppendedTrailer(list.size());
    const PackageContents c = ReadAppended(bytes);
    ASSERT_EQ(c.entries.size(), 4u);
    EXPECT_EQ(c.dataStart, 4);
    EXPECT_EQ(c.entries[0].offset, 4);
    EXPECT_EQ(c.entries[1].name, u"c");
    EXPECT_EQ(c.entries[1].offset, 7);  // later startpos ignored, empty entries occupy nothing
    EXPECT_EQ(c.entries[2].size, 0);    // negative size counts as 0
    EXPECT_EQ(c.entries[3].offset, 9);
    EXPECT_EQ(bytes.substr(c.entries[3].offset, 1), "D");
}

TEST(PackageFormat, MissingStartposPlacesTheFirstFileAtZero) {
    const std::string list = "<FileList><File name=\"a\" size=\"2\"/></FileList>";
    const PackageContents c = ReadAppended("AB" + list + BuildAppendedTrailer(list.size()));
    ASSERT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.entries[0].offset, 0);
}

TEST(PackageFormat, NestedPlacementCountsEveryElement) {
    const std::string list =
        "<FileList><File name=\"\" size=\"2\"/><File name=\"x\"/><File name=\"y\" "
        "size=\"1\"/></FileList>";
    const std::string bytes = "ABC" + list + BuildNestedTrailer(list.size());
    MemoryByteSource source(bytes);
    FileListSpan span;
    ASSERT_EQ(LocateNestedList(source, span), NestedListResult::Ok);
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadBytes(ReadSpan(source, span)));
    PackageContents c;
    ASSERT_TRUE(ReadNestedEntries(doc, span, c));
    ASSERT_EQ(c.entries.size(), 3u);
    EXPECT_EQ(c.entries[1].offset, 2);
    EXPECT_EQ(c.entries[1].size, 0);
    EXPECT_EQ(c.entries[2].offset, 2);
    EXPECT_EQ(bytes.substr(2, 1), "C");
}

TEST(PackageFormat, NestedPackageNeedsUpperCaseQk) {
    for (const char* tail : {"qk", "QQ", "", "K"}) {
        const std::string bytes = "<FileList/>" + std::string("\x0B\0\0\0\0", 5) + tail;
        MemoryByteSource source(bytes);
        FileListSpan span;
        EXPECT_EQ(LocateNestedList(source, span), NestedListResult::NotQk) << tail;
    }
}

TEST(PackageFormat, ListWithoutFileListIsRefused) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadText(u"<Files><File name='a' size='1'/></Files>"));
    PackageContents c;
    EXPECT_FALSE(ReadAppendedEntries(doc, {}, c));
    XmlDocument broken;
    EXPECT_FALSE(broken.LoadBytes("not xml at all"));
    EXPECT_FALSE(ReadNestedEntries(broken, {}, c));
}

TEST(PackageFormat, UnsafeNames) {
    for (const char16_t* bad : {u"\\etc\\passwd", u"/etc/passwd", u"C:\\x", u"..\\x",
                                u"a\\..\\..\\x", u"a/../b", u"..", u"sub\\.."}) {
        EXPECT_TRUE(IsUnsafeEntryName(bad)) << test::U8(bad);
    }
    for (const char16_t* good :
         {u"a.swf", u"sub\\a.swf", u"..a", u"a..\\b", u"x.qk", u"目录\\图.jpg"}) {
        EXPECT_FALSE(IsUnsafeEntryName(good)) << test::U8(good);
    }
}

TEST(PackageWriter, ListHasTheAuthoringLayout) {
    const std::string xml = BuildFileListXml({{u"a&b.swf", 3, u"C:\\src\\a&b.swf"}}, 100);
    EXPECT_EQ(xml.substr(0, 40), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n");
    EXPECT_EQ(xml.substr(40, 10), "<FileList>");
    EXPECT_EQ(xml.substr(xml.size() - 13), "</FileList>\r\n");
    EXPECT_NE(xml.find("name=\"a&amp;b.swf\" size=\"3\" startpos=\"100\""), std::string::npos);
    EXPECT_EQ(BuildAppendedTrailer(7).size(), 40u);
    EXPECT_EQ(BuildNestedTrailer(7), std::string("\x07\0\0\0\0QK", 7));
}
