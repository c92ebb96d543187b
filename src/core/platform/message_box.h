#pragma once
// Modal message boxes. Every box the program shows goes through one installable
// handler: a real dialog in the application, a recorder in tests.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/player_texts.h"

namespace platform {

enum MessageBoxStyle : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4,
    MB_ICONHAND = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};

enum MessageBoxResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct MessageBoxRequest {
    const void* owner = nullptr;  // the owning window, or none
    std::u16string text;
    std::u16string caption;
    unsigned style = MB_OK;
};

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Installs the handler and returns the previous one. With no handler installed
// the box is written to stderr and answered with its first button.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Without a caption the box shows the application's name.
int MessageBox(const void* owner, std::u16string_view text,
               std::optional<std::u16string_view> caption = std::nullopt, unsigned style = MB_OK);

int MessageBox(const void* owner, const ReaderMessage& message);

// The executable's file name without extension.
std::u16string AppName();

}  // namespace platform
