// Resolves arbitrary paths a movie might name against an arbitrary tree of
// names, as the Player finds the files: the answer must be a path of
// the tree (never above its top), equal to the request but for ASCII case, and
// the same whatever order the folders list their names in.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "core/platform/ascii_case.h"
#include "core/platform/case_path.h"

namespace {

// The first line is the path asked for; every other line a file of the tree.
// Bytes above 0x7F become CJK characters, to reach names beyond ASCII.
std::vector<std::u16string> Lines(const uint8_t* data, size_t size) {
    std::vector<std::u16string> lines(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += data[i] < 0x80 ? data[i] : static_cast<char16_t>(0x4E00 + data[i]);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An issue's tree of a few dozen names is the case; longer inputs only slow
    // the search down.
    const auto lines = Lines(data, std::min<size_t>(size, 512));
    std::map<std::u16string, std::vector<std::u16string>> folders;
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto parts = platform::InsideComponents(lines[i]);
        if (!parts)
            continue;
        std::vector<std::u16string> prefix;
        for (const auto& part : *parts) {
            auto& names = folders[platform::JoinComponents(prefix)];
            names.push_back(part);
            prefix.push_back(part);
        }
    }
    const auto resolve = [&](bool reversed) {
        return platform::ResolveComponents(lines[0], [&](const std::vector<std::u16string>& f) {
            auto names = folders[platform::JoinComponents(f)];
            if (reversed)
                std::reverse(names.begin(), names.end());
            return names;
        });
    };
    const auto found = resolve(false);
    if (found != resolve(true))
        std::abort();  // the choice depends on the listing's order
    if (!found)
        return 0;
    const auto asked = platform::InsideComponents(lines[0]);
    if (!asked || asked->size() != found->size())
        std::abort();
    for (size_t i = 0; i < found->size(); ++i) {
        if (!platform::EqualsIgnoringAsciiCase((*asked)[i], (*found)[i]))
            std::abort();
    }
    return 0;
}
