// Feeds arbitrary bytes to the registry store as a ".reg" file to import. A
// text it takes must come back from its own export unchanged, so that no value
// can be written in a form the next reader cannot parse.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/registry_store.h"

namespace {

// A store file of this process on a memory file system when there is one: the
// store saves (and flushes) on every import.
std::string StorePath(const char* name) {
    const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return dir + "/reg_fuzz-" + std::to_string(getpid()) + "-" + name + ".reg";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string first = StorePath("a"), second = StorePath("b");
    unlink(first.c_str());
    unlink(second.c_str());
    RegistryStore store(first);
    if (!store.Import(std::string_view(reinterpret_cast<const char*>(data), size)))
        return 0;
    const std::string exported = store.Export();
    RegistryStore again(second);
    if (!again.Import(exported) || again.Export() != exported)
        std::abort();
    return 0;
}
