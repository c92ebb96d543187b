// The real Player on a reader's desktop: an X server with a window manager and
// a tray host (tests/e2e/desktop-session starts them), driven by mouse clicks.

#include <QImage>

#include <fstream>
#include <regex>
#include <thread>

#include "e2e/player_run.h"
#include "support/colours.h"
#include "support/x11_desktop.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::WaitUntil;

namespace {

constexpr const char* kTitle = "Desktop 桌面";

class DesktopRun : public PlayerRun {
protected:
    void SetUp() override {
        PlayerRun::SetUp();
        if (!desktop.IsOpen())
            GTEST_SKIP() << "needs an X server";
        if (!WaitUntil([&] {
                return desktop.HasWindowManager() && desktop.HasTrayHost() == WantsTrayHost();
            }))
            GTEST_SKIP() << "needs a window manager " << (WantsTrayHost() ? "and" : "but no")
                         << " tray host (tests/e2e/desktop-session)";
        platform = "xcb";
        fs::create_directories(SCREENSHOT_DIR);
        Config(std::string("<MSG><Wnd Width='640' Height='480' bShowTitle='true' Title='") +
               kTitle + "'/></MSG>");
    }

    virtual bool WantsTrayHost() const { return true; }

    int Count(const std::string& word) const {
        const std::string log = Log();
        int n = 0;
        for (size_t at = log.find(word); at != std::string::npos; at = log.find(word, at + 1))
            ++n;
        return n;
    }
    std::optional<test::X11Window> Main() const { return desktop.Find(kTitle); }
    bool MainViewable() const {
        const auto w = Main();
        return w && w->viewable;
    }
    test::X11Window TrayIcon() const {
        std::optional<test::X11Window> icon;
        EXPECT_TRUE(WaitUntil([&] { return (icon = desktop.TrayIcon()) && icon->viewable; }))
            << "no icon in the tray";
        return icon.value_or(test::X11Window{});
    }
    static QPoint Centre(const test::X11Window& w) { return w.geometry.center(); }

    // Right-clicks the tray icon and picks item `index` of the menu it opens.
    void PickFromTrayMenu(int index, int items, const std::string& screenshot = "") {
        const QPoint icon = Centre(TrayIcon());
        ASSERT_TRUE(test::X11Desktop::Click(icon.x(), icon.y(), 3));
        std::optional<test::X11Window> menu;
        ASSERT_TRUE(WaitUntil([&] { return (menu = desktop.PopupMenu()) && menu->viewable; }))
            << "the tray menu did not open";
        const QRect r = menu->geometry;
        const QPoint item(r.left() + r.width() / 2,
                          r.top() + r.height() * (2 * index + 1) / (2 * items));
        if (!screenshot.empty()) {
            // Off the icon first, or its tooltip comes up over the menu.
            ASSERT_TRUE(test::X11Desktop::MoveTo(item.x(), item.y()));
            Shot(screenshot);
        }
        ASSERT_TRUE(test::X11Desktop::Click(item.x(), item.y(), 1));
    }

    // Right after a window of the Player hides or shows, Qt is still settling
    // which of its windows is active (it waits a while for a FocusIn that may
    // follow a FocusOut), and a tray menu opened in that moment is closed again
    // at once. A reader's next click comes later than that; so does the test's.
    static void SettleFocus() { std::this_thread::sleep_for(600ms); }

    void Shot(const std::string& name) {
        desktop.Screenshot().save(QString::fromStdString(shotDir + "/" + name + ".png"));
    }

    void Terminate() {
        if (pid > 0)
            kill(pid, SIGTERM);
        EXPECT_TRUE(WaitForExit(10s));
    }

    test::X11Desktop desktop;
    std::string shotDir = SCREENSHOT_DIR;
};

}  // namespace

TEST_F(DesktopRun, HidingToTheTrayKeepsThePlayerAndItsMovieRunning) {
    Script("fs\tstart\nnote\tshown\n" + Awaits("hide") + "ei\tbrivol_hidewindow\nnote\thidden\n" +
           "beat\t100\n");
    ASSERT_TRUE(Pack());
    Start(dir / "issue.bin");
    ASSERT_TRUE(LogHas("shown")) << Stderr();
    ASSERT_TRUE(WaitUntil([&] { return MainViewable(); }));
    const QRect before = Main()->geometry;
    Signal("hide");
    ASSERT_TRUE(LogHas("hidden")) << Stderr();
    ASSERT_TRUE(WaitUntil([&] { return !MainViewable(); })) << "the window is still mapped";
    EXPECT_TRUE(Running()) << "hiding to the tray ended the Player";
    EXPECT_EQ(Workspaces().size(), 1u);
    // The movie runs at its own pace while hidden: 20 beats of 100 ms take 2 s,
    // not the 20 s a throttled page would need.
    const int beats = Count("beat");
    EXPECT_TRUE(WaitUntil([&] { return Count("beat") >= beats + 20; }, 5s))
        << Count("beat") - beats << " beats";
    const test::X11Window icon = TrayIcon();
    Shot("desktop-hidden-to-tray");

    ASSERT_TRUE(test::X11Desktop::Click(Centre(icon).x(), Centre(icon).y(), 1, 2));
    ASSERT_TRUE(WaitUntil([&] { return MainViewable(); })) << "a double-click did not restore";
    EXPECT_EQ(Main()->geometry, before);
    Terminate();
    EXPECT_TRUE(Workspaces().empty());
}

TEST_F(DesktopRun, TheTrayMenuOpensOnRightClickAndItsItemsAct) {
    Script("fs\tstart\nei\tbrivol_systray\t1\nnote\ttray\n");
    ASSERT_TRUE(Pack());
    Start(dir / "issue.bin");
    ASSERT_TRUE(LogHas("tray")) << Stderr();
    ASSERT_TRUE(WaitUntil([&] { return MainViewable(); }));

    PickFromTrayMenu(0, 2);  // "隐藏主窗口"
    EXPECT_TRUE(WaitUntil([&] { return !MainViewable(); })) << "the hide item did not hide";
    SettleFocus();
    PickFromTrayMenu(0, 2, "desktop-tray-menu");  // "显示主窗口"
    EXPECT_TRUE(WaitUntil([&] { return MainViewable(); })) << "the show item did not show";
    SettleFocus();
    PickFromTrayMenu(1, 2);  // "退出"
    ASSERT_TRUE(WaitForExit(10s)) << "the exit item did not end the Player";
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(Workspaces().empty());
}

TEST_F(DesktopRun, MinWindowIconifiesWithoutTheTrayAndHidesWithIt) {
    Script("fs\tstart\nnote\tshown\n" + Awaits("go1") + "fs\tmin_window\nnote\tminimised\n" +
           Awaits("go2") + "ei\tbrivol_restore\nnote\trestored\n" + Awaits("go3") +
           "ei\tbrivol_systray\t1\nfs\tmin_window\nnote\thidden\n");
    ASSERT_TRUE(Pack());
    Start(dir / "issue.bin");
    ASSERT_TRUE(LogHas("shown")) << Stderr();
    ASSERT_TRUE(WaitUntil([&] { return MainViewable(); }));

    Signal("go1");
    EXPECT_TRUE(WaitUntil([&] {
        const auto w = Main();
        return w && w->iconified && !w->viewable;
    })) << "min_window did not iconify";
    Signal("go2");  // the movie, still running while iconified, restores the window
    EXPECT_TRUE(LogHas("restored", 10s));
    EXPECT_TRUE(WaitUntil([&] { return MainViewable(); })) << "the restore command did not";
    Signal("go3");
    EXPECT_TRUE(LogHas("hidden", 10s));
    EXPECT_TRUE(WaitUntil([&] {
        const auto w = Main();
        return w && !w->viewable && !w->iconified;
    })) << "with the tray icon shown, min_window must hide";
    EXPECT_TRUE(Running());
    const test::X11Window icon = TrayIcon();
    ASSERT_TRUE(test::X11Desktop::Click(Centre(icon).x(), Centre(icon).y(), 1, 2));
    EXPECT_TRUE(WaitUntil([&] { return MainViewable(); }));
    Terminate();
}

TEST_F(DesktopRun, AnotherMagazineShowsItselfAndGoesBack) {
    fs::create_directories(dir / "issue/second");
    fs::copy_file(PROBE_SWF, dir / "issue/second/vellmain.swf");
    test::WriteFile(dir / "issue/second/script.txt",
                    "log\t" + (dir / "log.txt") +
                        "\nfill\t8040c0\nfs\tstart\nnote\tsecond start\n" + Awaits("back") +
                        "fs\topenothermag\t0\n");
    Script("fs\tstart\nnote\tmain start\nstopif\t" + (dir / "visited") +
           "\nei\tbrivol_extractfile\t" + (dir / "log.txt") + "\t" + (dir / "visited") +
           "\nfs\topenothermag\tsecond\n");
    ASSERT_TRUE(Pack());
    Start(dir / "issue.bin");
    ASSERT_TRUE(LogHas("main start")) << Stderr();
    EXPECT_TRUE(LogHas("second start", 10s)) << "the second magazine did not start by itself";
    EXPECT_TRUE(WaitUntil([&] { return MainViewable(); })) << "the second magazine is not shown";
    EXPECT_TRUE(WaitUntil([&] {
        const auto w = Main();
        return w && test::IsColour(desktop.Screenshot().pixel(w->geometry.center()),
                                   qRgb(0x80, 0x40, 0xc0));
    })) << "the second magazine's movie is not drawn";
    Shot("desktop-second-magazine");
    Signal("back");
    EXPECT_TRUE(WaitUntil([&] { return Count("main start") == 2; }, 10s)) << Log();
    EXPECT_TRUE(WaitUntil([&] { return MainViewable(); }));
    Terminate();
}

// A termination signal ends the Player within moments whatever dialog is open.
TEST_F(DesktopRun, ATerminationSignalEndsThePlayerWithADialogOpen) {
    unattendedBoxes = false;
    const std::pair<std::string, std::string> dialogs[] = {
        {"ei\tbrivol_alert\thello", "信息"}, {"ei\tbrivol_savetextfile\thello", "保存文本文件"}};
    for (const auto& [command, title] : dialogs) {
        SCOPED_TRACE(title);
        test::WriteFile(dir / "log.txt", "");
        Script("fs\tstart\nnote\tshown\n" + command + "\n");
        ASSERT_TRUE(Pack());
        Start(dir / "issue.bin");
        ASSERT_TRUE(LogHas("shown")) << Stderr();
        ASSERT_TRUE(WaitUntil([&] {
            const auto w = desktop.Find(title);
            return w && w->viewable;
        })) << "the dialog did not open";
        kill(pid, SIGTERM);
        ASSERT_TRUE(WaitForExit(3s)) << "still running 3 s after SIGTERM";
        EXPECT_TRUE(Workspaces().empty());
        EXPECT_TRUE(WaitUntil(
            [&] { return test::ProcessesWithEnvironment("TMPDIR=" + (dir / "tmp")) == 0; }, 3s))
            << "web-engine processes outlived the Player";
    }
}

TEST_F(DesktopRun, FullScreenCoversEveryRow) {
    Script("fill\tc03020\nfs\tstart\nfs\tmax_window\nnote\tfull\n");
    ASSERT_TRUE(Pack());
    Start(dir / "issue.bin");
    ASSERT_TRUE(LogHas("full")) << Stderr();
    const QRect screen(0, 0, 1024, 768);
    ASSERT_TRUE(WaitUntil([&] {
        const auto w = Main();
        return w && w->viewable && w->geometry == screen;
    })) << "not full screen";
    QImage shot;
    const auto covered = [&] {
        shot = desktop.Screenshot();
        for (int y = 0; y < shot.height(); ++y) {
            if (!test::IsColour(shot.pixel(shot.width() / 2, y), qRgb(0xc0, 0x30, 0x20)))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(WaitUntil(covered)) << "a row of the screen is not the movie's";
}

// The demo issue, clicked as a reader would: the Tools page, then Full screen.
TEST_F(DesktopRun, TheDemoIssueFillsTheScreen) {
    Start(DEMO_ISSUE);
    const std::string demoTitle = "示例杂志 · Demo Magazine";
    std::optional<test::X11Window> w;
    ASSERT_TRUE(WaitUntil([&] { return (w = desktop.Find(demoTitle)) && w->viewable; }, 30s));
    // Where the movie's stage begins, below the title strip, once the window has
    // settled where the Player centred it.
    QPoint movie;
    ASSERT_TRUE(WaitUntil([&] {
        w = desktop.Find(demoTitle);
        movie = w ? w->geometry.topLeft() + QPoint(0, 16) : QPoint();
        return w && w->geometry.topLeft() == QPoint((1024 - 800) / 2, (768 - 600) / 2) &&
               test::IsColour(desktop.Screenshot().pixel(movie + QPoint(5, 300)),
                              qRgb(0x1d, 0x5f, 0xa8));
    })) << "not drawn";
    ASSERT_TRUE(test::X11Desktop::Click(movie.x() + 75, movie.y() + 181, 1));  // Tools
    // The first button of the Tools page, drawn once the page is there.
    const QPoint fullScreen = movie + QPoint(166 + 188, 16 + 13);  // right of its label
    ASSERT_TRUE(WaitUntil([&] {
        return test::IsColour(desktop.Screenshot().pixel(fullScreen), qRgb(0xe8, 0xf0, 0xfb));
    }));
    ASSERT_TRUE(test::X11Desktop::Click(fullScreen.x(), fullScreen.y(), 1));
    ASSERT_TRUE(WaitUntil([&] {
        return (w = desktop.Find(demoTitle)) && w->geometry == QRect(0, 0, 1024, 768);
    })) << "not full screen";
    // The sidebar runs from the top row of the screen to the bottom one.
    EXPECT_TRUE(WaitUntil([&] {
        const QImage shot = desktop.Screenshot();
        for (int y = 0; y < shot.height(); ++y) {
            if (!test::IsColour(shot.pixel(5, y), qRgb(0x1d, 0x5f, 0xa8)))
                return false;
        }
        return true;
    })) << "a band of the screen is not the issue's";
    Shot("desktop-demo-full-screen");
    Terminate();
}

TEST_F(DesktopRun, TheLoadingWindowIsAnUndecoratedSplash) {
    Config(
        "<MSG><Wnd Width='640' Height='480' bShowLoading='TRUE' LoadX='300' LoadY='200'/></MSG>");
    Script(Awaits("go") + "fs\tstart\nnote\tshown\n");
    ASSERT_TRUE(Pack());
    Start(dir / "issue.bin");
    std::optional<test::X11Window> loading;
    const QPoint centred((1024 - 300) / 2, (768 - 200) / 2);
    ASSERT_TRUE(WaitUntil([&] {
        return (loading = desktop.Find("Loading")) && loading->viewable &&
               loading->geometry.topLeft() == centred;
    })) << "not shown centred";
    EXPECT_EQ(loading->geometry.size(), QSize(300, 200));
    EXPECT_TRUE(loading->frameExtents.isNull()) << "decorated by the window manager";
    Signal("go");
    ASSERT_TRUE(LogHas("shown"));
    Terminate();
}

// On an issue that is out in milliseconds and on one of 300 MiB to write out,
// the main movie runs only once the loading window is on the screen
// with its movie, and the magazine then follows at once.
TEST_F(DesktopRun, TheLoadingMovieHasItsTurnOnFastAndSlowIssues) {
    Config(
        "<MSG><Wnd Width='640' Height='480' bShowLoading='TRUE' LoadX='300' LoadY='200'/></MSG>");
    Script("fs\tstart\nnote\tshown\n");
    loadingMovie = COLOUR_PROBE_SWF;
    env = {{"PLAYER_TRACE", "1"}};
    for (const int padMiB : {0, 300}) {
        SCOPED_TRACE(padMiB ? "a slow issue" : "a fast issue");
        if (padMiB > 0) {
            const std::string chunk(1 << 20, 'p');
            std::ofstream pad(dir / "issue/padding.bin", std::ios::binary);
            for (int i = 0; i < padMiB; ++i)
                pad.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
        test::WriteFile(dir / "log.txt", "");
        ASSERT_TRUE(Pack());
        Start(dir / "issue.bin");
        ASSERT_TRUE(test::WaitUntil([&] { return Mark("main window shown") > 0; }, 30s))
            << Stderr();
        const double shown = Mark("loading window shown");
        EXPECT_GT(shown, 0) << Stderr();
        EXPECT_GT(Mark("start"), shown) << "the main movie ran before the loading window showed";
        EXPECT_GT(Mark("main window shown"), Mark("start"));
        EXPECT_GE(fs::file_size(dir / "issue.bin"), uintmax_t(padMiB) << 20);
        Terminate();
    }
}

// A secondary window appears with its movie drawn, within a second of opening.
TEST_F(DesktopRun, ASecondaryWindowAppearsWithItsMovieDrawn) {
    fs::create_directories(dir / "issue/sec");
    fs::copy_file(COLOUR_PROBE_SWF, dir / "issue/sec/vellmain.swf");  // its stage is all one colour
    Script("fs\tstart\nnote\tshown\n" + Awaits("open") +
           "ei\tbrivol_openflashwindow\tsec/vellmain.swf\t1\t300\t200\t0\nnote\topened\n");
    ASSERT_TRUE(Pack());
    Start(dir / "issue.bin");
    ASSERT_TRUE(LogHas("shown")) << Stderr();
    std::optional<test::X11Window> main;
    ASSERT_TRUE(WaitUntil([&] { return (main = Main()) && main->viewable; }));
    // The Player places it 30 px right of and 40 px below the main window; this
    // point is clear of the probe's own drawing, and white in the main movie.
    const QPoint stage = main->geometry.topLeft() + QPoint(30 + 250, 40 + 150);
    // The main window first, drawn.
    ASSERT_TRUE(WaitUntil(
        [&] { return test::IsColour(desktop.Screenshot().pixel(stage), qRgb(255, 255, 255)); }));
    const QRgb before = desktop.Screenshot().pixel(stage);
    Signal("open");
    ASSERT_TRUE(LogHas("opened", 10s));
    const auto opened = std::chrono::steady_clock::now();
    // The window shows once its movie has drawn, or after three seconds at most
    // (a second engine compiles the movie engine anew: seconds on a slow machine).
    ASSERT_TRUE(WaitUntil([&] { return desktop.Screenshot().pixel(stage) != before; }, 4s))
        << "no window after 4 s";
    // As for the loading window: what an X server without a compositor shows for
    // a few milliseconds after a window maps is not the program's.
    std::this_thread::sleep_for(100ms);
    const QRgb first = desktop.Screenshot().pixel(stage);
    EXPECT_TRUE(test::IsColour(first, qRgb(0x30, 0x80, 0xf0)))
        << "appeared blank: " << std::hex << first;
    Shot("desktop-secondary-window");
    std::fprintf(stderr, "secondary window drawn %lld ms after opening\n",
                 static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now() - opened)
                                            .count()));
    Terminate();
}

namespace {

bool Type(const std::string& text) {
    return std::system(("xdotool type --delay 20 '" + text + "'").c_str()) == 0;
}
bool Key(const std::string& key) {
    return std::system(("xdotool key " + key).c_str()) == 0;
}

}  // namespace

// The installed program carries no issue: it asks for one, starting in the
// reader's home folder; a file without an issue is said so and asked again.
TEST_F(DesktopRun, TheBarePlayerAsksForAnIssue) {
    const std::string title = "打开杂志";
    const auto chooserOpen = [&] {
        const auto w = desktop.Find(title);
        return w && w->viewable;
    };
    test::WriteFile(dir / "notes.txt", "not an issue");
    Start(PLAYER_PATH);
    ASSERT_TRUE(WaitUntil(chooserOpen, 30s)) << Stderr();
    Shot("desktop-open-an-issue");
    ASSERT_TRUE(Type(dir / "notes.txt") && Key("Return"));
    ASSERT_TRUE(WaitUntil([&] { return Stderr().find("这个文件里没有杂志") != std::string::npos; }))
        << Stderr();
    ASSERT_TRUE(WaitUntil(chooserOpen)) << "the chooser did not come back";
    ASSERT_TRUE(Key("ctrl+a") && Type(DEMO_ISSUE) && Key("Return"));
    EXPECT_TRUE(WaitUntil(
        [&] {
            const auto w = desktop.Find("示例杂志 · Demo Magazine");
            return w && w->viewable;
        },
        30s))
        << "the chosen issue did not open";
    Terminate();
}

TEST_F(DesktopRun, CancellingTheChooserEndsQuietly) {
    Start(PLAYER_PATH);
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto w = desktop.Find("打开杂志");
            return w && w->viewable;
        },
        30s))
        << Stderr();
    ASSERT_TRUE(Key("Escape"));
    ASSERT_TRUE(WaitForExit(5s));
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(Workspaces().empty());
}

// The loading window comes onto the screen with its movie already drawn: the
// first screenshot that shows it shows the movie's colour, never a blank.
TEST_F(DesktopRun, TheLoadingWindowIsNeverSeenBlank) {
    Config(
        "<MSG><Wnd Width='640' Height='480' bShowLoading='TRUE' LoadX='300' LoadY='200'/></MSG>");
    Script(Awaits("go") + "fs\tstart\nnote\tshown\n");
    loadingMovie = COLOUR_PROBE_SWF;  // its first frame is all that colour
    ASSERT_TRUE(Pack());
    Start(dir / "issue.bin");
    const QRect place((1024 - 300) / 2, (768 - 200) / 2, 300, 200);
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto w = desktop.Find("Loading");
            return w && w->viewable && w->geometry.intersects(QRect(0, 0, 1024, 768));
        },
        30s))
        << Stderr();
    // Without a compositor the X server shows a window that has just come onto
    // the screen with what lay beneath it until the program has repainted it, a
    // few milliseconds; a movie still to draw would take far longer than this.
    std::this_thread::sleep_for(100ms);
    const QImage first = desktop.Screenshot();
    first.save(QString::fromStdString(std::string(SCREENSHOT_DIR) + "/desktop-loading-first.png"));
    const QPoint stage = place.topLeft() + QPoint(250, 150);  // clear of the probe's own drawing
    EXPECT_TRUE(test::IsColour(first.pixel(stage), qRgb(0x30, 0x80, 0xf0)))
        << "first seen as " << std::hex << first.pixel(stage);
    Signal("go");
    ASSERT_TRUE(LogHas("shown"));
    Terminate();
}

namespace {

// A desktop with no tray at all (GNOME's, many tiling window managers'), where
// the tests start and end a tray host of their own.
class NoTrayRun : public DesktopRun {
protected:
    bool WantsTrayHost() const override { return false; }
    void SetUp() override {
        DesktopRun::SetUp();
        shotDir = std::string(SCREENSHOT_DIR) + "/no-tray";  // the same names as with a tray
        fs::create_directories(shotDir);
    }
    // The movie: drawn in one colour, then `hide` on the first signal and `then`
    // on the second.
    void Prepare(const std::string& hide, const std::string& then = "") {
        test::WriteFile(dir / "log.txt", "");
        for (const char* signal : {"hide", "then", "remove"})
            fs::remove(dir / signal);
        Script("fill\t40a060\nfs\tstart\nnote\tshown\n" + Awaits("hide") + hide +
               "\nnote\thidden\n" + Awaits("then") + then + "\nnote\tdone\n");
        ASSERT_TRUE(Pack());
    }
    void TearDown() override {
        EndTrayHost();
        DesktopRun::TearDown();
    }

    void StartTrayHost() {
        tray = fork();
        if (tray == 0) {
            execlp("trayer", "trayer", "--edge", "top", "--align", "right", "--widthtype",
                   "request", "--height", "24", "--SetDockType", "true", "--transparent", "false",
                   nullptr);
            _exit(127);
        }
        ASSERT_TRUE(WaitUntil([&] { return desktop.HasTrayHost(); })) << "trayer did not start";
    }
    void EndTrayHost() {
        if (tray <= 0)
            return;
        kill(tray, SIGTERM);
        waitpid(tray, nullptr, 0);
        tray = -1;
    }

    bool MainIconic() const {
        const auto w = Main();
        return w && w->iconified && !w->viewable;
    }
    bool MainWithdrawn() const {
        const auto w = Main();
        return w && !w->iconified && !w->viewable;
    }
    // Viewable again with its movie drawn, not blank.
    bool MainBackDrawn() const {
        const auto w = Main();
        return w && w->viewable &&
               test::IsColour(desktop.Screenshot().pixel(w->geometry.center()),
                              qRgb(0x40, 0xa0, 0x60));
    }

    pid_t tray = -1;
};

}  // namespace

// Every way a movie hides the window leaves it on the task bar when no tray can
// bring it back, and the window manager restores it as any other window.
TEST_F(NoTrayRun, HidingWithNoTrayLeavesTheWindowIconic) {
    const std::string hides[] = {"ei\tbrivol_hidewindow", "ei\tbrivol_systray\t1\nfs\tmin_window"};
    for (const std::string& hide : hides) {
        SCOPED_TRACE(hide);
        Prepare(hide);
        Start(dir / "issue.bin");
        ASSERT_TRUE(LogHas("shown")) << Stderr();
        ASSERT_TRUE(WaitUntil([&] { return MainBackDrawn(); }));
        Signal("hide");
        ASSERT_TRUE(LogHas("hidden")) << Stderr();
        EXPECT_TRUE(WaitUntil([&] { return MainIconic(); })) << "hidden with no way back";
        EXPECT_TRUE(Running());
        ASSERT_TRUE(test::X11Desktop::Activate(Main()->id));
        EXPECT_TRUE(WaitUntil([&] { return MainBackDrawn(); })) << "not restored, or blank";
        Terminate();
        EXPECT_TRUE(Workspaces().empty());
    }
}

// A tray host that comes later gets the icon; one that goes while the window is
// in it gives the window back; an icon the movie removes leaves it iconic.
TEST_F(NoTrayRun, TheWindowFollowsATrayHostThatComesAndGoes) {
    Prepare("ei\tbrivol_systray\t1", "ei\tbrivol_hidewindow\nnote\tin the tray\n" +
                                         Awaits("remove") + "ei\tbrivol_systray\t0");
    Start(dir / "issue.bin");
    ASSERT_TRUE(LogHas("shown")) << Stderr();
    ASSERT_TRUE(WaitUntil([&] { return MainBackDrawn(); }));
    Signal("hide");  // the movie asks for its icon: there is no tray to draw it
    ASSERT_TRUE(LogHas("hidden"));

    StartTrayHost();
    TrayIcon();  // the icon comes with the host
    Shot("no-tray-host-arrived");
    PickFromTrayMenu(0, 2);  // "隐藏主窗口": now into the tray
    ASSERT_TRUE(WaitUntil([&] { return MainWithdrawn(); })) << "not hidden to the tray";
    EndTrayHost();
    EXPECT_TRUE(WaitUntil([&] { return MainBackDrawn(); })) << "lost with its tray host";
    Shot("no-tray-host-gone");

    StartTrayHost();
    TrayIcon();
    Signal("then");
    ASSERT_TRUE(LogHas("in the tray"));
    ASSERT_TRUE(WaitUntil([&] { return MainWithdrawn(); }));
    Signal("remove");  // the movie takes its icon away while the window is in the tray
    ASSERT_TRUE(LogHas("done"));
    EXPECT_TRUE(WaitUntil([&] { return MainIconic(); })) << "hidden with its icon gone";
    ASSERT_TRUE(test::X11Desktop::Activate(Main()->id));
    EXPECT_TRUE(WaitUntil([&] { return MainBackDrawn(); }));
    Terminate();
}

// A desktop whose tray is a StatusNotifier host (KDE Plasma, GNOME with its
// AppIndicator extension): the icon registers there, the window hides into it,
// and comes back when the host goes. Needs a session bus (dbus-run-session).
TEST_F(NoTrayRun, AStatusNotifierHostTakesTheIconAndGivesTheWindowBack) {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "needs a session bus";
    const std::string watcherLog = dir / "watcher.txt";
    test::WriteFile(watcherLog, "");
    const pid_t watcher = fork();
    if (watcher == 0) {
        execl("/usr/bin/python3", "python3", STATUS_NOTIFIER_WATCHER, watcherLog.c_str(), nullptr);
        _exit(127);
    }
    const auto watcherSays = [&](const std::string& text) {
        return WaitUntil(
            [&] { return test::ReadFile(watcherLog).find(text) != std::string::npos; });
    };
    ASSERT_TRUE(watcherSays("ready"));
    Prepare("ei\tbrivol_systray\t1", "ei\tbrivol_hidewindow");
    Start(dir / "issue.bin");
    ASSERT_TRUE(LogHas("shown")) << Stderr();
    ASSERT_TRUE(WaitUntil([&] { return MainBackDrawn(); }));
    Signal("hide");
    EXPECT_TRUE(watcherSays("item ")) << "the icon did not register";
    Signal("then");
    ASSERT_TRUE(LogHas("done"));
    EXPECT_TRUE(WaitUntil([&] { return MainWithdrawn(); })) << "not hidden into the host's tray";
    kill(watcher, SIGTERM);
    waitpid(watcher, nullptr, 0);
    EXPECT_TRUE(WaitUntil([&] { return MainBackDrawn(); })) << "lost with its tray host";
    Terminate();
}
