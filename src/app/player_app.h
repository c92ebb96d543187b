#pragma once

// The application: creates the workspace, runs the main window modally, and
// deletes the workspace when it ends.
class CPlayerApp {
public:
    // Always false once it has run: the program ends when the main window does.
    bool InitInstance();
    // The exit status: 0, or 1 when the issue could not be opened.
    int ExitInstance();

private:
    int m_exitCode = 0;
};
