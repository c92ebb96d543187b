// The real Player executable on issues packed by magpack, driven by a probe
// movie whose script reports back through writelog.

#include "e2e/player_run.h"

namespace fs = std::filesystem;

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
    std::string trailer(40, '\0');
    trailer[0] = 9;
    test::WriteFile(dir / "broken.bin", player + "<FileList" + trailer);
    fs::permissions(dir / "broken.bin", fs::perms::owner_all);
    ASSERT_TRUE(Launch(dir / "broken.bin")) << "the Player did not end by itself";
    EXPECT_NE(exitCode, 0);
    EXPECT_NE(Stderr().find("这个文件里没有杂志"), std::string::npos) << Stderr();
    EXPECT_TRUE(Workspaces().empty());
}

// The Player alone, with no issue appended, says so and fails.
TEST_F(PlayerRun, ThePlayerWithoutAnIssueSaysSoAndFails) {
    ASSERT_TRUE(Launch(PLAYER_PATH)) << "the Player did not end by itself";
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

// On a real X server (this test runs under xvfb-run): after "start" the main
// window has the configured size, centred, with the configured title.
TEST_F(PlayerRun, StartShowsTheConfiguredWindowOnX11) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server";
    platform = "xcb";
    Config("<MSG><Wnd Width='640' Height='480' Title='E2E 窗口' bShowTitle='true'/></MSG>");
    Script("fs\tstart\nnote\tshown\nwait\t2000\nfs\tquit\n");
    std::string geometry;
    onTick = [&] {
        if (!geometry.empty() || Log().find("shown") == std::string::npos)
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

// A main movie the engine cannot parse ends the Player with a message, instead
// of a loading window that stays up for ever.
TEST_F(PlayerRun, ADamagedMainMovieEndsThePlayerWithAMessage) {
    std::string flipped = test::ReadFile(PROBE_SWF);
    for (size_t i = 40; i < flipped.size(); i += flipped.size() / 100)
        flipped[i] = static_cast<char>(~flipped[i]);
    for (const std::string& movie : {std::string(5000, '\x5a'), flipped}) {
        const std::string issue =
            HandPackage("damaged.bin", {{"l.swf", test::ReadFile(PROBE_SWF)},
                                        {"config.xml", "<MSG><Wnd/></MSG>"},
                                        {"vellmain.swf", movie}});
        ASSERT_TRUE(Launch(issue)) << "the Player waited for ever";
        EXPECT_NE(exitCode, 0);
        EXPECT_NE(Stderr().find("主影片已损坏"), std::string::npos) << Stderr();
        EXPECT_TRUE(Workspaces().empty());
    }
}
