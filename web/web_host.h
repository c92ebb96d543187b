#pragma once
// The Player's host in a web page: the command sets run here unchanged, and
// what they ask of the main window is done by the page's script
// (site/site.js, playerHost.call). Window commands act on the player element,
// secondary windows are panels, message boxes are page dialogs; registry
// values live in a store file the page keeps in the browser's storage.
// Dialogs with no equivalent in a browser answer as a cancel does.

#include <string>

#include "core/bridge/player_host.h"
#include "core/platform/message_box.h"

class WebHost : public PlayerHost {
public:
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

    void SetReturnValue(const std::u16string& xml) override { m_reply = xml; }
    void CallFunction(const std::u16string& xml) override;
    void StopMovie() override;
    void SetMovie(const std::u16string& path) override;
    void PlayMovie() override;

    std::optional<std::u16string> RunOpenFileDialog(const std::u16string&) override { return {}; }
    std::optional<std::u16string> RunFolderDialog(const std::u16string&,
                                                  const std::u16string&) override {
        return {};
    }
    void RunSaveTextDialog(const std::u16string& text) override;
    void RunFileSearchDialog() override {}

    int SecondaryWindowCount() const override { return m_windowCount; }
    std::optional<int> CreateSecondaryWindow(int width, int height,
                                             const std::u16string& path) override;
    void ReuseSecondaryWindow(int id, int width, int height, const std::u16string& path) override;
    void ClearSecondaryWindows() override;

    // The companion software exists only on the desktop: never reported ready.
    void CompanionCommand(const std::u16string&, const std::u16string&,
                          const std::u16string&) override {}
    std::u16string CompanionQuery(const std::u16string&) override { return {}; }

    int SendMail(const std::u16string&) override { return 0; }  // as a refused message
    std::u16string ReadRegistryString(RegistryRoot root, const std::u16string& subKey,
                                      const std::u16string& name) override;
    void WriteRegistryString(RegistryRoot root, const std::u16string& subKey,
                             const std::u16string& name, const std::u16string& data) override;
    void OpenWebPage(const std::u16string&) override {}

    // The reply the last command gave through SetReturnValue, taken once.
    std::u16string TakeReply() { return std::exchange(m_reply, {}); }

private:
    PlayerState m_state;
    std::u16string m_reply;
    int m_windowCount = 0;
};

// The page's function for `name`, with up to three texts and three numbers.
int CallPage(const char* name, std::u16string_view a = {}, std::u16string_view b = {},
             std::u16string_view c = {}, int x = 0, int y = 0, int z = 0);
