#pragma once
// Builds packages byte by byte for the tests, with full control over the file
// list (odd attributes, damaged sizes, hostile names).

#include <string>
#include <utility>
#include <vector>

namespace test {

struct ListEntry {
    std::string name;
    std::string size;  // as written in the attribute; "-" leaves it out
    std::string startpos = "-";
};

std::string FileListXml(const std::vector<ListEntry>& entries);

// prefix (the "Player image") + data + list + 40-byte trailer.
std::string AppendedPackage(const std::string& prefix, const std::string& data,
                            const std::string& listXml);
// data + list + 7-byte trailer.
std::string NestedPackage(const std::string& data, const std::string& listXml);

// An issue as the Windows authoring tool wrote it, appended to `prefix` (a
// Player, or another viewer): files by name (`\` separators) and contents.
using PackedFiles = std::vector<std::pair<std::string, std::string>>;
std::string WindowsIssue(const PackedFiles& files, const std::string& prefix);

}  // namespace test
