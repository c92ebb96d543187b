#pragma once
// The Player's command line: `player [ISSUE]`, `--thumbnail ISSUE OUT.png
// [--size N]`, `--help`, `--version`. Read before any window exists, so that it
// works without a display.

#include <string>
#include <vector>

struct CommandLine {
    enum class Action { Run, Thumbnail, Help, Version, Error };
    Action action = Action::Run;
    std::string issue;  // the file to read the issue from; empty: the Player's own file
    std::string error;  // for Action::Error
    std::string cover;  // for Action::Thumbnail: the PNG to write
    int coverSize = 256;
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The texts --help and --version print.
std::string HelpText(const std::string& program);
std::string VersionText();

// Whether `path` ends in an issue package (a file list that parses); `why`
// says what is wrong otherwise.
bool HoldsIssue(const std::string& path, std::string& why);

// Whether anything follows the executable image of the ELF file `path` (its
// section table ends the image): an issue, even a damaged one, was appended.
bool HasAppendedData(const std::string& path);
