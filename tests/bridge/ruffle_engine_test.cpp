// The real Flash control: the movie engine in Qt WebEngine, with movies made by
// Haxe (ActionScript 3) and by swfkit (ActionScript 2).

#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include "core/bridge/external_interface.h"
#include "support/qt_invoke.h"
#include "support/qt_wait.h"
#include "swf_writer.h"
#include "ui/engine/player_scheme.h"
#include "ui/engine/ruffle_engine.h"

namespace {

using test::Invoke;

class RuffleEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlayerSchemeHandler::Instance().SetWorkspace(ws.path());
        window.resize(320, 240);
        window.show();
        engine = std::make_unique<RuffleEngine>(&window);
        engine->Widget()->setGeometry(0, 0, 320, 240);
        engine->Widget()->show();
        engine->onTrace = [this](const QString& m) {
            if (m.startsWith("[trace] "))
                traces << m.mid(8);
        };
        engine->SetEvents(
            {.fsCommand = [this](const QString& c, const QString& a) { OnFSCommand(c, a); },
             .flashCall = [this](const QString& r) { OnFlashCall(r); }});
    }

    void OnFSCommand(const QString& command, const QString& args) {
        fsCommands << command + "|" + args;
        if (command == "queue") {
            engine->CallFunction(Invoke("order", "<number>1</number>"));
            engine->CallFunction(Invoke("order", "<number>2</number>"));
        }
    }

    void OnFlashCall(const QString& request) {
        requests << request;
        InvokeRequest r;
        ASSERT_TRUE(r.Decode(request.toStdU16String()));
        const QString name = QString::fromStdU16String(r.Name());
        if (name == "brivol_args")
            engine->SetReturnValue("<true/>");
        if (name == "reply_string")
            engine->SetReturnValue("<string>text 中</string>");
        if (name == "reply_number")
            engine->SetReturnValue("<number>42</number>");
        if (name == "reply_true")
            engine->SetReturnValue("<true/>");
        if (name == "reply_false")
            engine->SetReturnValue("<false/>");
        if (name == "reply_array")
            engine->SetReturnValue(QString::fromStdU16String(ReplyArray({u"a", u"b"})));
        if (name == "reply_null")
            engine->SetReturnValue("<null/>");
        if (name == "reply_unescaped")
            engine->SetReturnValue("<string>a&b<c</string>");
        if (name == "reentrant")
            engine->SetReturnValue(engine->CallFunction(Invoke("echo", "<string>inner</string>")));
        if (name == "brivol_as2")
            engine->SetReturnValue("<string>ok</string>");
        if (name == "ask_hang") {
            QElapsedTimer t;
            t.start();
            nestedAnswer = engine->CallFunction(Invoke("hang"));
            nestedMs = static_cast<int>(t.elapsed());
        }
        if (name == "modal") {
            // As a modal dialog would: the movie's call waits in a nested event loop.
            QEventLoop loop;
            QTimer::singleShot(modalMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec();
            engine->SetReturnValue("<string>closed</string>");
        }
    }

    void Load(const QString& file) { engine->SetMovie(ws.filePath(file)); }

    int Frames() {
        return engine->CallFunction(Invoke("frames"))
            .remove("<number>")
            .remove("</number>")
            .toInt();
    }

    QTemporaryDir ws;
    QWidget window;
    std::unique_ptr<RuffleEngine> engine;
    QStringList traces, fsCommands, requests;
    int modalMs = 100;
    QString nestedAnswer = "none";
    int nestedMs = -1;
};

}  // namespace

TEST_F(RuffleEngineTest, ActionScript3CallsAndReplies) {
    ASSERT_TRUE(QFile::copy(BRIDGE_SWF, ws.filePath("bridge.swf")));
    Load("bridge.swf");
    ASSERT_TRUE(WaitFor([&] { return traces.contains("order 2"); }))
        << traces.join('\n').toStdString();

    EXPECT_EQ(fsCommands.value(0), "命令 cmd|参数|args 中文");
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_EQ(
        requests[0],
        Invoke("brivol_args",
               "<string>s&lt;&amp;&gt;&quot;&apos;</string><number>12.5</number><number>-3</number>"
               "<true/><false/><null/><array><property id=\"0\"><number>1</number></property>"
               "<property id=\"1\"><string>a</string></property></array><object>"
               "<property id=\"k\"><string>v</string></property></object>"));
    InvokeRequest decoded;
    ASSERT_TRUE(decoded.Decode(requests[0].toStdU16String()));
    EXPECT_EQ(decoded.NextString(), u"s<&>\"'");
    const QStringList expected = {"args bool:true",
                                  "reply_string string:text 中",
                                  "reply_number number:42",
                                  "reply_true bool:true",
                                  "reply_false bool:false",
                                  "reply_array array[string:a,string:b]",
                                  "reply_null null",
                                  "reply_none null",
                                  "reply_unescaped string:a&b<c",
                                  "echo string:inner",
                                  "reentrant string:echo:inner",
                                  "after queue",
                                  "order 1",
                                  "order 2"};
    EXPECT_EQ(traces, expected);
    // Names the host does not know reach it all the same.
    EXPECT_TRUE(requests.filter("name=\"reply_none\"").size() == 1);
}

TEST_F(RuffleEngineTest, TopLevelCallsPlayAndStop) {
    ASSERT_TRUE(QFile::copy(BRIDGE_SWF, ws.filePath("bridge.swf")));
    Load("bridge.swf");
    ASSERT_TRUE(WaitFor([&] { return traces.contains("order 2"); }));
    EXPECT_EQ(engine->CallFunction(Invoke("echo", "<string>top</string>")),
              "<string>echo:top</string>");
    EXPECT_EQ(engine->CallFunction(Invoke("no_such_callback")), "<null/>");
    const int f1 = Frames();
    EXPECT_TRUE(WaitFor([&] { return Frames() > f1; }, 5000));
    engine->Stop();
    PumpFor(200);  // a frame already under way may still end
    const int f3 = Frames();
    PumpFor(400);
    EXPECT_LE(Frames() - f3, 1);
    engine->Play();
    EXPECT_TRUE(WaitFor([&] { return Frames() > f3 + 2; }, 5000));
    engine->SetMovie(" ");
    EXPECT_TRUE(
        WaitFor([&] { return engine->CallFunction(Invoke("frames")) == "<undefined/>"; }, 5000));
}

TEST_F(RuffleEngineTest, AMovieCallWaitsThroughALongModalDialog) {
    ASSERT_TRUE(QFile::copy(BRIDGE_SWF, ws.filePath("bridge.swf")));
    Load("bridge.swf");
    ASSERT_TRUE(WaitFor([&] { return traces.contains("order 2"); }));
    modalMs = 20000;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(engine->CallFunction(Invoke("modal")), "<true/>");
    EXPECT_GE(t.elapsed(), 19900);
    EXPECT_TRUE(traces.contains("after modal string:closed"));
    const int f1 = Frames();
    EXPECT_TRUE(WaitFor([&] { return Frames() > f1; }, 5000));  // the movie keeps running
}

TEST_F(RuffleEngineTest, ActionScript2FSCommandAndExternalInterface) {
    using namespace swfkit;
    Avm1 echo;
    echo.Push("a").GetVariable().Push("!").Add2().Return();
    Avm1 code;
    code.GetUrl("FSCommand:命令2", "参数2 as2");
    // trace("as2 " + ExternalInterface.call("brivol_as2", "x", 5))
    code.Push("as2 ")
        .Push(5)
        .Push("x")
        .Push("brivol_as2")
        .Call("flash.external.ExternalInterface", "call", 3)
        .Add2()
        .Trace();
    // ExternalInterface.addCallback("as2echo", null, function (a) { return a + "!"; })
    code.DefineFunction("", {"a"}, echo)
        .PushNull()
        .Push("as2echo")
        .Call("flash.external.ExternalInterface", "addCallback", 3)
        .Pop();
    code.Push("as2 ready").Trace();
    Movie movie(8, 320, 240, 24);
    movie.Background(0xFFFFFF).Rectangle(0, 0, 160, 120, 0x00AA00, 1).DoAction(code).ShowFrame();
    ASSERT_TRUE(movie.WriteTo(ws.filePath("as2.swf").toStdString()));
    Load("as2.swf");
    ASSERT_TRUE(WaitFor([&] { return traces.contains("as2 ready"); }))
        << traces.join('\n').toStdString();
    EXPECT_EQ(fsCommands.value(0), "命令2|参数2 as2");
    EXPECT_EQ(requests.value(0), Invoke("brivol_as2", "<string>x</string><number>5</number>"));
    EXPECT_TRUE(traces.contains("as2 ok"));
    EXPECT_EQ(engine->CallFunction(Invoke("as2echo", "<string>hi</string>")),
              "<string>hi!</string>");
    // The rectangle is drawn once the first frame has been painted.
    EXPECT_TRUE(WaitFor([&] {
        return engine->Widget()->grab().toImage().pixelColor(80, 60) == QColor(0x00, 0xAA, 0x00);
    }));
}

// A movie held has its engine instance made, but none of it runs until it is let go.
TEST_F(RuffleEngineTest, AHeldMovieRunsOnlyOnceLetGo) {
    using namespace swfkit;
    Avm1 code;
    code.Push("ran").Trace();
    Movie movie(8, 320, 240, 24);
    movie.Background(0xFFFFFF).DoAction(code).ShowFrame();
    ASSERT_TRUE(movie.WriteTo(ws.filePath("held.swf").toStdString()));
    QStringList held;
    engine->onTrace = [&](const QString& m) {
        if (m.startsWith("[held] "))
            held << m;
        if (m.startsWith("[trace] "))
            traces << m.mid(8);
    };
    engine->HoldMovie(true);
    Load("held.swf");
    engine->Play();
    ASSERT_TRUE(WaitFor([&] { return !held.isEmpty(); }));  // made, and waiting for the movie
    EXPECT_TRUE(held[0].endsWith("/held.swf")) << held[0].toStdString();
    EXPECT_TRUE(traces.isEmpty());
    engine->HoldMovie(false);
    EXPECT_TRUE(WaitFor([&] { return traces.contains("ran"); }));
}

TEST_F(RuffleEngineTest, ShapesAndChineseTextAreDrawn) {
    ASSERT_TRUE(QFile::copy(BRIDGE_SWF, ws.filePath("bridge.swf")));
    Load("bridge.swf");
    ASSERT_TRUE(WaitFor([&] { return traces.contains("order 2"); }));
    QImage shot;
    // Wait for a painted frame with both rectangles.
    ASSERT_TRUE(WaitFor([&] {
        shot = engine->Widget()->grab().toImage();
        return shot.pixelColor(50, 25) == QColor(Qt::red) &&
               shot.pixelColor(150, 25) == QColor(Qt::blue);
    }));
    // The Chinese line (y 60..90) holds dark glyph pixels.
    int dark = 0;
    for (int x = 0; x < 80; ++x) {
        for (int y = 60; y < 95; ++y)
            dark += shot.pixelColor(x, y).lightness() < 100;
    }
    EXPECT_GT(dark, 40);
    QDir().mkpath(SCREENSHOT_DIR);
    if (qEnvironmentVariableIsSet("SAVE_SCREENSHOTS"))
        shot.save(QString(SCREENSHOT_DIR) + "/flash-control.png");
}

// A movie's sound reaches the audio output: the engine's audio context runs and
// its clock advances (the output stream consumes samples).
TEST_F(RuffleEngineTest, SoundPlays) {
    ASSERT_TRUE(QFile::copy(TONE_SWF, ws.filePath("tone.swf")));
    QWebEnginePage* page = static_cast<QWebEngineView*>(engine->Widget())->page();
    const auto js = [&](const QString& script) {
        QVariant result;
        bool done = false;
        page->runJavaScript(script, [&](const QVariant& v) {
            result = v;
            done = true;
        });
        WaitFor([&] { return done; }, 5000);
        return result;
    };
    ASSERT_TRUE(WaitFor([&] { return js("typeof playerHost").toString() == "object"; }));
    // Every audio context the engine makes is kept where the test can see it.
    js("window.contexts = []; const Native = window.AudioContext;"
       "window.AudioContext = function (...a) { const c = new Native(...a);"
       " contexts.push(c); return c; };");
    Load("tone.swf");
    ASSERT_TRUE(WaitFor([&] { return traces.contains("playing"); }))
        << traces.join('\n').toStdString();
    const QString state = "contexts.map((c) => c.state + ' ' + c.currentTime).join(';')";
    ASSERT_TRUE(WaitFor([&] { return js(state).toString().startsWith("running"); }, 10000))
        << js(state).toString().toStdString();
    const double t0 = js("contexts[0].currentTime").toDouble();
    EXPECT_TRUE(WaitFor([&] { return js("contexts[0].currentTime").toDouble() > t0 + 0.2; }, 5000))
        << "the audio clock stands still at " << t0;
}

// A movie whose callback never returns, called while the movie waits in a call
// of its own: the host's call gives up after its limit, as a call at the top
// does, so that neither the command that asked nor the Player's end waits for
// ever. (Last in this file: the movie's page never runs again.)
TEST_F(RuffleEngineTest, ACallIntoAMovieThatNeverAnswersGivesUp) {
    using namespace swfkit;
    Avm1 spin;
    spin.JumpToSelf();
    Avm1 code;
    // ExternalInterface.addCallback("hang", null, function () { for (;;) {} })
    code.DefineFunction("", {}, spin)
        .PushNull()
        .Push("hang")
        .Call("flash.external.ExternalInterface", "addCallback", 3)
        .Pop();
    code.Push("asking").Trace();
    code.Push("ask_hang").Call("flash.external.ExternalInterface", "call", 1).Pop();
    Movie movie(8, 320, 240, 24);
    movie.Background(0xFFFFFF).DoAction(code).ShowFrame();
    ASSERT_TRUE(movie.WriteTo(ws.filePath("hang.swf").toStdString()));
    RuffleEngine::SetCallTimeout(std::chrono::milliseconds(500));
    Load("hang.swf");
    ASSERT_TRUE(WaitFor([&] { return nestedMs >= 0; }, 20000)) << traces.join('\n').toStdString();
    RuffleEngine::SetCallTimeout(
        std::chrono::milliseconds(bridge_protocol::kCallFunctionTimeoutMs));
    EXPECT_TRUE(traces.contains("asking"));
    EXPECT_EQ(nestedAnswer, "");
    EXPECT_GE(nestedMs, 450);
    EXPECT_LT(nestedMs, 5000);
    // The page's process loops for ever: ended here, so that no later page of
    // this test program is made in it.
    const qint64 pid = static_cast<QWebEngineView*>(engine->Widget())->page()->renderProcessPid();
    if (pid > 0)
        kill(static_cast<pid_t>(pid), SIGKILL);
}
