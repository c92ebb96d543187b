// The seam between a movie and the desktop, in the real Player on a reader's
// desktop: issues made on Windows (names in any case, backslashes, GBK text),
// saved objects across runs, links, full screen.

#include <fstream>

#include "core/platform/text.h"
#include "e2e/player_run.h"
#include "e2e/seam_movies.h"
#include "support/x11_desktop.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::WaitUntil;

namespace {

// "㐀" is in GB18030 only, beyond GBK: it takes four bytes there.
const std::string kChinese = "编者㐀";

using seam_movies::Blob;

int BlobSum(const std::string& b) {
    int sum = 0;
    for (unsigned char c : b)
        sum = (sum * 31 + c) % 1000003;
    return sum;
}

class SeamsRun : public PlayerRun {
protected:
    void SetUp() override {
        PlayerRun::SetUp();
        if (!desktop.IsOpen())
            GTEST_SKIP() << "needs an X server";
        if (!WaitUntil([&] { return desktop.HasWindowManager(); }))
            GTEST_SKIP() << "needs a window manager (tests/e2e/desktop-session)";
        platform = "xcb";
        fs::create_directories(dir / "bin");
        fs::create_directories(dir / "data");
        // The desktop's opener: records what it is asked to open, opens nothing.
        test::WriteFile(dir / "bin/xdg-open",
                        "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + (dir / "opened.txt") + "'\n");
        fs::permissions(dir / "bin/xdg-open", fs::perms::owner_all);
        env = {{"PLAYER_TRACE", "1"},
               {"XDG_DATA_HOME", dir / "data"},
               {"PATH", (dir / "bin") + ":" + std::getenv("PATH")},
               {"XDG_CURRENT_DESKTOP", ""},
               {"BROWSER", ""}};
    }

    std::string Issue(const std::string& name, const std::string& mainMovie) {
        return HandPackage(name, seam_movies::IssueFiles(mainMovie));
    }

    bool Has(const std::string& line, std::chrono::milliseconds limit = 20s) {
        return WaitUntil([&] { return Stderr().find(line) != std::string::npos; }, limit);
    }
    std::string Opened() const { return test::ReadFile(dir / "opened.txt"); }

    void Quit() {
        if (pid > 0)
            kill(pid, SIGTERM);
        EXPECT_TRUE(WaitForExit(10s));
    }

    void ClickMovie() {
        std::optional<test::X11Window> w;
        ASSERT_TRUE(WaitUntil([&] { return (w = desktop.Find("Seams")) && w->viewable; }));
        const QPoint at = w->geometry.center();
        ASSERT_TRUE(test::X11Desktop::Click(at.x(), at.y(), 1));
    }

    test::X11Desktop desktop;
};

// Text and pages by Windows names, in the code page of a Chinese Windows, for
// AS2 (LoadVars, onData, XML, MovieClipLoader) and AS3 (URLLoader text and
// bytes, Loader), with System.useCodepage off and on.
TEST_F(SeamsRun, WindowsNamesAndCodePageTextReachTheMovies) {
    struct Case {
        std::string movie;
        std::vector<std::string> lines;
    };
    const std::string blob = std::to_string(Blob().size()) + " " + std::to_string(BlobSum(Blob()));
    const std::vector<std::string> as2 = {
        "vars2 " + kChinese, "data2 v=" + kChinese + "&w=1", "utf2 " + kChinese,
        "xml2 " + kChinese,  "loadvariables2 " + kChinese,   "css2 宋体",
        "/pages/page2.swf"};
    const std::vector<std::string> as3 = {"text3 v=" + kChinese + "&w=1", "utf3 v=" + kChinese,
                                          "bin3 " + blob, "page3 player://localhost/"};
    const Case cases[] = {{seam_movies::MainMovie(false), as2},
                          {seam_movies::MainMovie(true), as2},
                          {test::ReadFile(SEAMS_SWF), as3},
                          {test::ReadFile(SEAMS_CODEPAGE_SWF), as3}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE("movie " + std::to_string(n));
        Start(Issue("issue" + std::to_string(n++) + ".exe", c.movie));
        EXPECT_TRUE(Has("ready")) << Stderr();
        for (const auto& line : c.lines)
            EXPECT_TRUE(Has(line, 10s)) << line << "\n" << Stderr();
        EXPECT_EQ(Stderr().find("failed "), std::string::npos) << Stderr();
        EXPECT_EQ(Stderr().find("Failed to parse"), std::string::npos) << Stderr();
        Quit();
        test::WriteFile(dir / "stderr.txt", "");
    }
}

// A movie knows its URL, and what it saves outlives the Player: the local
// domain ("/") for every issue, the default path for its own issue (also
// when the issue file is renamed, moved or killed right after the flush).
TEST_F(SeamsRun, SavedObjectsOutliveThePlayer) {
    const std::string as3 = Issue("as3.exe", test::ReadFile(SEAMS_SWF));
    Start(as3);
    ASSERT_TRUE(Has("ready3")) << Stderr();
    EXPECT_TRUE(Has("url3 player://localhost/")) << Stderr();
    EXPECT_TRUE(Has("/vellmain.swf")) << Stderr();
    EXPECT_TRUE(Has("own3 null")) << Stderr();
    EXPECT_TRUE(Has("shared3 null")) << Stderr();
    kill(pid, SIGKILL);  // right after the flush: nothing is owed to an orderly end
    WaitForExit(5s);

    // Another issue, AS2: the local domain's object is its to share.
    Start(Issue("as2.exe", seam_movies::MainMovie(false)));
    ASSERT_TRUE(Has("ready2")) << Stderr();
    EXPECT_TRUE(Has("url2 player://localhost/")) << Stderr();
    EXPECT_TRUE(Has("shared2 undefined")) << Stderr();
    Quit();

    // The first issue again, under another name in another folder.
    fs::create_directories(dir / "moved");
    fs::rename(as3, dir / "moved/renamed.exe");
    test::WriteFile(dir / "stderr.txt", "");
    Start(dir / "moved/renamed.exe");
    ASSERT_TRUE(Has("ready3")) << Stderr();
    EXPECT_TRUE(Has("own3 kept")) << Stderr();
    EXPECT_TRUE(Has("shared3 saved")) << Stderr();
    Quit();
    EXPECT_TRUE(fs::exists(dir / "data/magazine-player/shared-objects/localhost/seams.sol"));
}

// A damaged store file is kept as it was and the movie starts with no data.
TEST_F(SeamsRun, ADamagedSavedObjectIsKeptAndTheMovieStartsAfresh) {
    const fs::path file = dir / "data/magazine-player/shared-objects/localhost/seams.sol";
    fs::create_directories(file.parent_path());
    test::WriteFile(file, "not a saved object");
    Start(Issue("as2.exe", seam_movies::MainMovie(false)));
    ASSERT_TRUE(Has("ready2")) << Stderr();
    EXPECT_TRUE(Has("shared2 undefined")) << Stderr();
    Quit();
    EXPECT_EQ(test::ReadFile(file.string() + ".damaged"), "not a saved object");
    EXPECT_TRUE(fs::exists(file));  // the movie's new flush
}

// A reader's click on a movie's links: the web and mail go to the desktop's
// opener once each, a document of the issue by its file, and nothing else.
TEST_F(SeamsRun, LinksGoToTheDesktopAndNothingElseOpens) {
    Start(Issue("links.exe", seam_movies::LinksMovie()));
    ASSERT_TRUE(Has("ready2")) << Stderr();
    ClickMovie();
    ASSERT_TRUE(Has("clicked")) << Stderr();
    ASSERT_TRUE(WaitUntil([&] { return Opened().find("example.com/post") != std::string::npos; }))
        << Opened() << Stderr();
    std::this_thread::sleep_for(1s);  // anything else would have come by now
    const std::string opened = Opened();
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = opened.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(opened.substr(at, end - at));
    std::sort(lines.begin(), lines.end());
    const std::string workspaceDoc = "/docs/readme.htm";
    ASSERT_EQ(lines.size(), 6u) << opened << Stderr();
    EXPECT_EQ(lines[0].rfind("file:///", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(workspaceDoc), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "http://example.com/publisher");
    EXPECT_EQ(lines[2].rfind("https://example.com/form?", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], "https://example.com/post");
    EXPECT_EQ(lines[4], "https://example.com/self");
    EXPECT_EQ(lines[5].rfind("mailto:editors@example.com", 0), 0u) << lines[5];
    const std::string trace = Stderr();
    for (const char* refused : {"[link] refused file:///etc/passwd",
                                "[link] refused data:", "run.sh", "without its POST variables"})
        EXPECT_NE(trace.find(refused), std::string::npos) << refused << "\n" << trace;
    EXPECT_NE(trace.find("[link] refused javascript"), std::string::npos) << trace;
    EXPECT_TRUE(Running()) << "the Player window navigated away or died";
    Quit();
}

// Stage.displayState on a click gives the full-screen layout; the next click,
// or Esc, the window as it was; the movie hears each change (AS2 and AS3).
TEST_F(SeamsRun, AMovieGoesFullScreenOnAClickAndBack) {
    const QRect screen(0, 0, 1024, 768);
    const std::pair<std::string, std::string> movies[] = {
        {seam_movies::FullScreenMovie(), "fullscreen2 "},
        {test::ReadFile(SEAMS_SWF), "fullscreen3 "}};
    for (const auto& [movie, label] : movies) {
        SCOPED_TRACE(label);
        test::WriteFile(dir / "stderr.txt", "");
        Start(Issue("full.exe", movie));
        ASSERT_TRUE(Has("ready")) << Stderr();
        std::optional<test::X11Window> w;
        ASSERT_TRUE(WaitUntil([&] { return (w = desktop.Find("Seams")) && w->viewable; }));
        // Where the window settles once the Player has centred it.
        QRect windowed;
        ASSERT_TRUE(WaitUntil([&] {
            const QRect before = desktop.Find("Seams")->geometry;
            std::this_thread::sleep_for(200ms);
            windowed = desktop.Find("Seams")->geometry;
            return windowed == before;
        }));
        const auto isFull = [&] { return (w = desktop.Find("Seams")) && w->geometry == screen; };
        const auto isWindowed = [&] {
            return (w = desktop.Find("Seams")) && w->geometry == windowed;
        };
        const auto where = [&] {
            return std::to_string(w->geometry.x()) + "," + std::to_string(w->geometry.y()) + " " +
                   std::to_string(w->geometry.width()) + "x" +
                   std::to_string(w->geometry.height()) + " (windowed " +
                   std::to_string(windowed.x()) + "," + std::to_string(windowed.y()) + ")";
        };
        // A click on the movie, then one where the full-screen movie is.
        ClickMovie();
        EXPECT_TRUE(Has(label + "true")) << Stderr();
        EXPECT_TRUE(WaitUntil(isFull)) << where();
        if (label == "fullscreen2 ") {
            // The 640 x 480 stage fills the 1024 x 768 screen: the 100 px mark is 160 px.
            QImage shot;
            EXPECT_TRUE(WaitUntil([&] {
                shot = desktop.Screenshot();
                return shot.pixel(150, 150) == qRgb(0xe0, 0x20, 0x20);
            })) << std::hex
                << shot.pixel(150, 150);
            EXPECT_EQ(shot.pixel(170, 170), qRgb(0x30, 0x80, 0xf0))
                << std::hex << shot.pixel(170, 170);
        }
        fs::create_directories(SCREENSHOT_DIR);
        desktop.Screenshot().save(
            QString::fromStdString(SCREENSHOT_DIR "/seams-" + label.substr(0, 11) + ".png"));
        ASSERT_TRUE(test::X11Desktop::Click(500, 400, 1));
        EXPECT_TRUE(Has(label + "false")) << Stderr();
        EXPECT_TRUE(WaitUntil(isWindowed)) << where();
        // Esc leaves it too.
        test::WriteFile(dir / "stderr.txt", "");
        ClickMovie();
        EXPECT_TRUE(Has(label + "true")) << Stderr();
        EXPECT_TRUE(WaitUntil(isFull)) << where();
        ASSERT_EQ(std::system("xdotool key Escape"), 0);
        EXPECT_TRUE(Has(label + "false")) << Stderr();
        EXPECT_TRUE(WaitUntil(isWindowed)) << where();
        Quit();
    }
}

}  // namespace
