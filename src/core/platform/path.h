#pragma once
// The file-system boundary. Movies and file lists speak Windows paths; every
// call here takes such a path, turns it into a native one (`\` becomes `/`, a
// leading drive letter is dropped) and performs the job of the Windows call
// of the same name.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// `folder` and `name` joined with `\`, as the Windows calls take them.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

// The extension of the path's last component (`\` or `/` separate), without
// its dot; empty when it has none.
std::u16string_view FileExtension(std::u16string_view path);

// Native UTF-8 path for a Windows-style path: "C:\a\b" -> "/a/b".
std::string NativePath(std::u16string_view path);

bool PathFileExists(std::u16string_view path);   // a file or a folder
bool PathIsDirectory(std::u16string_view path);  // an existing folder
bool CreateDirectory(std::u16string_view path);  // one level, mode 0700
// Creates every folder along the path, the path itself last; `\` and `/` both
// separate, and a drive root ("C:\") is never made. Errors are ignored.
void CreateDirectoryChain(std::u16string_view path);
bool RemoveDirectory(std::u16string_view path);
bool DeleteFile(std::u16string_view path);  // a file or a symbolic link
// Copies the contents of `from` onto `to`; fails if `to` exists and failIfExists.
// Only a regular file is copied, onto a regular file or a new one; a copy onto
// the source itself (by another name or link) fails and leaves it as it was.
bool CopyFile(std::u16string_view from, std::u16string_view to, bool failIfExists);

struct DirEntry {
    std::u16string name;
    bool isDirectory = false;  // a real folder; a symbolic link never counts as one
    bool isSymlink = false;
    uint64_t size = 0;
    int64_t creationTime = 0;  // seconds since the epoch: birth time, else change time
};

// Opens a file for writing (created or truncated). A symbolic link in the last
// component is refused rather than followed.
std::FILE* OpenFileForWrite(std::u16string_view path);
// Opens an existing regular file for reading and writing; never creates one.
std::FILE* OpenExistingForUpdate(std::u16string_view path);

// True when some existing component of `relative` below `root` is a symbolic
// link: writing through it could land outside `root`.
bool PathHasSymlinkBelow(std::u16string_view root, std::u16string_view relative);

// The entry a path names itself (a symbolic link is not followed).
bool GetEntry(std::u16string_view path, DirEntry& entry);

// Entries of a folder except "." and "..", sorted by name so that the order is stable.
bool ListDirectory(std::u16string_view path, std::vector<DirEntry>& entries);

// The temporary folder with a trailing separator: $TMPDIR or /tmp.
std::u16string TempPath();
// Full path of the running executable.
std::u16string ExePath();

}  // namespace platform
