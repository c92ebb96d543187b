// What the page calls: the two command sets, the registry import and the
// encodings of the save-text dialog. Texts come in as UTF-16 with a length;
// texts going out stay valid until the next call of the same function.

#include <emscripten.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "core/bridge/external_interface.h"
#include "core/bridge/link_policy.h"
#include "core/platform/case_path.h"
#include "core/platform/message_box.h"
#include "core/platform/text.h"
#include "core/platform/workspace.h"
#include "core/services/registry_store.h"
#include "web_host.h"

namespace {

// Where the page keeps the registry store while the module runs; it saves the
// file's bytes to the browser's storage after each change.
constexpr char kConfigHome[] = "/.player";

WebHost& Host() {
    static WebHost host;
    return host;
}

std::u16string_view Text(const char16_t* text, int length) {
    return {text, static_cast<size_t>(length)};
}

// A box with only an answer to give is shown by the page and answered with its
// first button; a question (overwrite a file? download the companion?) belongs
// to a feature the page leaves to the desktop, and is answered no.
// The issue's files as folders of names, by the folder's path ('/' between
// components, "" for the top): what the paths a movie names are resolved in.
std::map<std::u16string, std::vector<std::u16string>>& IssueFolders() {
    static std::map<std::u16string, std::vector<std::u16string>> folders;
    return folders;
}

int PageMessageBox(const platform::MessageBoxRequest& box) {
    if ((box.style & 0xF) == platform::MB_YESNO)
        return platform::IDNO;
    CallPage("messageBox", box.text, box.caption);
    return platform::IDOK;
}

}  // namespace

extern "C" {

// The browser has no files of the reader's: the folders a fresh module starts
// with are removed, so that every path the movie names is missing.
EMSCRIPTEN_KEEPALIVE void web_start(const char16_t* title, int titleLength, int titleHeight,
                                    int width, int height) {
    for (const char* folder : {"/tmp", "/home/web_user", "/home"})
        rmdir(folder);
    mkdir(kConfigHome, 0700);
    // The locale charset ("ANSI" of the commands) is UTF-8, as on a Linux desktop.
    setlocale(LC_ALL, "C.UTF-8");
    setenv("XDG_CONFIG_HOME", kConfigHome, 1);
    // The issue's files are the site's: a path inside this folder names one of them.
    g_workspaceDir = u"/issue";
    platform::SetMessageBoxHandler(PageMessageBox);
    PlayerState& state = Host().State();
    state.m_title = std::u16string(Text(title, titleLength));
    state.m_titleHeight = titleHeight;
    state.m_width = width;
    state.m_height = height;
}

// The reply the command gave (SetReturnValue), or an empty text for none.
EMSCRIPTEN_KEEPALIVE const char16_t* web_flash_call(const char16_t* request, int length) {
    static std::u16string reply;
    OnFlashCall(Host(), Text(request, length));
    reply = Host().TakeReply();
    return reply.c_str();
}

EMSCRIPTEN_KEEPALIVE void web_fs_command(const char16_t* command, int commandLength,
                                         const char16_t* args, int argsLength) {
    OnFSCommand(Host(), Text(command, commandLength), Text(args, argsLength));
}

// The loading movie's progress call for a percentage.
EMSCRIPTEN_KEEPALIVE const char16_t* web_progress_call(double percent) {
    static std::u16string call;
    call = ProgressCall(percent);
    return call.c_str();
}

// The issue's files, one name per line ('/' separators), as the site holds them.
EMSCRIPTEN_KEEPALIVE void web_set_issue_files(const char16_t* names, int length) {
    auto& folders = IssueFolders();
    folders.clear();
    const std::u16string_view all = Text(names, length);
    for (size_t at = 0; at < all.size();) {
        size_t end = all.find(u'\n', at);
        if (end == std::u16string_view::npos)
            end = all.size();
        std::vector<std::u16string> parts;
        std::u16string_view name = all.substr(at, end - at);
        for (size_t p = 0; p <= name.size();) {
            size_t slash = name.find(u'/', p);
            if (slash == std::u16string_view::npos)
                slash = name.size();
            auto& children = folders[platform::JoinComponents(parts)];
            std::u16string part(name.substr(p, slash - p));
            if (std::find(children.begin(), children.end(), part) == children.end())
                children.push_back(part);
            parts.push_back(std::move(part));
            p = slash + 1;
        }
        at = end + 1;
    }
}

// The site's name of the issue's file that a path inside the issue names, as
// the Player finds it (letter case ignored, either separator); empty for none.
EMSCRIPTEN_KEEPALIVE const char16_t* web_resolve_issue_path(const char16_t* path, int length) {
    static std::u16string name;
    const auto found = platform::ResolveComponents(
        Text(path, length), [](const std::vector<std::u16string>& folder) {
            const auto it = IssueFolders().find(platform::JoinComponents(folder));
            return it == IssueFolders().end() ? std::vector<std::u16string>{} : it->second;
        });
    name = found ? platform::JoinComponents(*found) : std::u16string();
    return name.c_str();
}

// What a link a movie opens may do: 0 open it (web, mail), 1 open the issue's
// document, 2 nothing.
EMSCRIPTEN_KEEPALIVE int web_classify_link(const char16_t* scheme, int schemeLength,
                                           int insideIssue, const char16_t* path, int pathLength) {
    return static_cast<int>(
        ClassifyLink(Text(scheme, schemeLength), insideIssue != 0, Text(path, pathLength)));
}

// Merges a .reg file into the store; 1 when it was in the format.
EMSCRIPTEN_KEEPALIVE int web_import_registry(const char* bytes, int length) {
    return RegistryStore::Default().Import({bytes, static_cast<size_t>(length)}) ? 1 : 0;
}

// The bytes the save-text dialog writes for an encoding (0 ANSI, 1 Unicode,
// 2 UTF-8); their count in *size.
EMSCRIPTEN_KEEPALIVE const char* web_encode_text(const char16_t* text, int length, int encoding,
                                                 int* size) {
    static std::string bytes;
    bytes = platform::EncodeTextFile(Text(text, length),
                                     static_cast<platform::TextFileEncoding>(encoding));
    *size = static_cast<int>(bytes.size());
    return bytes.data();
}

}  // extern "C"
