#include "ui/engine/ruffle_engine.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QShortcut>
#include <QTimer>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineSettings>

#include <cstdio>

#include "core/bridge/bridge_protocol.h"
#include "core/bridge/link_policy.h"
#include "core/platform/timeline.h"
#include "ui/engine/player_scheme.h"

using namespace bridge_protocol;

namespace {

bool TraceEnabled() {
    return platform::TimelineEnabled();
}

// What the page writes on its console for the start-up timeline.
const QLatin1String kTimelinePrefix("[timeline] ");

void Trace(const QString& line) {
    if (TraceEnabled())
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

// A link a movie opens: the web and mail go to the reader's browser and mail
// program, a document of the issue to the desktop's viewer, and the rest
// nowhere.
void OpenLink(const QUrl& url) {
    const QString file = PlayerSchemeHandler::Instance().IssueFile(url);
    switch (ClassifyLink(url.scheme().toStdU16String(), !file.isEmpty(), file.toStdU16String())) {
        case LinkKind::Web:
            Trace("[link] open " + url.toString());
            QDesktopServices::openUrl(url);
            break;
        case LinkKind::IssueDocument:
            Trace("[link] open " + file);
            QDesktopServices::openUrl(QUrl::fromLocalFile(file));
            break;
        case LinkKind::Refused:
            Trace("[link] refused " + url.toString());
            break;
    }
}

bool IsHostPage(const QUrl& url) {
    return url.toString(QUrl::RemoveQuery) == QLatin1String(kHostPageUrl);
}

class MoviePage : public QWebEnginePage {
public:
    MoviePage(QWebEngineProfile* profile, QObject* parent, std::function<void(const QString&)> log)
        : QWebEnginePage(profile, parent), m_log(std::move(log)) {
        connect(this, &QWebEnginePage::newWindowRequested, this,
                [](QWebEngineNewWindowRequest& request) { OpenLink(request.requestedUrl()); });
    }

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                  const QString&) override {
        m_log(message);
    }
    // The page only ever shows its movie: whatever a movie navigates to is a link
    // for the desktop (or refused), never loaded here.
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        if ((isMainFrame && IsHostPage(url)) || (!isMainFrame && url.scheme() == kScheme))
            return true;
        OpenLink(url);
        return false;
    }

private:
    std::function<void(const QString&)> m_log;
};

QString JsString(const QString& s) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

}  // namespace

RuffleEngine::RuffleEngine(QWidget* parent, FlashProcess process) {
    auto& scheme = PlayerSchemeHandler::Instance();
    m_view = new QWebEngineView(parent);
    auto* page = new MoviePage(scheme.Profile(process), m_view, [this](const QString& message) {
        if (message.startsWith(kTimelinePrefix)) {
            platform::TimelineMark(QString("engine %1 %2")
                                       .arg(m_id)
                                       .arg(message.mid(kTimelinePrefix.size()))
                                       .toStdString());
            return;
        }
        if (TraceEnabled())
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        if (onTrace)
            onTrace(message);
    });
    page->setBackgroundColor(Qt::transparent);
    page->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    page->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    // A movie's Stage.displayState asks the page for full screen; the window that
    // holds the control lays itself out for it.
    page->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    // Links to other schemes (mailto:) reach acceptNavigationRequest, which
    // decides, only when every such navigation is let through to it.
    page->settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowAllUnknownUrlSchemes);
    auto* leaveFullScreen = new QShortcut(QKeySequence(Qt::Key_Escape), m_view);
    leaveFullScreen->setContext(Qt::WidgetWithChildrenShortcut);
    leaveFullScreen->setEnabled(false);
    QObject::connect(leaveFullScreen, &QShortcut::activated, page,
                     [page] { page->triggerAction(QWebEnginePage::ExitFullScreen); });
    QObject::connect(page, &QWebEnginePage::fullScreenRequested, m_view,
                     [this, leaveFullScreen](QWebEngineFullScreenRequest request) {
                         // A window that has no full-screen layout keeps the movie
                         // windowed, and the movie hears that it stayed so.
                         if (!m_events.fullScreen && request.toggleOn())
                             return request.reject();
                         request.accept();
                         leaveFullScreen->setEnabled(request.toggleOn());
                         if (m_events.fullScreen)
                             m_events.fullScreen(request.toggleOn());
                     });
    m_view->setPage(page);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_id = scheme.RegisterEngine([this](QWebEngineUrlRequestJob* job, const QString& kind,
                                        const QString& data) { OnRequest(job, kind, data); });
    QObject::connect(page, &QWebEnginePage::renderProcessTerminated, m_view, [this] {
        m_dead = true;
        if (m_resultWait)
            m_resultWait->quit();
    });
    // A movie runs whether its window is shown, minimised or hidden, as it did in
    // the Flash control: music plays on in the tray, and another magazine loaded
    // into an iconified window starts and asks to be shown. A page the engine
    // thinks hidden gets no animation frames, and the movie engine runs on them.
    page->setVisible(true);
    QObject::connect(page, &QWebEnginePage::visibleChanged, m_view, [page](bool visible) {
        if (!visible)
            page->setVisible(true);
    });
    QObject::connect(page, &QWebEnginePage::loadFinished, m_view, [this](bool) {
        platform::TimelineMark(QString("engine %1 page loaded").arg(m_id).toStdString());
        m_pageReady = true;
        for (const QString& s : std::exchange(m_pendingScripts, {}))
            m_view->page()->runJavaScript(s);
    });
    page->load(QUrl(QString("%1?engine=%2").arg(kHostPageUrl).arg(m_id)));
}

RuffleEngine::~RuffleEngine() {
    PlayerSchemeHandler::Instance().UnregisterEngine(m_id);
    for (auto& f : m_frames)
        AnswerReturn(f.job);
    if (m_resultWait)
        m_resultWait->quit();
    if (m_view)
        m_view->deleteLater();
}

// What bridge.js needs beyond its own engine settings: the CJK font and the
// longest a script may run.
QString RuffleEngine::ConfigJson() const {
    const auto& scheme = PlayerSchemeHandler::Instance();
    QJsonObject options{{"maxExecutionDuration", kMaxScriptSeconds}};
    const QStringList& faces = scheme.FontFaceNames();
    if (!faces.isEmpty())
        options["font"] =
            QJsonObject{{"url", kFontUrl}, {"faces", QJsonArray::fromStringList(faces)}};
    return QString::fromUtf8(QJsonDocument(options).toJson(QJsonDocument::Compact));
}

void RuffleEngine::RunScript(const QString& script) {
    if (m_pageReady) {
        m_view->page()->runJavaScript(script);
    } else {
        m_pendingScripts << script;
    }
}

void RuffleEngine::SetMovie(const QString& path) {
    if (path.trimmed().isEmpty()) {
        RunScript("playerHost.unload()");
        return;
    }
    platform::TimelineMark(
        QString("engine %1 movie %2").arg(m_id).arg(QFileInfo(path).fileName()).toStdString());
    auto& scheme = PlayerSchemeHandler::Instance();
    const QString url = scheme.PublishFile(path);
    const QString base = url.left(url.lastIndexOf('/') + 1);
    // The page of a view not on the screen does not know the view's size: the
    // movie is laid out at it from its first frame all the same.
    RunScript(QString("playerHost.layOut(%1, %2)").arg(m_view->width()).arg(m_view->height()));
    RunScript(
        QString("playerHost.load(%1, %2, %3)").arg(JsString(url), JsString(base), ConfigJson()));
}

void RuffleEngine::Play() {
    RunScript("playerHost.play()");
}
void RuffleEngine::HoldMovie(bool held) {
    RunScript(held ? "playerHost.hold(true)" : "playerHost.hold(false)");
}
void RuffleEngine::Stop() {
    RunScript("playerHost.stop()");
}

void RuffleEngine::TakePicture(std::function<void(const std::optional<QImage>&)> done) {
    if (!m_pageReady) {
        done(QImage());
        return;
    }
    // The page's answer comes from its own process. The page also answers, with
    // nothing, as it is deleted (later than the engine): that answer is dropped.
    const QString ask =
        QString("playerHost.picture(%1, %2)").arg(m_view->width()).arg(m_view->height());
    m_view->page()->runJavaScript(ask, [done,
                                        alive = std::weak_ptr(m_alive)](const QVariant& answer) {
        if (alive.expired())
            return;
        const QString url = answer.toString();
        if (url == "later")
            return done(std::nullopt);
        const QString prefix = "data:image/png;base64,";
        QImage image;
        if (url.startsWith(prefix))
            image.loadFromData(QByteArray::fromBase64(url.mid(prefix.size()).toLatin1()), "PNG");
        done(image);
    });
}

void RuffleEngine::SetReturnValue(const QString& xml) {
    if (!m_frames.empty() && !m_frames.back().fsCommand)
        m_frames.back().returnValue = xml;
}

QString RuffleEngine::CallFunction(const QString& xml) {
    if (!m_frames.empty() && m_frames.back().fsCommand) {
        // The movie engine cannot be entered while it runs an FSCommand: the call
        // is delivered, in order, as soon as the movie's script returns.
        m_frames.back().queued << xml;
        return {};
    }
    if (!m_frames.empty()) {
        // The movie waits in its call to the host: tell it to make this call, and
        // serve whatever it asks meanwhile until its result comes back.
        Frame& frame = m_frames.back();
        AnswerCall(frame.job, QJsonDocument(QJsonObject{{"op", kOpCall}, {"xml", xml}})
                                  .toJson(QJsonDocument::Compact));
        frame.job = nullptr;  // the next request of the page carries the result
        // No longer than a call at the top: a movie that never answers must not
        // hold the command that asked it, nor the Player's end, for ever.
        QEventLoop wait;
        QEventLoop* outer = std::exchange(m_resultWait, &wait);
        m_callResult.reset();
        bool waitedEnough = false;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &wait, [&] {
            waitedEnough = true;
            wait.quit();
        });
        limit.start(s_callTimeout);
        while (!m_callResult && !m_dead && !waitedEnough)
            wait.exec();
        m_resultWait = outer;
        return std::exchange(m_callResult, std::nullopt).value_or(QString());
    }
    if (!m_pageReady)
        return {};
    std::optional<QString> result;
    QEventLoop wait;
    QPointer<QWebEngineView> alive(m_view);
    m_view->page()->runJavaScript(QString("playerHost.call(%1)").arg(JsString(xml)),
                                  [&](const QVariant& v) {
                                      result = v.toString();
                                      wait.quit();
                                  });
    QTimer::singleShot(s_callTimeout, &wait, &QEventLoop::quit);
    if (!result)
        wait.exec();
    return result.value_or(QString());
}

void RuffleEngine::OnRequest(QWebEngineUrlRequestJob* job, const QString& kind,
                             const QString& data) {
    if (kind == kKindCallResult) {
        // The answer to CallFunction; the page now waits on this request. An
        // answer that comes after its call gave up waiting finds no call of the
        // movie's left to answer, or one already answered: it is told to go on.
        if (m_frames.empty() || m_frames.back().job) {
            AnswerReturn(job);
            return;
        }
        m_frames.back().job = job;
        m_callResult = data;
        if (m_resultWait)
            m_resultWait->quit();
        return;
    }
    if (kind == kKindDrawn) {
        AnswerReturn(job);
        if (m_events.firstFrame)
            m_events.firstFrame();
        return;
    }
    if (kind == kKindMovieFailed) {
        AnswerReturn(job);
        if (m_events.movieFailed)
            m_events.movieFailed(data);
        return;
    }
    const bool fs = kind == kKindFsCommand;
    m_frames.push_back({job, fs, std::nullopt, {}});
    if (fs) {
        const QJsonArray args = QJsonDocument::fromJson(data.toUtf8()).array();
        if (TraceEnabled()) {
            std::fprintf(stderr, "[fscommand] %s %s\n",
                         args.at(0).toString().toLocal8Bit().constData(),
                         args.at(1).toString().toLocal8Bit().constData());
        }
        if (m_events.fsCommand)
            m_events.fsCommand(args.at(0).toString(), args.at(1).toString());
    } else if (kind == kKindFlashCall) {
        if (m_events.flashCall)
            m_events.flashCall(data);
    }
    Frame frame = std::move(m_frames.back());
    m_frames.pop_back();
    QJsonObject answer{{"op", kOpReturn}};
    if (frame.returnValue)
        answer["value"] = *frame.returnValue;
    if (!frame.queued.isEmpty())
        answer["queued"] = QJsonArray::fromStringList(frame.queued);
    AnswerCall(frame.job, QJsonDocument(answer).toJson(QJsonDocument::Compact));
}
