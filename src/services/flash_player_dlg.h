#pragma once
// CFlashPlayerDlg: a secondary window showing one movie. The user can only
// hide it; the main window owns it and destroys it.

#include <QDialog>

#include "bridge/shockwave_flash.h"

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
    CShockwaveflash1& Flash() { return m_flash; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FitFlashControl();

    CShockwaveflash1 m_flash;
    QString m_moviePath;
};
