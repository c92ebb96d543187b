#include "core/platform/message_box.h"

#include <cstdio>

#include "core/platform/path.h"
#include "core/platform/text.h"

namespace platform {

namespace {
MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}
}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

int MessageBox(const void* owner, std::u16string_view text,
               std::optional<std::u16string_view> caption, unsigned style) {
    MessageBoxRequest request{owner, std::u16string(text),
                              caption ? std::u16string(*caption) : AppName(), style};
    if (Handler())
        return Handler()(request);
    std::fprintf(stderr, "[%s] %s\n", Utf16ToUtf8(request.caption).c_str(),
                 Utf16ToUtf8(request.text).c_str());
    return (style & 0xF) == MB_YESNO ? IDYES : IDOK;
}

int MessageBox(const void* owner, const ReaderMessage& message) {
    return MessageBox(
        owner, message.text,
        message.caption ? std::optional<std::u16string_view>(*message.caption) : std::nullopt,
        message.style);
}

std::u16string AppName() {
    std::u16string path = ExePath();
    const size_t slash = path.find_last_of(u"/\\");
    if (slash != std::u16string::npos)
        path.erase(0, slash + 1);
    const size_t dot = path.find_last_of(u'.');
    if (dot != std::u16string::npos && dot > 0)
        path.erase(dot);
    return path;
}

}  // namespace platform
