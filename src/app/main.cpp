#include <unistd.h>

#include <QApplication>
#include <clocale>

#include "app/player_app.h"
#include "bridge/player_scheme.h"
#include "platform/qt_message_box.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // The web engine's sandbox refuses to run as root (containers, CI).
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    PlayerSchemeHandler::RegisterScheme();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtMessageBoxHandler();
    CPlayerApp player;
    player.InitInstance();
    return player.ExitInstance();
}
