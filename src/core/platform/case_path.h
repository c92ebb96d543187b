#pragma once
// File names as a Windows file system finds them: letter case ignored (ASCII
// only, as the issues' authors' systems folded it), `\` or `/` between
// components, `.` and `..` that stay inside the folder they start from. Issues
// were written on such systems; their movies name `DATA\B.TXT` for `data/b.txt`.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The components of `relative` below its folder, `.` and empty ones dropped and
// `..` applied; nothing when a `..` would leave the folder.
std::optional<std::vector<std::u16string>> InsideComponents(std::u16string_view relative);

// Components joined with '/', as a tree of names keys its folders ("" for the top).
std::u16string JoinComponents(const std::vector<std::u16string>& parts);

// Of a folder's names, the one opened for `wanted`: the exact name, else of the
// names equal to it but for ASCII case the least in code-unit order, so that the
// choice never depends on the order a folder lists them in.
std::optional<std::u16string> PickName(std::u16string_view wanted,
                                       const std::vector<std::u16string>& names);

// The names in the folder the resolved components lead to.
using NameLister = std::function<std::vector<std::u16string>(const std::vector<std::u16string>&)>;

// Resolves `relative` one component at a time through `list`; nothing when a
// component has no match or the path leaves the folder.
std::optional<std::vector<std::u16string>> ResolveComponents(std::u16string_view relative,
                                                             const NameLister& list);

// `relative` inside the native folder `root` on the disk, as a native path;
// nothing when no file or folder matches. An exact path costs one stat.
std::optional<std::string> ResolveInFolder(const std::string& root, std::u16string_view relative);

// The folder inside which the platform calls find existing names ignoring case
// (the workspace); empty: nowhere.
void SetCaseFoldingRoot(const std::string& nativeRoot);

// NativePath, with the components of a path inside the case-folding root that
// exist under another letter case replaced by their names on the disk; the
// rest (a file to be made) is kept as given.
std::string FoldedNativePath(std::u16string_view windowsPath);

}  // namespace platform
