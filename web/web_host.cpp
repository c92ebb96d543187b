#include "web_host.h"

#include <emscripten.h>

#include "core/services/registry_store.h"

// Texts cross as pointers and lengths into the module's memory: they may hold
// any character, a zero included.
// clang-format off
EM_JS(int, page_call,
      (const char* name, const char16_t* a, int aLength, const char16_t* b, int bLength,
       const char16_t* c, int cLength, int x, int y, int z), {
    function text(p, n) {
        let s = "";
        for (let i = 0; i < n; ++i) s += String.fromCharCode(HEAPU16[(p >> 1) + i]);
        return s;
    }
    return Module.playerHost.call(UTF8ToString(name),
                                  [text(a, aLength), text(b, bLength), text(c, cLength)],
                                  [x, y, z]) | 0;
});
// clang-format on

int CallPage(const char* name, std::u16string_view a, std::u16string_view b, std::u16string_view c,
             int x, int y, int z) {
    return page_call(name, a.data(), static_cast<int>(a.size()), b.data(),
                     static_cast<int>(b.size()), c.data(), static_cast<int>(c.size()), x, y, z);
}

namespace {

int ShowCommandNumber(ShowCommand command) {
    switch (command) {
        case ShowCommand::Hide:
            return 0;
        case ShowCommand::ShowMinimized:
            return 1;
        case ShowCommand::Restore:
            return 2;
    }
    return 2;
}

}  // namespace

void WebHost::ShowPlayerWindow(bool fullScreen) {
    CallPage("showPlayerWindow", {}, {}, {}, fullScreen ? 1 : 0);
}

void WebHost::ShowWindow(ShowCommand command) {
    CallPage("showWindow", {}, {}, {}, ShowCommandNumber(command));
}

void WebHost::MoveWindow(int, int, int width, int height) {
    CallPage("moveWindow", {}, {}, {}, width, height);
}

void WebHost::RepaintNow() {
    CallPage("setCaption", m_state.m_title);
}

void WebHost::SetWindowAlpha(int alpha) {
    CallPage("setAlpha", {}, {}, {}, alpha);
}

void WebHost::UpdateTrayIcon(bool add) {
    CallPage("trayIcon", {}, {}, {}, add ? 1 : 0);
}

void WebHost::ApplyWindowConfig() {
    CallPage("applyWindowConfig");
}

void WebHost::DestroyLoadingWindow() {
    CallPage("destroyLoadingWindow");
}

void WebHost::OnCancel() {
    CallPage("quit");
}

void WebHost::PostClose() {
    CallPage("quit");
}

void WebHost::CallFunction(const std::u16string& xml) {
    CallPage("callFunction", xml);
}

void WebHost::StopMovie() {
    CallPage("stopMovie");
}

void WebHost::SetMovie(const std::u16string& path) {
    CallPage("setMovie", path);
}

void WebHost::PlayMovie() {
    CallPage("playMovie");
}

void WebHost::RunSaveTextDialog(const std::u16string& text) {
    CallPage("saveText", text);
}

std::optional<int> WebHost::CreateSecondaryWindow(int width, int height,
                                                  const std::u16string& path) {
    const int id = m_windowCount;
    if (!CallPage("openPanel", path, {}, {}, id, width, height))
        return std::nullopt;
    ++m_windowCount;
    return id;
}

void WebHost::ReuseSecondaryWindow(int id, int width, int height, const std::u16string& path) {
    CallPage("reusePanel", path, {}, {}, id, width, height);
}

void WebHost::ClearSecondaryWindows() {
    m_windowCount = 0;
    CallPage("clearPanels");
}

std::u16string WebHost::ReadRegistryString(RegistryRoot root, const std::u16string& subKey,
                                           const std::u16string& name) {
    return RegistryKey(root, subKey).ReadString(name);
}

void WebHost::WriteRegistryString(RegistryRoot root, const std::u16string& subKey,
                                  const std::u16string& name, const std::u16string& data) {
    RegistryKey(root, subKey).WriteString(name, data);
    CallPage("registryChanged");
}
