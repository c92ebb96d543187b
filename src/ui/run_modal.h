#pragma once
// Runs one of the Player's dialogs until it is closed. The dialog is modal to
// its owner only, as an owned dialog was on Windows: other top-level windows,
// the tray icon's among them, keep taking input, so the reader can still show,
// hide or quit the Player from the tray while a command waits for the dialog.

#include <QDialog>

inline int RunModal(QDialog& dialog) {
    if (dialog.parentWidget())
        dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}
