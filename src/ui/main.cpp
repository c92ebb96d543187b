#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/app/command_line.h"
#include "core/platform/timeline.h"
#include "ui/cover_run.h"
#include "ui/engine/web_engine_setup.h"
#include "ui/issue_chooser.h"
#include "ui/player_app.h"
#include "ui/player_dlg.h"
#include "ui/qt_message_box.h"

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

// Qt's own options for the Player. In a Wayland session it is a Wayland client
// (through XWayland where the Wayland platform is not installed), unless the
// reader chose a platform: each window is then shown once its movie has drawn
// (weston's XWayland at times shows a window black for a moment as it maps),
// and the compositor places the windows. The option, unlike the environment,
// is not passed on to the programs that links open.
std::vector<char*> QtArguments(char* program) {
    std::vector<char*> arguments{program};
    static char platformOption[] = "-platform", waylandFirst[] = "wayland;xcb";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        arguments.insert(arguments.end(), {platformOption, waylandFirst});
    arguments.push_back(nullptr);
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const std::string program = std::filesystem::path(argv[0]).filename().string();
    // The command line is read before Qt starts, so that --help and a wrong
    // argument are answered without a display.
    const CommandLine command = ParseCommandLine({argv + 1, argv + argc});
    switch (command.action) {
        case CommandLine::Action::Help:
            std::fputs(HelpText(program).c_str(), stdout);
            return 0;
        case CommandLine::Action::Version:
            std::fputs(VersionText().c_str(), stdout);
            return 0;
        case CommandLine::Action::Error:
            std::fprintf(stderr, "%s: %s (see %s --help)\n", program.c_str(), command.error.c_str(),
                         program.c_str());
            return 2;
        case CommandLine::Action::Run:
        case CommandLine::Action::Thumbnail:
            break;
    }
    std::string issue = command.issue, why;
    if (!issue.empty()) {
        // Only the package's end is read: a file that holds no issue costs
        // little, a thumbnailer's run on any executable included.
        if (!HoldsIssue(issue, why)) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), why.c_str());
            return 1;
        }
        issue = std::filesystem::absolute(issue).string();
    }
    if (command.action == CommandLine::Action::Thumbnail)
        return RunCover(command, argv[0]);
    PrepareWebEngine();
    // Qt reads no options of its own from the reader's command line.
    std::vector<char*> qtArguments = QtArguments(argv[0]);
    int qtArgc = static_cast<int>(qtArguments.size()) - 1;
    QApplication app(qtArgc, qtArguments.data());
    platform::TimelineMark("QApplication ready");
    platform::TimelineMark("platform " + QGuiApplication::platformName().toStdString());
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtMessageBoxHandler();
    CloseOnTerminationSignals();
    // The installed program carries no issue: the reader picks one. A Player with
    // something appended reads it, and says what is wrong if it is no issue.
    if (issue.empty() && !HasAppendedData("/proc/self/exe")) {
        issue = ChooseIssue();
        if (issue.empty())
            return 0;
    }
    CPlayerApp player(issue);
    player.InitInstance();
    return player.ExitInstance();
}
