// A movie compiled by someone else's tool chain, hosted in the real control:
// its ExternalInterface provider is implemented through FlashCall,
// SetReturnValue and CallFunction, and its trace output must match what its
// authors recorded.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include "core/bridge/external_interface.h"
#include "support/qt_wait.h"
#include "ui/engine/player_scheme.h"
#include "ui/engine/ruffle_engine.h"

namespace {

const QString kDir = TESTDATA_DIR "/swfs/avm2_external_interface";

bool IsProviderLine(const QString& l) {
    return l.startsWith("[ExternalInterface]") || l.startsWith("After calling") ||
           l.startsWith("Before calling");
}

QString Describe(const QString& xml) {
    return xml.isEmpty() ? "<undefined/>" : xml;
}

}  // namespace

TEST(RuffleTestdata, ExternalInterfaceOutputMatchesTheRecording) {
    QFile expectedFile(kDir + "/output.txt");
    ASSERT_TRUE(expectedFile.open(QIODevice::ReadOnly));
    const QStringList expected = QString::fromUtf8(expectedFile.readAll()).split('\n');

    QTemporaryDir ws;
    ASSERT_TRUE(QFile::copy(kDir + "/test.swf", ws.filePath("test.swf")));
    PlayerSchemeHandler::Instance().SetWorkspace(ws.path());

    QWidget window;
    window.resize(320, 240);
    window.show();
    RuffleEngine engine(&window);
    engine.Widget()->setGeometry(0, 0, 320, 240);
    engine.Widget()->show();
    QStringList movieLines, providerLines, engineMessages;
    engine.onTrace = [&](const QString& m) {
        if (m.startsWith("[trace] ")) {
            movieLines << m.mid(8);
        } else {
            engineMessages << m;
        }
    };
    engine.SetEvents({.flashCall = [&](const QString& text) {
        InvokeRequest request;
        ASSERT_TRUE(request.Decode(text.toStdU16String()));
        const QString name = QString::fromStdU16String(request.Name());
        if (name == "ping") {
            providerLines << "[ExternalInterface] ping";
            engine.SetReturnValue("<string>Pong!</string>");
        } else if (name == "trace") {
            const QString args = text.mid(text.indexOf("<arguments>"));
            providerLines << "[ExternalInterface] trace: " + args;
            engine.SetReturnValue("<string>Traced!</string>");
        } else if (name == "reentry") {
            providerLines << "[ExternalInterface] starting reentry";
            engine.SetReturnValue(
                engine.CallFunction("<invoke name=\"callWith\" "
                                    "returntype=\"xml\"><arguments><string>trace</string>"
                                    "<string>successful reentry!</string></arguments></invoke>"));
        } else {
            engine.SetReturnValue("<null/>");
        }
    }});
    engine.SetMovie(ws.filePath("test.swf"));
    ASSERT_TRUE(WaitFor([&] { return movieLines.contains("/// callWith() end"); }));
    // The script's end: its last trace, then the engine's report of the class it
    // cannot link.
    ASSERT_TRUE(WaitFor([&] { return engineMessages.join('\n').contains("Error #2023"); }));

    const auto call = [&](const QString& name, const QString& args) {
        return Describe(engine.CallFunction("<invoke name=\"" + name +
                                            "\" returntype=\"xml\"><arguments>" + args +
                                            "</arguments></invoke>"));
    };
    providerLines << "After calling `parrot` with a string: " +
                         call("parrot", "<string>Hello World!</string>");
    providerLines << "After calling `parrot` with an object: " +
                         call("parrot",
                              "<object><property id=\"a\"><number>100</number></property>"
                              "<property id=\"b\"><string>string</string></property></object>");
    call("freestanding", "<string>Hello World!</string>");
    providerLines << "Before calling `removeMe`";
    providerLines << "After calling `removeMe`: " + call("removeMe", "");
    providerLines
        << "After calling `callWith` with a complex payload: " +
               call("callWith",
                    "<string>trace</string><array><property id=\"0\"><string>string</string>"
                    "</property><property id=\"1\"><number>100</number></property>"
                    "<property id=\"2\"><null/></property><property id=\"3\"><false/>"
                    "</property></array>");
    ASSERT_TRUE(WaitFor([&] { return movieLines.count("/// callWith() end") == 2; }));
    PumpFor(300);  // nothing more may follow

    // The movie's own lines, exactly and in order. The one error line is the
    // engine's own report, not a trace.
    QStringList expectedMovie;
    for (const QString& l : expected) {
        if (!IsProviderLine(l) && !l.startsWith("TypeError: Error #2023"))
            expectedMovie << l;
    }
    while (!expectedMovie.isEmpty() && expectedMovie.last().isEmpty())
        expectedMovie.removeLast();
    while (!movieLines.isEmpty() && movieLines.last().isEmpty())
        movieLines.removeLast();
    EXPECT_EQ(movieLines.join('\n').toStdString(), expectedMovie.join('\n').toStdString());
    EXPECT_TRUE(engineMessages.join('\n').contains("Error #2023"));

    // The provider's lines by meaning.
    ASSERT_EQ(providerLines.size(), 9) << providerLines.join('\n').toStdString();
    EXPECT_EQ(providerLines[0], "[ExternalInterface] ping");
    EXPECT_EQ(providerLines[1], "[ExternalInterface] starting reentry");
    EXPECT_EQ(providerLines[2],
              "[ExternalInterface] trace: <arguments><string>successful "
              "reentry!</string></arguments></invoke>");
    EXPECT_EQ(providerLines[3],
              "After calling `parrot` with a string: <string>Hello World!</string>");
    EXPECT_TRUE(providerLines[4].contains("<property id=\"a\"><number>100</number></property>"));
    EXPECT_TRUE(providerLines[4].contains("<property id=\"b\"><string>string</string></property>"));
    EXPECT_EQ(providerLines[5], "Before calling `removeMe`");
    EXPECT_TRUE(providerLines[6].endsWith("<null/>") || providerLines[6].endsWith("<undefined/>"))
        << providerLines[6].toStdString();
    EXPECT_EQ(providerLines[7],
              "[ExternalInterface] trace: <arguments><array><property id=\"0\"><string>string"
              "</string></property><property id=\"1\"><number>100</number></property>"
              "<property id=\"2\"><null/></property><property id=\"3\"><false/></property>"
              "</array></arguments></invoke>");
    EXPECT_EQ(providerLines[8], "After calling `callWith` with a complex payload: <undefined/>");
}
