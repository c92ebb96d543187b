#pragma once
// A host that records every call the commands make, as readable lines.

#include <string>
#include <vector>

#include "core/bridge/player_host.h"
#include "core/platform/message_box.h"
#include "core/platform/text.h"

class RecordingHost : public PlayerHost {
public:
    PlayerState state;
    std::vector<std::string> calls;
    // Answers of the dialogs and the companion.
    std::optional<std::u16string> openFileAnswer, folderAnswer;
    std::u16string companionAnswer = u"R";
    std::u16string registryValue;
    int secondaryCount = 0;
    bool createFails = false;

    PlayerState& State() override { return state; }
    // The test's box recorder sees the box, with this host as its owner.
    int Ask(const ReaderMessage& message) override {
        return platform::MessageBox(message.overNoWindow ? nullptr : this, message);
    }

    void ShowPlayerWindow(bool full) override {
        Log(full ? "ShowPlayerWindow(full)" : "ShowPlayerWindow(windowed)");
    }
    void ShowWindow(ShowCommand c) override {
        Log(c == ShowCommand::Hide            ? "ShowWindow(hide)"
            : c == ShowCommand::ShowMinimized ? "ShowWindow(minimized)"
                                              : "ShowWindow(restore)");
    }
    void MoveWindow(int x, int y, int w, int h) override {
        Log("MoveWindow(" + N(x) + "," + N(y) + "," + N(w) + "," + N(h) + ")");
    }
    void RepaintNow() override { Log("Repaint(" + S(state.m_title) + ")"); }
    void SetWindowAlpha(int a) override { Log("Alpha(" + N(a) + ")"); }
    void UpdateTrayIcon(bool add) override { Log(add ? "Tray(add)" : "Tray(delete)"); }
    void ApplyWindowConfig() override { Log("ApplyWindowConfig"); }
    void DestroyLoadingWindow() override { Log("DestroyLoadingWindow"); }
    void OnCancel() override { Log("OnCancel"); }
    void PostClose() override { Log("PostClose"); }
    void SetReturnValue(const std::u16string& xml) override { Log("Return(" + S(xml) + ")"); }
    void CallFunction(const std::u16string& xml) override { Log("Call(" + S(xml) + ")"); }
    void StopMovie() override { Log("Stop"); }
    void SetMovie(const std::u16string& p) override { Log("SetMovie(" + S(p) + ")"); }
    void PlayMovie() override { Log("Play"); }
    std::optional<std::u16string> RunOpenFileDialog(const std::u16string& f) override {
        Log("OpenFileDialog(" + S(f) + ")");
        return openFileAnswer;
    }
    std::optional<std::u16string> RunFolderDialog(const std::u16string& t,
                                                  const std::u16string& i) override {
        Log("FolderDialog(" + S(t) + "," + S(i) + ")");
        return folderAnswer;
    }
    void RunSaveTextDialog(const std::u16string& t) override {
        Log("SaveTextDialog(" + S(t) + ")");
    }
    void RunFileSearchDialog() override { Log("FileSearchDialog"); }
    int SecondaryWindowCount() const override { return secondaryCount; }
    std::optional<int> CreateSecondaryWindow(int w, int h, const std::u16string& p) override {
        Log("CreateWindow(" + N(w) + "," + N(h) + "," + S(p) + ")");
        if (createFails)
            return std::nullopt;
        return secondaryCount++;
    }
    void ReuseSecondaryWindow(int id, int w, int h, const std::u16string& p) override {
        Log("ReuseWindow(" + N(id) + "," + N(w) + "," + N(h) + "," + S(p) + ")");
    }
    void ClearSecondaryWindows() override {
        Log("ClearWindows");
        secondaryCount = 0;
    }
    void CompanionCommand(const std::u16string& a, const std::u16string& b,
                          const std::u16string& c) override {
        Log("Companion(" + S(a) + "," + S(b) + "," + S(c) + ")");
    }
    std::u16string CompanionQuery(const std::u16string& a) override {
        Log("CompanionQuery(" + S(a) + ")");
        return companionAnswer;
    }
    int SendMail(const std::u16string& r) override {
        Log("SendMail(" + S(r) + ")");
        return 0;
    }
    std::u16string ReadRegistryString(RegistryRoot root, const std::u16string& k,
                                      const std::u16string& n) override {
        Log("ReadReg(" + N(static_cast<int>(root)) + "," + S(k) + "," + S(n) + ")");
        return root == RegistryRoot::None ? std::u16string() : registryValue;
    }
    void WriteRegistryString(RegistryRoot root, const std::u16string& k, const std::u16string& n,
                             const std::u16string& d) override {
        Log("WriteReg(" + N(static_cast<int>(root)) + "," + S(k) + "," + S(n) + "," + S(d) + ")");
    }
    void OpenWebPage(const std::u16string& url) override { Log("OpenWebPage(" + S(url) + ")"); }

private:
    void Log(std::string s) { calls.push_back(std::move(s)); }
    static std::string N(int v) { return std::to_string(v); }
    static std::string S(const std::u16string& s) { return platform::Utf16ToUtf8(s); }
};
