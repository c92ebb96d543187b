#pragma once
// The start-up timeline: with PLAYER_TRACE=1 each mark is written to stderr as
// "[timeline] MS what", MS the milliseconds since the process started, so that
// where start-up time goes can be read off one run (bench/startup_bench does).

#include <string_view>

namespace platform {

bool TimelineEnabled();
// Milliseconds since the process started (the kernel's own start time).
double MillisecondsSinceStart();
void TimelineMark(std::string_view what);

}  // namespace platform
