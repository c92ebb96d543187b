#include "app/command_line.h"

#include <cstdint>
#include <cstring>

#include "package/byte_source.h"
#include "package/package_format.h"
#include "platform/text.h"

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

bool HasAppendedData(const std::string& path) {
    FileByteSource source(platform::Utf8ToUtf16(path));
    unsigned char h[64] = {};
    if (!source.IsOpen() || source.ReadAt(0, h, sizeof h) != sizeof h ||
        std::memcmp(h, "\177ELF", 4) != 0 || h[4] != 2 || h[5] != 1)
        return true;  // not a 64-bit little-endian ELF image: count it all as data
    const auto le = [&](int at, int bytes) {
        uint64_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | h[at + i];
        return v;
    };
    const uint64_t imageEnd = le(0x28, 8) + le(0x3C, 2) * le(0x3A, 2);
    return static_cast<uint64_t>(source.Size()) > imageEnd;
}

bool HoldsIssue(const std::string& path, std::string& why) {
    const PackageReading reading =
        ReadPackageFile(platform::Utf8ToUtf16(path), PackageLayout::Appended);
    if (reading.error == PackageError::CannotOpen)
        why = "cannot open " + path + ": " + reading.message;
    else if (!reading)
        why = path + " holds no magazine issue";
    return static_cast<bool>(reading);
}
