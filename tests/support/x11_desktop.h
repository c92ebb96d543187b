#pragma once
// What a test sees and does on a real X desktop: windows found by title, their
// map state and geometry, screenshots, and mouse clicks through xdotool.

#include <QImage>
#include <QMargins>
#include <QRect>

#include <chrono>
#include <functional>
#include <optional>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace test {

struct X11Window {
    unsigned long id = 0;
    QRect geometry;          // absolute, of the client window
    bool viewable = false;   // mapped, and every ancestor mapped
    bool iconified = false;  // WM_STATE says IconicState
    QMargins frameExtents;   // the decorations the window manager added
};

class X11Desktop {
public:
    X11Desktop();  // opens $DISPLAY
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    bool IsOpen() const { return m_display != nullptr; }
    // A window manager has announced itself (_NET_SUPPORTING_WM_CHECK).
    bool HasWindowManager() const;
    // Something owns the system-tray selection of screen 0.
    bool HasTrayHost() const;

    // The top-level client window whose name is exactly `title`.
    std::optional<X11Window> Find(const std::string& title) const;
    // Every window of the root, as a compositor's window manager sees them.
    std::vector<X11Window> TopLevels() const;
    // A mapped pop-up menu window, as menus of tray icons are.
    std::optional<X11Window> PopupMenu() const;
    // The window the tray host gave to its first embedded icon.
    std::optional<X11Window> TrayIcon() const;

    QImage Screenshot() const;

    // Mouse through xdotool: a button clicked `count` times at an absolute point.
    static bool Click(int x, int y, int button, int count = 1);
    static bool MoveTo(int x, int y);
    // Asks the window manager to activate a window, as a task bar does (an
    // iconic one is restored).
    static bool Activate(unsigned long id);

private:
    std::optional<X11Window> Describe(unsigned long id) const;
    void* m_display = nullptr;
};

}  // namespace test
