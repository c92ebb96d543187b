// What the web engine costs before the Player adds anything, for the start-up
// and memory benchmarks to measure the Player against in the same run:
//
//   webengine_floor empty    a bare view loads an empty page
//   webengine_floor compile  a bare view fetches the movie engine's module and
//                            compiles it, and makes no instance of it
//   webengine_floor engine   a bare view starts the movie engine on an empty movie
//
// With PLAYER_TRACE=1 it writes the start-up timeline ("page loaded", "engine
// compiled", and for "engine" the engine's own marks), then stays until it is
// killed, so that its memory can be read.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>
#include <cstring>
#include <memory>

#include "core/platform/timeline.h"
#include "ui/engine/player_scheme.h"
#include "ui/engine/ruffle_engine.h"
#include "ui/engine/web_engine_setup.h"

namespace {

// The smallest movie: a header (version 10, 18 bytes long, a 1x1 stage, 30
// frames a second, one frame) and the End tag.
const char kEmptyMovie[] = "FWS\x0a\x12\x00\x00\x00\x30\x14\x00\xa0\x00\x1e\x01\x00\x00\x00";

// A page that says when it has compiled the engine.
class FloorPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                  const QString&) override {
        if (message.startsWith("[timeline] "))
            platform::TimelineMark(message.mid(11).toStdString());
        else
            std::fprintf(stderr, "%s\n", qPrintable(message));
    }
};

// Of the engine's two builds, the one with WebAssembly extensions, which every
// web engine the Player runs on takes: it is the smaller.
QString EngineModule() {
    QFileInfoList builds = QDir(":/ruffle").entryInfoList({"*.wasm"}, QDir::Files, QDir::Size);
    return builds.isEmpty() ? QString() : builds.last().fileName();
}

}  // namespace

int main(int argc, char** argv) {
    const bool engine = argc > 1 && std::strcmp(argv[1], "engine") == 0;
    const bool compile = argc > 1 && std::strcmp(argv[1], "compile") == 0;
    PrepareWebEngine();
    QApplication app(argc, argv);
    platform::TimelineMark("QApplication ready");
    QWidget window;
    window.resize(320, 240);
    window.show();
    QTemporaryDir ws;
    std::unique_ptr<RuffleEngine> ruffle;
    if (engine) {
        QFile movie(ws.filePath("empty.swf"));
        movie.open(QIODevice::WriteOnly);
        movie.write(kEmptyMovie, sizeof kEmptyMovie - 1);
        movie.close();
        PlayerSchemeHandler::Instance().SetWorkspace(ws.path());
        ruffle = std::make_unique<RuffleEngine>(&window);
        ruffle->Widget()->setGeometry(0, 0, 320, 240);
        ruffle->Widget()->show();
        ruffle->SetMovie(ws.filePath("empty.swf"));
        ruffle->Play();
    } else if (compile) {
        auto* view = new QWebEngineView(&window);
        view->setPage(new FloorPage(PlayerSchemeHandler::Instance().Profile(), view));
        view->setGeometry(0, 0, 320, 240);
        view->load(QUrl("player://app/page/compile.html?wasm=" + EngineModule()));
        view->show();
    } else {
        auto* view = new QWebEngineView(&window);
        view->setGeometry(0, 0, 320, 240);
        QObject::connect(view, &QWebEngineView::loadFinished,
                         [](bool) { platform::TimelineMark("page loaded"); });
        view->setHtml("<!DOCTYPE html><html><body></body></html>");
        view->show();
    }
    return app.exec();
}
