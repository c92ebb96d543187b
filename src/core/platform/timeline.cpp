#include "core/platform/timeline.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/platform/file_io.h"

namespace platform {

namespace {

// When the process started, on the boot-time clock, from /proc/self/stat (in
// clock ticks, usually 10 ms: the first mark's value includes up to one tick).
double StartSeconds() {
    std::string stat;
    if (!ReadFileBytes("/proc/self/stat", stat))
        return 0;
    // The command name may hold spaces and parentheses: count fields after the last ')'.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    const char* p = stat.c_str() + close + 2;
    for (int field = 3; field < 22 && *p; ++field) {
        p = std::strchr(p, ' ');
        if (!p)
            return 0;
        ++p;
    }
    return static_cast<double>(std::strtoull(p, nullptr, 10)) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

double BootSeconds() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

bool TimelineEnabled() {
    static const bool enabled = [] {
        const char* trace = std::getenv("PLAYER_TRACE");
        return trace && std::strcmp(trace, "1") == 0;
    }();
    return enabled;
}

double MillisecondsSinceStart() {
    static const double start = StartSeconds();
    return (BootSeconds() - start) * 1000.0;
}

void TimelineMark(std::string_view what) {
    if (!TimelineEnabled())
        return;
    std::fprintf(stderr, "[timeline] %.0f %.*s\n", MillisecondsSinceStart(),
                 static_cast<int>(what.size()), what.data());
}

}  // namespace platform
