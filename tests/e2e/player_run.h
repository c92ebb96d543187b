#pragma once
// The real Player executable on issues packed by magpack, driven by a probe
// movie whose script reports back through writelog.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "core/package/package_writer.h"
#include "support/package_builder.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

class PlayerRun : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "tmp");
        // The Player's config home (libraries such as the sound client keep their
        // state there): made up front, so that a test counting what appears beside
        // the issue sees only what the Player itself writes.
        fs::create_directories(dir / "cfg");
        fs::create_directories(dir / "issue");
        test::WriteFile(dir / "log.txt", "");
    }

    void Script(const std::string& lines) {
        test::WriteFile(dir / "issue/script.txt", "log\t" + (dir / "log.txt") + "\n" + lines);
    }
    void Config(const std::string& xml) { test::WriteFile(dir / "issue/config.xml", xml); }

    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // Packs the issue folder (probe as vellmain.swf) into issue.bin.
    bool Pack(const std::string& extraPackArgs = "") {
        fs::copy_file(PROBE_SWF, dir / "issue/vellmain.swf", fs::copy_options::overwrite_existing);
        if (!fs::exists(dir / "issue/config.xml"))
            Config("<MSG><Wnd Width='640' Height='480' bShowTitle='true'/></MSG>");
        const std::string pack = std::string(MAGPACK_PATH) + " build --player " + PLAYER_PATH +
                                 " --loading " + loadingMovie + " " + extraPackArgs + " " +
                                 (dir / "issue") + " -o " + (dir / "issue.bin");
        return std::system(pack.c_str()) == 0;
    }

    // Packs the issue folder, then runs it to its end; false on a time-out.
    bool Run(const std::string& extraPackArgs = "") {
        return Pack(extraPackArgs) && Launch(dir / "issue.bin");
    }

    bool Launch(const std::string& issue) {
        Start(issue);
        return WaitForExit(std::chrono::seconds(90));
    }

    // Starts the issue and returns at once.
    void Start(const std::string& issue) {
        pid = fork();
        if (pid == 0) {
            setenv("TMPDIR", (dir / "tmp").c_str(), 1);
            setenv("XDG_CONFIG_HOME", (dir / "cfg").c_str(), 1);
            setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
            setenv("LC_ALL", "C.UTF-8", 1);  // log files are written in the locale charset
            if (unattendedBoxes)
                setenv("PLAYER_MESSAGE_BOXES", "stderr", 1);
            for (const auto& [name, value] : env) {
                if (value.empty())
                    unsetenv(name.c_str());
                else
                    setenv(name.c_str(), value.c_str(), 1);
            }
            freopen((dir / "stderr.txt").c_str(), "w", stderr);
            std::vector<char*> argv{const_cast<char*>(issue.c_str())};
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(issue.c_str(), argv.data());
            _exit(127);
        }
    }

    // Waits for the started Player to end, calling onTick meanwhile; false when
    // it is still running after `limit` (it is then killed).
    bool WaitForExit(std::chrono::milliseconds limit) {
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                pid = -1;
                return true;
            }
            if (std::chrono::steady_clock::now() - start > limit) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                pid = -1;
                return false;
            }
            if (onTick)
                onTick();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    bool Running() const { return pid > 0 && kill(pid, 0) == 0 && !Zombie(); }

    std::vector<fs::path> Workspaces() const {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(dir / "tmp")) {
            if (e.is_directory() && e.path().filename().string().front() == '{')
                found.push_back(e.path());
        }
        return found;
    }

    // An issue written byte by byte onto the player: names and contents as given.
    // `prefix` stands where the Player would (another viewer, or a stub).
    std::string HandPackage(const std::string& name,
                            const std::vector<std::pair<std::string, std::string>>& files,
                            const std::string& prefix) {
        test::WriteFile(dir / name, test::WindowsIssue(files, prefix));
        fs::permissions(dir / name, fs::perms::owner_all);
        return dir / name;
    }
    std::string HandPackage(const std::string& name,
                            const std::vector<std::pair<std::string, std::string>>& files) {
        return HandPackage(name, files, test::ReadFile(PLAYER_PATH));
    }

    bool Zombie() const {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == pid;
    }

    std::string Log() const { return test::ReadFile(dir / "log.txt"); }
    std::string Stderr() const { return test::ReadFile(dir / "stderr.txt"); }
    bool LogHas(const std::string& text,
                std::chrono::milliseconds limit = std::chrono::seconds(30)) const {
        return test::WaitUntil([&] { return Log().find(text) != std::string::npos; }, limit);
    }
    // The milliseconds of the first start-up timeline mark named so (the Player
    // writes them with PLAYER_TRACE=1), or -1.
    double Mark(const std::string& what) const {
        const std::string log = Stderr();
        const size_t at = log.find(" " + what + "\n");
        if (at == std::string::npos)
            return -1;
        const size_t start = log.rfind("[timeline] ", at);
        return std::stod(log.substr(start + 11, at - start - 11));
    }
    // The probe's `await` goes on once this file exists.
    void Signal(const std::string& name) const { test::WriteFile(dir / name, ""); }
    std::string Awaits(const std::string& name) const { return "await\t" + (dir / name) + "\n"; }

    test::TempDir dir;
    std::string platform = "offscreen";
    bool unattendedBoxes = true;  // message boxes go to stderr, answered with their first button
    pid_t pid = -1;
    std::string loadingMovie = PROBE_SWF;
    std::vector<std::string> args;                         // the command line after the program
    std::vector<std::pair<std::string, std::string>> env;  // set (or, empty, unset) for the Player
    int exitCode = -2;
    std::function<void()> onTick;
};
