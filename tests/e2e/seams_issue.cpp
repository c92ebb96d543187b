// Writes one of the seam test issues, as made for the Windows viewer (a stub
// viewer in front), for the browser tests of the web export:
//   seams_issue as2|as2-codepage|links|fullscreen|MOVIE.swf OUT
#include <cstdio>
#include <string>

#include "e2e/seam_movies.h"
#include "support/test_support.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: seams_issue as2|as2-codepage|links|fullscreen|MOVIE.swf OUT\n");
        return 2;
    }
    const std::string kind = argv[1];
    std::string movie;
    if (kind == "as2" || kind == "as2-codepage")
        movie = seam_movies::MainMovie(kind == "as2-codepage");
    else if (kind == "links")
        movie = seam_movies::LinksMovie();
    else if (kind == "fullscreen")
        movie = seam_movies::FullScreenMovie();
    else
        movie = test::ReadFile(kind);
    test::WriteFile(argv[2], test::WindowsIssue(seam_movies::IssueFiles(movie), "MZ stub viewer"));
    return 0;
}
