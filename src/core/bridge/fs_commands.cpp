// The commands that movies send through FSCommand. Answers go back by calling a
// function of the movie.

#include <cstdio>

#include "core/bridge/external_interface.h"
#include "core/bridge/pipe_split.h"
#include "core/bridge/player_host.h"
#include "core/platform/ascii_case.h"
#include "core/platform/message_box.h"
#include "core/platform/path.h"
#include "core/platform/text.h"
#include "core/platform/workspace.h"

#ifndef PLAYER_SUBSCRIBE_URL
#define PLAYER_SUBSCRIBE_URL "https://www.example.com/magazine-subscription"
#endif

namespace {

constexpr size_t kMaxAnsiPath = 259;

void ReadReg(PlayerHost& host, std::u16string_view args) {
    auto [root, rest] = SplitFirst(args);
    auto [subKey, name] = SplitFirst(rest);
    const std::u16string value = host.ReadRegistryString(RegistryRootFromName(root), subKey, name);
    host.CallFunction(InvokeWithString(u"hdgetreg", value));
}

void AddRegString(PlayerHost& host, std::u16string_view args) {
    auto [root, rest] = SplitFirst(args);
    auto [subKey, rest2] = SplitFirst(rest);
    auto [name, data] = SplitFirst(rest2);
    host.WriteRegistryString(RegistryRootFromName(root), subKey, name, data);
}

void CopyFileOut(PlayerHost& host, std::u16string_view args) {
    auto [source, dest] = SplitFirst(args);
    if (platform::PathFileExists(dest)) {
        const ReaderMessage overwrite{dest + std::u16string(texts::kOverwriteAfterName),
                                      std::u16string(texts::kPromptCaption),
                                      platform::MB_YESNO | platform::MB_ICONQUESTION, true};
        if (host.Ask(overwrite) == platform::IDNO)
            return;
    }
    platform::CopyFile(WorkspacePath(source), dest, false);
}

void WriteLog(PlayerHost&, std::u16string_view args) {
    auto [file, text] = SplitFirst(args);
    // The path had to fit the original 260-byte buffer in the locale charset.
    if (platform::ToAnsi(file).size() > kMaxAnsiPath)
        return;
    std::FILE* f = platform::OpenExistingForUpdate(file);
    if (!f)
        return;
    std::fseek(f, 0, SEEK_END);
    const std::string bytes = platform::ToAnsi(text);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
    std::fclose(f);
}

void Start(PlayerHost& host, std::u16string_view) {
    PlayerState& state = host.State();
    if (state.m_companionReady) {
        const std::u16string r = host.CompanionQuery(u"subscribe");
        host.CallFunction(InvokeWithString(u"vellbook", r));
    }
    if (state.m_otherMagazine) {
        host.ShowWindow(ShowCommand::Restore);
        state.m_otherMagazine = 0;
        return;
    }
    host.ApplyWindowConfig();
    host.DestroyLoadingWindow();
}

void Subscribe(PlayerHost& host, std::u16string_view args) {
    if (host.State().m_companionReady) {
        host.CompanionCommand(u"subscribe", u"a", u"," + std::u16string(args) + u",");
        return;
    }
    const int answer =
        host.Ask({std::u16string(texts::kNoSubscriber), std::u16string(texts::kSubscribeCaption),
                  platform::MB_YESNO | platform::MB_ICONQUESTION});
    if (answer == platform::IDYES)
        host.OpenWebPage(platform::Widen(PLAYER_SUBSCRIBE_URL));
}

void OpenOtherMagazine(PlayerHost& host, std::u16string_view args) {
    host.StopMovie();
    host.ShowWindow(ShowCommand::ShowMinimized);
    host.State().m_otherMagazine = 1;
    const std::u16string path = args == u"0"
                                    ? WorkspacePath(u"vellmain.swf")
                                    : WorkspacePath(std::u16string(args) + u"\\vellmain.swf");
    host.SetMovie(path);
    host.PlayMovie();
}

using Command = void (*)(PlayerHost&, std::u16string_view);

struct Entry {
    const char16_t* name;
    Command run;
};

// In dispatch order; names compare ignoring letter case.
const Entry kCommands[] = {
    {u"set_window", [](PlayerHost& h, std::u16string_view) { h.ShowPlayerWindow(false); }},
    {u"max_window", [](PlayerHost& h, std::u16string_view) { h.ShowPlayerWindow(true); }},
    {u"min_window",
     [](PlayerHost& h, std::u16string_view) {
         h.ShowWindow(h.State().m_trayShown ? ShowCommand::Hide : ShowCommand::ShowMinimized);
     }},
    {u"readreg", ReadReg},
    {u"addregstring", AddRegString},
    {u"copyfile", CopyFileOut},
    {u"writelog", WriteLog},
    {u"quit", [](PlayerHost& h, std::u16string_view) { h.OnCancel(); }},
    {u"start", Start},
    {u"subscribe", Subscribe},
    {u"sendmails", [](PlayerHost& h, std::u16string_view a) { h.SendMail(std::u16string(a)); }},
    {u"openothermag", OpenOtherMagazine},
    {u"isonline", [](PlayerHost& h,
                     std::u16string_view) { h.CallFunction(InvokeWithInteger(u"cisonline", 1)); }},
};

}  // namespace

void OnFSCommand(PlayerHost& host, std::u16string_view command, std::u16string_view args) {
    for (const Entry& e : kCommands) {
        if (platform::EqualsIgnoringAsciiCase(command, e.name))
            return e.run(host, args);
    }
}
