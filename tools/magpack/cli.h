#pragma once
// How magpack's commands end: a message on stderr and the exit code.

#include <cstdio>
#include <string>

namespace magpack {

inline int Fail(const std::string& message) {
    std::fprintf(stderr, "magpack: %s\n", message.c_str());
    return 1;
}

inline int BadUsage(const std::string& message) {
    std::fprintf(stderr, "magpack: %s (see magpack --help)\n", message.c_str());
    return 2;
}

}  // namespace magpack
