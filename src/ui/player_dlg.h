#pragma once
// CPlayerDlg: the main window. Frameless, with an optional title strip to drag
// it by; it hosts the issue's main movie and serves every command the movie
// sends. Hidden while the issue is extracted; laid out when the movie sends
// "start", and shown once the movie has drawn.

#include <QDialog>
#include <QPixmap>

#include <chrono>
#include <memory>
#include <vector>

#include "core/bridge/player_host.h"
#include "core/package/extraction.h"
#include "core/package/window_config.h"
#include "core/platform/message_box.h"
#include "ui/engine/shockwave_flash.h"

class CLoading;
class CFlashPlayerDlg;
class TrayIcon;

class CPlayerDlg : public QDialog, public PlayerHost {
    Q_OBJECT

public:
    explicit CPlayerDlg(QWidget* parent = nullptr);
    ~CPlayerDlg() override;

    // The end of extraction (signalled by the loading window): starts the main movie.
    void OnPlayerReady(ExtractOutcome outcome);
    // How long the main movie waits for a loading movie to have had its turn
    // (tests shorten it).
    static void SetLoadingHeadStart(std::chrono::milliseconds limit) { s_loadingHeadStart = limit; }
    // The relay of a reply text from a dialog to the movie's pending call.
    void OnCopyData(const QString& text);
    // During a sizing of this window every secondary window takes its rectangle.
    void OnSizing(const QRect& proposed);

    // The dialog has ended (OnCancel or a failed start); the Player then ends.
    bool Ended() const { return m_ending; }
    // The Player's exit status: 0, or 1 when the issue could not be opened.
    int ExitCode() const { return m_exitCode; }

    CShockwaveflash1& Flash() { return m_flash; }
    CLoading* Loading() const { return m_loading; }
    TrayIcon& Tray() { return *m_tray; }
    const std::vector<std::unique_ptr<CFlashPlayerDlg>>& SecondaryWindows() const {
        return m_secondaryWindows;
    }
    const QPixmap& TitleBitmap() const { return m_titleBitmap; }
    // The title bitmap config.xml names, or a null pixmap.
    QPixmap IssueTitleBitmap() const;

    // PlayerHost
    PlayerState& State() override { return m_state; }
    int Ask(const ReaderMessage& message) override {
        return platform::MessageBox(message.overNoWindow ? nullptr : this, message);
    }
    void ShowPlayerWindow(bool fullScreen) override;
    void ShowWindow(ShowCommand command) override;
    void MoveWindow(int x, int y, int width, int height) override;
    void RepaintNow() override;
    void SetWindowAlpha(int alpha) override;
    void UpdateTrayIcon(bool add) override;
    void ApplyWindowConfig() override;
    void DestroyLoadingWindow() override;
    void OnCancel() override;
    void PostClose() override;
    void SetReturnValue(const std::u16string& xml) override;
    void CallFunction(const std::u16string& xml) override;
    void StopMovie() override;
    void SetMovie(const std::u16string& path) override;
    void PlayMovie() override;
    std::optional<std::u16string> RunOpenFileDialog(const std::u16string& filter) override;
    std::optional<std::u16string> RunFolderDialog(const std::u16string& title,
                                                  const std::u16string& initial) override;
    void RunSaveTextDialog(const std::u16string& text) override;
    void RunFileSearchDialog() override;
    int SecondaryWindowCount() const override {
        return static_cast<int>(m_secondaryWindows.size());
    }
    std::optional<int> CreateSecondaryWindow(int width, int height,
                                             const std::u16string& path) override;
    void ReuseSecondaryWindow(int id, int width, int height, const std::u16string& path) override;
    void ClearSecondaryWindows() override;
    void CompanionCommand(const std::u16string&, const std::u16string&,
                          const std::u16string&) override {}
    std::u16string CompanionQuery(const std::u16string&) override { return {}; }
    int SendMail(const std::u16string& request) override;
    std::u16string ReadRegistryString(RegistryRoot root, const std::u16string& subKey,
                                      const std::u16string& name) override;
    void WriteRegistryString(RegistryRoot root, const std::u16string& subKey,
                             const std::u16string& name, const std::u16string& value) override;
    void OpenWebPage(const std::u16string& url) override;

signals:
    // The movie has sent "start" and drawn, and the window is on the screen.
    void mainWindowDrawn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override { OnCancel(); }
    void accept() override {}  // Enter never ends the dialog

private:
    void OnInitDialog();
    void StopExtractionAndDeleteWorkspace();
    void PlayMainMovie();
    void ReleaseMainMovie();
    void CloseModalDialogs();
    void SetWindowText(const std::u16string& title);
    // Says why the issue cannot open, then ends the Player with a failure status.
    void FailToOpen(std::u16string_view message);
    // The movie's own full screen (Stage.displayState): the full-screen layout,
    // and back to the window as it was.
    void SetMovieFullScreen(bool on);
    // Shows the window laid out by "start" once the main movie has drawn.
    void ShowWhenDrawn(bool waitedEnough = false);
    void ReportWhenDrawn();

    PlayerState m_state;
    CShockwaveflash1 m_flash;
    QPixmap m_titleBitmap;
    CLoading* m_loading = nullptr;
    std::unique_ptr<TrayIcon> m_tray;
    std::vector<std::unique_ptr<CFlashPlayerDlg>> m_secondaryWindows;
    bool m_ending = false;
    bool m_painted = false;  // for the start-up timeline
    bool m_mainMovieReleased = false;
    bool m_movieFullScreen = false;
    bool m_mainMovieDrawn = false;
    bool m_showPending = false;  // laid out, waiting for the movie to draw
    bool m_showing = false;      // drawn, waiting for the picture it first shows
    bool m_inTray = false;       // hidden to the tray (or minimised where there is none)
    bool m_started = false;      // the movie has sent "start"
    bool m_drawnReported = false;
    QRect m_windowedGeometry, m_windowedMovieGeometry;
    static constexpr int kShowLimitMs = 3000;
    static inline std::chrono::milliseconds s_loadingHeadStart{kLoadingHeadStartMs};
    int m_exitCode = 0;
};

extern CPlayerDlg* g_mainWnd;
