#include "core/platform/workspace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "core/platform/case_path.h"
#include "core/platform/path.h"
#include "core/platform/text.h"

std::u16string g_workspaceDir;
std::u16string g_exePath;

namespace {

int g_liveMark = -1;  // the locked descriptor of this Player's mark

std::string MarkOf(const std::string& nativeFolder) {
    return nativeFolder + ".lock";
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The mark at `path`, opened (never through a link, never inherited by a
// program the Player starts) and locked without waiting; -1 when it is held, or
// is no longer the file at that path.
int LockMark(const std::string& path, int flags) {
    const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | flags, 0600);
    if (fd < 0)
        return -1;
    struct stat held {
    }, named{};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &held) != 0 ||
        lstat(path.c_str(), &named) != 0 || !SameFile(held, named)) {
        close(fd);
        return -1;
    }
    return fd;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", hexadecimal digits of either case.
bool IsWorkspaceName(std::u16string_view name) {
    if (name.size() != 38 || name.front() != u'{' || name.back() != u'}')
        return false;
    for (size_t i = 1; i < 37; ++i) {
        const char16_t c = name[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool hex =
            (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (dash ? c != u'-' : !hex)
            return false;
    }
    return true;
}

// Owned by this user, and itself what it is (a link is never taken for it).
bool OwnEntry(const std::string& path, bool folder) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && st.st_uid == geteuid() &&
           (folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode));
}

}  // namespace

std::u16string WorkspacePath(std::u16string_view name) {
    return platform::JoinPath(g_workspaceDir, name);
}

std::u16string FormatGuid(const platform::Guid& g) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1],
                  g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return platform::Widen(buffer);
}

int CreateWorkspaceGuid(platform::Guid& guid, GuidGenerator generate) {
    guid = platform::Guid{};
    generate(guid);
    bool zero = guid.data1 == 0 && guid.data2 == 0 && guid.data3 == 0;
    for (unsigned char b : guid.data4)
        zero = zero && b == 0;
    return zero ? 0 : 1;
}

void DeleteFolderTree(std::u16string_view path) {
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(path, entries);
    for (const auto& e : entries) {
        const std::u16string full = platform::JoinPath(path, e.name);
        if (e.isDirectory) {
            DeleteFolderTree(full);
        } else {
            platform::DeleteFile(full);
        }
    }
    platform::RemoveDirectory(path);
}

bool CreateWorkspace(GuidGenerator generate) {
    platform::Guid guid;
    if (!CreateWorkspaceGuid(guid, generate))
        return false;
    g_workspaceDir = platform::TempPath() + FormatGuid(guid);
    const std::string folder = platform::NativePath(g_workspaceDir);
    platform::CreateDirectoryChain(platform::TempPath());
    // Marked before it exists: a folder of a running Player is never unmarked.
    g_liveMark = LockMark(MarkOf(folder), O_CREAT | O_EXCL);
    platform::CreateDirectory(g_workspaceDir);
    // The issue was written where names ignore case; its movies and commands
    // find the workspace's files so.
    platform::SetCaseFoldingRoot(folder);
    g_exePath = platform::ExePath();
    return true;
}

void DeleteWorkspace() {
    if (g_workspaceDir.empty())
        return;
    if (platform::PathFileExists(g_workspaceDir))
        DeleteFolderTree(g_workspaceDir);
    if (g_liveMark >= 0) {
        unlink(MarkOf(platform::NativePath(g_workspaceDir)).c_str());
        close(g_liveMark);
        g_liveMark = -1;
    }
}

int RemoveDeadWorkspaces(std::u16string_view tempFolder) {
    while (tempFolder.size() > 1 && (tempFolder.back() == u'/' || tempFolder.back() == u'\\'))
        tempFolder.remove_suffix(1);
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(tempFolder, entries);
    int removed = 0;
    for (const auto& e : entries) {
        const bool isMark = e.name.size() == 43 && e.name.ends_with(u".lock");
        const std::u16string name = isMark ? e.name.substr(0, 38) : e.name;
        const std::u16string path = platform::JoinPath(tempFolder, name);
        if (!IsWorkspaceName(name) || path == g_workspaceDir)
            continue;
        const std::string folder = platform::NativePath(path);
        const bool hasFolder = OwnEntry(folder, true);
        // A mark is looked at once: with its folder, or alone when the folder is gone.
        if ((isMark && hasFolder) || (!isMark && !hasFolder) || !OwnEntry(MarkOf(folder), false))
            continue;
        const int mark = LockMark(MarkOf(folder), 0);
        if (mark < 0)
            continue;  // its Player runs
        if (hasFolder) {
            DeleteFolderTree(path);
            ++removed;
        }
        unlink(MarkOf(folder).c_str());
        close(mark);
    }
    return removed;
}
