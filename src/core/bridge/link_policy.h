#pragma once
// What the Player does with a link a movie opens (getURL, navigateToURL): the
// desktop's browser or mail program for the web and mail, the desktop's own
// viewer for a document of the issue (as the original opened them in the
// browser), and nothing at all for anything that could run code or reach the
// reader's files.

#include <string_view>

enum class LinkKind {
    Web,            // http:, https:, mailto: as it stands
    IssueDocument,  // a page, text, PDF or picture inside the workspace
    Refused,
};

// `scheme` as the URL has it; `insideIssue` when the URL names a file of the
// issue (its path then in `path`).
LinkKind ClassifyLink(std::u16string_view scheme, bool insideIssue, std::u16string_view path);
