#pragma once
// The package layouts: an issue appended to the Player's executable (files, file
// list, 40-byte trailer) and the stand-alone nested ".qk" package (files, file
// list, 7-byte trailer ending in "QK"), and the rules that place each file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/package/byte_source.h"

class XmlDocument;

constexpr int64_t kAppendedTrailerSize = 40;
constexpr int64_t kNestedTrailerSize = 7;

struct FileListSpan {
    int64_t offset = 0;
    int64_t length = 0;
};

// Where the file list of an appended package lies. A file shorter than the
// trailer, or a length that runs before the start of the file, gives an empty
// span at the trailer: such a list never parses, so nothing is extracted.
FileListSpan LocateAppendedList(ByteSource& source);

enum class NestedListResult { Ok, NotQk };
// The file list of a nested package; NotQk unless the file ends in "QK".
NestedListResult LocateNestedList(ByteSource& source, FileListSpan& span);

struct PackageEntry {
    std::u16string name;  // as the list has it, `\` separators
    int64_t offset = 0;   // absolute, in the package file
    int64_t size = 0;     // never negative
};

struct PackageContents {
    int64_t dataStart = 0;   // first `startpos` (appended) or 0 (nested)
    int64_t dataLength = 0;  // bytes between dataStart and the file list
    std::vector<PackageEntry> entries;
};

// Walks a loaded file list by the appended placement rule: the first element's
// `startpos` places the first file; elements with an empty name or size occupy
// nothing. False when the document has no FileList.
bool ReadAppendedEntries(XmlDocument& list, const FileListSpan& span, PackageContents& out);

// The nested placement rule: every element occupies its size from offset 0.
bool ReadNestedEntries(XmlDocument& list, const FileListSpan& span, PackageContents& out);

// A name that would place a file outside the extraction folder: absolute, with
// a drive letter, or with a ".." component.
bool IsUnsafeEntryName(std::u16string_view name);

// The bytes of the span (the file list document).
std::string ReadSpan(ByteSource& source, const FileListSpan& span);

// Which layout a file is read as: appended, nested, or nested when its last two
// bytes are "QK" and appended otherwise.
enum class PackageLayout { Appended, Nested, ByTrailer };

// Why a file cannot be read as a package.
enum class PackageError {
    None,
    CannotOpen,
    TooShort,
    NotQk,
    NoFileList,
    NotXml,
    NoFileListElement
};

// A whole package read at once: its file list and entries, or why not.
struct PackageReading {
    PackageError error = PackageError::None;
    int64_t offset = 0;   // where the fault lies: the trailer, or the file list
    std::string message;  // what is wrong, in English, for tools and the command line
    bool nested = false;
    FileListSpan span;
    std::string list;     // the file list document
    std::string trailer;  // the trailer's bytes, as the file has them
    PackageContents contents;
    explicit operator bool() const { return error == PackageError::None; }
};

PackageReading ReadPackage(ByteSource& source, PackageLayout layout);
PackageReading ReadPackageFile(std::u16string_view path, PackageLayout layout);
