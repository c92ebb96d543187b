#pragma once
// Writes packages: an issue appended to a copy of the Player, or a stand-alone
// nested ".qk" package, in the layouts package_format.h reads.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct WrittenEntry {
    std::u16string name;  // `\` separators
    int64_t size = 0;
    std::u16string sourcePath;  // recorded in the list's `path` attribute, informational
};

// The file list document as the authoring tool writes it: declaration, CR LF,
// one FileList line, CR LF. `startpos` is written on every element when >= 0.
std::string BuildFileListXml(const std::vector<WrittenEntry>& entries, int64_t startpos);

// 40-byte trailer of an appended package: the list's length, then 36 bytes the
// reader does not interpret (ours unless `rest` gives another tool's).
std::string BuildAppendedTrailer(uint32_t listLength, std::string_view rest = {});
// 7-byte trailer of a nested package.
std::string BuildNestedTrailer(uint32_t listLength);

// Rewrites the `startpos` of the first File element of a file list document,
// leaving every other byte as it was; adds the attribute when the element has
// none. False when there is no File element or its startpos is written in
// another form (spaces around "=", other quotes).
bool SetFirstStartpos(std::string& list, int64_t startpos);

class PackageWriter {
public:
    enum class Kind { Appended, Nested };
    // `out` is positioned where the packed data starts (after the Player image for
    // an appended package, at 0 for a nested one); `startpos` is that position.
    PackageWriter(std::FILE* out, Kind kind, int64_t startpos);

    bool AddBytes(std::u16string name, std::string_view data);
    // Streams a file from disk; `progress` is called with the bytes copied so far.
    bool AddFile(std::u16string name, const std::string& nativePath,
                 const std::function<void(int64_t)>& progress = {});
    // Streams an open file from where it stands to its end.
    bool AddStream(std::u16string name, std::FILE* in, std::u16string sourcePath = {},
                   const std::function<void(int64_t)>& progress = {});
    // Writes the file list and the trailer.
    bool Finish();

    const std::vector<WrittenEntry>& Entries() const { return m_entries; }

private:
    std::FILE* m_out;
    Kind m_kind;
    int64_t m_startpos;
    std::vector<WrittenEntry> m_entries;
    bool m_ok = true;
};
