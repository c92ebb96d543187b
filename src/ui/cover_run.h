#pragma once
// `--thumbnail ISSUE OUT.png`: the Player run for an issue's cover. Nothing of
// it reaches the reader: no window on any screen, no sound, no link opened, no
// saved state or registry value touched, no workspace left behind.

#include "core/app/command_line.h"

// The process's exit status: 0 when the cover was written.
int RunCover(const CommandLine& command, char* program);
