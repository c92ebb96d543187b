#pragma once
// The authoring tool's editor window: a top-level window titled exactly
// "Brivol  " (two spaces) that is told when the Player starts its movie
// (lParam 1) and when it ends (lParam 0). On X11 it receives a client message
// carrying the message number 1209, wParam and lParam; elsewhere nothing is sent.

constexpr int WM_PLAYER_NOTIFY = 1209;

// True when such a window existed and the message was sent.
bool NotifyEditorWindow(long lParam);
