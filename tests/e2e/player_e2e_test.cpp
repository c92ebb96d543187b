// The real Player executable on issues packed by magpack, driven by a probe
// movie whose script reports back through writelog.

#include "e2e/player_run.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST_F(PlayerRun, WorkspaceLivesExactlyAsLongAsThePlayer) {
    fs::create_directories(dir / "issue/second");
    test::WriteFile(dir / "issue/second/vellmain.swf", "SECOND");
    test::WriteFile(dir / "issue/pages/目录.txt", "");
    fs::create_directories(dir / "issue/pages");
    test::WriteFile(dir / "issue/pages/目录.txt", "contents");
    Script("fs\tstart\nnote\tready\nwait\t1500\nei\tbrivol_quit\n");
    std::vector<std::string> seen;
    onTick = [&] {
        if (seen.empty() && Log().find("ready") != std::string::npos) {
            for (const auto& w : Workspaces()) {
                for (const auto& e : fs::recursive_directory_iterator(w))
                    seen.push_back(fs::relative(e.path(), w).string());
            }
        }
    };
    ASSERT_TRUE(Run("--qk second")) << Stderr();
    EXPECT_EQ(exitCode, 0) << Stderr();
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"Probe.swf", "config.xml", "filelist.xml", "pages",
                                              "pages/目录.txt", "script.txt", "second", "second.qk",
                                              "second/filelist.xml", "second/vellmain.swf",
                                              "vellmain.swf"}));
    EXPECT_TRUE(Workspaces().empty());
}

TEST_F(PlayerRun, HostCommandsActOnRealFiles) {
    test::WriteFile(dir / "src.txt", "source");
    test::WriteFile(dir / "dst.txt", "old destination");
    Script(
        "fs\tstart\n"
        "ei\tbrivol_fileexists\t" +
        (dir / "src.txt") +
        "\n"
        "ei\tbrivol_folderexists\t" +
        (dir / "src.txt") +
        "\n"
        "ei\tbrivol_extractfile\t" +
        (dir / "src.txt") + "\t" + (dir / "dst.txt") +
        "\n"
        "fs\tcopyfile\tscript.txt|" +
        (dir / "copied.txt") +
        "\n"
        "fs\tCOPYFILE\tscript.txt|" +
        (dir / "src.txt") +
        "\n"
        "ei\tbrivol_unknown_name\t1\n"
        "fs\twritelog\t" +
        (dir / "missing.txt") +
        "|x\n"
        "note\t中文 done\n"
        "fs\tquit\n");
    ASSERT_TRUE(Run()) << Stderr();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(Log(),
              "brivol_fileexists=true\nbrivol_folderexists=false\nbrivol_extractfile=null\n"
              "brivol_unknown_name=null\n中文 done\n");
    EXPECT_EQ(test::ReadFile(dir / "dst.txt"), "source");  // extractfile overwrites without asking
    EXPECT_EQ(test::ReadFile(dir / "copied.txt").substr(0, 3), "log");
    // copyfile asked before overwriting; the unattended answer is Yes.
    EXPECT_NE(Stderr().find("已存在,是否覆盖?"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir / "src.txt").substr(0, 3), "log");
    EXPECT_FALSE(test::Exists(dir / "missing.txt"));
    EXPECT_TRUE(Workspaces().empty());
}

TEST_F(PlayerRun, NamesThatEscapeTheWorkspaceWriteNothingOutside) {
    const std::string probe = test::ReadFile(PROBE_SWF);
    Script("fs\tstart\nnote\tran\nfs\tquit\n");
    const std::string outside = dir / "outside.txt";
    const std::string issue =
        HandPackage("evil.bin", {{"l.swf", probe},
                                 {"config.xml", "<MSG><Wnd/></MSG>"},
                                 {"..\\..\\..\\escape.txt", "EVIL"},
                                 {outside, "EVIL"},
                                 {"vellmain.swf", probe},
                                 {"script.txt", test::ReadFile(dir / "issue/script.txt")}});
    ASSERT_TRUE(Launch(issue)) << Stderr();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(Log(), "ran\n");  // the files after the hostile ones are still in place
    EXPECT_FALSE(test::Exists(outside));
    EXPECT_FALSE(test::Exists(dir / "escape.txt"));
    EXPECT_FALSE(test::Exists(dir / "tmp/escape.txt"));
}

TEST_F(PlayerRun, ADamagedFileListEndsThePlayer) {
    const std::string player = test::ReadFile(PLAYER_PATH);
    test::WriteFile(dir / "broken.bin", player + "<FileList" + BuildAppendedTrailer(9));
    fs::permissions(dir / "broken.bin", fs::perms::owner_all);
    ASSERT_TRUE(Launch(dir / "broken.bin")) << "the Player did not end by itself";
    EXPECT_NE(exitCode, 0);
    EXPECT_NE(Stderr().find("这个文件里没有杂志"), std::string::npos) << Stderr();
    EXPECT_TRUE(Workspaces().empty());
}

TEST_F(PlayerRun, AnIssueWithoutConfigStillRuns) {
    const std::string probe = test::ReadFile(PROBE_SWF);
    Script("fs\tstart\nnote\tno config\nei\tbrivol_quit\n");
    const std::string issue =
        HandPackage("noconfig.bin", {{"l.swf", probe},
                                     {"vellmain.swf", probe},
                                     {"script.txt", test::ReadFile(dir / "issue/script.txt")}});
    ASSERT_TRUE(Launch(issue)) << Stderr();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(Log(), "no config\n");
}

TEST_F(PlayerRun, ATerminationSignalStillDeletesTheWorkspace) {
    Script("fs\tstart\nnote\tready\nwait\t60000\n");
    bool signalled = false;
    onTick = [&] {
        if (!signalled && Log().find("ready") != std::string::npos) {
            signalled = true;
            std::system(("pkill -TERM -f '" + (dir / "issue.bin") + "'").c_str());
        }
    };
    ASSERT_TRUE(Run()) << Stderr();
    EXPECT_TRUE(signalled);
    EXPECT_TRUE(Workspaces().empty());
}

// A Player killed outright (SIGKILL, the out-of-memory killer, a power cut)
// leaves its workspace, during the extraction or after "start"; the next
// Player's start removes both, and never the workspace of a Player that runs.
TEST_F(PlayerRun, WhatAKilledPlayerLeftIsRemovedByTheNextStart) {
    // Enough to extract that a kill at the workspace's first sight lands within it.
    test::WriteFile(dir / "issue/padding.bin", std::string(192 << 20, '\0'));
    Script("fs\tstart\nnote\tready\nwait\t60000\n");
    ASSERT_TRUE(Pack());
    const auto killWhen = [&](const std::function<bool()>& ready) {
        Start(dir / "issue.bin");
        EXPECT_TRUE(test::WaitUntil(ready, 30s)) << Stderr();
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    };
    killWhen([&] { return !Workspaces().empty(); });
    const auto duringExtraction = Workspaces();
    ASSERT_EQ(duringExtraction.size(), 1u);
    EXPECT_FALSE(fs::exists(duringExtraction[0] / "vellmain.swf") &&
                 fs::file_size(duringExtraction[0] / "padding.bin") == 192u << 20)
        << "killed after its extraction";
    const auto isGone = [&](const fs::path& w) {
        return [&, w] { return !fs::exists(w) && !fs::exists(w.string() + ".lock"); };
    };
    const auto ready = [&] { return Log().find("ready") != std::string::npos; };
    // The next start removes it; that Player is killed after "start".
    test::WriteFile(dir / "log.txt", "");
    killWhen(ready);
    EXPECT_TRUE(test::WaitUntil(isGone(duringExtraction[0]), 10s));
    const auto afterStart = Workspaces();
    ASSERT_EQ(afterStart.size(), 1u);

    // A Player that runs on removes that one; one more start leaves it its own.
    test::WriteFile(dir / "log.txt", "");
    Start(dir / "issue.bin");
    ASSERT_TRUE(test::WaitUntil(ready, 30s));
    const pid_t running = std::exchange(pid, -1);
    EXPECT_TRUE(test::WaitUntil(isGone(afterStart[0]), 10s));
    const auto runningWorkspace = Workspaces();
    ASSERT_EQ(runningWorkspace.size(), 1u);
    test::WriteFile(dir / "log.txt", "");
    Start(dir / "issue.bin");
    ASSERT_TRUE(test::WaitUntil(ready, 30s));
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(fs::exists(runningWorkspace[0] / "vellmain.swf"))
        << "a running Player's workspace went";
    kill(running, SIGTERM);
    waitpid(running, nullptr, 0);
}

// On a real X server (this test runs under xvfb-run): after "start", once its
// movie has drawn, the main window is shown with the configured size, centred,
// with the configured title.
TEST_F(PlayerRun, StartShowsTheConfiguredWindowOnX11) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server";
    platform = "xcb";
    Config("<MSG><Wnd Width='640' Height='480' Title='E2E 窗口' bShowTitle='true'/></MSG>");
    Script("fs\tstart\nnote\tshown\nwait\t2000\nfs\tquit\n");
    std::string geometry;
    onTick = [&] {
        if (geometry.find("IsViewable") != std::string::npos ||
            Log().find("shown") == std::string::npos)
            return;
        // xwininfo is part of x11-utils; the window is found by its title.
        FILE* p = popen("xwininfo -name 'E2E 窗口' 2>/dev/null", "r");
        char buffer[4096];
        size_t n = fread(buffer, 1, sizeof buffer - 1, p);
        buffer[n] = 0;
        pclose(p);
        geometry = buffer;
    };
    ASSERT_TRUE(Run()) << Stderr();
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(geometry.find("Width: 640"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Height: 480"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Map State: IsViewable"), std::string::npos) << geometry;
    // Centred on the 1024 x 768 screen the test's server has.
    EXPECT_NE(geometry.find("Absolute upper-left X:  192"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Absolute upper-left Y:  144"), std::string::npos) << geometry;
}

namespace {

// What the Player prints and its status, run with `args` and no display.
std::pair<int, std::string> RunWithoutDisplay(const std::string& args) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                std::string(PLAYER_PATH) + " " + args + " 2>&1";
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    return {WEXITSTATUS(pclose(p)), out};
}

}  // namespace

// The command line is answered before Qt starts: no display is needed.
TEST_F(PlayerRun, TheCommandLineIsAnsweredWithoutADisplay) {
    auto [status, out] = RunWithoutDisplay("--help");
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("usage: player [ISSUE]"), std::string::npos) << out;
    std::tie(status, out) = RunWithoutDisplay("--version");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.rfind("magazine-player ", 0), 0u) << out;
    std::tie(status, out) = RunWithoutDisplay("--frobnicate");
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("unknown option --frobnicate"), std::string::npos) << out;
    for (const auto& [wrong, why] : std::vector<std::pair<std::string, std::string>>{
             {"--thumbnail a.exe", "--thumbnail takes ISSUE OUT.png"},
             {"--thumbnail a.exe b.png --size 8", "--size takes a number"},
             {"--thumbnail a.exe b.png --size 64x", "--size takes a number"},
             {"--size 64 a.exe", "--size goes with --thumbnail"}}) {
        std::tie(status, out) = RunWithoutDisplay(wrong);
        EXPECT_EQ(status, 2) << wrong;
        EXPECT_NE(out.find(why), std::string::npos) << out;
    }
    test::WriteFile(dir / "notes.txt", "not an issue");
    std::tie(status, out) = RunWithoutDisplay(dir / "notes.txt");
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("holds no magazine issue"), std::string::npos) << out;
    std::tie(status, out) = RunWithoutDisplay(dir / "missing.exe");
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("cannot open"), std::string::npos) << out;
    EXPECT_TRUE(Workspaces().empty());
}

// An issue made for the Windows viewer: its executable, then the package whose
// startpos values are absolute offsets in that file. It opens as it is.
TEST_F(PlayerRun, AnIssueForTheWindowsViewerOpensAsItIs) {
    Script("fs\tstart\nnote\tstarted\nwait\t500\nfs\tquit\n");
    std::string stub = "MZ" + std::string(405504 - 2, '\x90');
    const std::string old =
        HandPackage("old-issue.exe",
                    {{"loading.swf", test::ReadFile(PROBE_SWF)},
                     {"config.xml", "<MSG><Wnd Width='640' Height='480'/></MSG>"},
                     {"vellmain.swf", test::ReadFile(PROBE_SWF)},
                     {"script.txt", test::ReadFile(dir / "issue/script.txt")}},
                    stub);
    fs::permissions(old, fs::perms::owner_read | fs::perms::owner_write);  // not executable
    const auto before = std::distance(fs::directory_iterator(dir.path()), {});
    std::vector<std::string> seen;
    onTick = [&] {
        if (seen.empty() && Log().find("started") != std::string::npos) {
            for (const auto& w : Workspaces()) {
                for (const auto& e : fs::directory_iterator(w))
                    seen.push_back(e.path().filename().string());
            }
        }
    };
    args = {old};
    ASSERT_TRUE(Launch(PLAYER_PATH)) << Stderr();
    EXPECT_EQ(exitCode, 0) << Stderr();
    EXPECT_EQ(Log(), "started\n");
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"config.xml", "filelist.xml", "loading.swf",
                                              "script.txt", "vellmain.swf"}));
    // Nothing was written beside the opened file (the log and stderr were there before).
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), before + 1);  // stderr.txt
    EXPECT_TRUE(Workspaces().empty());
}

// A main movie the engine cannot parse ends the Player with a message, instead
// of a loading window that stays up for ever.
TEST_F(PlayerRun, ADamagedMainMovieEndsThePlayerWithAMessage) {
    std::string flipped = test::ReadFile(PROBE_SWF);
    for (size_t i = 40; i < flipped.size(); i += flipped.size() / 100)
        flipped[i] = static_cast<char>(~flipped[i]);
    for (const std::string& movie : {std::string(5000, '\x5a'), flipped}) {
        const std::string issue = HandPackage("damaged.bin", {{"l.swf", test::ReadFile(PROBE_SWF)},
                                                              {"config.xml", "<MSG><Wnd/></MSG>"},
                                                              {"vellmain.swf", movie}});
        ASSERT_TRUE(Launch(issue)) << "the Player waited for ever";
        EXPECT_NE(exitCode, 0);
        EXPECT_NE(Stderr().find("主影片已损坏"), std::string::npos) << Stderr();
        EXPECT_TRUE(Workspaces().empty());
    }
}
