// The saved-object store's inputs from a movie's page: an arbitrary key must
// name a file inside the store's folder, and an arbitrary value must decode
// and encode back the same, or be refused; arbitrary bytes on the disk are a
// shared object or not, never a crash.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/platform/base64.h"
#include "core/services/shared_object_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string_view key = input.substr(0, split);
    const std::string_view value = split == std::string_view::npos ? "" : input.substr(split + 1);

    static const SharedObjectStore store("/so");
    if (const auto file = store.FileFor(key)) {
        if (file->rfind("/so/", 0) != 0 || file->find("/../") != std::string::npos ||
            file->find("/./") != std::string::npos || file->find("//") != std::string::npos) {
            std::abort();  // a file outside the store's folder
        }
    }
    if (const auto bytes = platform::Base64Decode(value)) {
        if (platform::Base64Encode(*bytes) != value)
            std::abort();
    }
    (void)SharedObjectStore::IsSolFile(input);
    return 0;
}
