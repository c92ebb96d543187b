// The control's picture of its movie, which a window shows as its first paint:
// asked again while the movie has not drawn at the window's size, never waited
// for past its limit, never asked of an engine that has none.

#include <QLabel>

#include <chrono>

#include "ui/engine/shockwave_flash.h"
#include "ui_fixture.h"

namespace {

struct PictureCase {
    const char* what;
    std::vector<std::optional<QImage>> answers;
    int requests;   // the requests made before the window went on
    bool covered;   // a picture lies over the control
    int atLeastMs;  // how long the window waited, at least
};

QImage Drawn() {
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(qRgb(0x30, 0x80, 0xf0));
    return image;
}

}  // namespace

TEST_F(WindowsTest, TheControlsPictureIsAskedForUntilTheMovieHasDrawnAtItsSize) {
    const std::vector<PictureCase> cases = {
        {"drawn at once", {Drawn()}, 1, true, 0},
        {"drawn at the third request", {std::nullopt, std::nullopt, Drawn()}, 3, true, 30},
        {"an engine that reads back nothing", {QImage()}, 1, false, 0},
        {"never drawn at that size: shown at the limit", {std::nullopt}, -1, false, 200},
    };
    for (const PictureCase& c : cases) {
        QWidget window;
        window.resize(300, 200);
        CShockwaveflash1 flash;
        ASSERT_TRUE(flash.Create(&window, 1, window.rect()));
        auto* engine = static_cast<ScriptedFlashEngine*>(flash.Engine());
        engine->pictures.assign(c.answers.begin(), c.answers.end());
        int runs = 0;
        const auto asked = std::chrono::steady_clock::now();
        flash.CoverWithPicture([&] { ++runs; });
        ASSERT_TRUE(WaitFor([&] { return runs > 0; }, 2000)) << c.what;
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - asked);
        if (c.requests > 0) {
            EXPECT_EQ(engine->pictureRequests, c.requests) << c.what;
        }
        EXPECT_GE(waited.count(), c.atLeastMs) << c.what;
        const auto covers = window.findChildren<QLabel*>();
        EXPECT_EQ(!covers.empty(), c.covered) << c.what;
        if (c.covered) {
            EXPECT_EQ(covers.front()->geometry(), flash.Window()->geometry()) << c.what;
        }
        PumpFor(300);  // nothing runs twice, and the requests have stopped
        EXPECT_EQ(runs, 1) << c.what;
        const int requests = engine->pictureRequests;
        PumpFor(60);
        EXPECT_EQ(engine->pictureRequests, requests) << c.what;
    }
}
