#include "ui/engine/web_engine_setup.h"

#include <unistd.h>

#include <QByteArray>
#include <QtGlobal>

#include "ui/engine/player_scheme.h"

namespace {

// Adds a switch of the web engine's own, unless the reader's environment already
// says something about it (`setting`).
void AddEngineSwitch(const char* setting, const QByteArray& flag) {
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains(setting))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + " " + flag);
}

}  // namespace

void PrepareWebEngine() {
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The movie engine is 14 MB of WebAssembly. Its baseline compiler alone starts
    // it in about half the time, without optimising compiles that compete for the
    // processor while the issue opens; magazine movies run well on baseline code.
    AddEngineSwitch("--js-flags", "--js-flags=\"--liftoff-only --no-wasm-tier-up\"");
    // Pages of one site in one profile share a renderer process (the Player's
    // pages are all one site): a movie started beside another then finds the
    // movie engine already compiled, and costs its own memory only.
    AddEngineSwitch("--process-per-site", "--process-per-site");
    // A movie runs at its own pace in a window that is not on the screen: in the
    // tray, or a secondary window that shows once its movie has drawn.
    AddEngineSwitch("--disable-background-timer-throttling",
                    "--disable-background-timer-throttling");
    PlayerSchemeHandler::RegisterScheme();
}
