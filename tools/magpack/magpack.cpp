// magpack: builds, lists, verifies and extracts magazine issues.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "commands.h"

namespace {

void Usage(std::FILE* out) {
    std::fputs(
        "usage:\n"
        "  magpack build [--player PLAYER] --loading LOADING.swf [--qk SUBDIR]... ISSUE_DIR -o "
        "OUT\n"
        "      Appends an issue to a copy of PLAYER: the loading movie first, config.xml\n"
        "      second, then every other file of ISSUE_DIR (sub-folders included). Each\n"
        "      --qk SUBDIR is packed as one nested package SUBDIR.qk instead. ISSUE_DIR\n"
        "      must hold vellmain.swf unless --no-main-movie is given. PLAYER defaults\n"
        "      to the Player installed beside magpack.\n"
        "  magpack qk DIR -o OUT.qk       Makes a stand-alone nested package of DIR.\n"
        "  magpack list FILE              Lists name, size and absolute offset of every file.\n"
        "  magpack extract FILE DIR       Extracts FILE into DIR exactly as the Player does.\n"
        "  magpack convert OLD -o NEW [--player PLAYER]\n"
        "      Re-appends the package of any issue (e.g. one made for another viewer) to\n"
        "      this Player, keeping every byte of the package but the first startpos.\n"
        "  magpack import-reg FILE.reg    Merges a .reg file into the registry the Player\n"
        "      reads and writes (keys that movies write to must exist first).\n"
        "  magpack web ISSUE -o SITE [--reg FILE.reg] [--assets DIR]\n"
        "      Exports an issue as a folder of static files that any web server serves and\n"
        "      any current browser reads: the issue's files, the movie engine, the font and\n"
        "      a page playing the issue. With --reg the page imports FILE.reg into the\n"
        "      reader's browser storage. SITE must be empty, missing or a former export.\n"
        "  magpack archive ISSUE_OR_FOLDER... -o SITE [--jobs N] [--no-covers]\n"
        "                  [--player PLAYER] [--assets DIR]\n"
        "      Exports many issues (folders searched to the bottom) as one static site:\n"
        "      a catalogue with covers, titles and a search box, each issue in a folder\n"
        "      of its own, one shared copy of the page, the engine and the font. Run\n"
        "      again, it exports only the issues whose bytes changed and drops those\n"
        "      no longer given. Files that hold no readable issue are listed and left\n"
        "      out. Covers are drawn by the Player (PLAYER, default: the one installed\n"
        "      beside magpack), N issues at once (default: one per processor); with\n"
        "      --no-covers, or where the Player draws none, the title bitmap stands in.\n"
        "      SITE must be empty, missing or a former archive.\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        Usage(args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        Usage(stdout);
        return 0;
    }
    int result = -1;
    if (command == "build")
        result = magpack::Build(args);
    if (command == "qk")
        result = magpack::MakeQk(args);
    if (command == "list")
        result = magpack::List(args);
    if (command == "extract")
        result = magpack::Extract(args);
    if (command == "import-reg")
        result = magpack::ImportRegistry(args);
    if (command == "web")
        result = magpack::ExportWeb(args);
    if (command == "archive")
        result = magpack::ExportArchive(args);
    if (command == "convert")
        result = magpack::Convert(args);
    if (result == -1) {
        std::fprintf(stderr, "magpack: unknown command '%s'\n", command.c_str());
        Usage(stderr);
        return 2;
    }
    return result;
}
