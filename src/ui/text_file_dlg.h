#pragma once
// CTextFileDlg: shows a text from a movie in an editable box and saves it in
// the chosen encoding.

#include <QComboBox>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>

class CTextFileDlg : public QDialog {
    Q_OBJECT

public:
    explicit CTextFileDlg(QWidget* owner);

    // An empty text shows "Welcome!".
    void SetText(const QString& text);
    QString Text() const { return m_edit->toPlainText(); }
    QComboBox* Encoding() const { return m_encoding; }
    QPushButton* SaveButton() const { return m_save; }
    QPlainTextEdit* Edit() const { return m_edit; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnSave();
    // False when the file could not be written (the dialog then stays open).
    bool WriteFile(int encoding);

    QPlainTextEdit* m_edit;
    QComboBox* m_encoding;
    QPushButton* m_save;
};
