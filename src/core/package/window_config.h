#pragma once
// The config.xml: the loading window's and the main window's settings,
// read afresh from the workspace each time they are needed.

#include <optional>
#include <string>
#include <string_view>

// "%s\config.xml" of the workspace.
std::u16string ConfigPath();

class XmlDocument;
// Positions `doc` on MSG / Wnd of the configuration at `path`; false when it
// has no window settings.
bool OpenWnd(XmlDocument& doc, std::u16string_view path);

// How long a loading movie has to draw before the main movie starts anyway
// (the web page's site.js holds the same, which a test checks).
inline constexpr int kLoadingHeadStartMs = 3000;

struct LoadingConfig {
    bool showLoading = false;
    int loadX = 0;
    int loadY = 0;
};

// Nothing when the file does not load, or has no MSG / Wnd.
std::optional<LoadingConfig> ReadLoadingConfig(std::u16string_view path);

struct MainWindowConfig {
    std::optional<int> width;  // only when the attribute is not empty
    std::optional<int> height;
    std::u16string title;
    bool fullScreen = false;
    bool showTitle = false;
    std::u16string titleBitmap;  // name relative to the workspace; empty for the built-in one
};

std::optional<MainWindowConfig> ReadMainWindowConfig(std::u16string_view path);

struct WindowRect {
    int left, top, right, bottom;
    bool operator==(const WindowRect&) const = default;
};

// The loading window: LoadX x LoadY centred on a screen, halves truncated.
inline WindowRect LoadingWindowRect(int screenWidth, int screenHeight, int width, int height) {
    const int left = screenWidth / 2 - width / 2, top = screenHeight / 2 - height / 2;
    return {left, top, left + width, top + height};
}
