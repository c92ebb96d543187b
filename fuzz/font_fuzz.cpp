// Feeds arbitrary bytes to the font-name reader as a font file: whatever its
// table directory and name table claim, reading must never fail or throw.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/bridge/font_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    UnicodeFullNames(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
