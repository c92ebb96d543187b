// Loads arbitrary bytes as XML the way the Player reads its file lists and
// config.xml, then walks every element with the cursor: no document, however
// damaged, nested or declared, may crash the reader or make it read beyond
// what libxml2 handed over.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/platform/text.h"
#include "core/xml/xml_document.h"

namespace {

// Depth first, as the readers of the file list and the window configuration go.
void Walk(XmlDocument& doc, int depth) {
    // Every other level looks for the names the readers look for.
    const std::u16string_view name = depth % 2 ? u"File" : u"";
    while (doc.FindElement(name)) {
        (void)doc.GetAttribute(u"name");
        (void)doc.GetAttribute(u"size");
        (void)doc.GetText();
        if (depth < 16 && doc.EnterElement())
            Walk(doc, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    XmlDocument doc;
    if (doc.LoadBytes(bytes))
        Walk(doc, 0);
    // And as a text, the way the movies' invoke requests arrive.
    XmlDocument text;
    if (text.LoadText(platform::Utf8ToUtf16(bytes)))
        Walk(text, 0);
    return 0;
}
