// main() of the tests that need Qt: the offscreen platform unless a display is
// asked for, the movie scheme registered before the application exists.

#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

#include "ui/engine/web_engine_setup.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking");
    PrepareWebEngine();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
