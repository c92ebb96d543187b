#include "ui/folder_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QRegularExpression>

#include "ui/run_modal.h"

namespace {

QString ChooseFolder(QWidget* owner, const QString& title, const QString& start) {
    QFileDialog dialog(owner, title, start);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

}  // namespace

QString NativeStartFolder(const QString& path) {
    static const QRegularExpression driveRoot("^[A-Za-z]:[\\\\/]?$");
    if (path.isEmpty())
        return {};
    if (driveRoot.match(path).hasMatch())
        return QDir::homePath();
    return QString(path).replace('\\', '/');
}

CFolderDialog::CFolderDialog(const QString& title, const QString& initialPath, QWidget* parent,
                             unsigned)
    : m_title(title), m_initialPath(initialPath.left(259)), m_parent(parent) {}

int CFolderDialog::DoModal() {
    const QString chosen = ChooseFolder(m_parent, m_title, NativeStartFolder(m_initialPath));
    if (chosen.isEmpty())
        return 2;
    m_resultPath = chosen.size() > 1 && chosen.endsWith('/') ? chosen.chopped(1) : chosen;
    return 1;
}

bool BrowseForFolderPath(QWidget* owner, const QString& title, QString& result,
                         const QString& initial, int, int) {
    const QString chosen = ChooseFolder(owner, title, NativeStartFolder(initial));
    if (chosen.isEmpty())
        return false;
    result = chosen.endsWith('/') ? chosen : chosen + '/';
    return true;
}
