// The real Player in a Wayland session (tests/e2e/wayland-session: weston with
// XWayland), photographed by the compositor every ~100 ms from launch on: no
// window of it is ever seen blank.

#include <QImage>
#include <sstream>

#include "e2e/player_run.h"
#include "support/colours.h"
#include "support/x11_desktop.h"

using namespace std::chrono_literals;
using test::WaitUntil;

namespace {

constexpr QRgb kLoadingColour = qRgb(0x30, 0x80, 0xf0);  // the colour probe's stage
constexpr QRgb kMainColour = qRgb(0x40, 0xa0, 0x60);
constexpr QRgb kProbeDrawing = qRgb(0x2b, 0x6c, 0xb0);  // the probe's own rectangle
constexpr QRgb kQtWindow = qRgb(0xef, 0xef, 0xef);      // Qt's own window colour
constexpr int kPanelHeight = 32;                        // weston's panel, whose clock changes

struct Shot {
    int ms;  // since the photographer began, about when the Player was launched
    QImage image;
};

// The compositor's own pictures of its output, one every ~100 ms while running.
class Photographer {
public:
    explicit Photographer(fs::path dir) : m_dir(std::move(dir)) {
        m_thread = std::jthread([this](std::stop_token stop) {
            const auto begin = std::chrono::steady_clock::now();
            while (!stop.stop_requested()) {
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - begin);
                const fs::path shot = m_dir / std::to_string(ms.count());
                fs::create_directories(shot);
                // The file is named by the time; one folder for each keeps the order.
                (void)!std::system(("cd " + shot.string() + " && weston-screenshooter").c_str());
                std::this_thread::sleep_for(60ms);
            }
        });
    }
    std::vector<Shot> Stop() {
        m_thread.request_stop();
        m_thread.join();
        std::vector<Shot> shots;
        for (const auto& folder : fs::directory_iterator(m_dir)) {
            for (const auto& file : fs::directory_iterator(folder.path())) {
                QImage image(QString::fromStdString(file.path()));
                if (!image.isNull())
                    shots.push_back({std::stoi(folder.path().filename()),
                                     image.convertToFormat(QImage::Format_RGB32)});
            }
        }
        std::sort(shots.begin(), shots.end(),
                  [](const Shot& a, const Shot& b) { return a.ms < b.ms; });
        return shots;
    }
    static QImage TakeOne(const fs::path& dir) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        (void)!std::system(("cd " + dir.string() + " && weston-screenshooter").c_str());
        for (const auto& file : fs::directory_iterator(dir))
            return QImage(QString::fromStdString(file.path()))
                .convertToFormat(QImage::Format_RGB32);
        return {};
    }

private:
    fs::path m_dir;
    std::jthread m_thread;
};

// The desktop without weston's panel, whose clock changes and over which the
// seat's pointer rests.
QImage BelowThePanel(const QImage& shot) {
    return shot.isNull() ? shot
                         : shot.copy(0, kPanelHeight, shot.width(), shot.height() - kPanelHeight);
}

// What of a picture is neither the desktop as it was nor one of the movies'
// colours: a window that has come onto the screen before its movie drew.
// The compositor's shadow around a window darkens the desktop by at most half;
// a window that is still blank is white, black or one flat colour.
bool Shadow(QRgb p, QRgb desktop) {
    const auto darker = [](int a, int b) { return a <= b + 4 && 2 * a + 8 >= b; };
    return darker(qRed(p), qRed(desktop)) && darker(qGreen(p), qGreen(desktop)) &&
           darker(qBlue(p), qBlue(desktop));
}

int PixelsOf(const QImage& shot, QRgb colour);

// The probe's stage is white until its script fills it; white is its own only
// in a picture that shows its rectangle too (a blank window is white alone).
int StrangePixels(const QImage& shot, const QImage& desktop, std::vector<QRgb> movies) {
    if (PixelsOf(shot, kProbeDrawing) > 1000)
        movies.push_back(qRgb(255, 255, 255));
    int strange = 0;
    for (int y = kPanelHeight; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb p = shot.pixel(x, y);
            if (test::IsColour(p, desktop.pixel(x, y), 4) || Shadow(p, desktop.pixel(x, y)))
                continue;
            if (std::none_of(movies.begin(), movies.end(),
                             [&](QRgb m) { return test::IsColour(p, m); }))
                ++strange;
        }
    }
    return strange;
}

int PixelsOf(const QImage& shot, QRgb colour) {
    int n = 0;
    for (int y = kPanelHeight; y < shot.height(); y += 4) {
        for (int x = 0; x < shot.width(); x += 4)
            n += test::IsColour(shot.pixel(x, y), colour);
    }
    return n;
}

class WaylandRun : public PlayerRun {
protected:
    void SetUp() override {
        PlayerRun::SetUp();
        if (std::getenv("WAYLAND_DISPLAY") == nullptr)
            GTEST_SKIP() << "needs a Wayland compositor (tests/e2e/wayland-session)";
        // As a reader's session: the Player picks its platform itself.
        env = {{"QT_QPA_PLATFORM", ""}, {"PLAYER_TRACE", "1"}};
        // The desktop as it is before the Player, once the shell has drawn it (and
        // once the last test's windows are gone).
        static QImage empty;
        int n = 0;
        ASSERT_TRUE(WaitUntil(
            [&] {
                QImage shot = Photographer::TakeOne(dir / ("desktop" + std::to_string(n++)));
                const QImage below = BelowThePanel(shot);
                const bool settled = !shot.isNull() && below == BelowThePanel(desktopShot) &&
                                     !test::IsColour(shot.pixel(512, 400), qRgb(0, 0, 0)) &&
                                     (empty.isNull() || below == BelowThePanel(empty));
                desktopShot = std::move(shot);
                return settled;
            },
            20s))
            << "weston-screenshooter took nothing, or the desktop never settled";
        if (empty.isNull())
            empty = desktopShot;
    }

    bool StderrHas(const std::string& text, std::chrono::milliseconds limit = 30s) const {
        return WaitUntil([&] { return Stderr().find(text) != std::string::npos; }, limit);
    }
    // Milliseconds of a timeline mark, or -1.
    // An issue whose loading movie and main movie each fill their window with
    // one colour, without a title strip: any other colour on the screen is a
    // window seen before its movie drew. The main movie takes a moment before it
    // starts, as an issue's own does: the main movie is ready as soon as the
    // loading window shows, and would replace it before the compositor's next
    // picture.
    void ColourIssue(const std::string& more = "") {
        Config(
            "<MSG><Wnd Width='640' Height='480' bShowLoading='TRUE' LoadX='300' "
            "LoadY='200'/></MSG>");
        Script("fill\t40a060\nwait\t400\nfs\tstart\nnote\tshown\n" + more);
        loadingMovie = COLOUR_PROBE_SWF;
        ASSERT_TRUE(Pack());
    }

    // The Player's timeline marks, for a failure's message.
    std::string Timeline() const {
        std::string marks;
        std::istringstream log(Stderr());
        for (std::string line; std::getline(log, line);) {
            if (line.starts_with("[timeline]") || line.starts_with("[fscommand]"))
                marks += line + "\n";
        }
        return marks;
    }

    void Save(const QImage& shot, const std::string& name) {
        fs::create_directories(SCREENSHOT_DIR);
        shot.save(QString::fromStdString(std::string(SCREENSHOT_DIR) + "/" + name + ".png"));
    }

    // Photographs the Player from launch until it has been shown for a second.
    std::vector<Shot> PhotographStart() {
        Photographer photographer(dir / "shots");
        Start(dir / "issue.bin");
        const bool shown = WaitUntil([&] { return Log().find("shown") != std::string::npos; }, 40s);
        std::this_thread::sleep_for(1s);
        std::vector<Shot> shots = photographer.Stop();
        EXPECT_TRUE(shown) << Stderr();
        return shots;
    }

    // The pixels of a picture that are neither the desktop nor a movie of the
    // colour issue. A window's worth is a window undrawn: 300 x 200 would be
    // 60,000; the compositor's one-pixel outline of a 640 x 480 window is 2,244.
    int StrangePixelsOf(const QImage& shot) const {
        return StrangePixels(shot, desktopShot, {kLoadingColour, kMainColour, kProbeDrawing});
    }
    static bool AWindowsWorth(int strangePixels) { return strangePixels > 5000; }

    // Fails for each picture that shows a window undrawn, and keeps it.
    void ExpectNoneUndrawn(const std::vector<Shot>& shots, const std::string& prefix) {
        for (size_t i = 0; i < shots.size(); ++i) {
            const int strange = StrangePixelsOf(shots[i].image);
            if (AWindowsWorth(strange)) {
                Save(shots[i].image, prefix + "-blank-" + std::to_string(i));
                ADD_FAILURE() << prefix << ": picture " << i << " of " << shots.size() << ", at "
                              << shots[i].ms << " ms: " << strange
                              << " pixels neither the desktop nor a movie\n"
                              << Timeline();
            }
        }
    }

    void ExpectNeverBlank(const std::vector<Shot>& shots, const std::string& prefix) {
        ASSERT_GE(shots.size(), 5u);
        ExpectNoneUndrawn(shots, prefix);
        int sawLoading = 0, sawMain = 0;
        for (const Shot& shot : shots) {
            sawLoading += PixelsOf(shot.image, kLoadingColour) > 1000;
            sawMain += PixelsOf(shot.image, kMainColour) > 1000;
        }
        EXPECT_GT(sawLoading, 0) << "the loading window was never seen\n" << Timeline();
        EXPECT_GT(sawMain, 0) << "the main window was never seen";
        Save(shots.back().image, prefix + "-last");
        Save(desktopShot, prefix + "-desktop");
        // Each window comes onto the screen after its movie has drawn.
        EXPECT_GT(Mark("loading window shown"), 0);
        EXPECT_GT(Mark("main window shown"), Mark("engine 1 first frame"));
        EXPECT_GT(Mark("engine 1 first frame"), 0);
    }

    // Photographs the screen until `done` or the limit; the pictures taken.
    std::vector<Shot> PhotographUntil(const std::function<bool()>& done,
                                      std::chrono::milliseconds limit) {
        Photographer photographer(dir / ("shots" + std::to_string(m_series++)));
        EXPECT_TRUE(WaitUntil(done, limit)) << Stderr();
        return photographer.Stop();
    }

    // A click on the compositor's seat, the pointer then back over the panel
    // (below it, it would be part of the next test's desktop).
    static bool Click(QPoint at) {
        return Xdotool("mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) +
                       " click 1 mousemove 1000 4");
    }
    static bool Key(const std::string& key) { return Xdotool("key " + key); }
    static bool Xdotool(const std::string& what) {
        const char* input = std::getenv("INPUT_DISPLAY");
        return input &&
               std::system(("DISPLAY=" + std::string(input) + " xdotool " + what).c_str()) == 0;
    }

    void EndsCleanly() {
        kill(pid, SIGTERM);
        ASSERT_TRUE(WaitForExit(10s));
        EXPECT_EQ(exitCode, 0);
        EXPECT_TRUE(Workspaces().empty());
    }

    QImage desktopShot;

private:
    int m_series = 0;
};

}  // namespace

// In a Wayland session the Player is a Wayland client: its windows come onto
// the screen where the compositor puts them, each drawn; so does a secondary
// window it opens.
TEST_F(WaylandRun, AsAWaylandClientNoWindowIsSeenBlank) {
    fs::create_directories(dir / "issue/sec");
    fs::copy_file(COLOUR_PROBE_SWF, dir / "issue/sec/vellmain.swf");  // the loading colour
    ColourIssue(Awaits("open") +
                "ei\tbrivol_openflashwindow\tsec/vellmain.swf\t1\t300\t200\t0\nnote\topened\n");
    ExpectNeverBlank(PhotographStart(), "wayland");
    EXPECT_GT(Mark("platform wayland"), 0) << "not a Wayland client\n" << Timeline();
    // The main window's colour and the loading window gone: the secondary window
    // is the only thing of the loading colour then.
    ASSERT_TRUE(WaitUntil([&] {
        return PixelsOf(Photographer::TakeOne(dir / "before-open"), kLoadingColour) == 0;
    })) << "the loading window stayed";
    Signal("open");
    const std::vector<Shot> shots = PhotographUntil(
        [&] {
            return LogHas("opened", 0ms) &&
                   PixelsOf(Photographer::TakeOne(dir / "opened"), kLoadingColour) > 1000;
        },
        10s);
    ExpectNoneUndrawn(shots, "wayland-secondary");
    Save(Photographer::TakeOne(dir / "secondary"), "wayland-secondary");
    EndsCleanly();
}

// A dialog comes up, drawn, and takes the reader's key: one that a movie opens
// before its window is on the screen, and one over the magazine.
TEST_F(WaylandRun, AlertsAppearAndAreAnswered) {
    unattendedBoxes = false;
    ColourIssue("ei\tbrivol_alert\t你好 hello\nnote\tanswered\n" + Awaits("again") +
                "ei\tbrivol_alert\tagain\nnote\tagain answered\n");
    Start(dir / "issue.bin");
    const auto answer = [&](const std::string& name, const std::string& answered) {
        // A box is drawn in the window colour of Qt's style, which no movie here has.
        QImage shot;
        int n = 0;
        const bool boxed = WaitUntil(
            [&] {
                shot = Photographer::TakeOne(dir / (name + std::to_string(n++)));
                return PixelsOf(shot, kQtWindow) > 300;
            },
            40s);
        Save(shot, "wayland-" + name);
        ASSERT_TRUE(boxed) << name << ": no box on the screen\n" << Timeline();
        EXPECT_FALSE(LogHas(answered, 0ms));
        ASSERT_TRUE(Key("Return"));
        EXPECT_TRUE(LogHas(answered, 10s)) << name << ": the box took no key";
    };
    answer("alert-at-start", "answered");
    ASSERT_TRUE(WaitUntil([&] {
        return PixelsOf(Photographer::TakeOne(dir / "drawn"), kMainColour) > 1000;
    })) << "the magazine was not drawn after the box";
    Signal("again");
    answer("alert", "again answered");
    EndsCleanly();
}

// A full-screen issue covers the whole output, the compositor's panel too.
TEST_F(WaylandRun, AFullScreenIssueCoversTheScreen) {
    Config("<MSG><Wnd Width='640' Height='480' Bfull='TRUE'/></MSG>");
    Script("fill\t40a060\nfs\tstart\nnote\tshown\n");
    ASSERT_TRUE(Pack());
    Start(dir / "issue.bin");
    ASSERT_TRUE(LogHas("shown", 40s)) << Stderr();
    QImage shot;
    int n = 0;
    const bool covered = WaitUntil([&] {
        shot = Photographer::TakeOne(dir / ("full" + std::to_string(n++)));
        for (const QPoint p : {QPoint(40, 10), QPoint(1010, 10), QPoint(512, 384), QPoint(2, 765),
                               QPoint(1021, 765)}) {
            if (!test::IsColour(shot.pixel(p), kMainColour))
                return false;
        }
        return true;
    });
    Save(shot, "wayland-full-screen");
    EXPECT_TRUE(covered) << "the corners and the panel are not the movie's";
    EndsCleanly();
}

// The demo issue reaches its start, is drawn, opens its secondary window at a
// reader's clicks (neither window ever seen blank), and ends cleanly.
TEST_F(WaylandRun, TheDemoIssueIsDrawnOpensItsSecondWindowAndEnds) {
    constexpr QRgb kSidebar = qRgb(0x1d, 0x5f, 0xa8), kPage = qRgb(0xfa, 0xfa, 0xfa);
    constexpr QRgb kToolButton = qRgb(0xe8, 0xf0, 0xfb), kSecondPage = qRgb(0xff, 0xf7, 0xe0);
    Photographer photographer(dir / "demo-shots");
    Start(DEMO_ISSUE);
    ASSERT_TRUE(StderrHas("[fscommand] start", 40s)) << Stderr();
    // The stage's corner, found by its page, which fills the window's right
    // and bottom edges: the compositor put the window where it chose.
    QImage drawn;
    int n = 0;
    const auto findStage = [&](QPoint& stage) {
        drawn = Photographer::TakeOne(dir / ("d" + std::to_string(n++)));
        if (PixelsOf(drawn, kSidebar) < 2000 || PixelsOf(drawn, kPage) < 5000)
            return false;
        QPoint last;
        for (int y = kPanelHeight; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                if (test::IsColour(drawn.pixel(x, y), kPage, 0))
                    last = QPoint(std::max(last.x(), x), y);
            }
        }
        stage = last - QPoint(799, 583);
        return true;
    };
    QPoint stage;
    ASSERT_TRUE(WaitUntil([&] { return findStage(stage); })) << "not drawn";
    Save(drawn, "wayland-demo");
    // The title strip drags the window, by the compositor's own move: it starts
    // once the Player has seen the pointer move with the button down, so the
    // window follows the rest of the drag (how much of it depends on when).
    const QPoint strip = stage + QPoint(400, -8), by(60, 40);
    const auto at = [](QPoint p) { return std::to_string(p.x()) + " " + std::to_string(p.y()); };
    ASSERT_TRUE(Xdotool("mousemove " + at(strip) + " mousedown 1 mousemove " +
                        at(strip + QPoint(5, 5)) + " sleep 0.3 mousemove " + at(strip + by / 2) +
                        " sleep 0.1 mousemove " + at(strip + by) +
                        " sleep 0.3 mouseup 1 mousemove 1000 4"));
    QPoint moved;
    EXPECT_TRUE(WaitUntil([&] {
        return findStage(moved) && moved != stage && moved.x() >= stage.x() &&
               moved.y() >= stage.y() && moved.x() <= stage.x() + by.x() &&
               moved.y() <= stage.y() + by.y();
    })) << "dragged from "
        << at(stage) << " to " << at(moved);
    stage = moved;
    ASSERT_TRUE(Click(stage + QPoint(75, 181)));  // Tools
    const QPoint newWindow = stage + QPoint(166 + 188, 16 + 34 * 6 + 13);
    QImage tools;
    const bool onTools = WaitUntil([&] {
        return test::IsColour((tools = Photographer::TakeOne(dir / "tools")).pixel(newWindow),
                              kToolButton);
    });
    Save(tools, "wayland-demo-tools");
    ASSERT_TRUE(onTools) << "no Tools page at " << newWindow.x() << "," << newWindow.y();
    ASSERT_TRUE(Click(newWindow));
    QImage second;
    ASSERT_TRUE(WaitUntil(
        [&] {
            return PixelsOf(second = Photographer::TakeOne(dir / "second"), kSecondPage) > 1000;
        },
        15s))
        << "no secondary window\n"
        << Timeline();
    Save(second, "wayland-demo-secondary-window");
    const std::vector<Shot> shots = photographer.Stop();
    for (size_t i = 0; i < shots.size(); ++i) {
        const int blank =
            PixelsOf(shots[i].image, kQtWindow) + PixelsOf(shots[i].image, qRgb(0, 0, 0));
        if (blank > 300) {
            Save(shots[i].image, "wayland-demo-blank-" + std::to_string(i));
            ADD_FAILURE() << "picture " << i << " at " << shots[i].ms << " ms: a window undrawn";
        }
    }
    EndsCleanly();
}

// A reader who sets QT_QPA_PLATFORM=xcb gets XWayland: an X11 window, drawn, and
// ended cleanly. (This compositor's XWayland shows a window black for a while
// after it maps, whatever the program drew: counted, not failed.)
TEST_F(WaylandRun, ThroughXWaylandWhereTheReaderChoosesIt) {
    env.emplace_back("QT_QPA_PLATFORM", "xcb");
    ColourIssue();
    const std::vector<Shot> shots = PhotographStart();
    int blank = 0;
    for (const Shot& shot : shots)
        blank += AWindowsWorth(StrangePixelsOf(shot.image));
    std::fprintf(stderr, "XWayland: %d of %zu pictures showed a window undrawn\n", blank,
                 shots.size());
    test::X11Desktop x11;
    ASSERT_TRUE(x11.IsOpen());
    const auto w = x11.Find("issue");  // named by the issue's file
    ASSERT_TRUE(w) << "the main window is no X11 window: not on XWayland";
    EXPECT_EQ(w->geometry.size(), QSize(640, 480));
    EXPECT_GT(PixelsOf(shots.back().image, kMainColour), 1000) << "not drawn";
    EndsCleanly();
}
