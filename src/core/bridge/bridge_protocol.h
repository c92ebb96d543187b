#pragma once
// How the Flash control's page and the host talk. The page (res/web/host.html
// with bridge.js) runs the movie engine; everything it gets comes through the
// Player's own URL scheme:
//
//   player://app/page/NAME      the host page and its script (resources)
//   player://app/ruffle/NAME    the movie engine's files (resources)
//   player://app/font/cjk       the CJK font, for the engine's device text
//   player://localhost/ISSUE/PATH
//                               a file of the workspace; ISSUE names the issue
//                               (package/issue_identity.h). The engine keys a
//                               movie's saved objects by this URL's host and
//                               path, so every issue shares the one local
//                               domain, as local files did in Flash, and an
//                               issue's own objects follow it from run to run.
//   player://mN/NAME            a movie a command named outside the workspace
//   player://app/call?engine=ID&kind=KIND&data=TEXT
//                               a call from the movie to the host
//   player://app/storage?op=OP&key=KEY&value=TEXT
//                               the engine's saved objects (get, set, remove):
//                               the page's local storage is the host's store
//
// The host drives the page with runJavaScript: playerHost.load(url, base,
// config), unload(), play(), stop() and call(xml), which returns the movie's
// answer as XML.
//
// A call from the page is a synchronous XMLHttpRequest: the movie's script waits
// until the host answers, as it waited for the original control. It is a GET
// with the text in the query string because Qt 6.4's scheme handler cannot read
// a request body. The kinds of call:
//
//   | kind        | data                            | the host                         |
//   |-------------|---------------------------------|----------------------------------|
//   | flashcall   | the ExternalInterface request   | raises FlashCall                 |
//   | fscommand   | JSON array [command, args]      | raises FSCommand                 |
//   | callresult  | the movie's answer to a call    | ends CallFunction's wait         |
//   | drawn       | nothing                         | the movie's first frame is up    |
//   | moviefailed | the engine's message            | the movie cannot be parsed       |
//
// The answer is JSON: {"op":"return"} with "value" (the XML that SetReturnValue
// gave) and "queued" (calls into the movie made while it ran an FSCommand, to be
// made as soon as its script returns); or {"op":"call","xml":...} while the movie
// waits: the host calls into the movie, the page answers with a callresult
// request and waits again for the final answer.
//
// bridge.js keeps the same names in its PROTOCOL block; a test holds the two to
// the same values.

namespace bridge_protocol {

inline constexpr char kScheme[] = "player";
inline constexpr char kAppHost[] = "app";
inline constexpr char kWorkspaceHost[] = "localhost";
inline constexpr char kPagePrefix[] = "/page/";
inline constexpr char kEnginePrefix[] = "/ruffle/";
inline constexpr char kFontPath[] = "/font/cjk";
inline constexpr char kCallPath[] = "/call";
inline constexpr char kCallUrl[] = "player://app/call";
inline constexpr char kStoragePath[] = "/storage";
inline constexpr char kStorageUrl[] = "player://app/storage";
inline constexpr char kHostPageUrl[] = "player://app/page/host.html";
inline constexpr char kFontUrl[] = "player://app/font/cjk";

inline constexpr char kKindFlashCall[] = "flashcall";
inline constexpr char kKindFsCommand[] = "fscommand";
inline constexpr char kKindCallResult[] = "callresult";
inline constexpr char kKindDrawn[] = "drawn";
inline constexpr char kKindMovieFailed[] = "moviefailed";

inline constexpr char kOpReturn[] = "return";
inline constexpr char kOpCall[] = "call";

// How long the host waits for a movie to answer a call made while no call of
// its own is pending (a movie that never answers must not freeze the Player).
inline constexpr int kCallFunctionTimeoutMs = 30000;
// The engine's limit on one script run: a movie's call that waits for a modal
// dialog counts against it, and a reader may leave a dialog open for a day.
inline constexpr int kMaxScriptSeconds = 24 * 3600;
// While the window is hidden no animation frames come; a timer this long runs
// each frame instead (bridge.js).
inline constexpr int kHiddenFrameMs = 40;

}  // namespace bridge_protocol
