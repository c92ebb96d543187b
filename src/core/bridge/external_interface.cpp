#include "core/bridge/external_interface.h"

#include <clocale>
#include <cstdio>

#include "core/platform/text.h"

bool InvokeRequest::Decode(std::u16string_view text) {
    m_doc.LoadText(text);  // a text that does not parse finds nothing below
    if (!m_doc.FindElement(u"invoke"))
        return false;
    m_name = m_doc.GetAttribute(u"name");
    return m_doc.EnterElement() && m_doc.FindElement(u"arguments") && m_doc.EnterElement();
}

std::optional<std::u16string> InvokeRequest::Next(std::u16string_view element) {
    if (!m_doc.FindElement(element))
        return std::nullopt;
    return m_doc.GetText();
}

std::optional<std::u16string> InvokeRequest::NextString() {
    return Next(u"string");
}
std::optional<std::u16string> InvokeRequest::NextNumber() {
    return Next(u"number");
}

std::u16string ReplyString(std::u16string_view text) {
    return u"<string>" + std::u16string(text) + u"</string>";
}

std::u16string ReplyNumber(int value) {
    return u"<number>" + platform::Widen(std::to_string(value)) + u"</number>";
}

std::u16string ReplyTrue() {
    return u"<true/>";
}
std::u16string ReplyFalse() {
    return u"<false/>";
}

std::u16string ReplyArray(const std::vector<std::u16string>& items) {
    std::u16string out = u"<array>";
    for (size_t i = 0; i < items.size(); ++i) {
        out += u"<property id=\"" + platform::Widen(std::to_string(i)) + u"\"><string>" + items[i] +
               u"</string></property>";
    }
    return out + u"</array>";
}

std::u16string InvokeWithString(std::u16string_view function, std::u16string_view text) {
    return u"<invoke name=\"" + std::u16string(function) + u"\" > <arguments><string>" +
           std::u16string(text) + u"</string></arguments></invoke>";
}

std::u16string InvokeWithInteger(std::u16string_view function, int value) {
    return InvokeWithString(function, platform::Widen(std::to_string(value)));
}

std::u16string ProgressCall(double percent) {
    // As "%f" writes it in the C locale, whatever the reader's locale says the
    // decimal separator is.
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%f", percent);
    std::string text(buffer);
    const std::string_view point = std::localeconv()->decimal_point;
    if (const size_t at = text.find(point); point != "." && at != std::string::npos)
        text.replace(at, point.size(), ".");
    return u"<invoke name=\"wmanum\" >  <arguments><string>" + platform::Widen(text) +
           u"</string></arguments></invoke>";
}
