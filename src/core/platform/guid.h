#pragma once
#include <cstdint>

namespace platform {

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};
};

// A random version-4 GUID from /dev/urandom. False when no randomness could be read
// (the GUID is then left all zero).
bool CreateGuid(Guid& guid);

}  // namespace platform
