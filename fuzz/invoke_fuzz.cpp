// Decodes arbitrary invoke requests and runs both command sets against a host
// that does nothing: no request may crash the dispatch or the argument readers.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/bridge/external_interface.h"
#include "core/bridge/pipe_split.h"
#include "core/bridge/player_host.h"
#include "core/platform/message_box.h"
#include "core/platform/text.h"
#include "support/null_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        platform::SetMessageBoxHandler([](const platform::MessageBoxRequest&) { return 7; });  // No
        // No registry file: the commands read and write values as on a machine
        // without the keys, and no input costs a file system call.
        setenv("XDG_CONFIG_HOME", "/nonexistent/magazine-player-fuzz", 1);
        return true;
    }();
    (void)quiet;
    // A request of a movie's call is a few hundred characters.
    const std::u16string text = platform::Utf8ToUtf16(
        std::string_view(reinterpret_cast<const char*>(data), std::min<size_t>(size, 1024)));
    InvokeRequest request;
    if (request.Decode(text)) {
        while (request.NextString() || request.NextNumber()) {
        }
    }
    // Commands that touch files are left out: they would write wherever the input says.
    static const std::u16string safe[] = {u"brivol_windowsize", u"brivol_windowalpha",
                                          u"brivol_openflashwindow", u"brivol_systray"};
    test::NullHost host;
    for (const auto& name : safe) {
        const size_t at = text.find(u"name=\"x\"");
        if (at == std::u16string::npos)
            break;
        std::u16string renamed = text;
        renamed.replace(at, 8, u"name=\"" + name + u"\"");
        OnFlashCall(host, renamed);
    }
    auto [first, rest] = SplitFirst(text);
    OnFSCommand(host, u"readreg", text);
    OnFSCommand(host, u"addregstring", rest);
    OnFSCommand(host, u"isonline", first);
    return 0;
}
