#pragma once
// The two folder pickers. CFolderDialog answers the movie's folder request
// (the path without a trailing separator); BrowseForFolderPath fills the file
// search dialog's folder field (with one).

#include <QString>
#include <QWidget>

class CFolderDialog {
public:
    static constexpr unsigned BIF_RETURNONLYFSDIRS = 0x1;

    // A drive root such as "c:\" opens in the user's home folder. The browse flags
    // of the original shell dialog have no counterpart here: only folders are offered.
    CFolderDialog(const QString& title, const QString& initialPath, QWidget* parent,
                  unsigned flags);

    // 1 (IDOK) with ResultPath set, or 2 (IDCANCEL).
    int DoModal();
    const QString& ResultPath() const { return m_resultPath; }

private:
    QString m_title;
    QString m_initialPath;
    QString m_resultPath;
    QWidget* m_parent;
};

// Runs a modal folder chooser starting at `initial`. On a choice, `result` is
// the folder with one trailing separator ("/" stays "/") and the result is true.
bool BrowseForFolderPath(QWidget* owner, const QString& title, QString& result,
                         const QString& initial, int flagA, int flagB);

// A Windows drive root ("C:\", "c:") stands for the user's home folder here.
QString NativeStartFolder(const QString& path);
