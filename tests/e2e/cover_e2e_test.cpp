// `--thumbnail`: the real Player writes an issue's cover without a display, and
// leaves nothing behind whatever the issue holds.

#include <QBuffer>
#include <QImage>

#include "e2e/player_run.h"
#include "support/colours.h"

using namespace std::chrono_literals;

namespace {

struct Point {
    double x, y;  // a fraction of the cover's width and height
    QRgb colour;
};

struct CoverCase {
    std::string name;
    std::string script;  // the probe's, for issues built here
    std::string config;
    bool titleBitmap = false;  // config.xml names a red title.bmp
    bool loading = false;      // the loading movie is shown
    QSize size;                // of the cover; empty: none is written
    std::vector<Point> points;
    std::chrono::milliseconds within = 20s;
};

constexpr QRgb kProbeColour = qRgb(0x80, 0x40, 0xc0);

// A BMP of one colour, as authoring tools wrote title strips.
std::string Bitmap(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes.toStdString();
}

class CoverRun : public PlayerRun {
protected:
    // Runs `--thumbnail ISSUE cover.png` and says how long it took.
    std::chrono::milliseconds Thumbnail(const std::string& issue,
                                        std::vector<std::string> more = {}) {
        args = {"--thumbnail", issue, dir / "cover.png"};
        args.insert(args.end(), more.begin(), more.end());
        env = {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}};
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(Launch(PLAYER_PATH)) << "the cover run did not end";
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }

    // Nothing of the run is left: no file in its temporary or config folder, no
    // process that inherited its environment.
    void ExpectNothingLeft() {
        EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "left in the temporary folder";
        EXPECT_TRUE(fs::is_empty(dir / "cfg")) << "written to the reader's settings";
        EXPECT_TRUE(test::WaitUntil(
            [&] { return test::ProcessesWithEnvironment("TMPDIR=" + (dir / "tmp")) == 0; }, 5s))
            << "a process of the run is still there";
    }
};

}  // namespace

// Issues of every kind, each from Windows' authoring tool on a stub of the other
// viewer: a cover when the movie starts and draws, the fallbacks in their order
// when it never does, nothing at all for an issue that cannot open.
TEST_F(CoverRun, EveryIssueGetsItsCoverOrNothingWithinTheLimit) {
    const std::string drawn =
        "fill\t804"
        "0c0\nfs\tstart\n";
    const std::vector<CoverCase> cases = {
        {"starts and draws",
         drawn,
         "<MSG><Wnd Width='640' Height='480'/></MSG>",
         false,
         false,
         QSize(256, 192),
         {{0.5, 0.5, kProbeColour}, {0.1, 0.9, kProbeColour}}},
        {"a title strip above the movie",
         drawn,
         "<MSG><Wnd Width='400' Height='400' bShowTitle='true' TBKbmp='TITLE.BMP'/></MSG>",
         true,
         false,
         QSize(256, 256),
         {{0.5, 0.01, qRgb(0xff, 0, 0)}, {0.5, 0.5, kProbeColour}}},
        {"never starts: the loading movie's frame",
         "fill\t40c080\n",
         "<MSG><Wnd Width='640' Height='480' bShowLoading='TRUE' LoadX='300' LoadY='100'/></MSG>",
         true,
         true,
         QSize(256, 85),
         {}},
        {"never starts: the title bitmap",
         "fill\t40c080\n",
         "<MSG><Wnd Width='640' Height='480' TBKbmp='title.bmp'/></MSG>",
         true,
         false,
         QSize(256, 8),
         {{0.5, 0.5, qRgb(0xff, 0, 0)}}},
        {"never starts: the Player's icon",
         "fill\t40c080\n",
         "<MSG><Wnd Width='640' Height='480'/></MSG>",
         false,
         false,
         QSize(64, 64),
         {}},
    };
    for (const CoverCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::PackedFiles files = {
            {"loading.swf", test::ReadFile(c.loading ? COLOUR_PROBE_SWF : PROBE_SWF)},
            {"config.xml", c.config},
            {"vellmain.swf", test::ReadFile(PROBE_SWF)},
            {"script.txt", "log\t" + (dir / "log.txt") + "\n" + c.script}};
        if (c.titleBitmap)
            files.push_back({"title.bmp", Bitmap(600, 20, qRgb(0xff, 0, 0))});
        const std::string issue =
            HandPackage("old-issue.exe", files, "MZ" + std::string(4094, '\x90'));
        const auto took = Thumbnail(issue);
        EXPECT_EQ(exitCode, 0) << Stderr();
        EXPECT_LT(took, c.within);
        const QImage cover(QString::fromStdString(dir / "cover.png"));
        EXPECT_EQ(cover.size(), c.size);
        for (const Point& p : c.points) {
            const QPoint at(static_cast<int>(p.x * (cover.width() - 1)),
                            static_cast<int>(p.y * (cover.height() - 1)));
            EXPECT_TRUE(test::IsColour(cover.pixel(at), p.colour, 24))
                << "at " << at.x() << "," << at.y() << ": " << std::hex << cover.pixel(at);
        }
        ExpectNothingLeft();
        fs::remove(dir / "cover.png");
    }
}

// The demo issue, as a file manager asks for it: its cover at the asked size
// shows the demo's own colours where they are.
TEST_F(CoverRun, TheDemoIssueShowsItsOwnCover) {
    Thumbnail(DEMO_ISSUE, {"--size", "128"});
    EXPECT_EQ(exitCode, 0) << Stderr();
    const QImage cover(QString::fromStdString(dir / "cover.png"));
    ASSERT_EQ(cover.size(), QSize(128, 96));
    cover.save(QString::fromStdString(std::string(SCREENSHOT_DIR) + "/cover-demo.png"));
    const auto at = [&](double x, double y) {
        return cover.pixel(static_cast<int>(x * 127), static_cast<int>(y * 95));
    };
    EXPECT_TRUE(test::IsColour(at(0.6, 0.2), qRgb(0x2b, 0x6c, 0xb0), 24)) << "the heading band";
    EXPECT_TRUE(test::IsColour(at(0.6, 0.8), qRgb(0xfa, 0xfa, 0xfa), 24)) << "the page";
    EXPECT_TRUE(test::IsColour(at(0.02, 0.7), qRgb(0x1d, 0x5f, 0xa8), 24)) << "the side bar";
    ExpectNothingLeft();
}

// What cannot be an issue's cover ends the run with no file written: a damaged
// issue within the limit, anything that holds no issue at once.
TEST_F(CoverRun, WhatHoldsNoIssueWritesNothing) {
    std::string executable = test::ReadFile("/bin/true");
    test::WriteFile(dir / "tool", executable);
    const std::string damagedMovie =
        HandPackage("damaged.exe", {{"l.swf", test::ReadFile(PROBE_SWF)},
                                    {"config.xml", "<MSG><Wnd/></MSG>"},
                                    {"vellmain.swf", std::string(5000, '\x5a')}});
    std::string cut = test::ReadFile(DEMO_ISSUE);
    cut.resize(cut.size() - 1000);
    test::WriteFile(dir / "cut.exe", cut);
    const std::vector<std::pair<std::string, std::chrono::milliseconds>> inputs = {
        {dir / "tool", 2s},
        {dir / "cut.exe", 2s},
        {dir / "missing.exe", 2s},
        {damagedMovie, 20s},
    };
    for (const auto& [input, within] : inputs) {
        SCOPED_TRACE(input);
        const auto took = Thumbnail(input);
        EXPECT_NE(exitCode, 0);
        EXPECT_LT(took, within);
        EXPECT_FALSE(fs::exists(dir / "cover.png"));
        ExpectNothingLeft();
    }
}
