#include "ui/cover_run.h"

#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/platform/path.h"
#include "core/platform/text.h"
#include "core/platform/workspace.h"
#include "ui/engine/web_engine_setup.h"
#include "ui/player_app.h"

namespace {

// However an issue behaves (a modal loop, a movie that never ends a call), the
// run ends by then.
constexpr auto kHardLimit =
    std::chrono::milliseconds(CoverShot::kLimitMs) + std::chrono::seconds(5);

constexpr const char* kLinkSchemes[] = {"http", "https", "file", "mailto", "ftp"};

// Links a movie follows while its cover is taken go nowhere.
class LinkSink : public QObject {
    Q_OBJECT
public slots:
    void Open(const QUrl&) {}
};

// A folder of the run's own for everything it would write: its workspace and
// what the web engine and the Player keep between runs.
std::string MakeScratchFolder() {
    std::string folder =
        platform::Utf16ToUtf8(platform::TempPath()) + "magazine-player-cover-XXXXXX";
    if (!mkdtemp(folder.data()))
        return {};
    for (const auto& [variable, below] : {std::pair{"TMPDIR", "tmp"},
                                          {"XDG_DATA_HOME", "data"},
                                          {"XDG_CONFIG_HOME", "config"},
                                          {"XDG_CACHE_HOME", "cache"}}) {
        const std::string path = folder + "/" + below;
        std::filesystem::create_directory(path);
        setenv(variable, path.c_str(), 1);
    }
    return folder;
}

}  // namespace

int RunCover(const CommandLine& command, char* program) {
    const std::string scratch = MakeScratchFolder();
    if (scratch.empty())
        return 1;
    std::thread([scratch] {
        std::this_thread::sleep_for(kHardLimit);
        DeleteFolderTree(platform::Utf8ToUtf16(scratch));
        _exit(1);
    }).detach();
    // The same screen with or without a display: nothing is shown on the reader's.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    PrepareWebEngine();
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --mute-audio");
    static char platformOption[] = "-platform", offscreen[] = "offscreen";
    char* arguments[] = {program, platformOption, offscreen, nullptr};
    int argc = 3;
    int status = 1;
    {
        QApplication app(argc, arguments);
        QApplication::setQuitOnLastWindowClosed(false);
        LinkSink links;
        for (const char* scheme : kLinkSchemes)
            QDesktopServices::setUrlHandler(scheme, &links, "Open");
        CPlayerApp player(
            std::filesystem::absolute(command.issue).string(),
            CoverRequest{std::filesystem::absolute(command.cover).string(), command.coverSize});
        player.InitInstance();
        status = player.ExitInstance();
        for (const char* scheme : kLinkSchemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }
    DeleteFolderTree(platform::Utf8ToUtf16(scratch));
    return status;
}

#include "cover_run.moc"
