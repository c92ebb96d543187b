#pragma once
// A Flash engine for tests of everything above the control: records the
// calls made on it and raises its events when the test says so.

#include <QStringList>
#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

#include "ui/engine/flash_engine.h"

class ScriptedFlashEngine : public FlashEngine {
public:
    explicit ScriptedFlashEngine(QWidget* parent) : m_widget(new QWidget(parent)) {
        All().push_back(this);
    }
    ~ScriptedFlashEngine() override {
        std::erase(All(), this);
        delete m_widget;
    }

    QWidget* Widget() override { return m_widget; }
    void SetMovie(const QString& path) override {
        calls << "SetMovie(" + path + ")";
        movie = path;
    }
    void Play() override { calls << "Play"; }
    void HoldMovie(bool held) override { calls << (held ? "Hold" : "Release"); }
    void Stop() override { calls << "Stop"; }
    QString CallFunction(const QString& xml) override {
        calls << "CallFunction(" + xml + ")";
        return {};
    }
    void SetReturnValue(const QString& xml) override { returned << xml; }
    // The answers to the next requests for a picture, in turn; then none.
    void TakePicture(std::function<void(const std::optional<QImage>&)> done) override {
        ++pictureRequests;
        if (pictures.empty())
            return done(QImage());
        const std::optional<QImage> answer = pictures.front();
        if (pictures.size() > 1 || answer)
            pictures.pop_front();  // the last "later" is said for ever
        done(answer);
    }

    // What the movie would do.
    void RaiseFSCommand(const QString& command, const QString& args) {
        if (m_events.fsCommand)
            m_events.fsCommand(command, args);
    }
    void RaiseMovieFailed(const QString& reason) {
        if (m_events.movieFailed)
            m_events.movieFailed(reason);
    }
    void RaiseFirstFrame() {
        if (m_events.firstFrame)
            m_events.firstFrame();
    }
    // The answer the movie's call gets (the last SetReturnValue), or empty.
    QString RaiseFlashCall(const QString& request) {
        returned.clear();
        if (m_events.flashCall)
            m_events.flashCall(request);
        return returned.isEmpty() ? QString() : returned.last();
    }

    QStringList calls;
    QStringList returned;
    std::deque<std::optional<QImage>> pictures;
    int pictureRequests = 0;
    QString movie;

    // Every engine alive, in creation order.
    static std::vector<ScriptedFlashEngine*>& All() {
        static std::vector<ScriptedFlashEngine*> all;
        return all;
    }

private:
    QWidget* m_widget;
};

// Makes every new control use a scripted engine (or none, to test failures).
inline void UseScriptedEngines(bool available = true) {
    SetFlashEngineFactory(
        [available](QWidget* parent, FlashProcess) -> std::unique_ptr<FlashEngine> {
            if (!available)
                return nullptr;
            return std::make_unique<ScriptedFlashEngine>(parent);
        });
}
