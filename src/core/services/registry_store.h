#pragma once
// The registry of this platform: the five roots as a tree of keys holding typed
// values, kept in the Windows ".reg" text format in one file per user and
// written atomically (temporary file, then rename) under a lock shared with
// other processes. A file another process changed is read again before each
// operation; a file that does not parse is kept and never saved over.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/file_io.h"
#include "core/services/registry_root.h"

enum RegistryValueType : uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_MULTI_SZ = 7
};

struct RegistryValue {
    uint32_t type = REG_SZ;
    std::vector<uint8_t> data;  // as the registry keeps it: strings in UTF-16LE with their zero
};

// Names compare ignoring letter case, as on Windows.
struct CaseInsensitiveLess {
    bool operator()(const std::u16string& a, const std::u16string& b) const;
};

class RegistryStore {
public:
    // An empty path keeps the store in memory only (the fuzzer's round trips).
    explicit RegistryStore(std::string path);

    // $XDG_CONFIG_HOME/magazine-player/registry.reg (or ~/.config/...).
    static std::string DefaultPath();
    // The store every command of this process uses.
    static RegistryStore& Default();

    bool KeyExists(RegistryRoot root, std::u16string_view subKey);
    std::optional<RegistryValue> GetValue(RegistryRoot root, std::u16string_view subKey,
                                          std::u16string_view name);
    // Into an existing key only; false when the key is missing or the file cannot be saved.
    bool SetValue(RegistryRoot root, std::u16string_view subKey, std::u16string_view name,
                  RegistryValue value);

    // Why a ".reg" text was not taken: the line (counted from 1 as an editor
    // counts them; 0 for the text as a whole) and what is wrong there.
    struct ImportError {
        size_t line = 0;
        std::string what;
    };
    // Merges a ".reg" text (UTF-16LE with BOM, or UTF-8) into the store and saves it;
    // creates the keys it names. False, with the reason, when the text is not in
    // that format or the store cannot be saved; then nothing is merged.
    bool Import(std::string_view fileBytes, ImportError* error = nullptr);
    // The whole store as regedit exports it: UTF-16LE with BOM.
    std::string Export() const;

private:
    using Values = std::map<std::u16string, RegistryValue, CaseInsensitiveLess>;
    using Keys = std::map<std::u16string, Values, CaseInsensitiveLess>;

    void Refresh();
    bool Parse(std::string_view bytes, Keys& into, ImportError* error = nullptr) const;
    bool Save();
    static std::u16string KeyPath(RegistryRoot root, std::u16string_view subKey);
    static void AddWithParents(Keys& keys, const std::u16string& path);

    std::string m_path;
    Keys m_keys;
    platform::FileStamp m_loaded;
    bool m_unreadable = false;  // the file exists but does not parse: never saved over
};

// One key of the registry, read or written one value at a time with the buffer
// limits of the original calls: 1024 bytes for a value read, 1023 bytes of
// locale-charset text for a written name or data.
class RegistryKey {
public:
    RegistryKey(RegistryRoot root, std::u16string_view subKey,
                RegistryStore& store = RegistryStore::Default());

    // The value as text up to its first zero unit; empty when the key or the value
    // is missing, or the value does not fit the 1024-byte buffer.
    std::u16string ReadString(std::u16string_view valueName,
                              std::optional<std::u16string_view> subKey = std::nullopt);
    // A string value in an existing key (never created). Data or name too long for
    // the buffers are refused, not cut.
    void WriteString(std::u16string_view valueName, std::u16string_view data,
                     std::optional<std::u16string_view> subKey = std::nullopt);

private:
    [[maybe_unused]] uint8_t m_valid = 1;  // set by the constructor, read by nothing
    RegistryRoot m_root;
    std::u16string m_subKey;
    RegistryStore& m_store;
};
