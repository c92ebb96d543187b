#include "ui/cover_shot.h"

#include <QPixmap>
#include <QSaveFile>

#include "ui/loading_dlg.h"
#include "ui/player_dlg.h"

namespace {

// What the window shows once the engine's compositor has handed its frame to
// the window: the first drawn frame is reported a little before.
constexpr int kSettleMs = 150;

}  // namespace

CoverShot::CoverShot(CPlayerDlg& window, CoverRequest request)
    : m_window(window), m_request(std::move(request)) {
    connect(&m_window, &CPlayerDlg::mainWindowDrawn, this, &CoverShot::OnMainWindowDrawn);
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, &CoverShot::OnLimit);
    m_limit.start(kLimitMs);
}

QImage CoverShot::Fit(const QImage& image, int size) {
    if (image.width() <= size && image.height() <= size)
        return image;
    return image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void CoverShot::OnMainWindowDrawn() {
    QTimer::singleShot(kSettleMs, this, [this] {
        if (m_limit.isActive()) {
            m_limit.stop();
            Write(m_window.grab().toImage());
        }
    });
}

void CoverShot::OnLimit() {
    CLoading* loading = m_window.Loading();
    if (loading && loading->MovieDrawn()) {
        Write(loading->grab().toImage());
        return;
    }
    const QPixmap title = m_window.IssueTitleBitmap();
    Write(title.isNull() ? m_window.windowIcon().pixmap(m_request.size).toImage()
                         : title.toImage());
}

void CoverShot::Write(const QImage& image) {
    QSaveFile file(QString::fromStdString(m_request.png));
    m_written = !image.isNull() && file.open(QIODevice::WriteOnly) &&
                Fit(image, m_request.size).save(&file, "PNG") && file.commit();
    m_window.OnCancel();  // ends the Player, its workspace with it
}
