#include "app/command_line.h"

#include <cerrno>
#include <cstring>

#include "package/byte_source.h"
#include "package/package_format.h"
#include "platform/text.h"
#include "xml/xml_document.h"

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine c;
    bool options = true;
    for (const std::string& a : args) {
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "-h" || a == "--help")) {
            return {CommandLine::Action::Help, {}, {}};
        } else if (options && (a == "-V" || a == "--version")) {
            return {CommandLine::Action::Version, {}, {}};
        } else if (options && a.size() > 1 && a[0] == '-') {
            return {CommandLine::Action::Error, {}, "unknown option " + a};
        } else if (!c.issue.empty()) {
            return {CommandLine::Action::Error, {}, "one issue at a time"};
        } else {
            c.issue = a;
        }
    }
    return c;
}

std::string HelpText(const std::string& program) {
    return "usage: " + program +
           " [ISSUE]\n"
           "Reads an electronic magazine issue: one made for this Player, or one made for\n"
           "the Windows viewer (an .exe with the issue appended), opened as it is.\n"
           "Without ISSUE the Player reads the issue appended to itself, or asks for one.\n"
           "\n"
           "  -h, --help     this text\n"
           "  -V, --version  the version\n";
}

std::string VersionText() {
    return std::string("magazine-player ") + PLAYER_VERSION + "\n";
}

bool HoldsIssue(const std::string& path, std::string& why) {
    FileByteSource source(platform::Utf8ToUtf16(path));
    if (!source.IsOpen()) {
        why = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    const FileListSpan span = LocateAppendedList(source);
    XmlDocument list;
    PackageContents contents;
    if (!list.LoadBytes(ReadSpan(source, span)) || !ReadAppendedEntries(list, span, contents)) {
        why = path + " holds no magazine issue";
        return false;
    }
    return true;
}
