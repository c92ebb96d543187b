#pragma once
// AS2 movies of the kind old issues hold, written with swfkit: they report
// through trace() what a movie of the time would show the reader.

#include <string>

#include "support/package_builder.h"

namespace seam_movies {

// The main movie: its _url, the shared object of the local domain (read, then
// written), and the text it loads by Windows names (LoadVars' variables and
// onData, XML, loadVariables) and a page it loads with MovieClipLoader.
std::string MainMovie(bool useCodepage);
// A page: reports its own _url.
std::string PageMovie();
// Opens, on each click, the links a magazine's pages hold and a few it must not.
std::string LinksMovie();
// Goes full screen on a click and back on the next, reporting the stage's events.
std::string FullScreenMovie();

// A Windows-made issue around `mainMovie`: the files a movie of the time
// loads, named as such issues name them (`\`, any case, GBK text, Chinese
// names), titled "Seams".
test::PackedFiles IssueFiles(const std::string& mainMovie);
// A binary file that a text conversion would change: not UTF-8, and valid
// GB18030 but for its control bytes.
std::string Blob();
}  // namespace seam_movies
