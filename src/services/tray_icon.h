#pragma once
// The main window's icon in the notification area, with its menu.

#include <QMenu>
#include <QSystemTrayIcon>

class CPlayerDlg;

class TrayIcon : public QObject {
    Q_OBJECT

public:
    static constexpr int ID_TRAY_SHOW = 0x8001;
    static constexpr int ID_TRAY_HIDE = 0x8002;
    static constexpr int ID_TRAY_EXIT = 0x8003;

    explicit TrayIcon(CPlayerDlg* window);

    // Shown when the window has an icon and `shown` is set; else removed.
    void SetShown(bool shown);
    void Remove() { SetShown(false); }
    bool IsShown() const { return m_shown; }
    QString ToolTip() const { return m_icon.toolTip(); }

    // The menu by the window's visibility: show or hide, then exit.
    QMenu* BuildMenu();
    void OnCommand(int id);
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

private:
    CPlayerDlg* m_window;
    QSystemTrayIcon m_icon;
    QMenu m_menu;
    bool m_shown = false;
};
