#include "ui/file_search_dlg.h"

#include <QDateTime>
#include <QDir>
#include <QHeaderView>

#include <ctime>

#include "core/bridge/external_interface.h"
#include "core/platform/message_box.h"
#include "core/platform/player_texts.h"
#include "core/search/filtered_file_find.h"
#include "ui/dialog_units.h"
#include "ui/folder_dialog.h"
#include "ui/qt_text.h"

namespace {

QString CreationText(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    char buffer[128];
    if (!localtime_r(&t, &local) ||
        std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local) == 0)
        return {};
    return QString::fromLatin1(buffer);
}

}  // namespace

CFileSearchDlg::CFileSearchDlg(QWidget* owner) : QDialog(owner) {
    setWindowTitle(ToQString(texts::kFileSearchTitle));
    setWindowIcon(QIcon(":/res/player.png"));
    setFixedSize(DialogUnits(0, 0, 436, 303).size());
    auto label = [this](const QString& text, QRect r) {
        auto* l = new QLabel(text, this);
        l->setGeometry(r);
        return l;
    };
    label(ToQString(texts::kFolderPathLabel), DialogUnits(7, 7, 55, 8));
    m_folder = new QLineEdit(QDir::homePath() + "/", this);  // the drive root "C:\" of the original
    m_folder->setGeometry(DialogUnits(7, 20, 359, 14));
    m_browse = new QPushButton(ToQString(texts::kBrowseButton), this);
    m_browse->setGeometry(DialogUnits(372, 20, 57, 14));
    m_browse->setAutoDefault(false);
    label(ToQString(texts::kIncludeLabel), DialogUnits(7, 39, 152, 8));
    m_include = new QLineEdit(this);
    m_include->setGeometry(DialogUnits(7, 52, 191, 14));
    label(ToQString(texts::kExcludeLabel), DialogUnits(7, 72, 104, 8));
    m_exclude = new QLineEdit(this);
    m_exclude->setGeometry(DialogUnits(7, 85, 191, 14));
    m_useRegex = new QCheckBox(ToQString(texts::kUseRegexCheck), this);
    m_useRegex->setGeometry(DialogUnits(7, 108, 182, 10));
    m_list = new QTreeWidget(this);
    m_list->setGeometry(DialogUnits(7, 124, 422, 150));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({"Filename", "Size", "Creation"});
    m_list->header()->resizeSection(0, 300);
    m_list->header()->resizeSection(1, 75);
    m_list->header()->resizeSection(2, 150);
    m_list->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    auto* find = new QPushButton(ToQString(texts::kFindButton), this);
    find->setGeometry(DialogUnits(324, 280, 50, 16));
    find->setDefault(true);
    auto* close = new QPushButton(ToQString(texts::kCloseButton), this);
    close->setGeometry(DialogUnits(379, 280, 50, 16));
    close->setAutoDefault(false);
    QLabel* hint =
        label(ToQString(texts::kFileSearchHint) + "\n\r (e.g., *.cpp|*.h|*.rc  or  ^.*\\.cpp$)",
              DialogUnits(219, 47, 210, 67));
    hint->setWordWrap(true);
    hint->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_result = label(QString(), DialogUnits(9, 281, 237, 8));
    m_result->setMinimumWidth(DialogUnits(0, 0, 300, 0).width());
    connect(find, &QPushButton::clicked, this, &CFileSearchDlg::Search);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_browse, &QPushButton::clicked, this, &CFileSearchDlg::Browse);
}

void CFileSearchDlg::Browse() {
    QString start = m_folder->text();
    const int i = static_cast<int>(start.lastIndexOf(QRegularExpression("[\\\\/]")));
    if (i >= 0)
        start = start.left(i == 0 || (i == 2 && start.at(1) == ':') ? i + 1 : i);
    QString chosen;
    if (BrowseForFolderPath(this, "Select Path to Search for Files", chosen, start, 1, 1))
        m_folder->setText(chosen);
}

void CFileSearchDlg::Search() {
    m_list->clear();
    m_foundPaths.clear();
    FilteredFileFind finder;
    int n = 0;
    bool more =
        finder.FindFile(m_folder->text().toStdU16String(), m_include->text().toStdU16String(),
                        m_exclude->text().toStdU16String(), m_useRegex->isChecked());
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDirectory())
            continue;
        m_foundPaths << QString::fromStdU16String(finder.GetFilePath());
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdU16String(finder.GetFileName()));
        item->setText(1, QString::number(finder.GetLength()));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(2, CreationText(finder.GetCreationTime()));
        ++n;
    }
    for (const std::u16string& error : finder.PatternErrors())
        platform::MessageBox(this, error, std::nullopt, platform::MB_OK);
    m_result->setText(ToQString(texts::kFilesFound) + QString::number(n));
    std::vector<std::u16string> items;
    for (const QString& p : m_foundPaths)
        items.push_back(p.toStdU16String());
    emit resultsFound(QString::fromStdU16String(ReplyArray(items)));
}
