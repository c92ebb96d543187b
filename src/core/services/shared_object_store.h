#pragma once
// The movies' saved objects (Flash's local shared objects), kept in the
// reader's data folder so that they outlive the Player: one `.sol` file each,
// laid out by the engine's key (`domain/path/name`) as Flash laid them out.
// Every save replaces its file atomically, so a Player killed after a flush
// keeps it and two Players at once never leave a torn file.

#include <optional>
#include <string>
#include <string_view>

class SharedObjectStore {
public:
    explicit SharedObjectStore(std::string folder);
    // $XDG_DATA_HOME/magazine-player/shared-objects (~/.local/share/... by default).
    static std::string DefaultFolder();

    // The file that holds the object under `key`; nothing for an empty key.
    std::optional<std::string> FileFor(std::string_view key) const;

    // The object as the engine stores it (the Base64 text of its `.sol` bytes);
    // nothing when there is none, or when its file is damaged (which is kept).
    std::optional<std::string> Get(std::string_view key) const;
    // Saves the engine's Base64 text; a damaged file in its place is first moved
    // aside (NAME.sol.damaged…), never overwritten. False when it cannot be saved.
    bool Put(std::string_view key, std::string_view base64);
    bool Remove(std::string_view key);

    // The `.sol` layout's header: 00 BF, the length of the rest, "TCSO".
    static bool IsSolFile(std::string_view bytes);

private:
    std::string m_folder;
};
