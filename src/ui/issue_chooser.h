#pragma once
// The file chooser of the Player started without an issue (the installed
// program): "打开杂志", from the reader's home folder.

#include <string>

// The chosen file, which holds an issue; empty when the reader cancels. A file
// that holds none is said so, and the chooser comes back.
std::string ChooseIssue();
