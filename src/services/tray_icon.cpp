#include "services/tray_icon.h"

#include <QWidget>

TrayIcon::TrayIcon(QWidget* window) : QObject(window), m_window(window) {
    m_icon.setIcon(window->windowIcon());
    m_icon.setToolTip(QString::fromStdU16String(u"点击右键弹出菜单!"));
    m_icon.setContextMenu(&m_menu);
    connect(&m_menu, &QMenu::aboutToShow, this, [this] { BuildMenu(); });
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::OnActivated);
}

void TrayIcon::SetShown(bool shown) {
    // Without a desktop tray the requests are kept and nothing is drawn.
    m_shown = shown && !m_window->windowIcon().isNull();
    m_icon.setVisible(m_shown && QSystemTrayIcon::isSystemTrayAvailable());
}

QMenu* TrayIcon::BuildMenu() {
    m_menu.clear();
    if (m_window->isVisible() && !m_window->isMinimized()) {
        m_menu.addAction(QString::fromStdU16String(u"隐藏主窗口"), this,
                         [this] { OnCommand(ID_TRAY_HIDE); });
    } else {
        m_menu.addAction(QString::fromStdU16String(u"显示主窗口"), this,
                         [this] { OnCommand(ID_TRAY_SHOW); });
    }
    m_menu.addAction(QString::fromStdU16String(u"退出"), this, [this] { OnCommand(ID_TRAY_EXIT); });
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
