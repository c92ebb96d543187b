// The editor-window notification on a real X server (run under xvfb-run): a
// top-level window titled "Brivol  " gets a client message with 1209 and lParam.

// clang-format off
#include <gtest/gtest.h>
#include <unistd.h>
#include <X11/Xlib.h>
// clang-format on

#include <cstdlib>

#include "ui/editor_window.h"

namespace {

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server";
        // The server may still be starting on a loaded machine.
        for (int i = 0; i < 100 && !display; ++i) {
            display = XOpenDisplay(nullptr);
            if (!display)
                usleep(50000);
        }
        ASSERT_NE(display, nullptr) << "no X server at " << std::getenv("DISPLAY");
    }
    void TearDown() override {
        if (display)
            XCloseDisplay(display);
    }

    Window MakeWindow(const char* title) {
        const Window w =
            XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
        XStoreName(display, w, title);
        XSelectInput(display, w, StructureNotifyMask);
        XMapWindow(display, w);
        XSync(display, False);
        return w;
    }

    // The next client message for `w`, if one arrives.
    bool NextMessage(Window w, XClientMessageEvent& out) {
        XSync(display, False);
        for (int i = 0; i < 200; ++i) {
            while (XPending(display)) {
                XEvent e;
                XNextEvent(display, &e);
                if (e.type == ClientMessage && e.xclient.window == w) {
                    out = e.xclient;
                    return true;
                }
            }
            usleep(5000);
        }
        return false;
    }

    Display* display = nullptr;
};

}  // namespace

TEST_F(EditorWindow, GetsStartAndEndNotifications) {
    const Window editor = MakeWindow("Brivol  ");
    ASSERT_TRUE(NotifyEditorWindow(1));
    XClientMessageEvent m{};
    ASSERT_TRUE(NextMessage(editor, m));
    EXPECT_EQ(m.data.l[0], 1209);
    EXPECT_EQ(m.data.l[1], 0);
    EXPECT_EQ(m.data.l[2], 1);
    ASSERT_TRUE(NotifyEditorWindow(0));
    ASSERT_TRUE(NextMessage(editor, m));
    EXPECT_EQ(m.data.l[2], 0);
    XDestroyWindow(display, editor);
}

TEST_F(EditorWindow, OtherTitlesGetNothing) {
    const Window other = MakeWindow("Brivol");  // without the two spaces
    EXPECT_FALSE(NotifyEditorWindow(1));
    XClientMessageEvent m{};
    EXPECT_FALSE(NextMessage(other, m));
    XDestroyWindow(display, other);
}
