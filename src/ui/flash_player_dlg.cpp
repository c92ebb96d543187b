#include "ui/flash_player_dlg.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include "core/platform/message_box.h"

CFlashPlayerDlg::CFlashPlayerDlg(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Window | Qt::FramelessWindowHint) {
    setWindowIcon(QIcon(":/res/player.png"));
    if (!m_flash.Create(this, 1001, rect(), FlashProcess::SecondaryWindows)) {
        // The window stays in the list; loading into it then has no effect.
        platform::MessageBox(this, texts::kNoFlashControl, texts::kPromptCaption,
                             platform::MB_ICONWARNING);
    }
}

int CFlashPlayerDlg::LoadMovie() {
    if (!QFileInfo::exists(m_moviePath))
        return 0;
    m_flash.SetMovie(m_moviePath);
    m_flash.Play();
    return 1;
}

void CFlashPlayerDlg::ShowWhenDrawn() {
    // The engine runs the movie while the window is hidden; its first frame is
    // then drawn by the time the window maps.
    m_showPending = true;
    const auto showOnce = [this] {
        if (!std::exchange(m_showPending, false))
            return;
        // Its first paint is a picture of that frame: the web view itself draws
        // only once the window is on the screen (a Wayland compositor shows
        // the window blank meanwhile).
        QPointer<CFlashPlayerDlg> alive(this);
        m_showing = true;
        m_flash.CoverWithPicture([this, alive] {
            if (alive && std::exchange(m_showing, false))
                show();
        });
    };
    m_flash.SetEvents({.firstFrame = showOnce});
    QTimer::singleShot(s_showLimit, this, showOnce);
}

int CFlashPlayerDlg::MoveTo(const QRect& r) {
    setGeometry(r);
    FitFlashControl();  // now: a hidden window hears of its new size only as it shows
    return 1;
}

void CFlashPlayerDlg::FitFlashControl() {
    if (m_flash.Window())
        m_flash.Window()->setGeometry(rect());  // all four margins are zero
}

void CFlashPlayerDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FitFlashControl();
}

void CFlashPlayerDlg::closeEvent(QCloseEvent* event) {
    // Closing only hides: the window keeps its place and id in the main window's list.
    m_showPending = m_showing = false;
    m_flash.SetMovie(" ");
    m_flash.Stop();
    event->ignore();
    hide();
}
