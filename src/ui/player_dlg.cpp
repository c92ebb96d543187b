#include "ui/player_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <utility>

#include "core/package/window_config.h"
#include "core/platform/case_path.h"
#include "core/platform/file_filter.h"
#include "core/platform/message_box.h"
#include "core/platform/path.h"
#include "core/platform/timeline.h"
#include "core/platform/workspace.h"
#include "core/services/mail_sender.h"
#include "core/services/registry_store.h"
#include "ui/editor_window.h"
#include "ui/file_search_dlg.h"
#include "ui/flash_player_dlg.h"
#include "ui/folder_dialog.h"
#include "ui/loading_dlg.h"
#include "ui/run_modal.h"
#include "ui/text_file_dlg.h"
#include "ui/tray_icon.h"

CPlayerDlg* g_mainWnd = nullptr;

namespace {

// A native path for a path from a movie; a relative one names a file of the
// issue, as the movie's own loads do, and names in the issue ignore case.
QString Native(const std::u16string& windowsPath) {
    const std::string path = platform::NativePath(windowsPath);
    if (path.empty())
        return {};
    return QString::fromStdString(platform::FoldedNativePath(
        path.starts_with('/') ? windowsPath : platform::JoinPath(g_workspaceDir, windowsPath)));
}

QRect PrimaryScreen() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry() : QRect(0, 0, 1024, 768);
}

// A Wayland client places no window: the compositor does, and it alone lays a
// window over its panels, or takes one back from the task bar.
bool CompositorPlacesWindows() {
    return QGuiApplication::platformName().startsWith("wayland");
}

}  // namespace

CPlayerDlg::CPlayerDlg(QWidget* parent) : QDialog(parent, Qt::Window | Qt::FramelessWindowHint) {
    setWindowIcon(QIcon(":/res/player.png"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    OnInitDialog();
}

CPlayerDlg::~CPlayerDlg() {
    qApp->removeEventFilter(this);
    ClearSecondaryWindows();
    StopExtractionAndDeleteWorkspace();
    if (g_mainWnd == this)
        g_mainWnd = nullptr;
}

void CPlayerDlg::OnInitDialog() {
    m_tray = std::make_unique<TrayIcon>(this);
    connect(m_tray.get(), &TrayIcon::showRequested, this,
            [this] { ShowWindow(ShowCommand::Restore); });
    connect(m_tray.get(), &TrayIcon::hideRequested, this,
            [this] { ShowWindow(ShowCommand::Hide); });
    connect(m_tray.get(), &TrayIcon::quitRequested, this, &CPlayerDlg::OnCancel);
    connect(m_tray.get(), &TrayIcon::hostChanged, this, [this](bool present) {
        // The tray that held the window has gone: the window comes back.
        if (!present && m_inTray && !isVisible())
            ShowWindow(ShowCommand::Restore);
    });
    g_mainWnd = this;
    qApp->installEventFilter(this);
    m_loading = new CLoading(this);
    connect(m_loading, &CLoading::packageUnreadable, this, [this] {
        m_exitCode = 1;
        PostClose();
    });
    connect(m_loading, &CLoading::extractionFinished, this, &CPlayerDlg::OnPlayerReady,
            Qt::QueuedConnection);
    m_flash.Prepare(this);  // the movie engine starts while the issue is extracted
    m_loading->CentreAndShowOnTop();
    setGeometry(0, 0, 0, 0);
    setWindowTitle("Loading...");
    m_state.m_companionReady = 0;  // the subscription software's control does not exist here
}

void CPlayerDlg::OnPlayerReady(ExtractOutcome outcome) {
    // The control gets a real size at once: a movie in a view of no size is never
    // run by the web engine, and the main movie must run to say it is ready.
    if (!m_flash.Create(this, 1001, QRect(0, 0, m_state.m_width, m_state.m_height))) {
        platform::MessageBox(this, texts::kNoFlashControl, texts::kPromptCaption,
                             platform::MB_ICONWARNING);
        m_ending = true;
        m_exitCode = 1;
        done(QDialog::Accepted);
        return;
    }
    m_flash.SetEvents(
        {.fsCommand =
             [this](const QString& c, const QString& a) {
                 OnFSCommand(*this, c.toStdU16String(), a.toStdU16String());
             },
         .flashCall = [this](const QString& r) { OnFlashCall(*this, r.toStdU16String()); },
         .movieFailed =
             [this](const QString&) {
                 // A main movie that cannot be parsed never sends "start": say
                 // so rather than leave the loading window up for ever.
                 if (m_loading)
                     FailToOpen(texts::kMainMovieDamaged);
             },
         .firstFrame =
             [this] {
                 m_mainMovieDrawn = true;
                 ShowWhenDrawn();
                 ReportWhenDrawn();
             },
         .fullScreen = [this](bool on) { SetMovieFullScreen(on); }});
    NotifyEditorWindow(1);
    const std::u16string movie = WorkspacePath(u"vellmain.swf");
    if (!platform::PathFileExists(movie)) {
        // Without its main movie an issue can never show itself: say why and end,
        // rather than stay hidden.
        switch (outcome) {
            case ExtractOutcome::NoIssue:
                return FailToOpen(texts::kNoIssueInFile);
            case ExtractOutcome::Damaged:
                return FailToOpen(texts::kIssueDamaged);
            case ExtractOutcome::Complete:
                return FailToOpen(texts::kMainMovieMissing);
        }
    }
    if (m_loading && m_loading->MovieSettling()) {
        // The main movie's engine starts beside the loading movie's, so that it
        // is ready when the loading movie has had its turn (drawn and shown);
        // the movie itself runs only then, or once a loading movie has had as
        // long as it could take to start.
        m_flash.HoldMovie(true);
        connect(m_loading, &CLoading::movieSettled, this, &CPlayerDlg::ReleaseMainMovie,
                Qt::SingleShotConnection);
        QTimer::singleShot(s_loadingHeadStart, this, &CPlayerDlg::ReleaseMainMovie);
    }
    PlayMainMovie();
}

void CPlayerDlg::PlayMainMovie() {
    if (m_ending)
        return;  // the Player is ending: its workspace is going
    m_flash.SetMovie(Native(WorkspacePath(u"vellmain.swf")));
    m_flash.Window()->show();
    m_flash.Play();
}

void CPlayerDlg::ReleaseMainMovie() {
    if (!m_ending && !std::exchange(m_mainMovieReleased, true))
        m_flash.HoldMovie(false);
}

void CPlayerDlg::FailToOpen(std::u16string_view message) {
    platform::MessageBox(this, message, std::nullopt, platform::MB_ICONWARNING);
    m_exitCode = 1;
    OnCancel();
}

void CPlayerDlg::ShowPlayerWindow(bool fullScreen) {
    if (fullScreen) {
        const QRect screen = PrimaryScreen();
        setGeometry(0, 0, screen.width(), screen.height());
        if (m_flash.Window())
            m_flash.Window()->setGeometry(0, 0, screen.width(), screen.height());
        if (CompositorPlacesWindows())
            setWindowState(windowState() | Qt::WindowFullScreen);
    } else {
        const int w = m_state.m_width, h = m_state.m_height, t = m_state.m_titleHeight;
        setGeometry(0, 0, w, h);
        if (m_flash.Window())
            m_flash.Window()->setGeometry(0, t, w, h - t);
        const QRect screen = PrimaryScreen();
        move(screen.x() + (screen.width() - w) / 2, screen.y() + (screen.height() - h) / 2);
    }
    update();
    m_started = true;
    m_showPending = true;
    if (!isVisible() && !m_mainMovieDrawn) {
        // Drawn or not, the reader waits no longer than this.
        QTimer::singleShot(kShowLimitMs, this, [this] { ShowWhenDrawn(true); });
    }
    ShowWhenDrawn();
}

void CPlayerDlg::ShowWhenDrawn(bool waitedEnough) {
    // The window comes onto the screen with its movie drawn, never blank: a
    // movie sends "start" from its first frame, before that frame is drawn.
    if (!m_showPending || m_ending || !(m_mainMovieDrawn || isVisible() || waitedEnough))
        return;
    m_showPending = false;
    if (isVisible()) {
        show();
        ReportWhenDrawn();
        return;
    }
    // Its first paint is a picture of what the movie drew: the web view itself
    // draws only once the window is on the screen, a frame too late.
    m_showing = true;
    QPointer<CPlayerDlg> alive(this);
    m_flash.CoverWithPicture([this, alive] {
        if (!alive || m_ending || !std::exchange(m_showing, false))
            return;  // ending, or the movie has said since where the window is to be
        platform::TimelineMark("main window shown");
        show();
        ReportWhenDrawn();
    });
}

void CPlayerDlg::ReportWhenDrawn() {
    if (m_started && m_mainMovieDrawn && isVisible() && !std::exchange(m_drawnReported, true))
        emit mainWindowDrawn();
}

void CPlayerDlg::SetMovieFullScreen(bool on) {
    if (on == m_movieFullScreen || !m_flash.Window())
        return;
    m_movieFullScreen = on;
    if (on) {
        m_windowedGeometry = geometry();
        m_windowedMovieGeometry = m_flash.Window()->geometry();
        // The full-screen layout, by the window manager (which takes decorations
        // and panels away, and keeps the windowed geometry to go back to).
        const QRect screen = PrimaryScreen();
        showFullScreen();
        m_flash.Window()->setGeometry(0, 0, screen.width(), screen.height());
    } else {
        showNormal();
        setGeometry(m_windowedGeometry);
        m_flash.Window()->setGeometry(m_windowedMovieGeometry);
    }
}

void CPlayerDlg::ShowWindow(ShowCommand command) {
    m_showPending = false;  // what the movie asks for now holds
    m_showing = false;
    m_inTray = command == ShowCommand::Hide;
    switch (command) {
        case ShowCommand::Hide:
            // Hidden only where a tray icon brings it back; else it waits on the
            // task bar, where the reader finds it as any other window.
            if (m_tray->OnScreen())
                hide();
            else
                showMinimized();
            break;
        case ShowCommand::ShowMinimized:
            showMinimized();
            break;
        case ShowCommand::Restore:
            if (isMinimized() && CompositorPlacesWindows())
                hide();  // shown anew: the compositor gives it back no other way
            showNormal();
            break;
    }
}

void CPlayerDlg::MoveWindow(int x, int y, int width, int height) {
    setGeometry(x, y, width, height);
}

void CPlayerDlg::RepaintNow() {
    repaint();
}

void CPlayerDlg::SetWindowAlpha(int alpha) {
    setWindowOpacity(alpha / 255.0);
}

void CPlayerDlg::UpdateTrayIcon(bool add) {
    m_tray->SetShown(add);
    if (m_inTray && !isVisible() && !m_tray->OnScreen())
        showMinimized();  // its icon is gone: the task bar holds it instead
}

void CPlayerDlg::ApplyWindowConfig() {
    platform::TimelineMark("start");
    if (const auto config = ReadMainWindowConfig(ConfigPath())) {
        if (config->width)
            m_state.m_width = *config->width;
        if (config->height)
            m_state.m_height = *config->height;
        m_state.m_title = config->title;
        SetWindowText(config->title);
        m_state.m_titleHeight = config->showTitle ? 16 : 0;
        m_titleBitmap = IssueTitleBitmap();
        if (m_titleBitmap.isNull())
            m_titleBitmap = QPixmap(":/res/title.bmp");
        ShowPlayerWindow(config->fullScreen);
        return;
    }
    if (m_titleBitmap.isNull())
        m_titleBitmap = QPixmap(":/res/title.bmp");
    SetWindowText({});
    ShowPlayerWindow(false);
}

QPixmap CPlayerDlg::IssueTitleBitmap() const {
    const auto config = ReadMainWindowConfig(ConfigPath());
    if (!config || config->titleBitmap.empty())
        return {};
    return QPixmap(Native(WorkspacePath(config->titleBitmap)), "BMP");
}

void CPlayerDlg::SetWindowText(const std::u16string& title) {
    // The taskbar names a window without a title of its own by the application's
    // name, as the message boxes do; never by the "Loading..." of start-up.
    setWindowTitle(QString::fromStdU16String(title.empty() ? platform::AppName() : title));
}

void CPlayerDlg::DestroyLoadingWindow() {
    if (m_loading)
        m_loading->deleteLater();
    m_loading = nullptr;
}

void CPlayerDlg::OnCancel() {
    if (m_ending)
        return;
    m_ending = true;
    NotifyEditorWindow(0);
    m_tray->Remove();
    CloseModalDialogs();
    done(QDialog::Rejected);
}

void CPlayerDlg::CloseModalDialogs() {
    // A command waiting in a dialog (an alert, a file chooser, the search) would
    // keep the Player alive until the reader answers it. Each is cancelled, the
    // innermost first; its command then ends as it does on Cancel.
    while (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        if (dialog == this)
            break;
        dialog->done(QDialog::Rejected);
        if (dialog->isVisible())
            break;  // it would not close: leave it rather than loop
    }
}

void CPlayerDlg::PostClose() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CPlayerDlg::StopExtractionAndDeleteWorkspace() {
    if (m_loading)
        m_loading->StopExtraction();  // the worker must not write into a folder being deleted
    DeleteWorkspace();
}

void CPlayerDlg::closeEvent(QCloseEvent* event) {
    m_titleBitmap = QPixmap();
    StopExtractionAndDeleteWorkspace();
    if (m_flash.IsCreated())
        m_flash.SetMovie(" ");
    DestroyLoadingWindow();
    event->ignore();  // the close becomes the cancel handling, which ends the dialog
    OnCancel();
}

void CPlayerDlg::SetReturnValue(const std::u16string& xml) {
    m_flash.SetReturnValue(QString::fromStdU16String(xml));
}
void CPlayerDlg::CallFunction(const std::u16string& xml) {
    m_flash.CallFunction(QString::fromStdU16String(xml));
}
void CPlayerDlg::StopMovie() {
    m_flash.Stop();
}
void CPlayerDlg::SetMovie(const std::u16string& path) {
    m_flash.SetMovie(Native(path));
}
void CPlayerDlg::PlayMovie() {
    m_flash.Play();
}

void CPlayerDlg::OnCopyData(const QString& text) {
    m_flash.SetReturnValue(text);
}

std::optional<std::u16string> CPlayerDlg::RunOpenFileDialog(const std::u16string& filter) {
    QStringList filters;
    for (const auto& f : platform::ConvertFileFilter(filter))
        filters << QString::fromStdU16String(f);
    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdU16String();
}

std::optional<std::u16string> CPlayerDlg::RunFolderDialog(const std::u16string& title,
                                                          const std::u16string& initial) {
    CFolderDialog dialog(QString::fromStdU16String(title), QString::fromStdU16String(initial), this,
                         CFolderDialog::BIF_RETURNONLYFSDIRS);
    if (dialog.DoModal() != 1)
        return std::nullopt;
    return dialog.ResultPath().toStdU16String();
}

void CPlayerDlg::RunSaveTextDialog(const std::u16string& text) {
    CTextFileDlg dialog(this);
    dialog.SetText(QString::fromStdU16String(text));
    RunModal(dialog);
}

void CPlayerDlg::RunFileSearchDialog() {
    CFileSearchDlg dialog(this);
    connect(&dialog, &CFileSearchDlg::resultsFound, this, &CPlayerDlg::OnCopyData);
    RunModal(dialog);
}

std::optional<int> CPlayerDlg::CreateSecondaryWindow(int width, int height,
                                                     const std::u16string& path) {
    auto window = std::make_unique<CFlashPlayerDlg>(this);
    const int id = static_cast<int>(m_secondaryWindows.size());
    const QRect main = frameGeometry();
    window->MoveTo({main.left() + 30, main.top() + 40, width, height});
    window->SetMoviePath(Native(path));
    window->ShowWhenDrawn();
    window->LoadMovie();
    m_secondaryWindows.push_back(std::move(window));
    platform::TimelineMark("secondary window " + std::to_string(id) + " opened");
    return id;
}

void CPlayerDlg::ReuseSecondaryWindow(int id, int width, int height, const std::u16string& path) {
    CFlashPlayerDlg* window = m_secondaryWindows.at(static_cast<size_t>(id)).get();
    window->MoveTo({0, 0, width, height});
    window->SetMoviePath(Native(path));
    window->LoadMovie();
    window->show();
}

void CPlayerDlg::ClearSecondaryWindows() {
    m_secondaryWindows.clear();
}

void CPlayerDlg::OnSizing(const QRect& proposed) {
    for (auto& w : m_secondaryWindows)
        w->MoveTo(proposed);
}

int CPlayerDlg::SendMail(const std::u16string& request) {
    return ::SendMail(request);
}

std::u16string CPlayerDlg::ReadRegistryString(RegistryRoot root, const std::u16string& subKey,
                                              const std::u16string& name) {
    return RegistryKey(root, subKey).ReadString(name);
}

void CPlayerDlg::WriteRegistryString(RegistryRoot root, const std::u16string& subKey,
                                     const std::u16string& name, const std::u16string& value) {
    RegistryKey(root, subKey).WriteString(name, value);
}

void CPlayerDlg::OpenWebPage(const std::u16string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdU16String(url)));
}

void CPlayerDlg::paintEvent(QPaintEvent*) {
    if (isMinimized())
        return;
    if (!m_painted && !size().isEmpty()) {
        m_painted = true;
        platform::TimelineMark("main window painted");
    }
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const int strip = m_state.m_titleHeight;
    if (!m_titleBitmap.isNull())
        p.drawPixmap(QRect(0, 0, width(), strip), m_titleBitmap);
    p.setFont(QApplication::font());
    p.setPen(Qt::black);
    const QRect text(5, 0, width() - 5, strip);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               p.fontMetrics().elidedText(QString::fromStdU16String(m_state.m_title),
                                          Qt::ElideRight, text.width()));
}

void CPlayerDlg::mouseMoveEvent(QMouseEvent* event) {
    if (event->position().y() < m_state.m_titleHeight && event->buttons() == Qt::LeftButton &&
        event->modifiers() == Qt::NoModifier && windowHandle()) {
        windowHandle()->startSystemMove();
    }
    QDialog::mouseMoveEvent(event);
}

void CPlayerDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

bool CPlayerDlg::eventFilter(QObject* watched, QEvent* event) {
    // A right click on this window or any of its children (the movie among them)
    // is swallowed, so the movie's context menu never opens.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::ContextMenu) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool right = event->type() == QEvent::ContextMenu ||
                           static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        if (right && widget && widget->window() == this)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
