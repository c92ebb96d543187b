#pragma once
// Whole-file reads and atomic replacement, for the small files the program keeps.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace platform {

// A folder of the freedesktop base directories: $VARIABLE, or ~/BELOW_HOME
// when it is unset or empty ($HOME unset: /tmp).
std::string XdgFolder(const char* variable, const char* belowHome);

// Identifies one version of a file: a change by another process changes it.
struct FileStamp {
    int64_t mtimeNs = -1;
    int64_t size = -1;
    int64_t inode = -1;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of a native path; all -1 when the file does not exist.
FileStamp StampOf(const std::string& nativePath);

bool ReadFileBytes(const std::string& nativePath, std::string& bytes);

// Copies `in`, from where it stands to its end, onto `out` in 1 MiB chunks;
// `copied` counts the bytes written and `progress`, when given, hears it after
// each chunk. False on a read or write error.
bool CopyStream(std::FILE* in, std::FILE* out, int64_t& copied,
                const std::function<void(int64_t)>& progress = {});

// Writes a temporary file beside the target, flushes it to disk and renames it
// over the target, so that a crash leaves either the old or the new contents.
// Creates the target's folder (mode 0700) when missing.
bool WriteFileAtomically(const std::string& nativePath, const std::string& bytes);

// Temporary files WriteFileAtomically left beside `nativePath` when its writer
// died mid-save. Call it only while holding the target's FileLock.
void RemoveStaleTemporaries(const std::string& nativePath);

// An exclusive advisory lock on `nativePath + ".lock"` (created mode 0600 with
// its folder), held for the object's life; it waits for other holders, in this
// process or another. An empty path locks nothing.
class FileLock {
public:
    explicit FileLock(const std::string& nativePath);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

}  // namespace platform
