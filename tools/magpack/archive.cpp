// magpack archive: many issues as one static site. The page's files and the
// movie engine are stored once under shared/, in a folder named by their
// content, and so is the font, so that a browser fetches them once for every
// issue and a host may cache them for ever. Each issue gets a folder of its own
// under issues/; index.html lists them all. A state file remembers what each
// issue folder was made from, so that a second run exports only what changed.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "archive_catalogue.h"
#include "cli.h"
#include "commands.h"
#include "core/bridge/font_names.h"
#include "core/platform/file_io.h"
#include "progress_bar.h"
#include "web_site.h"

extern char** environ;

namespace fs = std::filesystem;

namespace magpack {
namespace {

// Marks a folder as an archive and records what the last run made.
constexpr char kStateFile[] = ".magpack-archive";
constexpr char kStateHeader[] = "magpack-archive 1";
constexpr int kCoverSize = 256;

using Failures = std::vector<std::pair<std::string, std::string>>;  // file, reason

struct ArchiveOptions {
    std::vector<std::string> inputs;
    std::string site, assets, player;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    bool covers = true;
};

bool ParseArchiveOptions(const std::vector<std::string>& args, ArchiveOptions& o,
                         std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue =
            a == "-o" || a == "--output" || a == "--assets" || a == "--player" || a == "--jobs";
        if (takesValue && i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        if (a == "-o" || a == "--output") {
            o.site = args[++i];
        } else if (a == "--assets") {
            o.assets = args[++i];
        } else if (a == "--player") {
            o.player = args[++i];
        } else if (a == "--jobs") {
            const std::string& n = args[++i];
            if (n.empty() || n.size() > 3 ||
                !std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
                std::stoi(n) < 1) {
                error = "--jobs takes a number from 1 to 999";
                return false;
            }
            o.jobs = static_cast<unsigned>(std::stoi(n));
        } else if (a == "--no-covers") {
            o.covers = false;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else {
            o.inputs.push_back(a);
        }
    }
    if (o.inputs.empty() || o.site.empty()) {
        error = "archive takes ISSUE_OR_FOLDER... -o SITE";
        return false;
    }
    return true;
}

// The stored text of a field: no tab, line break or backslash of its own.
std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '\t' || c == '\n')
            out += '\\', out += c == '\t' ? 't' : c == '\n' ? 'n' : '\\';
        else
            out += c;
    }
    return out;
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t'))
        fields.push_back(Unescaped(field));
    return fields;
}

struct State {
    std::string sharedId;  // the page's and the font's folders the issues point at
    std::map<std::string, ArchivedIssue> bySource;  // by the ContentId of the path
    // The content ids of the shared files by their path's id, size and time:
    // the engine and the font are read once, not at every run.
    std::map<std::string, std::string> sharedFiles;
};

State ReadState(const fs::path& site) {
    State state;
    std::ifstream in(site / kStateFile);
    std::string line;
    if (!std::getline(in, line) || line.rfind(kStateHeader, 0) != 0)
        return state;
    state.sharedId = line.size() > sizeof kStateHeader ? line.substr(sizeof kStateHeader) : "";
    while (std::getline(in, line)) {
        const auto f = Fields(line);
        if (f.size() == 3 && f[0] == "=")
            state.sharedFiles[f[1]] = f[2];
        if (f.size() != 11)
            continue;
        ArchivedIssue issue;
        issue.source = f[0];  // the id of its path: a published archive names no local folder
        issue.size = std::stoull(f[1]);
        issue.mtime = std::stoll(f[2]);
        issue.hash = f[3];
        issue.key = f[4];
        issue.title = f[5];
        issue.date = f[6];
        issue.cover = f[7];
        issue.bytes = std::stoull(f[8]);
        issue.files = std::stoull(f[9]);
        issue.mainMovie = f[10];
        state.bySource[issue.source] = issue;
    }
    return state;
}

bool WriteState(const fs::path& site, const State& state,
                const std::vector<ArchivedIssue>& issues) {
    std::string text = std::string(kStateHeader) + " " + state.sharedId + "\n";
    for (const auto& [file, id] : state.sharedFiles)
        text += "=\t" + file + "\t" + id + "\n";
    for (const ArchivedIssue& i : issues) {
        for (const std::string& field :
             {ContentId(i.source), std::to_string(i.size), std::to_string(i.mtime), i.hash, i.key,
              i.title, i.date, i.cover, std::to_string(i.bytes), std::to_string(i.files),
              i.mainMovie}) {
            text += Escaped(field) + '\t';
        }
        text.back() = '\n';
    }
    return WriteWhole((site / kStateFile).string(), text);
}

// An archive may be written into a missing or empty folder, or over itself.
bool MayWriteArchive(const fs::path& site, std::string& error) {
    std::error_code ec;
    if (fs::exists(site, ec) && !fs::is_directory(site, ec)) {
        error = site.string() + " is not a folder";
        return false;
    }
    if (fs::is_directory(site, ec) && !fs::is_empty(site, ec) &&
        !fs::is_regular_file(site / kStateFile)) {
        error = site.string() + " is not empty and holds no earlier archive: choose another folder";
        return false;
    }
    fs::create_directories(site / "issues", ec);
    fs::create_directories(site / "shared", ec);
    if (!fs::is_directory(site / "issues") || !fs::is_directory(site / "shared")) {
        error = "cannot create " + site.string();
        return false;
    }
    return true;
}

// The files the arguments name, folders searched to the bottom, in name order,
// the archive's own folder left out.
std::vector<fs::path> InputFiles(const std::vector<std::string>& inputs, const fs::path& site,
                                 Failures& failures) {
    std::set<fs::path> files;
    for (const std::string& input : inputs) {
        std::error_code ec;
        const fs::path path = fs::absolute(input).lexically_normal();
        if (fs::is_regular_file(path, ec)) {
            files.insert(path);
        } else if (fs::is_directory(path, ec)) {
            fs::recursive_directory_iterator it(path, ec), end;
            for (; !ec && it != end; it.increment(ec)) {
                if (it->path() == site) {
                    it.disable_recursion_pending();
                } else if (it->is_regular_file(ec) && it->path().filename().string()[0] != '.') {
                    files.insert(it->path());
                }
            }
        } else {
            failures.emplace_back(input, "no such file or folder");
        }
    }
    return {files.begin(), files.end()};
}

// The bytes of a file as a content id, read in pieces: issues may be large.
std::optional<std::string> FileContentId(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    ContentHash hash;
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0)
        hash.Add(std::string_view(buffer.data(), static_cast<size_t>(in.gcount())));
    return in.eof() ? std::optional(hash.Id()) : std::nullopt;
}

// A shared file's content id, read again only when its size or time changed
// since `known` was made; `used` gets what this run relied on.
std::optional<std::string> SharedFileId(const fs::path& path,
                                        const std::map<std::string, std::string>& known,
                                        std::map<std::string, std::string>& used) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return std::nullopt;
    const std::string file = ContentId(path.string()) + " " + std::to_string(st.st_size) + " " +
                             std::to_string(st.st_mtim.tv_sec) + "." +
                             std::to_string(st.st_mtim.tv_nsec);
    const auto hit = known.find(file);
    const auto id = hit != known.end() ? std::optional(hit->second) : FileContentId(path);
    if (id)
        used[file] = *id;
    return id;
}

// One id for every file of a folder, names included.
std::optional<std::string> FolderContentId(const fs::path& folder,
                                           const std::map<std::string, std::string>& known,
                                           std::map<std::string, std::string>& used) {
    std::map<std::string, fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).generic_string()] = entry.path();
    }
    ContentHash hash;
    for (const auto& [name, path] : files) {
        const auto id = SharedFileId(path, known, used);
        if (!id)
            return std::nullopt;
        hash.Add(name);
        hash.Add(std::string_view("\0", 1));
        hash.Add(*id);
    }
    return hash.Id();
}

// A folder name for the issue, readable where its file name is plain ASCII,
// unique in the archive.
std::string IssueKey(const fs::path& source, const std::set<std::string>& taken) {
    const std::string stem = source.stem().string();
    std::string key;
    bool changed = false;
    for (const char c : stem) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        changed |= !plain;
        if (plain)
            key += c;
        else if (!key.empty() && key.back() != '_')
            key += '_';
    }
    while (!key.empty() && key.back() == '_')
        key.pop_back();
    if (key.size() > 40)
        key.resize(40), changed = true;
    if (changed || key.empty())
        key += (key.empty() ? "" : "-") + ContentId(stem).substr(0, 8);
    std::string unique = key;
    for (int n = 2; taken.count(unique); ++n)
        unique = key + "-" + std::to_string(n);
    return unique;
}

// The Player's cover of the issue, drawn with no display; false when it wrote none.
bool RunThumbnail(const std::string& player, const fs::path& issue, const fs::path& out) {
    const std::string size = std::to_string(kCoverSize);
    std::vector<std::string> args = {player,       "--thumbnail", issue.string(),
                                     out.string(), "--size",      size};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, player.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0 && fs::is_regular_file(out);
}

// The issue's page: the export's own, its scripts and style taken from the
// shared folder.
std::optional<std::string> IssuePage(const fs::path& assets, const std::string& base) {
    std::string page;
    if (!platform::ReadFileBytes((assets / "index.html").string(), page))
        return std::nullopt;
    for (const std::string attribute :
         {"href=\"site.css\"", "src=\"player-core.js\"", "src=\"site.js\""}) {
        const size_t at = page.find(attribute);
        if (at == std::string::npos)
            return std::nullopt;
        const size_t quote = attribute.find('"') + 1;
        page.insert(at + quote, base);
    }
    return page;
}

struct Job {
    fs::path source;
    ArchivedIssue issue;
};

struct Run {
    fs::path site;
    SiteShared shared;
    std::string pageId;  // the folder under shared/ of the page's files
    std::string page;
    std::string player;
};

// Exports one issue into a folder of its own beside its final place, then
// puts it there: a reader of the old archive never sees half an issue.
std::optional<std::string> ExportIssue(const Run& run, ArchivedIssue& issue) {
    const fs::path final = run.site / "issues" / issue.key;
    const fs::path scratch = run.site / "issues" / ("." + issue.key + ".new");
    std::error_code ec;
    fs::remove_all(scratch, ec);
    std::string error;
    const auto written = WriteIssueSite(issue.source, scratch, run.shared, error);
    if (!written || !WriteWhole((scratch / "index.html").string(), run.page)) {
        fs::remove_all(scratch, ec);
        return written ? "cannot write " + (scratch / "index.html").string() : error;
    }
    issue.title = written->title;
    issue.bytes = written->bytes;
    issue.files = written->files;
    issue.mainMovie = written->mainMovie;
    issue.date = IssueDate(issue.title, fs::path(issue.source).stem().string());
    issue.cover.clear();
    if (!run.player.empty() && RunThumbnail(run.player, issue.source, scratch / "cover.png"))
        issue.cover = "cover.png";
    else if (!written->titleBitmap.empty())
        issue.cover = written->titleBitmap;
    fs::remove_all(final, ec);
    fs::rename(scratch, final, ec);
    if (ec) {
        fs::remove_all(scratch, ec);
        return "cannot write " + final.string();
    }
    return std::nullopt;
}

// Removes what is in `folder` but not in `keep`.
void RemoveOthers(const fs::path& folder, const std::set<std::string>& keep) {
    std::error_code ec;
    std::vector<fs::path> stale;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (!keep.count(entry.path().filename().string()))
            stale.push_back(entry.path());
    }
    for (const fs::path& path : stale)
        fs::remove_all(path, ec);
}

// Copies `from` into site/shared/<name> unless an earlier run did.
bool PlaceShared(const fs::path& from, const fs::path& site, const std::string& name) {
    const fs::path to = site / "shared" / name;
    std::error_code ec;
    if (fs::is_directory(to))
        return true;
    const fs::path scratch = site / "shared" / ("." + name + ".new");
    fs::remove_all(scratch, ec);
    fs::copy(from, scratch, fs::copy_options::recursive, ec);
    if (!ec)
        fs::rename(scratch, to, ec);
    return !ec;
}

// Places the page, the engine and the font under shared/ and answers what
// the issues' pages point at (nothing when the page's files cannot be read).
std::optional<std::string> PlaceSharedFiles(Run& run, const fs::path& assets, State& state,
                                            std::set<std::string>& kept, std::string& error) {
    std::map<std::string, std::string> sharedFiles;
    const auto pageId = FolderContentId(assets, state.sharedFiles, sharedFiles);
    if (!pageId || !PlaceShared(assets, run.site, *pageId)) {
        error = "cannot copy the page's files into " + (run.site / "shared").string();
        return std::nullopt;
    }
    run.pageId = *pageId;
    run.shared.assets = "../../shared/" + *pageId + "/";
    const auto page = IssuePage(assets, run.shared.assets);
    if (!page) {
        error = (assets / "index.html").string() + " is not the page this magpack knows";
        return std::nullopt;
    }
    run.page = *page;
    kept = {*pageId};
    std::string fontId;
    if (const auto cjk = FindCjkFont()) {
        if (const auto id = SharedFileId(cjk->path, state.sharedFiles, sharedFiles)) {
            fontId = "font-" + *id;
            run.shared.fontJson = CopyFont(cjk, run.site, "shared/" + fontId, "../../");
            kept.insert(fontId);
        }
    }
    state.sharedFiles = std::move(sharedFiles);
    return *pageId + " " + fontId;
}

struct Plan {
    std::vector<ArchivedIssue> kept, jobs;
};

// What each file was the last time: unchanged (same size and time, or same
// bytes) keeps its folder; the rest are exported again, all of them when the
// shared files changed.
Plan PlanIssues(const Run& run, const State& state, const std::vector<fs::path>& sources,
                bool sharedChanged, Failures& failures) {
    std::set<std::string> presentIds, taken;
    for (const fs::path& source : sources)
        presentIds.insert(ContentId(source.string()));
    for (const auto& [sourceId, issue] : state.bySource) {
        if (presentIds.count(sourceId))
            taken.insert(issue.key);
    }
    Plan plan;
    for (const fs::path& source : sources) {
        struct stat st {};
        if (stat(source.c_str(), &st) != 0) {
            failures.emplace_back(source.string(), "cannot be read");
            continue;
        }
        const auto known = state.bySource.find(ContentId(source.string()));
        const bool was = known != state.bySource.end();
        ArchivedIssue issue = was ? known->second : ArchivedIssue{};
        const int64_t mtime = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
        const bool folder = was && fs::is_directory(run.site / "issues" / issue.key);
        bool changed = !folder;
        if (!folder || issue.size != static_cast<uintmax_t>(st.st_size) || issue.mtime != mtime) {
            const auto hash = FileContentId(source);
            if (!hash) {
                failures.emplace_back(source.string(), "cannot be read");
                continue;
            }
            changed = changed || issue.hash != *hash;
            issue.hash = *hash;
            issue.size = static_cast<uintmax_t>(st.st_size);
            issue.mtime = mtime;
        }
        issue.source = source.string();
        if (!was) {
            issue.key = IssueKey(source, taken);
            taken.insert(issue.key);
        }
        (changed || sharedChanged ? plan.jobs : plan.kept).push_back(issue);
    }
    return plan;
}

// Exports the issues `jobs` at once; answers those that were.
std::vector<ArchivedIssue> ExportAll(const Run& run, const std::vector<ArchivedIssue>& issues,
                                     unsigned jobs, Failures& failures) {
    ProgressBar bar(static_cast<int64_t>(issues.size()));
    std::atomic<size_t> next = 0, done = 0;
    std::mutex lock;
    std::vector<ArchivedIssue> exported;
    auto work = [&] {
        for (size_t i; (i = next++) < issues.size();) {
            ArchivedIssue issue = issues[i];
            const auto failed = ExportIssue(run, issue);
            std::lock_guard guard(lock);
            if (failed)
                failures.emplace_back(issue.source, *failed);
            else
                exported.push_back(issue);
            bar.Update(static_cast<int64_t>(++done));
        }
    };
    std::vector<std::thread> workers;
    for (unsigned n = 0; n < std::min<size_t>(jobs, issues.size()); ++n)
        workers.emplace_back(work);
    for (std::thread& worker : workers)
        worker.join();
    return exported;
}

}  // namespace

int ExportArchive(const std::vector<std::string>& args) {
    ArchiveOptions o;
    std::string error;
    if (!ParseArchiveOptions(args, o, error))
        return BadUsage(error);
    const fs::path assets = AssetsFolder(o.assets);
    if (!HoldsPageFiles(assets))
        return Fail("no web page files in '" + assets.string() + "' (use --assets)");
    Run run;
    run.site = fs::absolute(o.site).lexically_normal();
    if (!run.site.has_filename())
        run.site = run.site.parent_path();
    if (!MayWriteArchive(run.site, error))
        return Fail(error);
    if (o.covers)
        run.player = o.player.empty() ? DefaultPlayer() : o.player;

    State state = ReadState(run.site);
    std::set<std::string> sharedKept;
    const auto sharedId = PlaceSharedFiles(run, assets, state, sharedKept, error);
    if (!sharedId)
        return Fail(error);
    Failures failures;
    const auto sources = InputFiles(o.inputs, run.site, failures);
    const Plan plan = PlanIssues(run, state, sources, state.sharedId != *sharedId, failures);
    const auto exported = ExportAll(run, plan.jobs, o.jobs, failures);

    std::vector<ArchivedIssue> issues = plan.kept;
    issues.insert(issues.end(), exported.begin(), exported.end());
    SortForCatalogue(issues);
    std::set<std::string> keys;
    for (const ArchivedIssue& issue : issues)
        keys.insert(issue.key);
    const size_t removed = std::count_if(state.bySource.begin(), state.bySource.end(),
                                         [&](const auto& s) { return !keys.count(s.second.key); });
    RemoveOthers(run.site / "issues", keys);
    RemoveOthers(run.site / "shared", sharedKept);
    state.sharedId = *sharedId;
    std::sort(failures.begin(), failures.end());

    if (!WriteWhole((run.site / "catalogue.json").string(), CatalogueJson(issues)) ||
        !WriteWhole((run.site / "index.html").string(), CatalogueHtml(issues, run.pageId)) ||
        !WriteState(run.site, state, issues)) {
        return Fail("cannot write the catalogue into " + run.site.string());
    }
    std::printf("%s: %zu issues (%zu exported, %zu unchanged, %zu removed)\n",
                run.site.string().c_str(), issues.size(), exported.size(), plan.kept.size(),
                removed);
    if (!failures.empty()) {
        std::printf("left out, %zu file%s that could not be read:\n", failures.size(),
                    failures.size() == 1 ? "" : "s");
        for (const auto& [file, reason] : failures)
            std::printf("  %s: %s\n", file.c_str(), reason.c_str());
    }
    return 0;
}

}  // namespace magpack
