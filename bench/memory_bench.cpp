// Memory of the Player with all its web-engine processes (the proportional set
// size, from /proc/PID/smaps_rollup of the Player and every process below it),
// against the floor measured in the same run: the bare web engine that has
// compiled the movie engine's module (webengine_floor compile), and beside it
// the same with one engine instance on an empty movie (webengine_floor engine).
// Five rounds; in each the Player
// runs a probe issue whose main movie opens one, two, then three secondary
// windows when told, and the time from each opening to the window's first frame
// is read off the Player's timeline.
//
//   memory_bench [ROUNDS]

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "traced_child.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The process and every process below it.
std::set<int> Tree(int root) {
    std::map<int, std::vector<int>> children;
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = Read(e.path() / "stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream in(stat.substr(close + 2));
        std::string state;
        int ppid = 0;
        in >> state >> ppid;
        children[ppid].push_back(std::stoi(name));
    }
    std::set<int> tree{root};
    std::vector<int> todo{root};
    while (!todo.empty()) {
        const int p = todo.back();
        todo.pop_back();
        for (int c : children[p]) {
            if (tree.insert(c).second)
                todo.push_back(c);
        }
    }
    return tree;
}

// MiB of proportional set size of the process tree.
double PssMiB(int root) {
    long kib = 0;
    for (int pid : Tree(root)) {
        std::istringstream in(Read("/proc/" + std::to_string(pid) + "/smaps_rollup"));
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("Pss:", 0) == 0)
                kib += std::atol(line.c_str() + 4);
        }
    }
    return kib / 1024.0;
}

// A program with the timeline on; its stderr goes to a file that is read as it grows.
struct Child {
    pid_t pid = -1;
    fs::path err;

    Child(const std::vector<std::string>& argv, const fs::path& dir) : err(dir / "stderr.txt") {
        const int fd = open(err.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
        pid = StartTraced(argv, dir / "tmp", fd);
        close(fd);
    }
    ~Child() {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::this_thread::sleep_for(300ms);  // its helper processes go with it
    }
    // The time of the timeline mark ending in `what`, once it is there.
    double Mark(const std::string& what, std::chrono::seconds limit = 30s) const {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            std::istringstream in(Read(err));
            std::string line;
            while (std::getline(in, line)) {
                if (line.rfind("[timeline] ", 0) == 0 && line.size() >= what.size() &&
                    line.compare(line.size() - what.size(), what.size(), what) == 0)
                    return std::atof(line.c_str() + 11);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }
    // The engine number the timeline gives the movie file `name`.
    std::string EngineOf(const std::string& name, int nth) const {
        std::istringstream in(Read(err));
        std::string line;
        int seen = 0;
        while (std::getline(in, line)) {
            const size_t at = line.find(" engine ");
            if (at != std::string::npos && line.find(" movie " + name) != std::string::npos &&
                seen++ == nth)
                return line.substr(at + 1, line.find(" movie ") - at - 1);
        }
        return {};
    }
};

double Median(std::vector<double> v) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const fs::path dir = fs::temp_directory_path() / ("memory-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "tmp");
    fs::create_directories(dir / "issue");
    fs::copy_file(PROBE_SWF, dir / "issue/vellmain.swf");
    fs::copy_file(fs::path(DEMO_DIR) / "issue/page2.swf", dir / "issue/page2.swf");
    std::ofstream(dir / "issue/config.xml") << "<MSG><Wnd Width='640' Height='480'/></MSG>";
    std::string script = "fs\tstart\n";
    for (int i = 1; i <= 3; ++i) {
        script += "await\t" + (dir / ("go" + std::to_string(i))).string() +
                  "\nei\tbrivol_openflashwindow\tpage2.swf\t1\t360\t240\t0\n";
    }
    std::ofstream(dir / "issue/script.txt") << script;
    const std::string issue = (dir / "issue.bin").string();
    const std::string pack = std::string(MAGPACK_PATH) + " build --player " + PLAYER_PATH +
                             " --loading " + PROBE_SWF + " " + (dir / "issue").string() + " -o " +
                             issue + " 2>/dev/null";
    if (std::system(pack.c_str()) != 0) {
        std::fprintf(stderr, "cannot pack the probe issue\n");
        return 1;
    }

    std::vector<double> floor, oneInstance;
    std::map<int, std::vector<double>> player;      // secondary windows open -> MiB
    std::map<int, std::vector<double>> firstFrame;  // window -> ms from opening to its frame
    for (int round = 0; round < rounds; ++round) {
        {
            const Child f({FLOOR_PATH, "compile"}, dir);
            if (f.Mark("engine compiled") >= 0) {
                std::this_thread::sleep_for(2s);
                floor.push_back(PssMiB(f.pid));
            }
        }
        {
            const Child f({FLOOR_PATH, "engine"}, dir);
            if (f.Mark("engine 1 movie engine ready") >= 0) {
                std::this_thread::sleep_for(2s);
                oneInstance.push_back(PssMiB(f.pid));
            }
        }
        const Child p({issue}, dir);
        if (p.Mark(" start") < 0) {
            std::fprintf(stderr, "the probe issue did not start\n");
            continue;
        }
        std::this_thread::sleep_for(2s);
        player[0].push_back(PssMiB(p.pid));
        for (int i = 1; i <= 3; ++i) {
            std::ofstream(dir / ("go" + std::to_string(i))) << "go";
            const double opened = p.Mark("secondary window " + std::to_string(i - 1) + " opened");
            std::string engine;
            for (int tries = 0; tries < 250 && engine.empty(); ++tries) {
                engine = p.EngineOf("page2.swf", i - 1);
                std::this_thread::sleep_for(20ms);
            }
            const double drawn = p.Mark(engine + " first frame");
            if (opened >= 0 && drawn >= 0)
                firstFrame[i].push_back(drawn - opened);
            std::this_thread::sleep_for(2s);
            player[i].push_back(PssMiB(p.pid));
        }
        for (int i = 1; i <= 3; ++i)
            fs::remove(dir / ("go" + std::to_string(i)));
        for (const auto& e : fs::directory_iterator(dir / "tmp"))
            fs::remove_all(e.path());
    }
    const double f = Median(floor), one = Median(oneInstance), p0 = Median(player[0]);
    // Where one instance alone takes the floor past the goal, the goal is that
    // instance and 20 MiB more.
    const double goal = std::max(60.0, one - f + 20.0);
    std::printf(
        "memory: medians of %d rounds, PSS of the process and all its web-engine processes\n",
        rounds);
    std::printf(
        "memory: floor (bare web engine, movie engine compiled, no instance): %.0f MiB; with one "
        "engine instance on an empty movie: %.0f MiB (%+.0f)\n",
        f, one, one - f);
    std::printf(
        "memory: Player 2 s after \"start\": %.0f MiB, %+.0f MiB over the floor (goal <= %+.0f)\n",
        p0, p0 - f, goal);
    for (int i = 1; i <= 3; ++i) {
        std::printf(
            "memory: with %d secondary window%s: %.0f MiB, %+.0f MiB for this one (goal <= "
            "+40); its movie drawn %.0f ms after it opened (goal <= 1000)\n",
            i, i > 1 ? "s" : "", Median(player[i]), Median(player[i]) - Median(player[i - 1]),
            Median(firstFrame[i]));
    }
    fs::remove_all(dir);
    return 0;
}
