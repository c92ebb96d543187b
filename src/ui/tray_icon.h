#pragma once
// The main window's icon in the notification area, with its menu. It asks for
// what the reader chose by its signals; the window it stands for acts on them.

#include <QMenu>
#include <QSystemTrayIcon>

#include "ui/tray_host_watcher.h"

class QWidget;

class TrayIcon : public QObject {
    Q_OBJECT

public:
    static constexpr int ID_TRAY_SHOW = 0x8001;
    static constexpr int ID_TRAY_HIDE = 0x8002;
    static constexpr int ID_TRAY_EXIT = 0x8003;

    explicit TrayIcon(QWidget* window);

    // Shown when the window has an icon and `shown` is set; else removed. What
    // is asked for is kept while no tray host is there to draw it.
    void SetShown(bool shown);
    void Remove() { SetShown(false); }
    bool IsShown() const { return m_shown; }
    // Shown, and a tray host draws it: the reader can get the window back by it.
    bool OnScreen() const { return m_shown && m_hostPresent; }
    QString ToolTip() const { return m_icon.toolTip(); }

    // The menu by the window's visibility: show or hide, then exit.
    QMenu* BuildMenu();
    void OnCommand(int id);
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

signals:
    // A tray host came or went; OnScreen() says what that means for the icon.
    void hostChanged(bool present);
    void showRequested();
    void hideRequested();
    void quitRequested();

private:
    void OnHostChanged();
    bool HostPresent() const;

    QWidget* m_window;
    QSystemTrayIcon m_icon;
    QMenu m_menu;
    bool m_shown = false;
    TrayHostWatcher m_watcher;
    // Qt draws the icon through a StatusNotifier host when one was there as the
    // icon was made, else through the X11 tray; it keeps to its choice.
    bool m_viaStatusNotifier = false;
    bool m_hostPresent = false;
};
