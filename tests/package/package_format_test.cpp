#include "core/package/package_format.h"

#include <gtest/gtest.h>

#include "core/package/package_writer.h"
#include "core/xml/xml_document.h"
#include "support/test_support.h"

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

namespace {

// Writes a package with the writer into a temporary file and returns its bytes.
std::string Written(PackageWriter::Kind kind, const std::string& prefix,
                    const std::vector<std::pair<std::u16string, std::string>>& files) {
    std::FILE* f = std::tmpfile();
    std::fwrite(prefix.data(), 1, prefix.size(), f);
    PackageWriter writer(f, kind, static_cast<int64_t>(prefix.size()));
    for (const auto& [name, data] : files)
        EXPECT_TRUE(writer.AddBytes(name, data));
    EXPECT_TRUE(writer.Finish());
    std::string bytes(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    return bytes;
}

}  // namespace

// What the writer writes, the reader reads back: every name (escaped characters,
// folders, non-ASCII, an empty file) at its offset, in both layouts.
TEST(PackageRoundTrip, WhatIsWrittenReadsBackInBothLayouts) {
    const std::vector<std::pair<std::u16string, std::string>> files = {
        {u"load.swf", "LOAD"}, {u"config.xml", "<MSG/>"},
        {u"a&<b>\".swf", "X"}, {u"sub\\图.jpg", "JPEG!"},
        {u"empty", ""},        {u"last", "Z"}};
    for (const auto kind : {PackageWriter::Kind::Appended, PackageWriter::Kind::Nested}) {
        const bool nested = kind == PackageWriter::Kind::Nested;
        const std::string prefix = nested ? "" : "PLAYER IMAGE";
        const std::string bytes = Written(kind, prefix, files);
        MemoryByteSource source(bytes);
        const PackageReading r = ReadPackage(source, PackageLayout::ByTrailer);
        ASSERT_TRUE(r) << r.message;
        EXPECT_EQ(r.nested, nested);
        EXPECT_EQ(r.contents.dataStart, nested ? 0 : static_cast<int64_t>(prefix.size()));
        EXPECT_EQ(r.trailer.size(), nested ? 7u : 40u);
        ASSERT_EQ(r.contents.entries.size(), files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            const PackageEntry& e = r.contents.entries[i];
            EXPECT_EQ(e.name, files[i].first);
            EXPECT_EQ(bytes.substr(static_cast<size_t>(e.offset), static_cast<size_t>(e.size)),
                      files[i].second)
                << test::U8(e.name);
        }
    }
}

// Each reason a file is no package is told apart, with where it lies.
TEST(PackageRoundTrip, TheReaderSaysWhyAFileIsNoPackage) {
    const auto read = [](const std::string& bytes, PackageLayout layout) {
        MemoryByteSource source(bytes);
        return ReadPackage(source, layout);
    };
    EXPECT_EQ(read("short", PackageLayout::Appended).error, PackageError::TooShort);
    EXPECT_EQ(read(std::string(100, 'x'), PackageLayout::Nested).error, PackageError::NotQk);
    const PackageReading none = read(std::string(100, '\0'), PackageLayout::Appended);
    EXPECT_EQ(none.error, PackageError::NoFileList);
    EXPECT_EQ(none.offset, 60);
    const std::string garbage = "DATAnot xml";
    const PackageReading bad = read(garbage + BuildAppendedTrailer(7), PackageLayout::ByTrailer);
    EXPECT_EQ(bad.error, PackageError::NotXml);
    EXPECT_EQ(bad.offset, 4);
    const std::string other = "<Other/>";
    EXPECT_EQ(read(other + BuildNestedTrailer(8), PackageLayout::ByTrailer).error,
              PackageError::NoFileListElement);
    EXPECT_EQ(ReadPackageFile(u"/no/such/file", PackageLayout::Appended).error,
              PackageError::CannotOpen);
    EXPECT_EQ(ReadPackageFile(u"/dev/null", PackageLayout::Appended).error,
              PackageError::CannotOpen);  // not a regular file: never read
}

// Moving an issue onto another Player rewrites its first startpos and nothing else.
TEST(PackageRoundTrip, TheFirstStartposIsRewrittenByteForByte) {
    std::string list =
        "<?xml version=\"1.0\"?><FileList><File name=\"a\" size=\"1\" "
        "startpos=\"405504\" path=\"x\"/><File name=\"b\" size=\"2\" "
        "startpos=\"405504\"/></FileList>";
    ASSERT_TRUE(SetFirstStartpos(list, 9));
    EXPECT_EQ(list,
              "<?xml version=\"1.0\"?><FileList><File name=\"a\" size=\"1\" "
              "startpos=\"9\" path=\"x\"/><File name=\"b\" size=\"2\" "
              "startpos=\"405504\"/></FileList>");
    std::string without = "<FileList><File name=\"a\" size=\"1\"/></FileList>";
    ASSERT_TRUE(SetFirstStartpos(without, 12));
    EXPECT_EQ(without, "<FileList><File startpos=\"12\" name=\"a\" size=\"1\"/></FileList>");
    // A form the edit does not know is refused rather than doubled.
    std::string spaced = "<FileList><File name=\"a\" startpos = '5'/></FileList>";
    EXPECT_FALSE(SetFirstStartpos(spaced, 9));
    std::string empty = "<FileList></FileList>";
    EXPECT_FALSE(SetFirstStartpos(empty, 9));
}
