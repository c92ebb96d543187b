#include "core/package/package_format.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/platform/text.h"
#include "core/xml/xml_document.h"

namespace {

uint32_t ReadUint32(ByteSource& source, int64_t offset) {
    unsigned char b[4] = {};
    if (source.ReadAt(offset, b, 4) != 4)
        return 0;
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

FileListSpan SpanBefore(int64_t end, uint32_t length) {
    if (end < 0)
        return {0, 0};
    if (static_cast<int64_t>(length) > end)
        return {end, 0};
    return {end - static_cast<int64_t>(length), static_cast<int64_t>(length)};
}

int64_t SizeAttribute(const XmlDocument& doc) {
    return std::max(0, platform::ParseInt(doc.GetAttribute(u"size")));
}

}  // namespace

FileListSpan LocateAppendedList(ByteSource& source) {
    const int64_t end = source.Size() - kAppendedTrailerSize;
    if (end < 0)
        return {0, 0};
    return SpanBefore(end, ReadUint32(source, end));
}

NestedListResult LocateNestedList(ByteSource& source, FileListSpan& span) {
    const int64_t size = source.Size();
    char magic[2] = {};
    if (size < 2 || source.ReadAt(size - 2, magic, 2) != 2 || magic[0] != 'Q' || magic[1] != 'K') {
        return NestedListResult::NotQk;
    }
    const int64_t end = size - kNestedTrailerSize;
    span = end < 0 ? FileListSpan{0, 0} : SpanBefore(end, ReadUint32(source, end));
    return NestedListResult::Ok;
}

bool ReadAppendedEntries(XmlDocument& list, const FileListSpan& span, PackageContents& out) {
    out = {};
    if (!list.FindElement(u"FileList") || !list.EnterElement())
        return false;
    int64_t offset = 0;
    bool first = true;
    while (list.FindElement(u"File")) {
        if (first) {
            offset = platform::ParseInt(list.GetAttribute(u"startpos"));
            out.dataStart = offset;
            out.dataLength = std::max<int64_t>(0, span.offset - offset);
            first = false;
        }
        const std::u16string name = list.GetAttribute(u"name");
        const std::u16string size = list.GetAttribute(u"size");
        if (name.empty() || size.empty())
            continue;
        const int64_t n = SizeAttribute(list);
        out.entries.push_back({name, offset, n});
        offset += n;
    }
    return true;
}

bool ReadNestedEntries(XmlDocument& list, const FileListSpan& span, PackageContents& out) {
    out = {};
    out.dataLength = span.offset;
    if (!list.FindElement(u"FileList") || !list.EnterElement())
        return false;
    int64_t offset = 0;
    while (list.FindElement(u"File")) {
        const int64_t n = SizeAttribute(list);
        out.entries.push_back({list.GetAttribute(u"name"), offset, n});
        offset += n;
    }
    return true;
}

bool IsUnsafeEntryName(std::u16string_view name) {
    if (name.empty())
        return false;
    if (name[0] == u'\\' || name[0] == u'/')
        return true;
    if (name.size() >= 2 && name[1] == u':')
        return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(u"\\/", start);
        if (end == std::u16string_view::npos)
            end = name.size();
        if (name.substr(start, end - start) == u"..")
            return true;
        start = end + 1;
    }
    return false;
}

std::string ReadSpan(ByteSource& source, const FileListSpan& span) {
    std::string bytes(static_cast<size_t>(span.length), '\0');
    bytes.resize(source.ReadAt(span.offset, bytes.data(), bytes.size()));
    return bytes;
}

namespace {

PackageReading Failed(PackageReading r, PackageError error, int64_t offset, std::string message) {
    r.error = error;
    r.offset = offset;
    r.message = std::move(message);
    return r;
}

}  // namespace

PackageReading ReadPackage(ByteSource& source, PackageLayout layout) {
    PackageReading r;
    const int64_t size = source.Size();
    r.nested = LocateNestedList(source, r.span) == NestedListResult::Ok;
    if (layout == PackageLayout::Nested && !r.nested)
        return Failed(r, PackageError::NotQk, size, "not a valid .qk package (no QK trailer)");
    if (layout == PackageLayout::Appended)
        r.nested = false;
    if (!r.nested) {
        if (size < kAppendedTrailerSize)
            return Failed(r, PackageError::TooShort, 0, "too short to hold a package");
        r.span = LocateAppendedList(source);
    }
    const int64_t trailer = size - (r.nested ? kNestedTrailerSize : kAppendedTrailerSize);
    if (r.span.length == 0)
        return Failed(r, PackageError::NoFileList, trailer, "the trailer names no file list");
    r.list = ReadSpan(source, r.span);
    r.trailer = ReadSpan(source, {trailer, size - trailer});
    XmlDocument doc;
    if (!doc.LoadBytes(r.list))
        return Failed(r, PackageError::NotXml, r.span.offset, "the file list is not XML");
    const bool found = r.nested ? ReadNestedEntries(doc, r.span, r.contents)
                                : ReadAppendedEntries(doc, r.span, r.contents);
    if (!found) {
        return Failed(r, PackageError::NoFileListElement, r.span.offset,
                      "the file list has no FileList element");
    }
    return r;
}

PackageReading ReadPackageFile(std::u16string_view path, PackageLayout layout) {
    errno = 0;
    FileByteSource source(path);
    if (!source.IsOpen()) {
        return Failed({}, PackageError::CannotOpen, 0,
                      errno != 0 ? std::strerror(errno) : "not a regular file");
    }
    return ReadPackage(source, layout);
}
