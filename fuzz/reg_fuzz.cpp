// Feeds arbitrary bytes to the registry store as a ".reg" file to import. A
// text it takes must come back from its own export unchanged, so that no value
// can be written in a form the next reader cannot parse. The stores are kept in
// memory: the parser is under test, not the disk.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/services/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A few keys and values are what an issue's .reg holds; longer inputs only
    // repeat the same lines.
    RegistryStore store("");
    if (!store.Import(
            std::string_view(reinterpret_cast<const char*>(data), std::min<size_t>(size, 2048))))
        return 0;
    const std::string exported = store.Export();
    RegistryStore again("");
    if (!again.Import(exported) || again.Export() != exported)
        std::abort();
    return 0;
}
