#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <clocale>

#include "app/player_app.h"
#include "app/player_dlg.h"
#include "bridge/web_engine_setup.h"
#include "platform/qt_message_box.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char c = 1;
    (void)!write(g_signalPipe[1], &c, 1);
}

// A termination signal (logout, kill) ends the Player the orderly way, so that
// its workspace is deleted as on any other exit.
void CloseOnTerminationSignals() {
    if (pipe(g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char c;
        (void)!read(g_signalPipe[0], &c, 1);
        if (g_mainWnd)
            g_mainWnd->close();
    });
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        signal(s, OnSignal);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtMessageBoxHandler();
    CloseOnTerminationSignals();
    CPlayerApp player;
    player.InitInstance();
    return player.ExitInstance();
}
