#pragma once
// CFlashPlayerDlg: a secondary window showing one movie. The user can only
// hide it; the main window owns it and destroys it.

#include <QDialog>

#include <chrono>

#include "ui/engine/shockwave_flash.h"

class CFlashPlayerDlg : public QDialog {
    Q_OBJECT

public:
    explicit CFlashPlayerDlg(QWidget* mainWindow);

    void SetMoviePath(const QString& nativePath) { m_moviePath = nativePath; }
    const QString& MoviePath() const { return m_moviePath; }
    // WM_PLAYER_LOADMOVIE: 1 when the movie was loaded, 0 (and nothing changes)
    // when the file does not exist.
    int LoadMovie();
    // WM_PLAYER_MOVETO: takes the rectangle.
    int MoveTo(const QRect& rect);
    // Shows the window once its movie has drawn its first frame, or after
    // ShowLimit() with whatever it has: a new window is never seen blank for long.
    void ShowWhenDrawn();
    // Three seconds: a second engine compiles the movie engine anew, which takes
    // seconds on a slow machine. Tests shorten it.
    static std::chrono::milliseconds ShowLimit() { return s_showLimit; }
    static void SetShowLimit(std::chrono::milliseconds limit) { s_showLimit = limit; }
    CShockwaveflash1& Flash() { return m_flash; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FitFlashControl();

    static inline std::chrono::milliseconds s_showLimit{3000};

    CShockwaveflash1 m_flash;
    QString m_moviePath;
    bool m_showPending = false;  // shown at its movie's first frame, unless closed first
    bool m_showing = false;      // drawn, waiting for the picture it first shows
};
