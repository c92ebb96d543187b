#include "core/platform/case_path.h"

#include <sys/stat.h>

#include "core/platform/ascii_case.h"
#include "core/platform/path.h"
#include "core/platform/text.h"

namespace platform {

namespace {

std::string g_foldingRoot;

std::string Join(const std::string& root, const std::vector<std::u16string>& parts, size_t count) {
    std::string path = root;
    for (size_t i = 0; i < count; ++i) {
        path += '/';
        path += Utf16ToUtf8(parts[i]);
    }
    return path;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::u16string> NamesIn(const std::string& folder) {
    std::vector<DirEntry> entries;
    std::vector<std::u16string> names;
    if (ListDirectory(Utf8ToUtf16(folder), entries)) {
        for (auto& e : entries)
            names.push_back(std::move(e.name));
    }
    return names;
}

}  // namespace

std::optional<std::vector<std::u16string>> InsideComponents(std::u16string_view relative) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of(u"\\/", start);
        if (end == std::u16string_view::npos)
            end = relative.size();
        const std::u16string_view part = relative.substr(start, end - start);
        if (part == u"..") {
            if (parts.empty())
                return std::nullopt;
            parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.emplace_back(part);
        }
        start = end + 1;
    }
    return parts;
}

std::u16string JoinComponents(const std::vector<std::u16string>& parts) {
    std::u16string path;
    for (const auto& p : parts)
        path += (path.empty() ? u"" : u"/") + p;
    return path;
}

std::optional<std::u16string> PickName(std::u16string_view wanted,
                                       const std::vector<std::u16string>& names) {
    const std::u16string* best = nullptr;
    for (const auto& name : names) {
        if (name == wanted)
            return name;
        if (EqualsIgnoringAsciiCase(name, wanted) && (!best || name < *best))
            best = &name;
    }
    return best ? std::optional<std::u16string>(*best) : std::nullopt;
}

std::optional<std::vector<std::u16string>> ResolveComponents(std::u16string_view relative,
                                                             const NameLister& list) {
    auto parts = InsideComponents(relative);
    if (!parts)
        return std::nullopt;
    std::vector<std::u16string> resolved;
    for (const auto& part : *parts) {
        auto name = PickName(part, list(resolved));
        if (!name)
            return std::nullopt;
        resolved.push_back(std::move(*name));
    }
    return resolved;
}

std::optional<std::string> ResolveInFolder(const std::string& root, std::u16string_view relative) {
    const auto parts = InsideComponents(relative);
    if (!parts)
        return std::nullopt;
    const std::string exact = Join(root, *parts, parts->size());
    if (Exists(exact))
        return exact;
    const auto resolved =
        ResolveComponents(relative, [&](const std::vector<std::u16string>& folder) {
            return NamesIn(Join(root, folder, folder.size()));
        });
    if (!resolved)
        return std::nullopt;
    return Join(root, *resolved, resolved->size());
}

void SetCaseFoldingRoot(const std::string& nativeRoot) {
    g_foldingRoot = nativeRoot;
}

std::string FoldedNativePath(std::u16string_view windowsPath) {
    std::string native = NativePath(windowsPath);
    const std::string& root = g_foldingRoot;
    if (root.empty() || native.size() <= root.size() + 1 ||
        native.compare(0, root.size(), root) != 0 || native[root.size()] != '/' || Exists(native)) {
        return native;
    }
    const auto parts = InsideComponents(Utf8ToUtf16(native.substr(root.size() + 1)));
    if (!parts)
        return native;
    // The longest prefix that exists under some case, then the rest as given.
    std::string folded = root;
    size_t i = 0;
    for (; i < parts->size(); ++i) {
        const auto name = PickName((*parts)[i], NamesIn(folded));
        if (!name)
            break;
        folded += '/' + Utf16ToUtf8(*name);
    }
    for (; i < parts->size(); ++i)
        folded += '/' + Utf16ToUtf8((*parts)[i]);
    return folded;
}

}  // namespace platform
