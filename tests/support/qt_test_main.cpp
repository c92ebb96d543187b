// main() of the tests that need Qt: the offscreen platform unless a display is
// asked for, the movie scheme registered before the application exists.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <clocale>

#include "bridge/player_scheme.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking");
    PlayerSchemeHandler::RegisterScheme();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
