// The file finder over a folder of 100,000 empty files, against find(1) doing
// the same filtering in the same run; and the regular-expression engine against
// std::regex (icase) on the patterns the masks convert to.
//
//   finder_bench [FILES]

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "core/platform/text.h"
#include "core/search/filtered_file_find.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double MedianSeconds(int runs, F&& f) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        f();
        t.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 100'000;
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("finder-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const char* stems[] = {"a", "b", "report", "tmpdata", "Archive", "notes", "build", "x"};
    const char* exts[] = {".txt", ".log", ".TMP", ".dat", ".Txt", ""};
    std::vector<std::string> names;
    for (int i = 0; i < files; ++i) {
        std::string name = std::string(stems[i % 8]) + std::to_string(i) + exts[(i / 8) % 6];
        names.push_back(name);
        close(open((dir / name).c_str(), O_CREAT | O_WRONLY, 0600));
    }

    const std::u16string folder = platform::Utf8ToUtf16(dir.string());
    size_t found = 0;
    const double ours = MedianSeconds(3, [&] {
        FilteredFileFind finder;
        found = 0;
        bool more = finder.FindFile(folder, u"*.txt|*.log|a*", u"*tmp*|b*", false);
        while (more) {
            more = finder.FindNextFile();
            if (!finder.IsDirectory())
                ++found;
        }
    });
    const std::string command =
        "find '" + dir.string() +
        "' -maxdepth 1 -type f \\( -iname '*.txt' -o -iname '*.log' -o "
        "-iname 'a*' \\) ! -iname '*tmp*' ! -iname 'b*' | wc -l > /dev/null";
    const double reference = MedianSeconds(3, [&] {
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "find failed\n");
    });
    std::printf("finder: %zu files accepted of %d\n", found, files);
    std::printf("finder: FilteredFileFind %.3f s, find(1) %.3f s, ratio %.2f (target <= 1.5)\n",
                ours, reference, ours / reference);

    // The engine alone against std::regex on the converted mask patterns.
    const std::vector<std::u16string> masks = {u"*.txt", u"*.log", u"a*", u"*tmp*", u"b*"};
    std::vector<Regex> compiled(masks.size());
    std::vector<std::regex> standard;
    for (size_t i = 0; i < masks.size(); ++i) {
        const std::u16string pattern = FilteredFileFind::MaskToPattern(masks[i]);
        compiled[i].Parse(pattern, false);
        standard.emplace_back(platform::Utf16ToUtf8(pattern),
                              std::regex::icase | std::regex::ECMAScript);
    }
    std::vector<std::u16string> wide;
    for (const auto& n : names)
        wide.push_back(platform::Utf8ToUtf16(n));
    size_t a = 0, b = 0;
    const double engine = MedianSeconds(3, [&] {
        RegexMatchContext ctx(256);
        a = 0;
        for (const auto& n : wide) {
            for (const auto& re : compiled)
                a += re.Match(n, &ctx);
        }
    });
    const double stdre = MedianSeconds(3, [&] {
        b = 0;
        for (const auto& n : names) {
            for (const auto& re : standard)
                b += std::regex_search(n, re);
        }
    });
    std::printf("engine: %zu matches, std::regex %zu matches\n", a, b);
    std::printf("engine: %.3f s, std::regex (icase) %.3f s, speed-up %.2fx (target >= 3)\n", engine,
                stdre, stdre / engine);
    fs::remove_all(dir);
    return a == b ? 0 : 1;
}
