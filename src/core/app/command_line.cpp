#include "core/app/command_line.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "core/package/byte_source.h"
#include "core/package/package_format.h"
#include "core/platform/text.h"

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    const auto error = [](std::string why) {
        return CommandLine{CommandLine::Action::Error, {}, std::move(why)};
    };
    CommandLine c;
    std::vector<std::string> files;
    bool options = true, sized = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "-h" || a == "--help")) {
            return {CommandLine::Action::Help, {}, {}};
        } else if (options && (a == "-V" || a == "--version")) {
            return {CommandLine::Action::Version, {}, {}};
        } else if (options && a == "--thumbnail") {
            c.action = CommandLine::Action::Thumbnail;
        } else if (options && a == "--size") {
            int size = 0;
            const std::string value = i + 1 < args.size() ? args[++i] : "";
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), size);
            if (ec != std::errc() || end != value.data() + value.size() || size < 16 || size > 4096)
                return error("--size takes a number of pixels from 16 to 4096");
            c.coverSize = size;
            sized = true;
        } else if (options && a.size() > 1 && a[0] == '-') {
            return error("unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (c.action == CommandLine::Action::Thumbnail) {
        if (files.size() != 2)
            return error("--thumbnail takes ISSUE OUT.png");
        c.issue = files[0];
        c.cover = files[1];
        return c;
    }
    if (sized)
        return error("--size goes with --thumbnail");
    if (files.size() > 1)
        return error("one issue at a time");
    if (!files.empty())
        c.issue = files[0];
    return c;
}

std::string HelpText(const std::string& program) {
    return "usage: " + program +
           " [ISSUE]\n"
           "       " +
           program +
           " --thumbnail ISSUE OUT.png [--size N]\n"
           "Reads an electronic magazine issue: one made for this Player, or one made for\n"
           "the Windows viewer (an .exe with the issue appended), opened as it is.\n"
           "Without ISSUE the Player reads the issue appended to itself, or asks for one.\n"
           "\n"
           "  --thumbnail    writes the issue's cover as a PNG instead, without a window:\n"
           "                 its main window once the movie has started, at most N pixels\n"
           "                 wide and high (--size, 256 by default)\n"
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
