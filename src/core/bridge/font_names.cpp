#include "core/bridge/font_names.h"

#include <cstdint>
#include <cstdlib>

#include "core/platform/file_io.h"

namespace {

// The `n` bytes at `at`, or fewer (none) where the file ends first.
std::string_view Slice(std::string_view d, size_t at, size_t n) {
    return at < d.size() ? d.substr(at, n) : std::string_view();
}

uint32_t Be32(std::string_view d, size_t at) {
    if (at + 4 > d.size())
        return 0;
    return (uint32_t{static_cast<uint8_t>(d[at])} << 24) |
           (uint32_t{static_cast<uint8_t>(d[at + 1])} << 16) |
           (uint32_t{static_cast<uint8_t>(d[at + 2])} << 8) | static_cast<uint8_t>(d[at + 3]);
}

uint16_t Be16(std::string_view d, size_t at) {
    if (at + 2 > d.size())
        return 0;
    return static_cast<uint16_t>((static_cast<uint8_t>(d[at]) << 8) |
                                 static_cast<uint8_t>(d[at + 1]));
}

// The first full name in a Unicode record (platform 0, or Windows Unicode BMP)
// of the face whose table directory starts at `face`.
std::u16string FullName(std::string_view d, size_t face) {
    const uint16_t tables = Be16(d, face + 4);
    for (uint16_t t = 0; t < tables; ++t) {
        const size_t entry = face + 12 + size_t{t} * 16;
        if (entry >= d.size())
            break;  // the directory claims more tables than the file holds
        if (Slice(d, entry, 4) != "name")
            continue;
        const size_t name = Be32(d, entry + 8);
        const uint16_t count = Be16(d, name + 2);
        const size_t strings = name + Be16(d, name + 4);
        for (uint16_t r = 0; r < count; ++r) {
            const size_t rec = name + 6 + size_t{r} * 12;
            if (rec + 12 > d.size())
                break;  // the table claims more records than the file holds
            const uint16_t platform = Be16(d, rec), encoding = Be16(d, rec + 2);
            const uint16_t id = Be16(d, rec + 6), length = Be16(d, rec + 8),
                           offset = Be16(d, rec + 10);
            const bool unicode =
                platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
            if (id != 4 || !unicode || strings + offset + length > d.size())
                continue;
            std::u16string out;
            for (size_t i = 0; i + 1 < length; i += 2)
                out.push_back(static_cast<char16_t>(Be16(d, strings + offset + i)));
            return out;
        }
    }
    return {};
}

}  // namespace

std::vector<std::u16string> UnicodeFullNames(std::string_view d) {
    std::vector<std::u16string> names;
    if (Slice(d, 0, 4) == "ttcf") {
        const uint32_t faces = Be32(d, 8);
        for (uint32_t i = 0; i < faces && i < 256; ++i)
            names.push_back(FullName(d, Be32(d, 12 + size_t{i} * 4)));
    } else if (d.size() >= 12) {
        names.push_back(FullName(d, 0));
    }
    return names;
}

std::optional<CjkFont> FindCjkFont() {
    std::vector<std::string> candidates;
    if (const char* env = std::getenv("PLAYER_CJK_FONT"); env && *env)
        candidates.emplace_back(env);
    candidates.insert(candidates.end(), {"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
                                         "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
                                         "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"});
    for (const std::string& path : candidates) {
        std::string bytes;
        if (!platform::ReadFileBytes(path, bytes))
            continue;
        std::vector<std::u16string> faces;
        for (auto& name : UnicodeFullNames(bytes)) {
            if (!name.empty())
                faces.push_back(std::move(name));
        }
        if (!faces.empty())
            return CjkFont{path, std::move(faces)};
    }
    return std::nullopt;
}
