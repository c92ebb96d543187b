#pragma once
// Installs the message-box handler that shows real dialogs. Boxes asked for on
// another thread (the extraction worker) are shown on the GUI thread, which
// the asking thread waits for.
void InstallQtMessageBoxHandler();
