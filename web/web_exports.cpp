// What the page calls: the two command sets, the registry import and the
// encodings of the save-text dialog. Texts come in as UTF-16 with a length;
// texts going out stay valid until the next call of the same function.

#include <emscripten.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "app/workspace.h"
#include "bridge/external_interface.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "services/registry_store.h"
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
    // The files are the site's: a path inside this folder names one of them.
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
