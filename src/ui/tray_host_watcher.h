#pragma once
// Says when a tray host comes or goes: the X11 tray (the owner of the screen's
// _NET_SYSTEM_TRAY_Sn selection) or a StatusNotifier watcher on the session bus.
// Qt's tray icon uses whichever was there when the Player started and gives no
// signal of its own; a window hidden to a tray that has gone would be lost.

#include <QObject>

class QSocketNotifier;

class TrayHostWatcher : public QObject {
    Q_OBJECT

public:
    explicit TrayHostWatcher(QObject* parent = nullptr);
    ~TrayHostWatcher() override;

    // Something owns the X11 tray selection (as of the last event heard).
    bool X11TrayPresent() const { return m_owner != 0; }
    // A StatusNotifier watcher runs and has a host that draws its items.
    bool StatusNotifierHostPresent() const;

signals:
    void changed();

private:
    void WatchX11();
    void WatchStatusNotifier();
    void OnX11Events();
    void FollowTrayOwner();

    void* m_display = nullptr;  // a connection of our own, so Qt's events stay Qt's
    unsigned long m_selection = 0, m_manager = 0, m_owner = 0;
    QSocketNotifier* m_notifier = nullptr;
};
