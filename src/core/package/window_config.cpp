#include "core/package/window_config.h"

#include "core/platform/ascii_case.h"
#include "core/platform/text.h"
#include "core/platform/workspace.h"
#include "core/xml/xml_document.h"

bool OpenWnd(XmlDocument& doc, std::u16string_view path) {
    return doc.LoadFile(path) && doc.FindElement(u"MSG") && doc.EnterElement() &&
           doc.FindElement(u"Wnd");
}

std::u16string ConfigPath() {
    return WorkspacePath(u"config.xml");
}

std::optional<LoadingConfig> ReadLoadingConfig(std::u16string_view path) {
    XmlDocument doc;
    if (!OpenWnd(doc, path))
        return std::nullopt;
    LoadingConfig config;
    config.showLoading =
        platform::ContainsIgnoringAsciiCase(doc.GetAttribute(u"bShowLoading"), u"TRUE");
    if (config.showLoading) {
        config.loadX = platform::ParseInt(doc.GetAttribute(u"LoadX"));
        config.loadY = platform::ParseInt(doc.GetAttribute(u"LoadY"));
    }
    return config;
}

std::optional<MainWindowConfig> ReadMainWindowConfig(std::u16string_view path) {
    XmlDocument doc;
    if (!OpenWnd(doc, path))
        return std::nullopt;
    MainWindowConfig config;
    const std::u16string width = doc.GetAttribute(u"Width");
    if (!width.empty())
        config.width = platform::ParseInt(width);
    const std::u16string height = doc.GetAttribute(u"Height");
    if (!height.empty())
        config.height = platform::ParseInt(height);
    config.title = doc.GetAttribute(u"Title");
    config.fullScreen = platform::ContainsIgnoringAsciiCase(doc.GetAttribute(u"Bfull"), u"TRUE");
    // This flag is tested against the lower-case word, the others against "TRUE";
    // both comparisons ignore case, so the difference is only in the source.
    config.showTitle =
        platform::ContainsIgnoringAsciiCase(doc.GetAttribute(u"bShowTitle"), u"true");
    config.titleBitmap = doc.GetAttribute(u"TBKbmp");
    return config;
}
