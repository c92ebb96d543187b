// Writes the demo issue's ActionScript 2 page: the movie its secondary window
// shows.   demo_page OUT.swf

#include <cstdio>

#include "swf_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo_page OUT.swf\n");
        return 2;
    }
    using namespace swfkit;
    Movie movie(8, 360, 240, 24);
    movie.Background(0xFFF7E0);
    movie.Rectangle(0, 0, 360, 44, 0x8A5A00, 1);
    movie.Rectangle(20, 180, 320, 8, 0xF0C419, 2);
    Avm1 code =
        TextField("title", 10, 16, 8, 330, 30, "副刊 · Supplement (ActionScript 2)", 18, 0xFFFFFF);
    const Avm1 body =
        TextField("body", 11, 16, 60, 330, 110,
                  "这一页由 swfkit 写成的 AS2 影片显示在播放器的第二个窗口里。", 14, 0x3A2A00);
    code.Push(std::string("swfkit page loaded")).Trace();
    movie.DoAction(code).DoAction(body);
    movie.ShowFrame();
    return movie.WriteTo(argv[1]) ? 0 : 1;
}
