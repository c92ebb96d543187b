#include "e2e/seam_movies.h"

#include "core/platform/text.h"
#include "swf_writer.h"

using swfkit::Avm1;
using swfkit::Movie;

namespace seam_movies {

namespace {

// A stage of one colour; `marked` adds a red 100 px square at its top left,
// to see how the stage is scaled.
std::string Bytes(const Avm1& code, uint32_t colour = 0x3080f0, bool marked = false) {
    Movie movie(8, 640, 480, 24);
    movie.Background(colour).Rectangle(0, 0, 640, 480, colour, 1);
    if (marked)
        movie.Rectangle(0, 0, 100, 100, 0xe02020, 2);
    movie.DoAction(code).ShowFrame();
    const auto bytes = movie.Bytes();
    return {bytes.begin(), bytes.end()};
}

// name = new Class()
void New(Avm1& a, const std::string& name, const std::string& cls) {
    a.Push(name).Push(0).Push(cls).NewObject().SetVariable();
}

// object.member = function(params) { trace(label + this.field) }, or of the
// first parameter when `field` is empty.
void OnEvent(Avm1& a, const std::string& object, const std::string& member,
             const std::string& label, const std::string& field) {
    Avm1 body;
    body.Push(label);
    if (field.empty()) {
        body.Push("arg").GetVariable();
    } else {
        body.Push("this").GetVariable().Push(field).GetMember();
    }
    body.Add2().Trace();
    a.GetPath(object).Push(member).DefineFunction("", {"arg"}, body).SetMember();
}

// object.method(argument)
void CallWith(Avm1& a, const std::string& object, const std::string& method,
              const std::string& argument) {
    a.Push(argument).Call(object, method, 1).Pop();
}

}  // namespace

std::string MainMovie(bool useCodepage) {
    Avm1 a;
    a.Push("System").GetVariable().Push("useCodepage").Push(useCodepage).SetMember();
    a.Push("url2 ").Push("_url").GetVariable().Add2().Trace();
    // The local domain's shared object: what the last run (of any issue) left.
    a.Push("so")
        .Push("/")
        .Push("seams")
        .Push(2)
        .Push("SharedObject")
        .GetVariable()
        .Push("getLocal")
        .CallMethod()
        .SetVariable();
    a.Push("shared2 ").GetPath("so.data").Push("n").GetMember().Add2().Trace();
    a.GetPath("so.data").Push("n").Push("saved").SetMember();
    a.Push(0).GetPath("so").Push("flush").CallMethod().Pop();

    New(a, "vars", "LoadVars");
    OnEvent(a, "vars", "onLoad", "vars2 ", "v");
    CallWith(a, "vars", "load", "DATA/B.TXT");
    New(a, "raw", "LoadVars");
    OnEvent(a, "raw", "onData", "data2 ", "");
    CallWith(a, "raw", "load", "Data\\B.txt");
    New(a, "utf", "LoadVars");
    OnEvent(a, "utf", "onLoad", "utf2 ", "v");
    CallWith(a, "utf", "load", "data/U.TXT");
    New(a, "doc", "XML");
    a.GetPath("doc").Push("ignoreWhite").Push(true).SetMember();
    {
        Avm1 body;
        body.Push("xml2 ")
            .Push("this")
            .GetVariable()
            .Push("firstChild")
            .GetMember()
            .Push("firstChild")
            .GetMember()
            .Push("nodeValue")
            .GetMember()
            .Add2()
            .Trace();
        a.GetPath("doc").Push("onLoad").DefineFunction("", {"ok"}, body).SetMember();
    }
    CallWith(a, "doc", "load", "图片/说明.XML");
    // loadVariables into a clip, whose onData hears the end.
    a.Push(6).Push("vt").Push(2).GetPath("_root").Push("createEmptyMovieClip").CallMethod().Pop();
    OnEvent(a, "_root.vt", "onData", "loadvariables2 ", "v");
    a.Push("DATA\\b.TXT").Push("_root.vt").GetUrl2(Avm1::Send::None, /*loadVariables=*/true);
    // A style sheet.
    a.Push("css").Push(0).GetPath("TextField").Push("StyleSheet").NewMethod().SetVariable();
    {
        Avm1 body;
        body.Push("css2 ")
            .Push(".title")
            .Push(1)
            .Push("this")
            .GetVariable()
            .Push("getStyle")
            .CallMethod()
            .Push("fontFamily")
            .GetMember()
            .Add2()
            .Trace();
        a.GetPath("css").Push("onLoad").DefineFunction("", {"ok"}, body).SetMember();
    }
    CallWith(a, "css", "load", "Styles/MAIN.css");
    // A page by another case and separator, into a clip of its own.
    a.Push(5)
        .Push("holder")
        .Push(2)
        .GetPath("_root")
        .Push("createEmptyMovieClip")
        .CallMethod()
        .Pop();
    New(a, "pages", "MovieClipLoader");
    a.GetPath("_root.holder")
        .Push("PAGES\\Page2.SWF")
        .Push(2)
        .GetPath("pages")
        .Push("loadClip")
        .CallMethod()
        .Pop();
    a.GetUrl("FSCommand:start", "");
    a.Push("ready2").Trace();
    a.Stop();
    return Bytes(a);
}

std::string PageMovie() {
    Avm1 a;
    a.Push("page2 ").Push("this").GetVariable().Push("_url").GetMember().Add2().Trace();
    a.Stop();
    return Bytes(a, 0xf0a030);
}

std::string LinksMovie() {
    Avm1 click;
    const std::pair<const char*, const char*> links[] = {
        {"http://example.com/publisher", "_blank"},
        {"mailto:editors@example.com?subject=%E6%9D%82%E5%BF%97", ""},
        {"javascript:document.body.style.background='red'", ""},
        {"javascript:alert(1)", "_blank"},
        {"file:///etc/passwd", "_blank"},
        {"Docs\\ReadMe.HTM", "_blank"},
        {"run.sh", "_blank"},
        {"data:text/html,<b>x</b>", "_blank"},
        {"https://example.com/self", "_self"},
    };
    for (const auto& [url, target] : links)
        click.GetUrl(url, target);
    // Links with variables (the engine sends those of the function it runs in):
    // in the URL for GET, lost for POST.
    click.Push("https://example.com/post").Push("_blank").GetUrl2(Avm1::Send::Post);
    click.Push("https://example.com/form").Push("_blank").GetUrl2(Avm1::Send::Get);
    click.Push("clicked").Trace();
    Avm1 a;
    a.GetPath("_root").Push("onMouseDown").DefineFunction("", {}, click).SetMember();
    a.GetUrl("FSCommand:start", "");
    a.Push("ready2").Trace();
    a.Stop();
    return Bytes(a);
}

std::string FullScreenMovie() {
    Avm1 a;
    // Clicks alternate between two handlers: full screen, then back.
    Avm1 enter, leave;
    enter.GetPath("Stage").Push("displayState").Push("fullScreen").SetMember();
    enter.GetPath("_root").Push("onMouseDown").GetPath("_root.leave").SetMember();
    leave.GetPath("Stage").Push("displayState").Push("normal").SetMember();
    leave.GetPath("_root").Push("onMouseDown").GetPath("_root.enter").SetMember();
    a.GetPath("_root").Push("enter").DefineFunction("", {}, enter).SetMember();
    a.GetPath("_root").Push("leave").DefineFunction("", {}, leave).SetMember();
    a.GetPath("_root").Push("onMouseDown").GetPath("_root.enter").SetMember();
    New(a, "listener", "Object");
    OnEvent(a, "listener", "onFullScreen", "fullscreen2 ", "");
    a.GetPath("listener").Push(1).GetPath("Stage").Push("addListener").CallMethod().Pop();
    a.GetUrl("FSCommand:start", "");
    a.Push("ready2").Trace();
    a.Stop();
    return Bytes(a, 0x3080f0, true);
}

namespace {

std::string Gbk(const std::u16string& text) {
    return platform::FromUtf16(text, "GB18030");
}

}  // namespace

std::string Blob() {
    std::string b = "\xB1\xE0\xD5\xDF";
    for (int i = 0; i < 300; ++i)
        b += static_cast<char>((i * 7) & 0xFF);
    return b;
}

test::PackedFiles IssueFiles(const std::string& mainMovie) {
    Avm1 idle;
    idle.Stop();
    return {{"loading.swf", Bytes(idle, 0xffffff)},
            {"config.xml",
             "<MSG><Wnd Width='640' Height='480' bShowTitle='true' Title='Seams'/></MSG>"},
            {"vellmain.swf", mainMovie},
            {"data\\b.txt", Gbk(u"v=编者㐀&w=1")},
            {"data\\u.txt", "v=编者㐀"},
            {"data\\blob.dat", Blob()},
            {"图片\\说明.xml", Gbk(u"<a>编者㐀</a>")},
            {"pages\\page2.swf", PageMovie()},
            {"docs\\readme.htm", "<p>read me</p>"},
            {"styles\\main.css", Gbk(u".title { font-family: 宋体; }")},
            {"run.sh", "#!/bin/sh\n"}};
}

}  // namespace seam_movies
