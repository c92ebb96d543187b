#pragma once
// CLoading: the loading window. Starts the extraction worker, lays itself out
// from config.xml once that file and the loading movie exist, plays the loading
// movie fed with the progress ten times a second, and says by its signals when
// extraction has ended and when its movie has drawn.

#include <QDialog>
#include <QTimer>

#include <functional>
#include <stop_token>
#include <thread>

#include "core/package/extraction.h"
#include "ui/engine/shockwave_flash.h"

// What extracts the issue for the loading window: ExtractPackageThread, or
// whatever a test puts in its place (one that holds the end back, say).
using ExtractionWorker = std::function<void(std::stop_token, ExtractionProgress&)>;
void SetExtractionWorker(ExtractionWorker worker);

class CLoading : public QDialog {
    Q_OBJECT

public:
    explicit CLoading(QWidget* mainWindow);
    ~CLoading() override;

    // Shown in its centred place above everything, once its movie has drawn.
    void CentreAndShowOnTop();

    int FlashActive() const { return m_flashActive; }
    bool MovieDrawn() const { return m_movieDrawn; }
    // The loading movie is on its way: started, not yet drawn nor failed.
    bool MovieSettling() const { return m_flashActive == 1 && !m_movieSettled; }
    CShockwaveflash1& Flash() { return m_flash; }
    // Stops the worker between two chunks and waits for it: the workspace may
    // then be deleted. Returns at once when it has ended.
    void StopExtraction();
    // Started by the worker when config.xml has been written (queued to this thread).
    Q_INVOKABLE void StartConfigWait();

signals:
    // Every file has been written (queued, as the original posted its message);
    // `outcome` says what the run found.
    void extractionFinished(ExtractOutcome outcome);
    // The loading movie has drawn its first frame, or failed.
    void movieSettled();
    // The package could not be read or written out (its message has been shown).
    void packageUnreadable();

protected:
    void keyPressEvent(QKeyEvent*) override {}
    void closeEvent(QCloseEvent* event) override;
    void reject() override {}
    void accept() override {}

private:
    void OnConfigWait();
    void OnProgress();
    void OnWatchWorker();
    void OnWorkerFinished();
    void SettleMovie();

    QPoint m_place;  // where the window goes once its movie has drawn
    int m_flashActive = 0;
    bool m_movieDrawn = false;
    bool m_movieSettled = false;  // its first frame is on the screen, or it failed
    CShockwaveflash1 m_flash;
    QString m_configPath;
    ExtractionProgress m_extraction;
    std::jthread m_workerThread;  // stopped and joined before this window goes
    QTimer m_configWait;          // IDT_CONFIG_WAIT, 1 ms
    QTimer m_progress;            // IDT_PROGRESS, 100 ms
    QTimer m_watch;               // ends the wait when the package has no config.xml or failed
    bool m_configRequested = false;
    bool m_readyPosted = false;
    bool m_failureTold = false;
};
