#pragma once
// The texts of the ExternalInterface channel: invoke requests from movies, the
// reply values the host answers with, and the invoke calls the host makes into
// movies. Outgoing texts are formatted with fixed templates and insert their
// arguments verbatim: nothing is escaped.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/xml/xml_document.h"

// A decoded request: the command name and a cursor among the children of
// `arguments`, before the first.
class InvokeRequest {
public:
    // False (the request is ignored) without a top-level `invoke` with an `arguments` child.
    bool Decode(std::u16string_view text);

    const std::u16string& Name() const { return m_name; }
    // The text of the next `string` / `number` child after the cursor. On success the
    // cursor moves to it; otherwise it stays.
    std::optional<std::u16string> NextString();
    std::optional<std::u16string> NextNumber();

private:
    std::optional<std::u16string> Next(std::u16string_view element);

    XmlDocument m_doc;
    std::u16string m_name;
};

std::u16string ReplyString(std::u16string_view text);
std::u16string ReplyNumber(int value);
std::u16string ReplyTrue();
std::u16string ReplyFalse();
std::u16string ReplyArray(const std::vector<std::u16string>& items);

// `<invoke name="%s" > <arguments><string>%s</string></arguments></invoke>`
std::u16string InvokeWithString(std::u16string_view function, std::u16string_view text);
// The same with a decimal integer in the string element.
std::u16string InvokeWithInteger(std::u16string_view function, int value);
// `<invoke name="wmanum" >  <arguments><string>%f</string></arguments></invoke>`
std::u16string ProgressCall(double percent);
