#pragma once

#include <optional>
#include <string>
#include <thread>

#include "ui/cover_shot.h"

// The application: creates the workspace, runs the main window modally, and
// deletes the workspace when it ends.
class CPlayerApp {
public:
    // `issue`: the file to read the issue from; empty for the Player's own file.
    // With `cover`, the run writes the issue's cover and ends.
    explicit CPlayerApp(std::string issue = {}, std::optional<CoverRequest> cover = {})
        : m_issue(std::move(issue)), m_cover(std::move(cover)) {}

    // Always false once it has run: the program ends when the main window does.
    bool InitInstance();
    // The exit status: 0, or 1 when the issue could not be opened (or its cover
    // not written).
    int ExitInstance();

private:
    std::string m_issue;
    std::optional<CoverRequest> m_cover;
    int m_exitCode = 0;
    // Removes the workspaces crashed Players left, beside the issue's start.
    std::jthread m_sweeper;
};
