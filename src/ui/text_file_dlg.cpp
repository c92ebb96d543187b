#include "ui/text_file_dlg.h"

#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>

#include "core/platform/message_box.h"
#include "core/platform/player_texts.h"
#include "core/platform/text.h"
#include "ui/dialog_units.h"
#include "ui/qt_text.h"
#include "ui/run_modal.h"

CTextFileDlg::CTextFileDlg(QWidget* owner) : QDialog(owner) {
    setWindowTitle(ToQString(texts::kSaveTextTitle));
    setWindowIcon(QIcon(":/res/player.png"));
    setFixedSize(DialogUnits(0, 0, 344, 249).size());
    m_save = new QPushButton("Save", this);
    m_save->setGeometry(DialogUnits(267, 211, 50, 14));
    m_save->setDefault(true);
    m_encoding = new QComboBox(this);
    m_encoding->setGeometry(DialogUnits(68, 214, 48, 12));
    m_encoding->addItems({"ANSI", "Unicode", "UTF-8"});
    m_encoding->setCurrentIndex(0);
    m_edit = new QPlainTextEdit(this);
    m_edit->setGeometry(DialogUnits(15, 15, 314, 184));
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* label = new QLabel("Encoding:", this);
    label->setGeometry(DialogUnits(27, 216, 32, 8));
    label->adjustSize();  // the template's width is too narrow for this platform's font
    label->move(m_encoding->x() - label->width() - 6,
                m_encoding->y() + (m_encoding->height() - label->height()) / 2);
    m_edit->installEventFilter(this);
    m_encoding->installEventFilter(this);
    m_save->installEventFilter(this);
    connect(m_save, &QPushButton::clicked, this, &CTextFileDlg::OnSave);
    SetText({});
}

void CTextFileDlg::SetText(const QString& text) {
    m_edit->setPlainText(text.isEmpty() ? "Welcome!" : text);
}

bool CTextFileDlg::WriteFile(int encoding) {
    QFileDialog dialog(this, QString(), QString(), "Text Files (*.txt);;All Files (*.*)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("txt");
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return true;
    const QString path = dialog.selectedFiles().first();
    QFile file(path);
    const QByteArray bytes = QByteArray::fromStdString(platform::EncodeTextFile(
        Text().toStdU16String(), static_cast<platform::TextFileEncoding>(encoding)));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        platform::MessageBox(
            this,
            (std::u16string(texts::kCannotWriteFileBefore) + path.toStdU16String() +
             std::u16string(texts::kCannotWriteFileAfter) + file.errorString().toStdU16String()),
            std::nullopt, platform::MB_ICONWARNING);
        return false;
    }
    return true;
}

void CTextFileDlg::OnSave() {
    const int index = m_encoding->currentIndex();
    if (index >= 0 && index <= 2 && !WriteFile(index))
        return;
    QDialog::accept();
}

bool CTextFileDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CTextFileDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
