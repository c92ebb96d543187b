// The brivol_ commands that movies call through ExternalInterface.

#include <algorithm>
#include <functional>

#include "core/bridge/external_interface.h"
#include "core/bridge/player_host.h"
#include "core/platform/message_box.h"
#include "core/platform/path.h"
#include "core/platform/text.h"

namespace {

void WrongCount(PlayerHost& host) {
    host.Ask({std::u16string(texts::kWrongArgumentCount), std::nullopt, platform::MB_OK});
}

std::vector<std::u16string> AllNumbers(InvokeRequest& request) {
    std::vector<std::u16string> numbers;
    while (auto n = request.NextNumber())
        numbers.push_back(*n);
    return numbers;
}

void SetTray(PlayerHost& host, bool shown) {
    host.State().m_trayShown = shown ? 1 : 0;
    host.UpdateTrayIcon(shown);
}

void OpenWindow(PlayerHost& host, InvokeRequest& request) {
    std::vector<std::u16string> values;
    if (auto path = request.NextString())
        values.push_back(*path);
    for (auto& n : AllNumbers(request))
        values.push_back(std::move(n));
    OpenSecondaryWindow(host, values);
}

void ExtractFile(PlayerHost& host, InvokeRequest& request) {
    std::vector<std::u16string> strings;
    while (auto s = request.NextString())
        strings.push_back(*s);
    if (strings.size() != 2)
        return WrongCount(host);
    if (!platform::PathFileExists(strings[0])) {
        host.Ask({std::u16string(texts::kExtractSourceMissing), std::nullopt, platform::MB_OK});
        return;
    }
    platform::CopyFile(strings[0], strings[1], false);
}

void Reply(PlayerHost& host, bool value) {
    host.SetReturnValue(value ? ReplyTrue() : ReplyFalse());
}

using Command = void (*)(PlayerHost&, InvokeRequest&);

struct Entry {
    const char16_t* name;
    Command run;
};

// In dispatch order; names compare whole and case-sensitively.
const Entry kCommands[] = {
    {u"brivol_openexe", [](PlayerHost&, InvokeRequest& r) { r.NextString(); }},
    {u"brivol_quit", [](PlayerHost& h, InvokeRequest&) { h.PostClose(); }},
    {u"brivol_hidewindow",
     [](PlayerHost& h, InvokeRequest&) {
         if (h.State().m_trayShown == 0)
             SetTray(h, true);
         h.ShowWindow(ShowCommand::Hide);
     }},
    {u"brivol_showwindow", [](PlayerHost& h, InvokeRequest&) { h.ShowPlayerWindow(true); }},
    {u"brivol_minimize",
     [](PlayerHost& h, InvokeRequest&) { h.ShowWindow(ShowCommand::ShowMinimized); }},
    {u"brivol_restore", [](PlayerHost& h, InvokeRequest&) { h.ShowWindow(ShowCommand::Restore); }},
    {u"brivol_windowcaption",
     [](PlayerHost& h, InvokeRequest& r) {
         const auto text = r.NextString();
         if (!text)
             return;
         if (!text->empty())
             h.State().m_title = *text;
         h.RepaintNow();
     }},
    {u"brivol_windowsize",
     [](PlayerHost& h, InvokeRequest& r) {
         const auto numbers = AllNumbers(r);
         if (numbers.size() != 2)
             return WrongCount(h);
         h.MoveWindow(0, 0, platform::ParseInt(numbers[0]), platform::ParseInt(numbers[1]));
     }},
    {u"brivol_alert",
     [](PlayerHost& h, InvokeRequest& r) {
         if (const auto text = r.NextString()) {
             h.Ask({*text, std::u16string(texts::kAlertCaption),
                    platform::MB_OKCANCEL | platform::MB_ICONINFORMATION});
         }
     }},
    {u"brivol_systray",
     [](PlayerHost& h, InvokeRequest& r) {
         if (const auto n = r.NextNumber())
             SetTray(h, platform::ParseInt(*n) == 1);
     }},
    {u"brivol_windowalpha",
     [](PlayerHost& h, InvokeRequest& r) {
         if (const auto n = r.NextNumber())
             h.SetWindowAlpha(std::clamp(platform::ParseInt(*n), 1, 255));
     }},
    {u"brivol_fileexists",
     [](PlayerHost& h, InvokeRequest& r) {
         if (const auto path = r.NextString())
             Reply(h, platform::PathFileExists(*path));
     }},
    {u"brivol_folderexists",
     [](PlayerHost& h, InvokeRequest& r) {
         if (const auto path = r.NextString())
             Reply(h, platform::PathIsDirectory(*path));
     }},
    {u"brivol_findfile", [](PlayerHost& h, InvokeRequest&) { h.RunFileSearchDialog(); }},
    {u"brivol_opendialog",
     [](PlayerHost& h, InvokeRequest& r) {
         const auto filter = r.NextString();
         if (!filter)
             return;
         if (const auto path = h.RunOpenFileDialog(*filter))
             h.SetReturnValue(ReplyString(*path));
     }},
    {u"brivol_openfolder",
     [](PlayerHost& h, InvokeRequest&) {
         if (const auto path =
                 h.RunFolderDialog(std::u16string(texts::kChooseFolderTitle), u"c:\\")) {
             h.SetReturnValue(ReplyString(*path));
         }
     }},
    {u"brivol_savetextfile",
     [](PlayerHost& h, InvokeRequest& r) {
         if (const auto text = r.NextString())
             h.RunSaveTextDialog(*text);
     }},
    {u"brivol_openflashwindow", OpenWindow},
    {u"brivol_openiewindow", OpenWindow},
    {u"brivol_extractfile", ExtractFile},
    {u"brivol_clearallwindow", [](PlayerHost& h, InvokeRequest&) { h.ClearSecondaryWindows(); }},
    {u"brivol_callfunction", [](PlayerHost&, InvokeRequest&) {}},
};

}  // namespace

void OnFlashCall(PlayerHost& host, std::u16string_view text) {
    InvokeRequest request;
    if (!request.Decode(text))
        return;
    for (const Entry& e : kCommands) {
        if (request.Name() == e.name)
            return e.run(host, request);
    }
}

void OpenSecondaryWindow(PlayerHost& host, const std::vector<std::u16string>& values) {
    if (values.size() != 5)
        return WrongCount(host);
    const int id = platform::ParseInt(values[4]);
    const int height = platform::ParseInt(values[3]);
    const int width = platform::ParseInt(values[2]);
    const int create = platform::ParseInt(values[1]);
    const std::u16string& path = values[0];
    const int count = host.SecondaryWindowCount();
    if (create != 0 || count == 0) {
        if (const auto newId = host.CreateSecondaryWindow(width, height, path)) {
            host.SetReturnValue(ReplyNumber(*newId));
        }
        return;
    }
    // A window that does not exist cannot be reused: the movie learns so.
    if (id < 0 || id >= count)
        return host.SetReturnValue(ReplyFalse());
    host.ReuseSecondaryWindow(id, width, height, path);
    host.SetReturnValue(ReplyNumber(id));
}
