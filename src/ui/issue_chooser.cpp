#include "ui/issue_chooser.h"

#include <QDir>
#include <QFileDialog>

#include "core/app/command_line.h"
#include "core/platform/message_box.h"
#include "core/platform/player_texts.h"
#include "ui/qt_text.h"

std::string ChooseIssue() {
    QString folder = QDir::homePath();
    for (;;) {
        QFileDialog dialog(nullptr, ToQString(texts::kOpenIssueTitle), folder);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters({ToQString(texts::kIssueFilter), ToQString(texts::kAllFilesFilter)});
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        const std::string chosen = dialog.selectedFiles().first().toStdString();
        std::string why;
        if (HoldsIssue(chosen, why))
            return chosen;
        platform::MessageBox(nullptr, texts::kNoIssueInFile, std::nullopt,
                             platform::MB_ICONWARNING);
        folder = dialog.directory().absolutePath();
    }
}
