#include "ui/loading_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <utility>

#include "core/bridge/external_interface.h"
#include "core/package/window_config.h"
#include "core/platform/message_box.h"
#include "core/platform/path.h"
#include "core/platform/timeline.h"
#include "core/platform/workspace.h"

namespace {

ExtractionWorker& Worker() {
    static ExtractionWorker worker = ExtractPackageThread;
    return worker;
}

}  // namespace

void SetExtractionWorker(ExtractionWorker worker) {
    Worker() = worker ? std::move(worker) : ExtractPackageThread;
}

CLoading::CLoading(QWidget* mainWindow)
    // A splash without a caption, as the original had: under a window manager a
    // title bar would offer a close button that must do nothing. It places itself,
    // so no window manager moves it.
    : QDialog(mainWindow, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                              Qt::X11BypassWindowManagerHint) {
    setWindowTitle(QString::fromStdU16String(u"Loading"));
    m_configWait.setInterval(1);
    m_progress.setInterval(100);
    m_watch.setInterval(100);
    connect(&m_configWait, &QTimer::timeout, this, &CLoading::OnConfigWait);
    connect(&m_progress, &QTimer::timeout, this, &CLoading::OnProgress);
    connect(&m_watch, &QTimer::timeout, this, &CLoading::OnWatchWorker);

    // The worker's reports become calls queued to this window on its thread
    // (the worker is joined before the window goes, and a window's pending
    // calls go with it).
    const auto queued = [this](void (CLoading::*member)()) {
        return [this, member] {
            QMetaObject::invokeMethod(
                this, [this, member] { (this->*member)(); }, Qt::QueuedConnection);
        };
    };
    m_extraction.configWritten = queued(&CLoading::StartConfigWait);
    // The end is taken up at once rather than at the next tick of the timers:
    // the main movie waits for it.
    m_extraction.finished = queued(&CLoading::OnWorkerFinished);
    // A nested package passed over is told while the rest is written, by a box
    // of no window's: this one may go while it is up.
    m_extraction.passedOver = [](const ExtractReport& report) {
        QMetaObject::invokeMethod(
            qApp, [report] { platform::MessageBox(nullptr, ExtractMessage(report)); },
            Qt::QueuedConnection);
    };
    m_workerThread = std::jthread(Worker(), std::ref(m_extraction));
    m_watch.start();
    setGeometry(0, 0, 0, 0);  // nothing to show until the configuration says what
    m_configPath = QString::fromStdU16String(ConfigPath());
}

CLoading::~CLoading() {
    StopExtraction();
}

void CLoading::StopExtraction() {
    m_workerThread.request_stop();
    if (m_workerThread.joinable())
        m_workerThread.join();
}

void CLoading::CentreAndShowOnTop() {
    if (!m_movieDrawn)
        return;  // nothing to show yet, or its movie is still to draw
    if (isVisible()) {
        raise();
        return;
    }
    // Its first paint is a picture of what the movie drew: the web view itself
    // draws only once the window is on the screen, a frame too late. The main
    // movie, held until then, runs after that.
    QPointer<CLoading> alive(this);
    m_flash.CoverWithPicture([this, alive] {
        if (!alive)
            return;
        platform::TimelineMark("loading window shown");
        move(m_place);
        show();
        raise();
        SettleMovie();
    });
}

void CLoading::closeEvent(QCloseEvent* event) {
    event->ignore();
}  // only the main window ends it

void CLoading::StartConfigWait() {
    m_configRequested = true;
    m_configWait.start();
}

void CLoading::OnConfigWait() {
    if (m_extraction.loadingMoviePath.Get().empty() ||
        !platform::PathFileExists(m_configPath.toStdU16String()))
        return;
    m_configWait.stop();
    if (const auto config = ReadLoadingConfig(m_configPath.toStdU16String())) {
        if (config->showLoading) {
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            const int w = config->loadX, h = config->loadY;
            const WindowRect r = LoadingWindowRect(screen.width(), screen.height(), w, h);
            // The window comes to its place once its movie has drawn (the
            // engine runs a movie whose window is not on the screen).
            m_place = QPoint(r.left, r.top);
            setGeometry(QRect(m_place, QSize(w, h)));
            if (m_flash.Create(this, 2000, QRect(0, 0, w, h))) {
                m_flash.SetEvents({.movieFailed = [this](const QString&) { SettleMovie(); },
                                   .firstFrame =
                                       [this] {
                                           m_movieDrawn = true;
                                           CentreAndShowOnTop();
                                       }});
                m_flash.SetMovie(QString::fromStdString(
                    platform::NativePath(m_extraction.loadingMoviePath.Get())));
                m_flash.Play();
                m_flashActive = 1;
            }
        } else {
            m_flashActive = 0;
        }
    }
    m_progress.start();
    if (m_extraction.done == 1)
        OnProgress();  // a small issue is out already: no need to wait for a tick
}

void CLoading::OnProgress() {
    if (m_flashActive == 1)
        m_flash.CallFunction(QString::fromStdU16String(ProgressCall(m_extraction.percent)));
    if (m_extraction.done == 1 && !m_readyPosted) {
        platform::TimelineMark("extraction done");
        m_progress.stop();
        m_readyPosted = true;
        emit extractionFinished(m_extraction.outcome);
    }
}

void CLoading::SettleMovie() {
    if (std::exchange(m_movieSettled, true))
        return;
    emit movieSettled();
}

void CLoading::OnWorkerFinished() {
    if (m_progress.isActive())
        OnProgress();
    OnWatchWorker();
}

void CLoading::OnWatchWorker() {
    if (m_extraction.done != 1 || m_failureTold)
        return;
    m_watch.stop();
    if (m_extraction.failed == 1) {
        // The package could not be read or written out: say why, then end the
        // Player instead of waiting hidden for ever.
        m_failureTold = true;
        platform::MessageBox(nullptr, ExtractMessage(m_extraction.failure.Get()));
        emit packageUnreadable();
        return;
    }
    // A package without config.xml never asks for the configuration: report the
    // end of extraction anyway, without a loading movie.
    if (!m_configRequested && !m_progress.isActive())
        m_progress.start();
}
