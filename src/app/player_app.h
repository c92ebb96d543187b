#pragma once

#include <string>
#include <thread>

// The application: creates the workspace, runs the main window modally, and
// deletes the workspace when it ends.
class CPlayerApp {
public:
    // `issue`: the file to read the issue from; empty for the Player's own file.
    explicit CPlayerApp(std::string issue = {}) : m_issue(std::move(issue)) {}

    // Always false once it has run: the program ends when the main window does.
    bool InitInstance();
    // The exit status: 0, or 1 when the issue could not be opened.
    int ExitInstance();

private:
    std::string m_issue;
    int m_exitCode = 0;
    // Removes the workspaces crashed Players left, beside the issue's start.
    std::jthread m_sweeper;
};
