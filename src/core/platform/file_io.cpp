#include "core/platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "core/platform/path.h"
#include "core/platform/text.h"

namespace platform {

FileStamp StampOf(const std::string& nativePath) {
    struct stat st {};
    if (stat(nativePath.c_str(), &st) != 0)
        return {};
    return {static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
            static_cast<int64_t>(st.st_size), static_cast<int64_t>(st.st_ino)};
}

bool ReadFileBytes(const std::string& nativePath, std::string& bytes) {
    bytes.clear();
    std::FILE* f = std::fopen(nativePath.c_str(), "rb");
    if (!f)
        return false;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool CopyStream(std::FILE* in, std::FILE* out, int64_t& copied,
                const std::function<void(int64_t)>& progress) {
    constexpr size_t kChunk = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[kChunk]);
    copied = 0;
    size_t n;
    while ((n = std::fread(buffer.get(), 1, kChunk, in)) > 0) {
        if (std::fwrite(buffer.get(), 1, n, out) != n)
            return false;
        copied += static_cast<int64_t>(n);
        if (progress)
            progress(copied);
    }
    return !std::ferror(in);
}

namespace {

// Beside the target, what its temporary files are named after it.
constexpr const char* kTemporarySuffix = ".tmp-";

// The folder a native path names its file in ("." for a bare name).
std::string FolderOf(const std::string& nativePath) {
    const size_t slash = nativePath.find_last_of('/');
    return slash == std::string::npos ? "." : nativePath.substr(0, slash);
}

void CreateFolders(const std::string& dir) {
    CreateDirectoryChain(Utf8ToUtf16(dir));
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& nativePath, const std::string& bytes) {
    const std::string dir = FolderOf(nativePath);
    CreateFolders(dir);
    std::string temp = nativePath + kTemporarySuffix + "XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temp.c_str(), nativePath.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

void RemoveStaleTemporaries(const std::string& nativePath) {
    const std::string dir = FolderOf(nativePath);
    const size_t slash = nativePath.find_last_of('/');
    const std::string prefix =
        nativePath.substr(slash == std::string::npos ? 0 : slash + 1) + kTemporarySuffix;
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (const dirent* e = readdir(d)) {
        if (std::string_view(e->d_name).starts_with(prefix))
            unlink((dir + "/" + e->d_name).c_str());
    }
    closedir(d);
}

FileLock::FileLock(const std::string& nativePath) {
    if (nativePath.empty())
        return;  // a store kept in memory: nothing to lock
    const std::string lock = nativePath + ".lock";
    CreateFolders(FolderOf(lock));
    m_fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        return;
    while (flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(m_fd);
            m_fd = -1;
            return;
        }
    }
}

FileLock::~FileLock() {
    if (m_fd >= 0)
        close(m_fd);  // releases the lock
}

std::string XdgFolder(const char* variable, const char* belowHome) {
    const char* set = std::getenv(variable);
    if (set && *set)
        return set;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/" + belowHome;
}

}  // namespace platform
