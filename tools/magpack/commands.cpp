#include "commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "cli.h"
#include "core/package/byte_source.h"
#include "core/package/extraction.h"
#include "core/package/package_format.h"
#include "core/package/package_writer.h"
#include "core/package/window_config.h"
#include "core/platform/ascii_case.h"
#include "core/platform/file_io.h"
#include "core/platform/text.h"
#include "core/platform/workspace.h"
#include "core/services/registry_store.h"
#include "core/xml/xml_document.h"
#include "output_file.h"
#include "progress_bar.h"

namespace fs = std::filesystem;

namespace magpack {
namespace {

std::u16string U16(const fs::path& p) {
    return platform::Utf8ToUtf16(p.string());
}

// The name a file of the issue folder has in the package: relative, `\` separators.
std::u16string PackedName(const fs::path& relative) {
    std::u16string name;
    for (const auto& part : relative) {
        if (!name.empty())
            name += u'\\';
        name += U16(part);
    }
    return name;
}

struct Options {
    std::vector<std::string> positional;
    std::string output, player, loading;
    std::vector<std::string> qk;
    bool noMainMovie = false;
};

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "--no-main-movie") {
            o.noMainMovie = true;
        } else if (a == "-o" || a == "--output") {
            if (!value(o.output))
                return false;
        } else if (a == "--player") {
            if (!value(o.player))
                return false;
        } else if (a == "--loading") {
            if (!value(o.loading))
                return false;
        } else if (a == "--qk") {
            std::string v;
            if (!value(v))
                return false;
            o.qk.push_back(v);
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else {
            o.positional.push_back(a);
        }
    }
    return true;
}

// Every regular file below `dir`, sorted by their packed names for a stable order.
std::vector<fs::path> FilesBelow(const fs::path& dir, const std::set<fs::path>& skipDirs) {
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path rel = fs::relative(it->path(), dir);
        if (it->is_directory() && skipDirs.count(rel)) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file())
            files.push_back(rel);
    }
    std::sort(files.begin(), files.end(),
              [](const fs::path& a, const fs::path& b) { return PackedName(a) < PackedName(b); });
    return files;
}

// Writes a nested package of `dir` to `out`.
bool WriteQk(const fs::path& dir, std::FILE* out) {
    PackageWriter writer(out, PackageWriter::Kind::Nested, 0);
    for (const auto& rel : FilesBelow(dir, {})) {
        if (!writer.AddFile(PackedName(rel), (dir / rel).string()))
            return false;
    }
    return writer.Finish();
}

bool CopyInto(const std::string& from, std::FILE* out, int64_t* copied) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    if (!in)
        return false;
    const bool ok = platform::CopyStream(in, out, *copied);
    std::fclose(in);
    return ok;
}

// An issue is a program: readers start it.
void MakeExecutable(const std::string& path) {
    fs::permissions(path, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
}

}  // namespace

// The Player installed beside this tool (the package puts both in one folder),
// or built beside it in a build tree; empty when there is none.
std::string DefaultPlayer() {
    const fs::path here = fs::canonical("/proc/self/exe").parent_path();
    for (const fs::path& p : {here / "magazine-player", here / "player", here / "../../player"}) {
        if (fs::is_regular_file(p))
            return fs::weakly_canonical(p).string();
    }
    return {};
}

// Warns about window settings the Player reads as sizes it cannot use.
void WarnAboutConfig(const fs::path& config) {
    XmlDocument doc;
    if (!OpenWnd(doc, U16(config))) {
        std::fprintf(stderr,
                     "magpack: warning: config.xml has no MSG/Wnd element: the Player "
                     "opens the issue with its default window\n");
        return;
    }
    const auto check = [&](const char16_t* name, bool required) {
        const std::u16string text = doc.GetAttribute(name);
        if (text.empty() && !required)
            return;  // the Player keeps its default
        if (platform::ParseInt(text) <= 0) {
            std::fprintf(stderr,
                         "magpack: warning: config.xml: %s=\"%s\" is not a size the Player can "
                         "use (it reads %d)\n",
                         platform::Utf16ToUtf8(name).c_str(), platform::Utf16ToUtf8(text).c_str(),
                         platform::ParseInt(text));
        }
    };
    check(u"Width", false);
    check(u"Height", false);
    if (platform::ContainsIgnoringAsciiCase(doc.GetAttribute(u"bShowLoading"), u"TRUE")) {
        check(u"LoadX", true);
        check(u"LoadY", true);
    }
}

int Build(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, o, error))
        return BadUsage(error);
    if (o.positional.size() != 1)
        return BadUsage("build takes one ISSUE_DIR");
    if (o.player.empty())
        o.player = DefaultPlayer();
    if (o.player.empty() || o.loading.empty() || o.output.empty()) {
        return BadUsage("build needs --loading and -o, and --player where no Player is installed");
    }
    const fs::path issue = o.positional[0];
    if (!fs::is_directory(issue))
        return Fail(issue.string() + " is not a folder");
    if (!fs::is_regular_file(o.loading))
        return Fail("no loading movie " + o.loading);
    if (!fs::is_regular_file(issue / "config.xml"))
        return Fail("no config.xml in " + issue.string());
    for (const auto& q : o.qk) {
        if (!fs::is_directory(issue / q))
            return Fail("--qk " + q + " is not a sub-folder of the issue");
    }
    if (!o.noMainMovie && !fs::is_regular_file(issue / "vellmain.swf")) {
        return Fail("no vellmain.swf in " + issue.string() +
                    ": the Player cannot open an issue without its main movie "
                    "(--no-main-movie builds it anyway)");
    }
    WarnAboutConfig(issue / "config.xml");

    OutputFile output(o.output);
    std::FILE* out = output.Get();
    if (!out)
        return Fail("cannot write " + o.output);
    int64_t startpos = 0;
    if (!CopyInto(o.player, out, &startpos))
        return Fail("cannot copy the player " + o.player);

    std::set<fs::path> qkDirs(o.qk.begin(), o.qk.end());
    std::vector<fs::path> files = FilesBelow(issue, qkDirs);
    const fs::path loadingRel =
        fs::exists(issue / fs::path(o.loading).filename()) &&
                fs::equivalent(issue / fs::path(o.loading).filename(), o.loading)
            ? fs::path(o.loading).filename()
            : fs::path();
    int64_t total = fs::file_size(o.loading);
    for (const auto& f : files)
        total += static_cast<int64_t>(fs::file_size(issue / f));
    ProgressBar bar(total);
    int64_t packed = 0;  // by the files before the one being added
    const auto progress = [&](int64_t done) { bar.Update(packed + done); };

    PackageWriter writer(out, PackageWriter::Kind::Appended, startpos);
    bool ok = writer.AddFile(U16(fs::path(o.loading).filename()), o.loading, progress);
    packed += writer.Entries().back().size;
    ok = ok && writer.AddFile(u"config.xml", (issue / "config.xml").string(), progress);
    packed += writer.Entries().back().size;
    for (const auto& f : files) {
        if (!ok)
            break;
        if (f == "config.xml" || f == loadingRel)
            continue;
        ok = writer.AddFile(PackedName(f), (issue / f).string(), progress);
        packed += writer.Entries().back().size;
    }
    for (const auto& q : o.qk) {
        if (!ok)
            break;
        // Packed into a temporary file first so its size is known.
        std::FILE* tmp = std::tmpfile();
        ok = tmp && WriteQk(issue / q, tmp);
        if (ok) {
            std::rewind(tmp);
            ok = writer.AddStream(PackedName(fs::path(q)) + u".qk", tmp);
        }
        if (tmp)
            std::fclose(tmp);
    }
    ok = ok && writer.Finish();
    if (!ok || !output.Commit())
        return Fail("failed writing " + o.output);
    MakeExecutable(o.output);
    return 0;
}

int MakeQk(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, o, error))
        return BadUsage(error);
    if (o.positional.size() != 1 || o.output.empty())
        return BadUsage("qk takes DIR -o OUT.qk");
    if (!fs::is_directory(o.positional[0]))
        return Fail(o.positional[0] + " is not a folder");
    OutputFile output(o.output);
    if (!output.Get())
        return Fail("cannot write " + o.output);
    if (!WriteQk(o.positional[0], output.Get()) || !output.Commit())
        return Fail("failed writing " + o.output);
    return 0;
}

namespace {

// Reads the file list of `path` as either layout. A file whose name ends in ".qk"
// must be a nested package; any other is one when its last two bytes are "QK".
int ReadContents(const std::string& path, PackageReading& reading) {
    const bool qk = platform::EqualsIgnoringAsciiCase(
        platform::Utf8ToUtf16(fs::path(path).extension().string()), u".qk");
    reading = ReadPackageFile(platform::Utf8ToUtf16(path),
                              qk ? PackageLayout::Nested : PackageLayout::ByTrailer);
    if (!reading)
        return Fail(path + ": " + reading.message);
    return 0;
}

}  // namespace

int List(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return BadUsage("list takes one FILE");
    PackageReading reading;
    if (int r = ReadContents(args[0], reading))
        return r;
    const PackageContents& contents = reading.contents;
    const bool nested = reading.nested;
    std::printf("# %s package, data at %lld, %zu files\n", nested ? "nested" : "appended",
                static_cast<long long>(contents.dataStart), contents.entries.size());
    std::printf("%12s %12s  %s\n", "offset", "size", "name");
    for (const auto& e : contents.entries) {
        std::printf("%12lld %12lld  %s\n", static_cast<long long>(e.offset),
                    static_cast<long long>(e.size), platform::Utf16ToUtf8(e.name).c_str());
    }
    return 0;
}

int Extract(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return BadUsage("extract takes FILE DIR");
    PackageReading reading;
    if (int r = ReadContents(args[0], reading))
        return r;
    std::error_code ec;
    fs::create_directories(args[1], ec);
    if (!fs::is_directory(args[1]))
        return Fail("cannot create " + args[1]);
    const std::u16string source = platform::Utf8ToUtf16(fs::absolute(args[0]).string());
    const std::u16string folder = platform::Utf8ToUtf16(fs::absolute(args[1]).string());
    if (reading.nested) {
        const ExtractReport report = ExtractNestedPackage(source, folder);
        return report.Ok() ? 0 : Fail(ExtractReportText(report));
    }
    ExtractionProgress progress;
    bool passedOver = false;
    progress.passedOver = [&](const ExtractReport& report) {
        std::fprintf(stderr, "\nmagpack: %s\n", ExtractReportText(report).c_str());
        passedOver = true;
    };
    {
        ProgressBar bar(100);
        progress.percentChanged = [&](double percent) {
            bar.Update(static_cast<int64_t>(percent));
        };
        ExtractPackageFile(source, folder, progress);
        bar.Update(100);
    }
    if (progress.failed)
        return Fail(ExtractReportText(progress.failure.Get()));
    return passedOver ? 1 : 0;
}

std::string ExtractReportText(const ExtractReport& report) {
    const std::string where = platform::Utf16ToUtf8(report.where);
    std::string text;
    switch (report.problem) {
        case ExtractProblem::None:
            return "done";
        case ExtractProblem::PackageUnopenable:
            text = "cannot open " + where;
            break;
        case ExtractProblem::ListUnwritten:
            text = "cannot write the file list " + where;
            break;
        case ExtractProblem::DiskRefused:
            text = "cannot write the package's files into " + where;
            break;
        case ExtractProblem::NestedUnopenable:
            text = "cannot open the nested package " + where + ", passed over";
            break;
        case ExtractProblem::NestedInvalid:
            text = "the nested package " + where + " holds no valid package, passed over";
            break;
    }
    return report.error ? text + ": " + std::strerror(report.error) : text;
}

int Convert(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, o, error))
        return BadUsage(error);
    if (o.positional.size() != 1 || o.output.empty())
        return BadUsage("convert takes OLD -o NEW");
    if (o.player.empty())
        o.player = DefaultPlayer();
    if (!fs::is_regular_file(o.player))
        return Fail("no player at " + o.player + " (use --player)");
    const PackageReading reading =
        ReadPackageFile(platform::Utf8ToUtf16(o.positional[0]), PackageLayout::Appended);
    if (!reading)
        return Fail(o.positional[0] + ": " + reading.message);
    const PackageContents& contents = reading.contents;
    if (contents.dataStart < 0 || contents.dataStart > reading.span.offset)
        return Fail("the package's startpos is damaged");
    // The first startpos is the only byte range that changes: it names where the
    // data begins, which is now after this player.
    std::string list = reading.list;
    if (!SetFirstStartpos(list, static_cast<int64_t>(fs::file_size(o.player))))
        return Fail("the first File element's startpos cannot be rewritten");
    OutputFile output(o.output);
    std::FILE* out = output.Get();
    if (!out)
        return Fail("cannot write " + o.output);
    int64_t copied = 0;
    bool ok = CopyInto(o.player, out, &copied);
    FileByteSource source(platform::Utf8ToUtf16(o.positional[0]));
    ok = ok && CopyRange(source, contents.dataStart, reading.span.offset, out);
    const std::string trailer =
        BuildAppendedTrailer(static_cast<uint32_t>(list.size()), reading.trailer.substr(4));
    ok = ok && std::fwrite(list.data(), 1, list.size(), out) == list.size();
    ok = ok && std::fwrite(trailer.data(), 1, trailer.size(), out) == trailer.size();
    if (!ok || !output.Commit())
        return Fail("failed writing " + o.output);
    MakeExecutable(o.output);
    return 0;
}

}  // namespace magpack

namespace magpack {

std::string RegistryErrorText(const std::string& file, const RegistryStore::ImportError& error) {
    return file + (error.line ? ":" + std::to_string(error.line) : std::string()) + ": " +
           error.what;
}

int ImportRegistry(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return BadUsage("import-reg takes one FILE.reg");
    std::string bytes;
    if (!platform::ReadFileBytes(args[0], bytes))
        return Fail("cannot read " + args[0]);
    RegistryStore& store = RegistryStore::Default();
    RegistryStore::ImportError error;
    if (!store.Import(bytes, &error))
        return Fail(RegistryErrorText(args[0], error));
    std::printf("imported into %s\n", RegistryStore::DefaultPath().c_str());
    return 0;
}

}  // namespace magpack
