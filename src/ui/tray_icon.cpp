#include "ui/tray_icon.h"
#include "core/platform/player_texts.h"
#include "ui/qt_text.h"

#include <QGuiApplication>
#include <QWidget>

TrayIcon::TrayIcon(QWidget* window) : QObject(window), m_window(window) {
    m_icon.setIcon(window->windowIcon());
    m_icon.setToolTip(ToQString(texts::kTrayTip));
    m_icon.setContextMenu(&m_menu);
    connect(&m_menu, &QMenu::aboutToShow, this, [this] { BuildMenu(); });
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::OnActivated);
    m_viaStatusNotifier = m_watcher.StatusNotifierHostPresent();
    m_hostPresent = HostPresent();
    connect(&m_watcher, &TrayHostWatcher::changed, this, &TrayIcon::OnHostChanged);
}

bool TrayIcon::HostPresent() const {
    // Qt's own view of the X11 tray follows the events of its own connection and
    // may lag behind the watcher's.
    if (!m_viaStatusNotifier && QGuiApplication::platformName() == "xcb")
        return m_watcher.X11TrayPresent();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::SetShown(bool shown) {
    m_shown = shown && !m_window->windowIcon().isNull();
    m_icon.setVisible(OnScreen());
}

void TrayIcon::OnHostChanged() {
    const bool present = HostPresent();
    if (present == m_hostPresent && !m_viaStatusNotifier)
        return;
    // Put to the new host anew: a StatusNotifier host that restarted knows
    // nothing of the icon.
    m_icon.setVisible(false);
    m_hostPresent = present;
    m_icon.setVisible(OnScreen());
    emit hostChanged(present);
}

QMenu* TrayIcon::BuildMenu() {
    m_menu.clear();
    if (m_window->isVisible() && !m_window->isMinimized()) {
        m_menu.addAction(ToQString(texts::kHideMainWindow), this,
                         [this] { OnCommand(ID_TRAY_HIDE); });
    } else {
        m_menu.addAction(ToQString(texts::kShowMainWindow), this,
                         [this] { OnCommand(ID_TRAY_SHOW); });
    }
    m_menu.addAction(ToQString(texts::kExit), this, [this] { OnCommand(ID_TRAY_EXIT); });
    return &m_menu;
}

void TrayIcon::OnCommand(int id) {
    if (id == ID_TRAY_SHOW)
        emit showRequested();
    if (id == ID_TRAY_HIDE)
        emit hideRequested();
    if (id == ID_TRAY_EXIT)
        emit quitRequested();
}

void TrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick)
        emit showRequested();
}
