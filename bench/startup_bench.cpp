// Start-up of the Player against the web engine's own floor, measured in the
// same run: five rounds, each running in turn the bare engine on an empty page,
// the bare engine compiling the movie engine's module (the floor: no instance
// made), the bare engine starting the movie engine on an empty movie (one
// instance; webengine_floor), the Player on the demo issue and on the demo issue
// padded with PAD_MiB of extra files, and the extraction of each issue alone
// (magpack extract). Prints the medians, the Player's overhead over floor +
// extraction, and the median of each mark of the Player's start-up timeline
// (PLAYER_TRACE=1).
//
//   startup_bench [PAD_MiB] [ROUNDS]

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "traced_child.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

using Marks = std::map<std::string, double>;  // timeline mark -> ms since exec

// Runs a program with the timeline on and collects its marks until `last`
// appears (or 60 s pass), then kills it.
Marks Timeline(const std::vector<std::string>& argv, const std::string& last, const fs::path& tmp) {
    int out[2];
    if (pipe(out) != 0)
        return {};
    fcntl(out[0], F_SETFD, FD_CLOEXEC);
    const pid_t pid = StartTraced(argv, tmp, out[1]);
    close(out[1]);
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    Marks marks;
    std::string pending;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    bool done = false;
    while (!done && Clock::now() < deadline) {
        char buffer[4096];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            usleep(2000);
            continue;
        }
        pending.append(buffer, static_cast<size_t>(n));
        size_t eol;
        while ((eol = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (line.rfind("[timeline] ", 0) != 0)
                continue;
            std::istringstream in(line.substr(11));
            double ms = 0;
            std::string what;
            in >> ms;
            std::getline(in >> std::ws, what);
            marks.emplace(what, ms);  // the first of each name counts
            done = done || what == last;
        }
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(out[0]);
    // The web engine's helper processes end with their browser process.
    usleep(300000);
    for (const auto& e : fs::directory_iterator(tmp))
        fs::remove_all(e.path());
    return done ? marks : Marks{};
}

double Seconds(const std::string& command) {
    const auto t0 = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return std::chrono::duration<double>(Clock::now() - t0).count() * 1000.0;
}

double Median(std::vector<double> v) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The marks of the Player's engines carry their number; name them by movie.
Marks ByRole(const Marks& marks) {
    std::map<std::string, std::string> role;  // "engine N" -> "loading" / "main"
    for (const auto& [what, ms] : marks) {
        if (what.rfind("engine ", 0) != 0)
            continue;
        const size_t movie = what.find(" movie ");
        if (movie == std::string::npos || what.find(".swf") == std::string::npos)
            continue;
        role[what.substr(0, movie)] =
            what.find("Loading.swf") != std::string::npos ? "loading" : "main";
    }
    Marks named;
    for (const auto& [what, ms] : marks) {
        std::string name = what;
        for (const auto& [engine, r] : role) {
            if (what.rfind(engine + " ", 0) == 0)
                name = r + what.substr(engine.size());
        }
        if (name.find(".swf") == std::string::npos)
            named[name] = ms;
    }
    return named;
}

}  // namespace

int main(int argc, char** argv) {
    const int padMiB = argc > 1 ? std::atoi(argv[1]) : 500;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const fs::path dir = fs::temp_directory_path() / ("startup-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "tmp");
    const fs::path demo = fs::path(DEMO_DIR) / "demo-issue";
    fs::copy(fs::path(DEMO_DIR) / "issue", dir / "issue", fs::copy_options::recursive);
    {
        const std::string pad = dir / "issue/padding.bin";
        const int fd = open(pad.c_str(), O_CREAT | O_WRONLY, 0600);
        const std::string chunk(1 << 20, 'p');
        for (int i = 0; i < padMiB; ++i) {
            if (write(fd, chunk.data(), chunk.size()) < 0)
                break;
        }
        close(fd);
    }
    const fs::path padded = dir / "padded-issue";
    Seconds(std::string(MAGPACK_PATH) + " build --player " + PLAYER_PATH + " --loading " +
            (fs::path(DEMO_DIR) / "Loading.swf").string() + " --qk second " +
            (dir / "issue").string() + " -o " + padded.string() + " 2>/dev/null");
    Seconds("cat '" + padded.string() + "' > /dev/null");  // the same warm cache for every run

    const std::pair<const char*, fs::path> issues[] = {{"demo issue", demo},
                                                       {"padded issue", padded}};
    std::vector<double> empty, compiled, engine;
    std::map<std::string, std::vector<double>> extract, start;
    std::map<std::string, std::map<std::string, std::vector<double>>> phases;
    for (int round = 0; round < rounds; ++round) {
        const Marks e = Timeline({FLOOR_PATH, "empty"}, "page loaded", dir / "tmp");
        if (e.count("page loaded"))
            empty.push_back(e.at("page loaded"));
        const Marks c = Timeline({FLOOR_PATH, "compile"}, "engine compiled", dir / "tmp");
        if (c.count("engine compiled"))
            compiled.push_back(c.at("engine compiled"));
        const Marks f =
            Timeline({FLOOR_PATH, "engine"}, "engine 1 movie engine ready", dir / "tmp");
        if (f.count("engine 1 movie engine ready"))
            engine.push_back(f.at("engine 1 movie engine ready"));
        for (const auto& [name, issue] : issues) {
            const Marks p = ByRole(Timeline({issue.string()}, "main window painted", dir / "tmp"));
            if (p.count("start"))
                start[name].push_back(p.at("start"));
            for (const auto& [what, ms] : p)
                phases[name][what].push_back(ms);
            fs::remove_all(dir / "out");
            extract[name].push_back(Seconds(std::string(MAGPACK_PATH) + " extract '" +
                                            issue.string() + "' '" + (dir / "out").string() +
                                            "' > /dev/null 2>&1"));
        }
    }
    const double floor = Median(compiled);
    std::printf("startup: medians of %d rounds, milliseconds since exec\n", rounds);
    std::printf(
        "startup: a bare view has loaded an empty page at %.0f ms; floor: it has compiled "
        "the movie engine at %.0f ms; one engine instance is ready on an empty movie at "
        "%.0f ms\n",
        Median(empty), floor, Median(engine));
    for (const auto& [name, issue] : issues) {
        const double s = Median(start[name]), x = Median(extract[name]);
        std::printf(
            "startup: %s (%.0f MiB): \"start\" at %.0f ms; extraction alone %.0f ms; overhead "
            "over floor + extraction %+.0f ms (goal <= 300 ms); start / (floor + extraction) "
            "%.2f\n",
            name, fs::file_size(issue) / 1048576.0, s, x, s - floor - x, s / (floor + x));
        std::vector<std::pair<double, std::string>> order;
        for (const auto& [what, v] : phases[name])
            order.emplace_back(Median(v), what);
        std::sort(order.begin(), order.end());
        for (const auto& [ms, what] : order)
            std::printf("startup:   %6.0f ms  %s\n", ms, what.c_str());
    }
    fs::remove_all(dir);
    return 0;
}
