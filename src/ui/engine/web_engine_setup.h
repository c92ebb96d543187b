#pragma once

// What the web engine needs before the QApplication exists: its sandbox off
// when running as root (it refuses to start otherwise), the engine flags the
// movie engine runs best with, and the player: scheme registered.
void PrepareWebEngine();
