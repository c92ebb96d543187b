#pragma once
// What the two command sets need of the main window. The window implements it;
// tests implement it with a recorder. Commands reach nothing around it except
// the file system (through the platform calls) and message boxes.

#include <optional>
#include <string>
#include <vector>

#include "core/platform/player_texts.h"
#include "core/services/registry_root.h"

// The main window's state that the commands read and change.
struct PlayerState {
    int m_width = 600;
    int m_height = 500;
    int m_titleHeight = 16;
    std::u16string m_title;
    int m_trayShown = 0;
    int m_otherMagazine = 0;
    int m_companionReady = 0;
};

enum class ShowCommand { Hide, ShowMinimized, Restore };

class PlayerHost {
public:
    virtual ~PlayerHost() = default;

    virtual PlayerState& State() = 0;
    // Dialogs: shows a message box, owned by this host's window, and returns the
    // button pressed.
    virtual int Ask(const ReaderMessage& message) = 0;

    // Window.
    virtual void ShowPlayerWindow(bool fullScreen) = 0;  // lay out, then show
    virtual void ShowWindow(ShowCommand command) = 0;
    virtual void MoveWindow(int x, int y, int width, int height) = 0;  // the control stays
    virtual void RepaintNow() = 0;                                     // the title strip, at once
    virtual void SetWindowAlpha(int alpha) = 0;  // 1..255; no effect without opacity support
    // Puts the tray icon up when `add` and the window has an icon; otherwise removes it.
    virtual void UpdateTrayIcon(bool add) = 0;
    virtual void ApplyWindowConfig() = 0;
    virtual void DestroyLoadingWindow() = 0;
    virtual void OnCancel() = 0;
    virtual void PostClose() = 0;

    // The main Flash control.
    virtual void SetReturnValue(const std::u16string& xml) = 0;
    virtual void CallFunction(const std::u16string& xml) = 0;
    virtual void StopMovie() = 0;
    virtual void SetMovie(const std::u16string& path) = 0;
    virtual void PlayMovie() = 0;

    // Modal dialogs; an empty result is a cancel.
    virtual std::optional<std::u16string> RunOpenFileDialog(const std::u16string& filter) = 0;
    virtual std::optional<std::u16string> RunFolderDialog(const std::u16string& title,
                                                          const std::u16string& initial) = 0;
    virtual void RunSaveTextDialog(const std::u16string& text) = 0;
    // Each search run in the dialog answers the pending call through SetReturnValue.
    virtual void RunFileSearchDialog() = 0;

    // Secondary windows; ids are positions in the window list.
    virtual int SecondaryWindowCount() const = 0;
    // The new window's id, or nothing when it could not be created.
    virtual std::optional<int> CreateSecondaryWindow(int width, int height,
                                                     const std::u16string& path) = 0;
    virtual void ReuseSecondaryWindow(int id, int width, int height,
                                      const std::u16string& path) = 0;
    virtual void ClearSecondaryWindows() = 0;

    // The companion control of the subscription software.
    virtual void CompanionCommand(const std::u16string& a, const std::u16string& b,
                                  const std::u16string& c) = 0;
    virtual std::u16string CompanionQuery(const std::u16string& a) = 0;

    // Desktop services.
    virtual int SendMail(const std::u16string& request) = 0;
    virtual std::u16string ReadRegistryString(RegistryRoot root, const std::u16string& subKey,
                                              const std::u16string& name) = 0;
    virtual void WriteRegistryString(RegistryRoot root, const std::u16string& subKey,
                                     const std::u16string& name, const std::u16string& data) = 0;
    virtual void OpenWebPage(const std::u16string& url) = 0;
};

// The two command sets. Both ignore what they do not recognise.
void OnFlashCall(PlayerHost& host, std::u16string_view request);
void OnFSCommand(PlayerHost& host, std::u16string_view command, std::u16string_view args);

// The secondary-window request of the two window commands: path, create flag,
// width, height and window id, exactly five values.
void OpenSecondaryWindow(PlayerHost& host, const std::vector<std::u16string>& values);
