#pragma once
// What plays a movie behind CShockwaveflash1: the five members and two events
// of the original control. The real engine runs the movie engine in a web
// page; tests use a scripted one.

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class FlashEngine {
public:
    struct Events {
        std::function<void(const QString& command, const QString& args)> fsCommand;
        std::function<void(const QString& request)> flashCall;
        // The engine could not load or parse the movie that SetMovie gave it.
        std::function<void(const QString& reason)> movieFailed;
        // The movie that SetMovie gave has drawn its first frame.
        std::function<void()> firstFrame;
        // The movie asks for full screen (true) or to leave it (false, or Esc).
        std::function<void(bool on)> fullScreen;
    };

    virtual ~FlashEngine() = default;

    // The widget the movie is drawn in.
    virtual QWidget* Widget() = 0;
    // A path of the file system; a single space unloads the movie.
    virtual void SetMovie(const QString& path) = 0;
    virtual void Play() = 0;
    // A movie held has its engine made ready but none of it runs (it is not even
    // read) until it is let go. Holding asks for the next SetMovie.
    virtual void HoldMovie(bool held) = 0;
    virtual void Stop() = 0;
    virtual QString CallFunction(const QString& xml) = 0;
    // The answer of the movie's pending ExternalInterface call.
    virtual void SetReturnValue(const QString& xml) = 0;
    // What the movie last drew, handed to `done` (soon, and never after the
    // engine is gone); a null image where the engine cannot read it back, and
    // nothing where the movie has not yet drawn at its window's present size
    // (it may, soon: ask again).
    virtual void TakePicture(std::function<void(const std::optional<QImage>&)> done) {
        done(QImage());
    }

    void SetEvents(Events events) { m_events = std::move(events); }

protected:
    Events m_events;
};

// Which movies share one process of the web engine: the issue's own (its main
// and loading movies, which then compile the engine once), or the secondary
// windows'. The two are kept apart because a movie waiting in a call to the
// Player (a dialog open) holds up every movie of its process.
enum class FlashProcess { Issue, SecondaryWindows };

// Makes the engine for each new control; replaceable so that tests can run
// every window with a scripted engine. Returns nothing when no engine can be made.
using FlashEngineFactory =
    std::function<std::unique_ptr<FlashEngine>(QWidget* parent, FlashProcess process)>;
void SetFlashEngineFactory(FlashEngineFactory factory);
std::unique_ptr<FlashEngine> MakeFlashEngine(QWidget* parent, FlashProcess process);
