// From process start to the main movie's "start", for the demo issue and for
// the same issue padded with 500 MiB of extra files, against the extraction of
// that issue alone (magpack extract), measured in the same run.
//
//   startup_bench [PAD_MiB]

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Seconds until the Player reports the movie's "start" on its diagnostics.
double TimeToStart(const fs::path& issue, const fs::path& tmp) {
    int out[2];
    if (pipe(out) != 0)
        return -1;
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("TMPDIR", tmp.c_str(), 1);
        setenv("PLAYER_TRACE", "1", 1);
        if (!getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        dup2(out[1], 2);
        close(out[0]);
        execl(issue.c_str(), issue.c_str(), nullptr);
        _exit(127);
    }
    close(out[1]);
    std::string seen;
    char buffer[4096];
    double seconds = -1;
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) {
        seen.append(buffer, static_cast<size_t>(n));
        if (seen.find("[fscommand] start") != std::string::npos) {
            seconds = std::chrono::duration<double>(Clock::now() - t0).count();
            break;
        }
        if (seen.size() > (1 << 20))
            seen.erase(0, seen.size() - 4096);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(out[0]);
    return seconds;
}

double Run(const std::string& command) {
    const auto t0 = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int padMiB = argc > 1 ? std::atoi(argv[1]) : 500;
    const fs::path dir = fs::temp_directory_path() / ("startup-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "tmp");
    const fs::path demo = fs::path(DEMO_DIR) / "demo-issue";
    // The padded issue: the demo's files and one large extra file.
    fs::copy(fs::path(DEMO_DIR) / "issue", dir / "issue", fs::copy_options::recursive);
    {
        const std::string pad = dir / "issue/padding.bin";
        const int fd = open(pad.c_str(), O_CREAT | O_WRONLY, 0600);
        std::string chunk(1 << 20, 'p');
        for (int i = 0; i < padMiB; ++i) {
            if (write(fd, chunk.data(), chunk.size()) < 0)
                break;
        }
        close(fd);
    }
    const fs::path padded = dir / "padded-issue";
    Run(std::string(MAGPACK_PATH) + " build --player " + PLAYER_PATH + " --loading " +
        (fs::path(DEMO_DIR) / "Loading.swf").string() + " --qk second " + (dir / "issue").string() +
        " -o " + padded.string());
    Run("cat '" + padded.string() + "' > /dev/null");  // the same warm cache for every run

    for (const auto& [name, issue] :
         {std::pair{"demo issue", demo}, std::pair{"padded issue", padded}}) {
        double start = 1e9, extract = 1e9;
        for (int i = 0; i < 3; ++i) {
            start = std::min(start, TimeToStart(issue, dir / "tmp"));
            fs::remove_all(dir / "out");
            extract =
                std::min(extract, Run(std::string(MAGPACK_PATH) + " extract '" + issue.string() +
                                      "' '" + (dir / "out").string() + "' > /dev/null"));
            for (const auto& e : fs::directory_iterator(dir / "tmp"))
                fs::remove_all(e.path());
        }
        std::printf(
            "startup: %s (%.0f MiB): start-to-\"start\" %.2f s, extraction alone %.2f s, overhead "
            "%.2f s "
            "(target <= 1.5 s)\n",
            name, fs::file_size(issue) / 1048576.0, start, extract, start - extract);
    }
    fs::remove_all(dir);
    return 0;
}
