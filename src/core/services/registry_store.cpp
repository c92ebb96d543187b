#include "core/services/registry_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/platform/ascii_case.h"
#include "core/platform/text.h"

namespace {

const char16_t* RootName(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::CurrentUser:
            return u"HKEY_CURRENT_USER";
        case RegistryRoot::ClassesRoot:
            return u"HKEY_CLASSES_ROOT";
        case RegistryRoot::LocalMachine:
            return u"HKEY_LOCAL_MACHINE";
        case RegistryRoot::Users:
            return u"HKEY_USERS";
        case RegistryRoot::CurrentConfig:
            return u"HKEY_CURRENT_CONFIG";
        case RegistryRoot::None:
            break;
    }
    return nullptr;
}

// `key` is `path` itself or one of its sub-keys.
bool IsSameOrBelow(std::u16string_view key, std::u16string_view path) {
    return platform::EqualsIgnoringAsciiCase(key.substr(0, path.size()), path) &&
           (key.size() == path.size() || key[path.size()] == u'\\');
}

bool IsRootName(std::u16string_view name) {
    for (auto r : {RegistryRoot::CurrentUser, RegistryRoot::ClassesRoot, RegistryRoot::LocalMachine,
                   RegistryRoot::Users, RegistryRoot::CurrentConfig}) {
        if (platform::EqualsIgnoringAsciiCase(RootName(r), name))
            return true;
    }
    return false;
}

std::vector<uint8_t> Utf16Bytes(std::u16string_view text, bool terminate) {
    const std::string bytes = platform::Utf16LeBytes(text);
    std::vector<uint8_t> out(bytes.begin(), bytes.end());
    if (terminate)
        out.insert(out.end(), {0, 0});
    return out;
}

std::u16string TextOf(const std::vector<uint8_t>& data) {
    std::u16string text = platform::FromUtf16LeBytes(
        std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    return text.substr(0, text.find(u'\0'));
}

std::u16string DecodeFile(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
        static_cast<uint8_t>(bytes[1]) == 0xFE) {
        return platform::FromUtf16LeBytes(bytes.substr(2));
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return platform::Utf8ToUtf16(bytes);
}

// A quoted string with \\ and \" escapes; `pos` is on the opening quote and ends after the closing
// one.
bool ReadQuoted(std::u16string_view line, size_t& pos, std::u16string& out) {
    if (pos >= line.size() || line[pos] != u'"')
        return false;
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        const char16_t c = line[pos];
        if (c == u'"') {
            ++pos;
            return true;
        }
        if (c == u'\\' && pos + 1 < line.size()) {
            out.push_back(line[++pos]);
        } else {
            out.push_back(c);
        }
    }
    return false;
}

std::u16string Quote(std::u16string_view text) {
    std::u16string out = u"\"";
    for (char16_t c : text) {
        if (c == u'\\' || c == u'"')
            out.push_back(u'\\');
        out.push_back(c);
    }
    return out + u"\"";
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool ParseHexBytes(std::u16string_view text, std::vector<uint8_t>& out) {
    out.clear();
    int pending = -1;
    for (char16_t c : text) {
        if (c == u',' || c == u' ' || c == u'\t') {
            if (pending >= 0)
                out.push_back(static_cast<uint8_t>(pending));
            pending = -1;
            continue;
        }
        const int d = HexDigit(c);
        if (d < 0)
            return false;
        pending = pending < 0 ? d : pending * 16 + d;
        if (pending > 0xFF)
            return false;
    }
    if (pending >= 0)
        out.push_back(static_cast<uint8_t>(pending));
    return true;
}

// One value's data after "=": "text", dword:..., hex:..., hex(N):...
bool ParseData(std::u16string_view text, RegistryValue& value) {
    if (!text.empty() && text[0] == u'"') {
        size_t pos = 0;
        std::u16string s;
        if (!ReadQuoted(text, pos, s))
            return false;
        value = {REG_SZ, Utf16Bytes(s, true)};
        return true;
    }
    if (text.substr(0, 6) == u"dword:") {
        uint32_t v = 0;
        for (char16_t c : text.substr(6)) {
            const int d = HexDigit(c);
            if (d < 0)
                return false;
            v = v * 16 + static_cast<uint32_t>(d);
        }
        value = {REG_DWORD,
                 {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                  static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)}};
        return true;
    }
    uint32_t type = REG_BINARY;
    std::u16string_view rest;
    if (text.substr(0, 4) == u"hex:") {
        rest = text.substr(4);
    } else if (text.substr(0, 4) == u"hex(") {
        const size_t close = text.find(u"):");
        if (close == std::u16string_view::npos)
            return false;
        type = 0;
        for (char16_t c : text.substr(4, close - 4)) {
            const int d = HexDigit(c);
            if (d < 0)
                return false;
            type = type * 16 + static_cast<uint32_t>(d);
        }
        rest = text.substr(close + 2);
    } else {
        return false;
    }
    value.type = type;
    return ParseHexBytes(rest, value.data);
}

// A line of the file cannot hold a line break or another control character.
bool HasControlCharacters(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c < 0x20; });
}

std::u16string FormatData(const RegistryValue& v) {
    // A string with such characters is written as regedit writes any string it
    // cannot quote: its UTF-16LE bytes as hex(1):.
    if (v.type == REG_SZ && !HasControlCharacters(TextOf(v.data)))
        return Quote(TextOf(v.data));
    char buffer[16];
    if (v.type == REG_DWORD && v.data.size() == 4) {
        std::snprintf(buffer, sizeof buffer, "dword:%08x",
                      v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                          (static_cast<uint32_t>(v.data[3]) << 24));
        return platform::Widen(buffer);
    }
    std::string out = v.type == REG_BINARY ? "hex:" : "hex(" + [&] {
        std::snprintf(buffer, sizeof buffer, "%x", v.type);
        return std::string(buffer);
    }() + "):";
    for (size_t i = 0; i < v.data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i ? ",%02x" : "%02x", v.data[i]);
        out += buffer;
    }
    return platform::Widen(out);
}

}  // namespace

bool CaseInsensitiveLess::operator()(const std::u16string& a, const std::u16string& b) const {
    return platform::LessIgnoringAsciiCase(a, b);
}

RegistryStore::RegistryStore(std::string path) : m_path(std::move(path)) {}

std::string RegistryStore::DefaultPath() {
    return platform::XdgFolder("XDG_CONFIG_HOME", ".config") + "/magazine-player/registry.reg";
}

RegistryStore& RegistryStore::Default() {
    static RegistryStore store(DefaultPath());
    return store;
}

std::u16string RegistryStore::KeyPath(RegistryRoot root, std::u16string_view subKey) {
    std::u16string path = RootName(root);
    while (!subKey.empty() && subKey.back() == u'\\')
        subKey.remove_suffix(1);
    if (!subKey.empty())
        path += u"\\" + std::u16string(subKey);
    return path;
}

void RegistryStore::AddWithParents(Keys& keys, const std::u16string& path) {
    for (size_t i = path.find(u'\\'); i != std::u16string::npos; i = path.find(u'\\', i + 1)) {
        keys[path.substr(0, i)];
    }
    keys[path];
}

bool RegistryStore::Parse(std::string_view bytes, Keys& into, ImportError* error) const {
    const std::u16string text = DecodeFile(bytes);
    std::vector<std::u16string> lines;
    std::vector<size_t> numbers;  // the file's line each of `lines` begins on
    std::u16string current;
    size_t number = 1, begins = 1;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'\n') {
            if (!current.empty() && current.back() == u'\r')
                current.pop_back();
            // A trailing backslash continues a hex value on the next line.
            if (!current.empty() && current.back() == u'\\' && i < text.size()) {
                current.pop_back();
                ++number;
                continue;
            }
            lines.push_back(current);
            numbers.push_back(begins);
            current.clear();
            begins = ++number;
            continue;
        }
        current.push_back(text[i]);
    }
    const auto fail = [&](size_t line, const char* what) {
        if (error)
            *error = {line, what};
        return false;
    };
    size_t first = 0;
    while (first < lines.size() && lines[first].empty())
        ++first;
    if (first == lines.size() ||
        (lines[first] != u"Windows Registry Editor Version 5.00" && lines[first] != u"REGEDIT4")) {
        return fail(first < lines.size() ? numbers[first] : 0,
                    "not a registry file (it begins with no \"Windows Registry Editor Version "
                    "5.00\" line)");
    }
    Values* key = nullptr;
    for (size_t i = first + 1; i < lines.size(); ++i) {
        std::u16string_view line = lines[i];
        while (!line.empty() && (line.front() == u' ' || line.front() == u'\t'))
            line.remove_prefix(1);
        if (line.empty() || line[0] == u';')
            continue;
        if (line[0] == u'[') {
            const size_t close = line.rfind(u']');
            if (close == std::u16string_view::npos)
                return fail(numbers[i], "a key's name has no closing ]");
            std::u16string path(line.substr(1, close - 1));
            const bool remove = !path.empty() && path[0] == u'-';
            if (remove)
                path.erase(0, 1);
            while (!path.empty() && path.back() == u'\\')
                path.pop_back();
            // A key has no empty name: A\\B is A\B, as the next reader of the
            // exported file would take it.
            path.erase(std::unique(path.begin(), path.end(),
                                   [](char16_t a, char16_t b) { return a == u'\\' && b == a; }),
                       path.end());
            if (!IsRootName(path.substr(0, path.find(u'\\')))) {
                key = nullptr;  // not a key of the five roots: its values are skipped
                continue;
            }
            if (remove) {
                for (auto it = into.begin(); it != into.end();) {
                    it = IsSameOrBelow(it->first, path) ? into.erase(it) : std::next(it);
                }
                key = nullptr;
                continue;
            }
            AddWithParents(into, path);
            key = &into[path];
            continue;
        }
        if (!key)
            continue;
        std::u16string name;
        size_t pos = 0;
        if (line[0] == u'@') {
            pos = 1;
        } else if (!ReadQuoted(line, pos, name)) {
            return fail(numbers[i], "a value's name is not in quotes");
        }
        if (pos >= line.size() || line[pos] != u'=')
            return fail(numbers[i], "no = after the value's name");
        const std::u16string_view data = line.substr(pos + 1);
        if (data == u"-") {
            key->erase(name);
            continue;
        }
        RegistryValue value;
        if (!ParseData(data, value))
            return fail(numbers[i], "the value's data is not a string, dword: or hex: value");
        (*key)[name] = std::move(value);
    }
    return true;
}

void RegistryStore::Refresh() {
    if (m_path.empty())
        return;  // kept in memory
    const platform::FileStamp stamp = platform::StampOf(m_path);
    if (stamp == m_loaded)
        return;
    m_loaded = stamp;
    m_keys.clear();
    m_unreadable = false;
    if (stamp == platform::FileStamp{})
        return;  // no store yet
    std::string bytes;
    Keys keys;
    if (platform::ReadFileBytes(m_path, bytes) && Parse(bytes, keys)) {
        m_keys = std::move(keys);
        return;
    }
    m_unreadable = true;
    std::fprintf(stderr,
                 "%s cannot be read as a registry file: it is kept as it is and nothing is "
                 "saved into it until it is mended or removed\n",
                 m_path.c_str());
}

std::string RegistryStore::Export() const {
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n";
    for (const auto& [path, values] : m_keys) {
        text += u"[" + path + u"]\r\n";
        for (const auto& [name, value] : values) {
            text += (name.empty() ? std::u16string(u"@") : Quote(name)) + u"=" + FormatData(value) +
                    u"\r\n";
        }
        text += u"\r\n";
    }
    return "\xFF\xFE" + platform::Utf16LeBytes(text);
}

bool RegistryStore::Save() {
    // Saving over a file that did not parse would replace every value the reader
    // had with the few this process knows.
    if (m_unreadable)
        return false;
    if (m_path.empty())
        return true;
    platform::RemoveStaleTemporaries(m_path);
    if (!platform::WriteFileAtomically(m_path, Export()))
        return false;
    m_loaded = platform::StampOf(m_path);
    return true;
}

bool RegistryStore::KeyExists(RegistryRoot root, std::u16string_view subKey) {
    if (root == RegistryRoot::None)
        return false;
    Refresh();
    while (!subKey.empty() && subKey.back() == u'\\')
        subKey.remove_suffix(1);
    return subKey.empty() || m_keys.count(KeyPath(root, subKey)) > 0;
}

std::optional<RegistryValue> RegistryStore::GetValue(RegistryRoot root, std::u16string_view subKey,
                                                     std::u16string_view name) {
    if (!KeyExists(root, subKey))
        return std::nullopt;
    const auto key = m_keys.find(KeyPath(root, subKey));
    if (key == m_keys.end())
        return std::nullopt;
    const auto value = key->second.find(std::u16string(name));
    if (value == key->second.end())
        return std::nullopt;
    return value->second;
}

bool RegistryStore::SetValue(RegistryRoot root, std::u16string_view subKey,
                             std::u16string_view name, RegistryValue value) {
    if (HasControlCharacters(name))
        return false;  // no line of the file can name it
    // Read, change and save as one step against other Players writing too.
    const platform::FileLock lock(m_path);
    if (!KeyExists(root, subKey))
        return false;
    m_keys[KeyPath(root, subKey)][std::u16string(name)] = std::move(value);
    return Save();
}

bool RegistryStore::Import(std::string_view fileBytes, ImportError* error) {
    const platform::FileLock lock(m_path);
    Refresh();
    Keys merged = m_keys;
    if (!Parse(fileBytes, merged, error))
        return false;
    m_keys = std::move(merged);
    if (Save())
        return true;
    if (error)
        *error = {0, "the store " + m_path + " cannot be saved"};
    return false;
}

RegistryKey::RegistryKey(RegistryRoot root, std::u16string_view subKey, RegistryStore& store)
    : m_root(root), m_subKey(subKey), m_store(store) {}

std::u16string RegistryKey::ReadString(std::u16string_view valueName,
                                       std::optional<std::u16string_view> subKey) {
    if (subKey)
        m_subKey.assign(*subKey);
    const auto value = m_store.GetValue(m_root, m_subKey, valueName);
    // The value is read into 1024 bytes; one that does not fit is not read at all.
    if (!value || value->data.size() > 1024)
        return {};
    return TextOf(value->data);
}

void RegistryKey::WriteString(std::u16string_view valueName, std::u16string_view data,
                              std::optional<std::u16string_view> subKey) {
    if (subKey)
        m_subKey.assign(*subKey);
    const std::string ansiData = platform::ToAnsi(data);
    const std::string ansiName = platform::ToAnsi(valueName);
    // Both went through 1024-byte buffers with their terminating zero.
    if (ansiData.size() > 1023 || ansiName.size() > 1023)
        return;
    // The value is stored the way the ANSI call stores it: converted back from the
    // locale charset, without a terminating zero.
    m_store.SetValue(m_root, m_subKey, platform::FromAnsi(ansiName),
                     {REG_SZ, Utf16Bytes(platform::FromAnsi(ansiData), false)});
}
