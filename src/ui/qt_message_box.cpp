#include "ui/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "core/platform/message_box.h"
#include "ui/run_modal.h"

namespace {

int Show(const platform::MessageBoxRequest& r) {
    // A box whose owner is not on the screen (a movie's alert before its window
    // shows, or from the tray) stands on its own: a Wayland compositor shows no
    // dialog of a window it has never mapped.
    auto* owner = const_cast<QWidget*>(static_cast<const QWidget*>(r.owner));
    QMessageBox box(owner && owner->isVisible() ? owner : nullptr);
    box.setWindowTitle(QString::fromStdU16String(r.caption));
    box.setText(QString::fromStdU16String(r.text).replace("\r\n", "\n"));
    switch (r.style & 0xF0) {
        case platform::MB_ICONHAND:
            box.setIcon(QMessageBox::Critical);
            break;
        case platform::MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case platform::MB_ICONWARNING:
            box.setIcon(QMessageBox::Warning);
            break;
        case platform::MB_ICONINFORMATION:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    switch (r.style & 0xF) {
        case platform::MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            return RunModal(box) == QMessageBox::Ok ? platform::IDOK : platform::IDCANCEL;
        case platform::MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            return RunModal(box) == QMessageBox::Yes ? platform::IDYES : platform::IDNO;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            RunModal(box);
            return platform::IDOK;
    }
}

}  // namespace

void InstallQtMessageBoxHandler() {
    // Unattended runs (end-to-end tests) have boxes written to stderr and
    // answered with their first button instead.
    if (qgetenv("PLAYER_MESSAGE_BOXES") == "stderr")
        return;
    platform::SetMessageBoxHandler([](const platform::MessageBoxRequest& r) {
        if (QThread::currentThread() == qApp->thread())
            return Show(r);
        int result = platform::IDOK;
        QMetaObject::invokeMethod(
            qApp, [&] { result = Show(r); }, Qt::BlockingQueuedConnection);
        return result;
    });
}
