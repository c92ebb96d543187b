#pragma once
// Starts a program of the Player's with its start-up timeline on (PLAYER_TRACE=1),
// its temporary files under `tmp`, on the offscreen platform unless the caller's
// environment names another, and its stderr on `stderrFd`.

#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

inline pid_t StartTraced(const std::vector<std::string>& argv, const std::string& tmp,
                         int stderrFd) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    setenv("TMPDIR", tmp.c_str(), 1);
    setenv("PLAYER_TRACE", "1", 1);
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    dup2(stderrFd, 2);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}
