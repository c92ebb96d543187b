#include "ui/editor_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kTitle[] = "Brivol  ";

bool HasTitle(Display* d, Window w) {
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool match = false;
    if (XGetWindowProperty(d, w, netName, 0, 64, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        match = std::string(reinterpret_cast<char*>(data), count) == kTitle;
        XFree(data);
        if (match)
            return true;
    }
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
        match = std::strcmp(name, kTitle) == 0;
        XFree(name);
    }
    return match;
}

}  // namespace

bool NotifyEditorWindow(long lParam) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return false;
    Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
    unsigned int n = 0;
    bool sent = false;
    if (XQueryTree(d, root, &root, &parent, &children, &n)) {
        for (unsigned int i = 0; i < n && !sent; ++i) {
            if (!HasTitle(d, children[i]))
                continue;
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = children[i];
            e.xclient.message_type = XInternAtom(d, "WM_PLAYER_NOTIFY", False);
            e.xclient.format = 32;
            e.xclient.data.l[0] = WM_PLAYER_NOTIFY;
            e.xclient.data.l[1] = 0;  // wParam
            e.xclient.data.l[2] = lParam;
            sent = XSendEvent(d, children[i], False, NoEventMask, &e) != 0;
        }
        if (children)
            XFree(children);
    }
    XFlush(d);
    XCloseDisplay(d);
    return sent;
}
