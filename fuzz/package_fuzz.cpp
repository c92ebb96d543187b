// Feeds arbitrary bytes to the package reader as an appended and as a nested
// package: locating the list, parsing it and placing every entry must never
// crash, whatever the trailer and the list claim.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/package/package_format.h"
#include "core/xml/xml_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MemoryByteSource source(bytes);
    {
        const FileListSpan span = LocateAppendedList(source);
        XmlDocument doc;
        doc.LoadBytes(ReadSpan(source, span));
        PackageContents contents;
        ReadAppendedEntries(doc, span, contents);
        for (const auto& e : contents.entries)
            IsUnsafeEntryName(e.name);
    }
    FileListSpan span;
    if (LocateNestedList(source, span) == NestedListResult::Ok) {
        XmlDocument doc;
        doc.LoadBytes(ReadSpan(source, span));
        PackageContents contents;
        ReadNestedEntries(doc, span, contents);
    }
    // The whole reader, as the command line and magpack call it.
    for (const auto layout :
         {PackageLayout::Appended, PackageLayout::Nested, PackageLayout::ByTrailer})
        (void)ReadPackage(source, layout);
    return 0;
}
