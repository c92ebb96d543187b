// magpack web: an issue as a folder of static files that any web server
// serves and any current browser reads. The page itself (web/site, the command
// sets compiled to WebAssembly, the movie engine) comes from the assets
// folder; this writes the issue's files, the font, and site.json, which tells
// the page what the Player would read from config.xml and the package.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "core/bridge/font_names.h"
#include "core/bridge/movie_text.h"
#include "core/bridge/player_host.h"
#include "core/package/extraction.h"
#include "core/package/package_format.h"
#include "core/package/window_config.h"
#include "core/platform/case_path.h"
#include "core/platform/file_io.h"
#include "core/platform/path.h"
#include "core/platform/text.h"
#include "core/services/registry_store.h"
#include "output_file.h"
#include "web_site.h"

#ifndef MAGPACK_WEB_ASSETS
#define MAGPACK_WEB_ASSETS ""
#endif

namespace fs = std::filesystem;

namespace magpack {
namespace {

// What site.json marks: a folder holding it is a former export and may be
// written over; any other folder must be empty.
constexpr char kSiteFile[] = "site.json";
constexpr char kIssueFolder[] = "issue";

struct WebOptions {
    std::string issue, site, reg, assets;
};

bool ParseWebOptions(const std::vector<std::string>& args, WebOptions& o, std::string& error) {
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string* into = a == "-o" || a == "--output" ? &o.site
                            : a == "--reg"               ? &o.reg
                            : a == "--assets"            ? &o.assets
                                                         : nullptr;
        if (into) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            *into = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 1 || o.site.empty()) {
        error = "web takes ISSUE -o SITE";
        return false;
    }
    o.issue = positional[0];
    return true;
}

}  // namespace

std::string Json(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Json(std::u16string_view text) {
    return Json(platform::Utf16ToUtf8(text));
}

// The page's files: given, installed beside magpack (share/magazine-player/web),
// or those of the build tree magpack was built in.
fs::path AssetsFolder(const std::string& given) {
    if (!given.empty())
        return given;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    const fs::path installed = exe.parent_path().parent_path() / "share/magazine-player/web";
    if (!ec && fs::is_regular_file(installed / "index.html"))
        return installed;
    return MAGPACK_WEB_ASSETS;
}

bool HoldsPageFiles(const fs::path& assets) {
    return fs::is_regular_file(assets / "index.html") &&
           fs::is_regular_file(assets / "player-core.wasm");
}

namespace {

// Makes `site` ready for a new export without losing anything that is not
// one: an empty or missing folder, or a former export whose issue, font and
// data are replaced.
bool PrepareSite(const fs::path& site, std::string& error) {
    std::error_code ec;
    if (fs::exists(site, ec) && !fs::is_directory(site, ec)) {
        error = site.string() + " is not a folder";
        return false;
    }
    if (fs::is_directory(site, ec) && !fs::is_empty(site, ec)) {
        if (!fs::is_regular_file(site / kSiteFile)) {
            error =
                site.string() + " is not empty and holds no earlier export: choose another folder";
            return false;
        }
        for (const char* stale : {kIssueFolder, "font", "registry.reg", kSiteFile})
            fs::remove_all(site / stale, ec);
    }
    fs::create_directories(site / kIssueFolder, ec);
    if (!fs::is_directory(site / kIssueFolder)) {
        error = "cannot create " + (site / kIssueFolder).string();
        return false;
    }
    return true;
}

// Every file below `folder` by its name relative to it ('/' separators), with its size.
std::map<std::string, uintmax_t> FilesBelow(const fs::path& folder) {
    std::map<std::string, uintmax_t> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).generic_string()] = entry.file_size();
    }
    return files;
}

// The name of the issue's file that `name` names, found as the Player finds it
// (letter case ignored, either separator); empty when there is none.
std::string FindIgnoringCase(const fs::path& issueFolder, const std::string& name) {
    const auto found = platform::ResolveInFolder(issueFolder.string(), platform::Utf8ToUtf16(name));
    if (!found || !fs::is_regular_file(*found))
        return {};
    return fs::relative(*found, issueFolder).generic_string();
}

// The issue's text as the Player hands it to the movies (GBK text as UTF-8):
// a browser's movie engine gets the same from the plain files.
bool ConvertCodePageText(const fs::path& issueFolder) {
    const std::string codePage = MovieCodePage();
    for (const auto& entry : fs::recursive_directory_iterator(issueFolder)) {
        const MovieFileKind kind =
            KindOfMovieFile(platform::Utf8ToUtf16(entry.path().filename().string()));
        constexpr uintmax_t kLargestText = 16 << 20;
        if (!entry.is_regular_file() || kind == MovieFileKind::Bytes ||
            entry.file_size() > kLargestText) {
            continue;
        }
        std::string bytes;
        if (!platform::ReadFileBytes(entry.path().string(), bytes))
            return false;
        if (const auto text = MovieTextAsUtf8(bytes, kind, codePage)) {
            if (!platform::WriteFileAtomically(entry.path().string(), *text))
                return false;
        }
    }
    return true;
}

}  // namespace

void ContentHash::Add(std::string_view bytes) {
    for (const char c : bytes) {
        m_hash ^= static_cast<unsigned char>(c);
        m_hash *= 1099511628211ull;
    }
}

std::string ContentHash::Id() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(m_hash));
    return text;
}

std::string ContentId(std::string_view bytes) {
    ContentHash hash;
    hash.Add(bytes);
    return hash.Id();
}

namespace {

// Read by the Player's own registry parser, in a store of its own that is
// thrown away.
bool ValidRegistryFile(const std::string& bytes, RegistryStore::ImportError& error) {
    std::string scratch = (fs::temp_directory_path() / "magpack-reg-XXXXXX").string();
    if (!mkdtemp(scratch.data())) {
        error = {0, "no temporary folder to read it in"};
        return false;
    }
    const bool ok = RegistryStore(scratch + "/registry.reg").Import(bytes, &error);
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return ok;
}

}  // namespace

std::optional<IssueSite> WriteIssueSite(const std::string& issuePath, const fs::path& folder,
                                        const SiteShared& shared, std::string& error) {
    const PackageReading reading =
        ReadPackageFile(platform::Utf8ToUtf16(issuePath), PackageLayout::Appended);
    if (!reading) {
        error = reading.message;
        return std::nullopt;
    }
    // The Player's own extraction: nested packages unpacked, unsafe names refused.
    const fs::path issueFolder = folder / kIssueFolder;
    std::error_code ec;
    fs::create_directories(issueFolder, ec);
    const std::u16string extracted = platform::Utf8ToUtf16(issueFolder.string());
    ExtractionProgress progress;
    ExtractPackageFile(platform::Utf8ToUtf16(fs::absolute(issuePath).string()), extracted,
                       progress);
    if (progress.failed) {
        error = ExtractReportText(progress.failure.Get());
        return std::nullopt;
    }
    if (!ConvertCodePageText(issueFolder)) {
        error = "cannot write the issue's files into " + issueFolder.string();
        return std::nullopt;
    }
    const auto files = FilesBelow(issueFolder);
    IssueSite out;
    out.mainMovie = FindIgnoringCase(issueFolder, "vellmain.swf");
    if (out.mainMovie.empty()) {
        error = "no main movie vellmain.swf";
        return std::nullopt;
    }
    const std::u16string configPath = platform::JoinPath(extracted, u"config.xml");
    const auto mainConfig = ReadMainWindowConfig(configPath);
    const auto loadingConfig = ReadLoadingConfig(configPath);
    std::string loadingMovie;
    if (loadingConfig && loadingConfig->showLoading) {
        const std::string first = platform::NativePath(progress.loadingMoviePath.Get());
        const std::string relative = fs::relative(first, issueFolder).generic_string();
        if (files.count(relative) && relative != out.mainMovie)
            loadingMovie = relative;
    }
    std::string titleBitmap = shared.assets + "title.bmp";  // the Player's own
    if (mainConfig && !mainConfig->titleBitmap.empty()) {
        const std::string own =
            FindIgnoringCase(issueFolder, platform::Utf16ToUtf8(mainConfig->titleBitmap));
        if (!own.empty())
            titleBitmap = out.titleBitmap = std::string(kIssueFolder) + "/" + own;
    }
    out.title = platform::Utf16ToUtf8(mainConfig ? mainConfig->title : std::u16string());
    out.files = files.size();
    for (const auto& [name, size] : files)
        out.bytes += size;

    const bool showTitle = mainConfig && mainConfig->showTitle;
    const PlayerState window;  // the Player's own sizes where config.xml names none
    std::string json = "{\n";
    json += "  \"title\": " + Json(out.title) + ",\n";
    json += "  \"width\": " +
            std::to_string(mainConfig && mainConfig->width ? *mainConfig->width : window.m_width) +
            ",\n";
    json +=
        "  \"height\": " +
        std::to_string(mainConfig && mainConfig->height ? *mainConfig->height : window.m_height) +
        ",\n";
    json += std::string("  \"fullScreen\": ") +
            (mainConfig && mainConfig->fullScreen ? "true" : "false") + ",\n";
    json += "  \"titleHeight\": " + std::to_string(showTitle ? window.m_titleHeight : 0) + ",\n";
    json += "  \"titleBitmap\": " + Json(titleBitmap) + ",\n";
    json += "  \"mainMovie\": " + Json(out.mainMovie) + ",\n";
    json +=
        "  \"loading\": " +
        (loadingMovie.empty() ? std::string("null")
                              : "{\"movie\":" + Json(loadingMovie) +
                                    ",\"width\":" + std::to_string(loadingConfig->loadX) +
                                    ",\"height\":" + std::to_string(loadingConfig->loadY) + "}") +
        ",\n";
    if (!shared.assets.empty())
        json += "  \"assets\": " + Json(shared.assets) + ",\n";
    json += "  \"registry\": " + shared.registryJson + ",\n";
    json += "  \"font\": " + shared.fontJson + ",\n";
    json += "  \"files\": {";
    bool first = true;
    for (const auto& [name, size] : files) {
        json += (first ? "\n    " : ",\n    ") + Json(name) + ": " + std::to_string(size);
        first = false;
    }
    json += "\n  }\n}\n";
    if (!WriteWhole((folder / kSiteFile).string(), json)) {
        error = "cannot write " + (folder / kSiteFile).string();
        return std::nullopt;
    }
    return out;
}

std::string CopyFont(const std::optional<CjkFont>& cjk, const fs::path& site,
                     const std::string& folderInSite, const std::string& base) {
    if (!cjk)
        return "null";
    const fs::path name = fs::path(folderInSite) / fs::path(cjk->path).filename();
    std::error_code ec;
    fs::create_directories(site / folderInSite, ec);
    fs::copy_file(cjk->path, site / name, fs::copy_options::update_existing, ec);
    if (ec)
        return "null";
    std::string font = "{\"url\":" + Json(base + name.generic_string()) + ",\"faces\":[";
    for (size_t i = 0; i < cjk->faces.size(); ++i)
        font += (i ? "," : "") + Json(cjk->faces[i]);
    return font + "]}";
}

bool WriteWhole(const std::string& path, std::string_view bytes) {
    OutputFile out(path);
    return out.Get() && std::fwrite(bytes.data(), 1, bytes.size(), out.Get()) == bytes.size() &&
           out.Commit();
}

int ExportWeb(const std::vector<std::string>& args) {
    WebOptions o;
    std::string error;
    if (!ParseWebOptions(args, o, error))
        return BadUsage(error);
    const fs::path assets = AssetsFolder(o.assets);
    if (!HoldsPageFiles(assets))
        return Fail("no web page files in '" + assets.string() + "' (use --assets)");
    const PackageReading reading =
        ReadPackageFile(platform::Utf8ToUtf16(o.issue), PackageLayout::Appended);
    if (!reading)
        return Fail(o.issue + ": " + reading.message);
    std::string registry;
    if (!o.reg.empty() && !platform::ReadFileBytes(o.reg, registry))
        return Fail("cannot read " + o.reg);

    RegistryStore::ImportError regError;
    if (!o.reg.empty() && !ValidRegistryFile(registry, regError))
        return Fail(RegistryErrorText(o.reg, regError));
    const fs::path site = fs::absolute(o.site);
    if (!PrepareSite(site, error))
        return Fail(error);

    std::error_code ec;
    fs::copy(assets, site, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec)
        return Fail("cannot copy the page's files into " + site.string() + ": " + ec.message());
    SiteShared shared;
    shared.fontJson = CopyFont(FindCjkFont(), site, "font", "");
    if (!o.reg.empty()) {
        if (!WriteWhole((site / "registry.reg").string(), registry))
            return Fail("cannot write " + (site / "registry.reg").string());
        shared.registryJson = "{\"url\":\"registry.reg\",\"id\":" + Json(ContentId(registry)) + "}";
    }
    const auto written = WriteIssueSite(o.issue, site, shared, error);
    if (!written)
        return Fail(o.issue + ": " + error);
    std::printf(
        "wrote %s: %zu files of the issue. Any static web server serves it, e.g.\n"
        "  python3 -m http.server --directory %s\n",
        site.string().c_str(), written->files, site.string().c_str());
    return 0;
}

}  // namespace magpack
