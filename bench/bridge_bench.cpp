// Round trips through the Flash control: movie -> host -> movie calls, host ->
// movie calls, and the time from SetMovie to the movie's first FSCommand.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/engine/player_scheme.h"
#include "ui/engine/ruffle_engine.h"
#include "ui/engine/web_engine_setup.h"

namespace {

void Report(const char* what, std::vector<double> ms, double targetMs) {
    std::sort(ms.begin(), ms.end());
    std::printf("bridge: %s: n=%zu median %.3f ms, p95 %.3f ms (target median <= %.1f ms)\n", what,
                ms.size(), ms[ms.size() / 2], ms[ms.size() * 95 / 100], targetMs);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareWebEngine();
    QApplication app(argc, argv);
    QTemporaryDir ws;
    QFile::copy(BENCH_SWF, ws.filePath("bench.swf"));
    PlayerSchemeHandler::Instance().SetWorkspace(ws.path());
    QWidget window;
    window.resize(200, 200);
    window.show();
    RuffleEngine engine(&window);
    engine.Widget()->setGeometry(0, 0, 200, 200);
    engine.Widget()->show();

    QElapsedTimer clock;
    qint64 lastPing = -1, readyAt = -1;
    std::vector<double> pings;
    engine.SetEvents({.fsCommand =
                          [&](const QString& c, const QString&) {
                              if (c == "ready")
                                  readyAt = clock.nsecsElapsed();
                          },
                      .flashCall =
                          [&](const QString&) {
                              // The interval between two calls of the movie is one full round trip:
                              // the answer back into the movie and its next call out.
                              const qint64 now = clock.nsecsElapsed();
                              if (lastPing >= 0)
                                  pings.push_back((now - lastPing) / 1e6);
                              lastPing = now;
                              engine.SetReturnValue("<string>pong</string>");
                          }});
    clock.start();
    engine.SetMovie(ws.filePath("bench.swf"));
    while (readyAt < 0 && clock.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    if (readyAt < 0) {
        std::fprintf(stderr, "the movie never became ready\n");
        return 1;
    }
    std::printf("bridge: SetMovie to the first FSCommand: %.1f ms\n", readyAt / 1e6);
    engine.CallFunction(
        "<invoke name=\"run\" "
        "returntype=\"xml\"><arguments><number>1001</number></arguments></invoke>");
    Report("FlashCall round trips (movie -> host -> movie)", pings, 1.5);
    std::vector<double> calls;
    for (int i = 0; i < 1000; ++i) {
        QElapsedTimer t;
        t.start();
        engine.CallFunction(
            "<invoke name=\"echo\" "
            "returntype=\"xml\"><arguments><number>1</number></arguments></invoke>");
        calls.push_back(t.nsecsElapsed() / 1e6);
    }
    Report("CallFunction (host -> movie -> host)", calls, 2);
    return 0;
}
