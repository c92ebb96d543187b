#pragma once
// Cursor-style XML reader through which every XML text of the program is read:
// the package's file list, config.xml and the movies' invoke requests.
// Missing elements and attributes are never errors: false and empty strings.

#include <string>
#include <string_view>

struct _xmlDoc;
struct _xmlNode;

class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    bool LoadFile(std::u16string_view path);
    // An empty text gives a fresh empty document and true.
    bool LoadText(std::u16string_view text);
    // Parses raw bytes whose encoding the document declares (or UTF-8/UTF-16 by BOM).
    bool LoadBytes(std::string_view bytes);

    // Next sibling element named `name` (empty matches any) after the current one,
    // or the first child of the search scope when nothing is current.
    bool FindElement(std::u16string_view name = {});
    // Makes the current element's children the search scope.
    bool EnterElement();
    std::u16string GetAttribute(std::u16string_view name) const;
    std::u16string GetText() const;

private:
    void Reset(_xmlDoc* doc);

    _xmlDoc* m_dom = nullptr;
    _xmlNode* m_parent = nullptr;
    _xmlNode* m_current = nullptr;
};
