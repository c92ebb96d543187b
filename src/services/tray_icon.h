#pragma once
// The main window's icon in the notification area, with its menu. It asks for
// what the reader chose by its signals; the window it stands for acts on them.

#include <QMenu>
#include <QSystemTrayIcon>

class QWidget;

class TrayIcon : public QObject {
    Q_OBJECT

public:
    static constexpr int ID_TRAY_SHOW = 0x8001;
    static constexpr int ID_TRAY_HIDE = 0x8002;
    static constexpr int ID_TRAY_EXIT = 0x8003;

    explicit TrayIcon(QWidget* window);

    // Shown when the window has an icon and `shown` is set; else removed.
    void SetShown(bool shown);
    void Remove() { SetShown(false); }
    bool IsShown() const { return m_shown; }
    QString ToolTip() const { return m_icon.toolTip(); }

    // The menu by the window's visibility: show or hide, then exit.
    QMenu* BuildMenu();
    void OnCommand(int id);
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

signals:
    void showRequested();
    void hideRequested();
    void quitRequested();

private:
    QWidget* m_window;
    QSystemTrayIcon m_icon;
    QMenu m_menu;
    bool m_shown = false;
};
