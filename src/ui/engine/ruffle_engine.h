#pragma once
// The real Flash engine: the open-source movie engine running in a web page of
// its own, with the host page's bridge script translating between the page
// and the control's members and events.

#include <QEventLoop>
#include <QPointer>
#include <QStringList>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineView>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "core/bridge/bridge_protocol.h"
#include "ui/engine/flash_engine.h"

class RuffleEngine : public FlashEngine {
public:
    explicit RuffleEngine(QWidget* parent, FlashProcess process = FlashProcess::Issue);
    ~RuffleEngine() override;

    QWidget* Widget() override { return m_view; }
    void SetMovie(const QString& path) override;
    void Play() override;
    void HoldMovie(bool held) override;
    void Stop() override;
    QString CallFunction(const QString& xml) override;
    void SetReturnValue(const QString& xml) override;
    void TakePicture(std::function<void(const std::optional<QImage>&)> done) override;

    // How long a call into the movie waits for its answer (tests shorten it).
    static void SetCallTimeout(std::chrono::milliseconds limit) { s_callTimeout = limit; }

    // Movie trace output and engine messages, also written to stderr when
    // PLAYER_TRACE=1.
    std::function<void(const QString&)> onTrace;

private:
    // One movie-to-host request being served; the page waits for its answer.
    struct Frame {
        QPointer<QWebEngineUrlRequestJob> job;
        bool fsCommand = false;
        std::optional<QString> returnValue;
        QStringList queued;  // calls into the movie made while it cannot take them
    };

    void OnRequest(QWebEngineUrlRequestJob* job, const QString& kind, const QString& data);
    void RunScript(const QString& script);
    QString ConfigJson() const;

    static inline std::chrono::milliseconds s_callTimeout{bridge_protocol::kCallFunctionTimeoutMs};

    QWebEngineView* m_view = nullptr;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);  // gone with the engine
    int m_id = 0;
    bool m_pageReady = false;
    bool m_dead = false;  // the page's process is gone: nothing will answer
    QStringList m_pendingScripts;
    std::vector<Frame> m_frames;
    QEventLoop* m_resultWait = nullptr;
    std::optional<QString> m_callResult;
};
