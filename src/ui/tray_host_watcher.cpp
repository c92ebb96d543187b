#include "ui/tray_host_watcher.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <string>

#include <X11/Xlib.h>  // after Qt's headers, which its macros would break

namespace {

constexpr char kWatcherService[] = "org.kde.StatusNotifierWatcher";
constexpr char kWatcherPath[] = "/StatusNotifierWatcher";

Display* X(void* display) {
    return static_cast<Display*>(display);
}

}  // namespace

TrayHostWatcher::TrayHostWatcher(QObject* parent) : QObject(parent) {
    if (QGuiApplication::platformName() == "xcb")
        WatchX11();
    WatchStatusNotifier();
}

TrayHostWatcher::~TrayHostWatcher() {
    delete m_notifier;
    if (m_display)
        XCloseDisplay(X(m_display));
}

void TrayHostWatcher::WatchX11() {
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return;
    m_display = d;
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(d));
    m_selection = XInternAtom(d, name.c_str(), False);
    m_manager = XInternAtom(d, "MANAGER", False);
    // A tray host that takes the selection says so to the root window; one that
    // goes loses its window, whose end we then hear of.
    XSelectInput(d, DefaultRootWindow(d), StructureNotifyMask);
    FollowTrayOwner();
    m_notifier = new QSocketNotifier(ConnectionNumber(d), QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &TrayHostWatcher::OnX11Events);
    XFlush(d);
}

void TrayHostWatcher::FollowTrayOwner() {
    Display* d = X(m_display);
    XGrabServer(d);  // the owner must not go between the question and the watch
    m_owner = XGetSelectionOwner(d, m_selection);
    if (m_owner)
        XSelectInput(d, m_owner, StructureNotifyMask);
    XUngrabServer(d);
    XFlush(d);
}

void TrayHostWatcher::OnX11Events() {
    Display* d = X(m_display);
    bool change = false;
    while (XPending(d)) {
        XEvent e;
        XNextEvent(d, &e);
        const bool arrived = e.type == ClientMessage && e.xclient.message_type == m_manager &&
                             static_cast<unsigned long>(e.xclient.data.l[1]) == m_selection;
        const bool left = e.type == DestroyNotify && m_owner && e.xdestroywindow.window == m_owner;
        if (arrived || left) {
            FollowTrayOwner();
            change = true;
        }
    }
    if (change)
        emit changed();
}

void TrayHostWatcher::WatchStatusNotifier() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    auto* watcher = new QDBusServiceWatcher(kWatcherService, bus,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &TrayHostWatcher::changed);
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus.connect(kWatcherService, kWatcherPath, kWatcherService, signal, this,
                    SIGNAL(changed()));
}

bool TrayHostWatcher::StatusNotifierHostPresent() const {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << QString(kWatcherService) << QString("IsStatusNotifierHostRegistered");
    const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, 1000);
    return reply.isValid() && reply.value().variant().toBool();
}
