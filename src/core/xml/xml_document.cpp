#include "core/xml/xml_document.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <cstring>

#include "core/platform/file_io.h"
#include "core/platform/path.h"
#include "core/platform/text.h"

namespace {

// Documents come from packages and movies: never let them reach the network or
// other files through external entities or DTDs. Internal entities are expanded,
// under libxml2's own guard against exponential expansion.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

xmlParserInputPtr NoExternalEntities(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

void IgnoreErrors(void*, const char*, ...) {}

void InitLibxml() {
    static const bool done = [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(NoExternalEntities);
        xmlSetGenericErrorFunc(nullptr, IgnoreErrors);
        return true;
    }();
    (void)done;
}

// libxml2 must be set up before a second thread exists: its set-up reads the
// environment, which the web engine writes from its own threads while the
// extraction worker parses the first document. At load time, a process
// has one thread.
[[maybe_unused]] const bool kLibxmlReady = (InitLibxml(), true);

std::u16string FromXmlChars(const xmlChar* s) {
    return s ? platform::Utf8ToUtf16(reinterpret_cast<const char*>(s)) : std::u16string();
}

std::u16string TakeXmlString(xmlChar* s) {
    std::u16string result = FromXmlChars(s);
    xmlFree(s);
    return result;
}

bool NameEquals(const xmlNode* node, std::u16string_view name) {
    return FromXmlChars(node->name) == name;
}

}  // namespace

XmlDocument::XmlDocument() {
    InitLibxml();
    Reset(xmlNewDoc(BAD_CAST "1.0"));
}

XmlDocument::~XmlDocument() {
    if (m_dom)
        xmlFreeDoc(m_dom);
}

void XmlDocument::Reset(_xmlDoc* doc) {
    if (m_dom)
        xmlFreeDoc(m_dom);
    m_dom = doc ? doc : xmlNewDoc(BAD_CAST "1.0");
    m_parent = reinterpret_cast<xmlNode*>(m_dom);
    m_current = nullptr;
}

bool XmlDocument::LoadFile(std::u16string_view path) {
    std::string bytes;
    if (!platform::ReadFileBytes(platform::NativePath(path), bytes)) {
        Reset(nullptr);
        return false;
    }
    return LoadBytes(bytes);
}

bool XmlDocument::LoadBytes(std::string_view bytes) {
    if (bytes.size() > static_cast<size_t>(INT32_MAX)) {
        Reset(nullptr);
        return false;
    }
    xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                kParseOptions);
    Reset(doc);
    return doc != nullptr;
}

bool XmlDocument::LoadText(std::u16string_view text) {
    if (text.empty()) {
        Reset(nullptr);
        return true;
    }
    // The text is already decoded: whatever its declaration says, parse it as UTF-8.
    const std::string utf8 = platform::Utf16ToUtf8(text);
    if (utf8.size() > static_cast<size_t>(INT32_MAX)) {
        Reset(nullptr);
        return false;
    }
    xmlDoc* doc =
        xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", kParseOptions);
    Reset(doc);
    return doc != nullptr;
}

bool XmlDocument::FindElement(std::u16string_view name) {
    xmlNode* node = m_current ? m_current->next : (m_parent ? m_parent->children : nullptr);
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (name.empty() || NameEquals(node, name)) {
            m_current = node;
            m_parent = node->parent;
            return true;
        }
    }
    return false;
}

bool XmlDocument::EnterElement() {
    if (!m_current)
        return false;
    m_parent = m_current;
    m_current = nullptr;
    return true;
}

std::u16string XmlDocument::GetAttribute(std::u16string_view name) const {
    if (!m_current || m_current->type != XML_ELEMENT_NODE)
        return {};
    const std::string utf8 = platform::Utf16ToUtf8(name);
    return TakeXmlString(xmlGetNoNsProp(m_current, BAD_CAST utf8.c_str()));
}

std::u16string XmlDocument::GetText() const {
    if (!m_current)
        return {};
    switch (m_current->type) {
        case XML_ELEMENT_NODE:
            if (!m_current->children)
                return {};
            return TakeXmlString(xmlNodeGetContent(m_current));
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
            return FromXmlChars(m_current->content);
        case XML_PI_NODE:
            return FromXmlChars(m_current->name) + u" " + FromXmlChars(m_current->content);
        default:
            return {};
    }
}
