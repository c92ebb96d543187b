#pragma once

// The application: creates the workspace, runs the main window modally, and
// deletes the workspace when it ends.
class CPlayerApp {
public:
    // Always false once it has run: the program ends when the main window does.
    bool InitInstance();
    int ExitInstance();
};
