#include "bridge/web_engine_setup.h"

#include <unistd.h>

#include <QByteArray>
#include <QtGlobal>

#include "bridge/player_scheme.h"

void PrepareWebEngine() {
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The movie engine is 14 MB of WebAssembly. Its baseline compiler alone starts
    // it in about half the time, without optimising compiles that compete for the
    // processor while the issue opens; magazine movies run well on baseline code.
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--js-flags")) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                flags + " --js-flags=\"--liftoff-only --no-wasm-tier-up\"");
    }
    // Pages of one site in one profile share a renderer process (the Player's
    // pages are all one site): a movie started beside another then finds the
    // movie engine already compiled, and costs its own memory only.
    if (!flags.contains("--process-per-site"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --process-per-site");
    PlayerSchemeHandler::RegisterScheme();
}
