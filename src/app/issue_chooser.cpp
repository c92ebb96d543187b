#include "app/issue_chooser.h"

#include <QDir>
#include <QFileDialog>

#include "app/command_line.h"
#include "platform/message_box.h"

std::string ChooseIssue() {
    QString folder = QDir::homePath();
    for (;;) {
        QFileDialog dialog(nullptr, QString::fromStdU16String(u"打开杂志"), folder);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters({QString::fromStdU16String(u"杂志 (*.exe *.EXE)"),
                               QString::fromStdU16String(u"所有文件 (*)")});
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        const std::string chosen = dialog.selectedFiles().first().toStdString();
        std::string why;
        if (HoldsIssue(chosen, why))
            return chosen;
        platform::MessageBox(nullptr, u"这个文件里没有杂志，无法打开。", std::nullopt,
                             platform::MB_ICONWARNING);
        folder = dialog.directory().absolutePath();
    }
}
