#pragma once
// A host that does nothing and answers every dialog as cancelled: for runs of
// the command sets whose effects are not looked at (the fuzzer, benchmarks).

#include "core/bridge/player_host.h"
#include "core/platform/message_box.h"

namespace test {

class NullHost : public PlayerHost {
public:
    PlayerState state;
    PlayerState& State() override { return state; }
    int Ask(const ReaderMessage& message) override {
        return platform::MessageBox(nullptr, message);
    }
    void ShowPlayerWindow(bool) override {}
    void ShowWindow(ShowCommand) override {}
    void MoveWindow(int, int, int, int) override {}
    void RepaintNow() override {}
    void SetWindowAlpha(int) override {}
    void UpdateTrayIcon(bool) override {}
    void ApplyWindowConfig() override {}
    void DestroyLoadingWindow() override {}
    void OnCancel() override {}
    void PostClose() override {}
    void SetReturnValue(const std::u16string&) override {}
    void CallFunction(const std::u16string&) override {}
    void StopMovie() override {}
    void SetMovie(const std::u16string&) override {}
    void PlayMovie() override {}
    std::optional<std::u16string> RunOpenFileDialog(const std::u16string&) override { return {}; }
    std::optional<std::u16string> RunFolderDialog(const std::u16string&,
                                                  const std::u16string&) override {
        return {};
    }
    void RunSaveTextDialog(const std::u16string&) override {}
    void RunFileSearchDialog() override {}
    int SecondaryWindowCount() const override { return 1; }
    std::optional<int> CreateSecondaryWindow(int, int, const std::u16string&) override { return 0; }
    void ReuseSecondaryWindow(int, int, int, const std::u16string&) override {}
    void ClearSecondaryWindows() override {}
    void CompanionCommand(const std::u16string&, const std::u16string&,
                          const std::u16string&) override {}
    std::u16string CompanionQuery(const std::u16string&) override { return {}; }
    int SendMail(const std::u16string&) override { return 0; }
    std::u16string ReadRegistryString(RegistryRoot, const std::u16string&,
                                      const std::u16string&) override {
        return {};
    }
    void WriteRegistryString(RegistryRoot, const std::u16string&, const std::u16string&,
                             const std::u16string&) override {}
    void OpenWebPage(const std::u16string&) override {}
};

}  // namespace test
