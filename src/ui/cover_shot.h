#pragma once
// CoverShot: an issue's cover, taken from a run of the Player on a screen of its
// own that nobody sees. The cover is the main window once its movie has started
// and drawn; a movie that has not within the limit gets the loading movie's
// frame, the title bitmap, or the Player's icon instead. Written once,
// then the Player ends.

#include <QImage>
#include <QObject>
#include <QTimer>

#include <string>

class CPlayerDlg;

struct CoverRequest {
    std::string png;  // written whole, or not at all
    int size = 256;   // the cover fits a square this many pixels wide
};

class CoverShot : public QObject {
public:
    // How long the main movie has to start and draw.
    static constexpr int kLimitMs = 10000;

    CoverShot(CPlayerDlg& window, CoverRequest request);
    bool Written() const { return m_written; }

    // `image` scaled down to fit a square of `size` pixels, its aspect kept.
    static QImage Fit(const QImage& image, int size);

private:
    void OnMainWindowDrawn();
    void OnLimit();
    void Write(const QImage& image);

    CPlayerDlg& m_window;
    CoverRequest m_request;
    QTimer m_limit;
    bool m_written = false;
};
