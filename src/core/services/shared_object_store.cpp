#include "core/services/shared_object_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

#include "core/platform/base64.h"
#include "core/platform/file_io.h"

namespace {

bool SafeByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ' ' || c >= 0x80;
}

// One component of the key as a file name: bytes a name cannot hold (or that
// would read as a path: `.`, `..`, `%`) become %XX.
std::string FileNameOf(std::string_view part) {
    std::string name;
    const bool dots = part == "." || part == "..";
    for (const char ch : part) {
        const auto c = static_cast<unsigned char>(ch);
        if (SafeByte(c) && !(dots && c == '.')) {
            name += ch;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            name += '%';
            name += kHex[c >> 4];
            name += kHex[c & 15];
        }
    }
    return name;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

SharedObjectStore::SharedObjectStore(std::string folder) : m_folder(std::move(folder)) {}

std::string SharedObjectStore::DefaultFolder() {
    return platform::XdgFolder("XDG_DATA_HOME", ".local/share") + "/magazine-player/shared-objects";
}

std::optional<std::string> SharedObjectStore::FileFor(std::string_view key) const {
    std::string path = m_folder;
    bool any = false;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find('/', start);
        if (end == std::string_view::npos)
            end = key.size();
        if (end > start) {
            path += '/' + FileNameOf(key.substr(start, end - start));
            any = true;
        }
        start = end + 1;
    }
    if (!any)
        return std::nullopt;
    return path + ".sol";
}

bool SharedObjectStore::IsSolFile(std::string_view b) {
    if (b.size() < 10 || static_cast<unsigned char>(b[0]) != 0x00 ||
        static_cast<unsigned char>(b[1]) != 0xBF || b.substr(6, 4) != "TCSO") {
        return false;
    }
    uint32_t length = 0;
    for (int i = 2; i < 6; ++i)
        length = (length << 8) | static_cast<unsigned char>(b[i]);
    return length == b.size() - 6;
}

std::optional<std::string> SharedObjectStore::Get(std::string_view key) const {
    const auto file = FileFor(key);
    std::string bytes;
    if (!file || !platform::ReadFileBytes(*file, bytes) || !IsSolFile(bytes))
        return std::nullopt;
    return platform::Base64Encode(bytes);
}

bool SharedObjectStore::Put(std::string_view key, std::string_view base64) {
    const auto file = FileFor(key);
    const auto bytes = platform::Base64Decode(base64);
    if (!file || !bytes)
        return false;
    std::string old;
    if (platform::ReadFileBytes(*file, old) && !IsSolFile(old)) {
        std::string aside = *file + ".damaged";
        for (int n = 2; Exists(aside); ++n)
            aside = *file + ".damaged" + std::to_string(n);
        if (rename(file->c_str(), aside.c_str()) != 0)
            return false;
    }
    return platform::WriteFileAtomically(*file, *bytes);
}

bool SharedObjectStore::Remove(std::string_view key) {
    const auto file = FileFor(key);
    std::string old;
    // A damaged file stays: the reader may want it back.
    if (!file || (platform::ReadFileBytes(*file, old) && !IsSolFile(old)))
        return false;
    return unlink(file->c_str()) == 0;
}
