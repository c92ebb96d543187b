#include "core/platform/path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "core/platform/case_path.h"
#include "core/platform/text.h"

namespace platform {

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    path += u'\\';
    path += name;
    return path;
}

std::u16string_view FileExtension(std::u16string_view path) {
    const size_t slash = path.find_last_of(u"\\/");
    const std::u16string_view name =
        slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(u'.');
    return dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot + 1);
}

std::string NativePath(std::u16string_view path) {
    std::u16string p(path);
    if (p.size() >= 2 && p[1] == u':' &&
        ((p[0] >= u'a' && p[0] <= u'z') || (p[0] >= u'A' && p[0] <= u'Z'))) {
        p.erase(0, 2);
    }
    std::replace(p.begin(), p.end(), u'\\', u'/');
    if (p.empty() && path.size() >= 2)
        p = u"/";  // "C:" alone names the drive root
    return Utf16ToUtf8(p);
}

bool PathFileExists(std::u16string_view path) {
    if (path.empty())
        return false;
    struct stat st {};
    return stat(FoldedNativePath(path).c_str(), &st) == 0;
}

bool PathIsDirectory(std::u16string_view path) {
    if (path.empty())
        return false;
    struct stat st {};
    return stat(FoldedNativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectory(std::u16string_view path) {
    return !path.empty() && mkdir(NativePath(path).c_str(), 0700) == 0;
}

void CreateDirectoryChain(std::u16string_view path) {
    if (path.empty())
        return;
    for (size_t i = 1; i < path.size(); ++i) {
        if ((path[i] == u'\\' || path[i] == u'/') && path[i - 1] != u':') {
            platform::CreateDirectory(path.substr(0, i));
        }
    }
    platform::CreateDirectory(path);
}

bool RemoveDirectory(std::u16string_view path) {
    return rmdir(NativePath(path).c_str()) == 0;
}

bool DeleteFile(std::u16string_view path) {
    const std::string native = NativePath(path);
    struct stat st {};
    if (lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    return unlink(native.c_str()) == 0;
}

namespace {

// Opens a path only when it is a regular file. O_NONBLOCK keeps the open of a
// named pipe from waiting for its other end; anything but a regular file (a
// pipe, a device, a folder) is closed again and refused.
int OpenRegular(const std::string& native, int flags, struct stat& st, mode_t mode = 0) {
    const int fd = open(native.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0)
        return -1;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool CopyAll(int in, int out) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0)
            return false;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
            if (w <= 0)
                return false;
            done += w;
        }
    }
}

}  // namespace

bool CopyFile(std::u16string_view from, std::u16string_view to, bool failIfExists) {
    struct stat source {};
    const int in = OpenRegular(FoldedNativePath(from), O_RDONLY, source);
    if (in < 0)
        return false;
    // The destination is truncated only once it is known to be another file than
    // the source: a copy onto itself (by any name or link) would empty it.
    struct stat target {};
    const int out = OpenRegular(FoldedNativePath(to),
                                O_WRONLY | O_CREAT | (failIfExists ? O_EXCL : 0), target, 0644);
    if (out < 0 || (target.st_dev == source.st_dev && target.st_ino == source.st_ino)) {
        if (out >= 0)
            close(out);
        close(in);
        return false;
    }
    bool ok = ftruncate(out, 0) == 0 && CopyAll(in, out);
    close(in);
    if (close(out) != 0)
        ok = false;
    return ok;
}

std::FILE* OpenFileForWrite(std::u16string_view path) {
    const int fd =
        open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    std::FILE* f = fdopen(fd, "wb");
    if (!f)
        close(fd);
    return f;
}

std::FILE* OpenExistingForUpdate(std::u16string_view path) {
    struct stat st {};
    const int fd = OpenRegular(FoldedNativePath(path), O_RDWR, st);
    if (fd < 0)
        return nullptr;
    std::FILE* f = fdopen(fd, "r+b");
    if (!f)
        close(fd);
    return f;
}

bool PathHasSymlinkBelow(std::u16string_view root, std::u16string_view relative) {
    std::u16string path(root);
    size_t start = 0;
    while (start < relative.size()) {
        size_t end = relative.find_first_of(u"\\/", start);
        if (end == std::u16string_view::npos)
            end = relative.size();
        if (end > start) {
            path += u'/';
            path += relative.substr(start, end - start);
            struct stat st {};
            if (lstat(NativePath(path).c_str(), &st) != 0)
                return false;  // nothing further exists
            if (S_ISLNK(st.st_mode))
                return true;
        }
        start = end + 1;
    }
    return false;
}

namespace {

#ifdef STATX_TYPE
bool StatEntry(int dirFd, const char* name, DirEntry& e) {
    struct statx sx {};
    if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_SIZE | STATX_BTIME | STATX_CTIME,
              &sx) != 0) {
        return false;
    }
    e.isSymlink = S_ISLNK(sx.stx_mode);
    e.isDirectory = S_ISDIR(sx.stx_mode);
    e.size = sx.stx_size;
    // Where the file system records no birth time, the change time stands in.
    e.creationTime = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec;
    return true;
}
#else
// Without statx (the WebAssembly build's C library) there is no birth time.
bool StatEntry(int dirFd, const char* name, DirEntry& e) {
    struct stat st {};
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    e.isSymlink = S_ISLNK(st.st_mode);
    e.isDirectory = S_ISDIR(st.st_mode);
    e.size = st.st_size;
    e.creationTime = st.st_ctim.tv_sec;
    return true;
}
#endif

}  // namespace

bool GetEntry(std::u16string_view path, DirEntry& entry) {
    const std::string native = FoldedNativePath(path);
    const size_t slash = native.find_last_of('/');
    entry = DirEntry{};
    entry.name = Utf8ToUtf16(slash == std::string::npos ? native : native.substr(slash + 1));
    return !native.empty() && StatEntry(AT_FDCWD, native.c_str(), entry);
}

bool ListDirectory(std::u16string_view path, std::vector<DirEntry>& entries) {
    entries.clear();
    const std::string native = FoldedNativePath(path);
    DIR* dir = opendir(native.c_str());
    if (!dir)
        return false;
    const int dirFd = dirfd(dir);
    while (const dirent* d = readdir(dir)) {
        const std::string name = d->d_name;
        if (name == "." || name == "..")
            continue;
        DirEntry e;
        e.name = Utf8ToUtf16(name);
        StatEntry(dirFd, name.c_str(), e);
        entries.push_back(std::move(e));
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return true;
}

std::u16string TempPath() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    if (dir.back() != '/')
        dir.push_back('/');
    return Utf8ToUtf16(dir);
}

std::u16string ExePath() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    return Utf8ToUtf16(std::string_view(buffer, static_cast<size_t>(n)));
}

}  // namespace platform
