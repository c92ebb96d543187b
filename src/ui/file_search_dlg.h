#pragma once
// CFileSearchDlg: lists the files of a folder that match include and exclude
// lists, and reports the full paths found by its signal, as the reply text for
// the movie's pending call.

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTreeWidget>

class CFileSearchDlg : public QDialog {
    Q_OBJECT

public:
    explicit CFileSearchDlg(QWidget* owner);

    QLineEdit* FolderEdit() const { return m_folder; }
    QLineEdit* IncludeEdit() const { return m_include; }
    QLineEdit* ExcludeEdit() const { return m_exclude; }
    QCheckBox* RegexBox() const { return m_useRegex; }
    QTreeWidget* List() const { return m_list; }
    QLabel* ResultLabel() const { return m_result; }
    QPushButton* BrowseButton() const { return m_browse; }
    const QStringList& FoundPaths() const { return m_foundPaths; }

    void Search();
    void Browse();

signals:
    // After every search: the paths found as an ExternalInterface array.
    void resultsFound(const QString& reply);

protected:
    void accept() override { Search(); }  // "查找" and Enter search; the dialog stays open

private:
    QLineEdit* m_folder;
    QLineEdit* m_include;
    QLineEdit* m_exclude;
    QCheckBox* m_useRegex;
    QTreeWidget* m_list;
    QLabel* m_result;
    QPushButton* m_browse;
    QStringList m_foundPaths;
};
