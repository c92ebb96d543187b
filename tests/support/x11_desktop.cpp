#include "support/x11_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>

namespace test {

namespace {

Display* D(void* d) {
    return static_cast<Display*>(d);
}

std::vector<Window> Children(Display* d, Window w) {
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned int n = 0;
    std::vector<Window> out;
    if (XQueryTree(d, w, &root, &parent, &kids, &n) && kids) {
        out.assign(kids, kids + n);
        XFree(kids);
    }
    return out;
}

std::string Name(Display* d, Window w) {
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    for (const Atom property : {XInternAtom(d, "_NET_WM_NAME", False), XA_WM_NAME}) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, w, property, 0, 1024, False,
                               property == XA_WM_NAME ? AnyPropertyType : utf8, &type, &format,
                               &count, &after, &data) == Success &&
            data) {
            std::string name(reinterpret_cast<char*>(data), count);
            XFree(data);
            if (type != None)
                return name;
        }
    }
    return {};
}

std::vector<long> Longs(Display* d, Window w, const char* name, Atom kind) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> out;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 64, False, kind, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        if (format == 32)
            out.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
        XFree(data);
    }
    return out;
}

bool Iconic(Display* d, Window w) {
    const Atom wmState = XInternAtom(d, "WM_STATE", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool iconic = false;
    if (XGetWindowProperty(d, w, wmState, 0, 2, False, wmState, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        iconic = count > 0 && reinterpret_cast<long*>(data)[0] == IconicState;
        XFree(data);
    }
    return iconic;
}

// Depth first: the first window below `w` (itself included) that `match` takes.
std::optional<Window> Search(Display* d, Window w, const std::function<bool(Window)>& match) {
    if (match(w))
        return w;
    for (Window child : Children(d, w)) {
        if (auto found = Search(d, child, match))
            return found;
    }
    return std::nullopt;
}

}  // namespace

// Windows come and go while a test looks at them: a request about one that has
// just gone is answered with an error, which must not end the test program.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

X11Desktop::X11Desktop() : m_display(XOpenDisplay(nullptr)) {
    XSetErrorHandler(IgnoreErrors);
}

X11Desktop::~X11Desktop() {
    if (m_display)
        XCloseDisplay(D(m_display));
}

bool X11Desktop::HasWindowManager() const {
    Display* d = D(m_display);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found =
        XGetWindowProperty(d, DefaultRootWindow(d),
                           XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False), 0, 1, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        data && count == 1;
    if (data)
        XFree(data);
    return found;
}

bool X11Desktop::HasTrayHost() const {
    Display* d = D(m_display);
    return XGetSelectionOwner(d, XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False)) != None;
}

std::optional<X11Window> X11Desktop::Describe(unsigned long id) const {
    Display* d = D(m_display);
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, id, &a))
        return std::nullopt;
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(d, id, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    X11Window out{id, QRect(x, y, a.width, a.height), a.map_state == IsViewable, Iconic(d, id), {}};
    const auto extents = Longs(d, id, "_NET_FRAME_EXTENTS", XA_CARDINAL);
    if (extents.size() == 4) {
        out.frameExtents = QMargins(static_cast<int>(extents[0]), static_cast<int>(extents[2]),
                                    static_cast<int>(extents[1]), static_cast<int>(extents[3]));
    }
    return out;
}

std::optional<X11Window> X11Desktop::Find(const std::string& title) const {
    Display* d = D(m_display);
    XSync(d, False);
    const auto found =
        Search(d, DefaultRootWindow(d), [&](Window w) { return Name(d, w) == title; });
    return found ? Describe(*found) : std::nullopt;
}

std::vector<X11Window> X11Desktop::TopLevels() const {
    Display* d = D(m_display);
    XSync(d, False);
    std::vector<X11Window> all;
    for (Window w : Children(d, DefaultRootWindow(d))) {
        if (auto described = Describe(w))
            all.push_back(*described);
    }
    return all;
}

std::optional<X11Window> X11Desktop::PopupMenu() const {
    // A menu is an override-redirect window of its own, not a tooltip.
    Display* d = D(m_display);
    XSync(d, False);
    const auto tooltip = static_cast<long>(XInternAtom(d, "_NET_WM_WINDOW_TYPE_TOOLTIP", False));
    for (Window w : Children(d, DefaultRootWindow(d))) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, w, &a) || !a.override_redirect || a.map_state != IsViewable ||
            a.width < 16 || a.height < 16)
            continue;
        const auto types = Longs(d, w, "_NET_WM_WINDOW_TYPE", XA_ATOM);
        if (std::find(types.begin(), types.end(), tooltip) != types.end())
            continue;
        return Describe(w);
    }
    return std::nullopt;
}

std::optional<X11Window> X11Desktop::TrayIcon() const {
    Display* d = D(m_display);
    XSync(d, False);
    const Window host = XGetSelectionOwner(d, XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False));
    if (host == None)
        return std::nullopt;
    // An embedded icon is an XEmbed client (Qt marks every window so) whose
    // parent was made by the tray host: the X server gives all windows of one
    // client the same resource base.
    constexpr unsigned long kResourceBase = ~0x1FFFFFul;
    const Atom xembed = XInternAtom(d, "_XEMBED_INFO", False);
    const auto icon = Search(d, DefaultRootWindow(d), [&](Window w) {
        Window root = 0, parent = 0, *kids = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(d, w, &root, &parent, &kids, &n))
            return false;
        if (kids)
            XFree(kids);
        if (parent == root || (parent & kResourceBase) != (host & kResourceBase))
            return false;
        int count = 0;
        Atom* props = XListProperties(d, w, &count);
        const bool embedded = props && std::find(props, props + count, xembed) != props + count;
        if (props)
            XFree(props);
        return embedded;
    });
    return icon ? Describe(*icon) : std::nullopt;
}

QImage X11Desktop::Screenshot() const {
    Display* d = D(m_display);
    const Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    XGetWindowAttributes(d, root, &a);
    XImage* image = XGetImage(d, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!image)
        return {};
    QImage out(a.width, a.height, QImage::Format_RGB32);
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x)
            out.setPixel(x, y, static_cast<QRgb>(XGetPixel(image, x, y)) | 0xFF000000u);
    }
    XDestroyImage(image);
    return out;
}

bool X11Desktop::Click(int x, int y, int button, int count) {
    // No --sync: it waits for a motion that never comes when the pointer is
    // already there. XTest requests of one connection keep their order anyway.
    const std::string command = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                                " click --repeat " + std::to_string(count) + " --delay 80 " +
                                std::to_string(button);
    return std::system(command.c_str()) == 0;
}

bool X11Desktop::MoveTo(int x, int y) {
    const std::string command = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y);
    return std::system(command.c_str()) == 0;
}

bool X11Desktop::Activate(unsigned long id) {
    return std::system(("xdotool windowactivate " + std::to_string(id)).c_str()) == 0;
}

}  // namespace test
