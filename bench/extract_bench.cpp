// The extraction worker on a generated 1 GiB package against cp(1) copying a
// file of the same size on the same disk, in the same run; and the worker's
// peak resident memory for a small and a large package.
//
//   extract_bench [MiB]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/package/extraction.h"
#include "core/package/package_writer.h"
#include "core/platform/text.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// A package of `files` files of `fileMiB` each, with a little Player in front.
void MakePackage(const fs::path& path, int files, int fileMiB) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::string player(4096, '\x7f');
    std::fwrite(player.data(), 1, player.size(), out);
    PackageWriter writer(out, PackageWriter::Kind::Appended, static_cast<int64_t>(player.size()));
    std::string chunk(static_cast<size_t>(fileMiB) << 20, '\0');
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>(i * 7 + i / 4096);
    for (int i = 0; i < files; ++i) {
        writer.AddBytes(platform::Utf8ToUtf16("dir" + std::to_string(i % 4) + "\\f" +
                                              std::to_string(i) + ".bin"),
                        chunk);
    }
    writer.Finish();
    std::fclose(out);
}

struct Run {
    double seconds;
    long maxRssKiB;
};

// Runs `job` in a child process, so that its peak memory is its own.
template <typename F>
Run InChild(F&& job) {
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        job();
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {std::chrono::duration<double>(Clock::now() - t0).count(), usage.ru_maxrss};
}

void Warm(const fs::path& p) {
    const std::string cmd = "cat '" + p.string() + "' > /dev/null";
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "warm-up failed\n");
}

}  // namespace

int main(int argc, char** argv) {
    const int mib = argc > 1 ? std::atoi(argv[1]) : 1024;
    const fs::path dir = fs::temp_directory_path() / ("extract-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path big = dir / "big.issue", small = dir / "small.issue";
    MakePackage(big, mib / 16, 16);
    MakePackage(small, 4, 16);
    Warm(big);

    std::vector<double> ours, cps;
    long rssBig = 0;
    for (int i = 0; i < 3; ++i) {
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        const Run r = InChild([&] {
            ExtractionProgress progress;
            ExtractPackageFile(platform::Utf8ToUtf16(big.string()),
                               platform::Utf8ToUtf16((dir / "out").string()), progress);
        });
        ours.push_back(r.seconds);
        rssBig = r.maxRssKiB;
        fs::remove(dir / "copy");
        const std::string cmd = "cp '" + big.string() + "' '" + (dir / "copy").string() + "'";
        const auto t0 = Clock::now();
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "cp failed\n");
        cps.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    const Run rs = InChild([&] {
        ExtractionProgress progress;
        ExtractPackageFile(platform::Utf8ToUtf16(small.string()),
                           platform::Utf8ToUtf16((dir / "out").string()), progress);
    });
    std::sort(ours.begin(), ours.end());
    std::sort(cps.begin(), cps.end());
    std::printf(
        "extract: %d MiB package: worker %.3f s, cp %.3f s (medians of 3), ratio %.2f (target <= "
        "1.15)\n",
        mib, ours[1], cps[1], ours[1] / cps[1]);
    std::printf("extract: peak RSS %ld KiB for %d MiB, %ld KiB for 64 MiB (growth %ld KiB)\n",
                rssBig, mib, rs.maxRssKiB, rssBig - rs.maxRssKiB);
    fs::remove_all(dir);
    return 0;
}
