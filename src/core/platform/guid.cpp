#include "core/platform/guid.h"

#include <cstdio>
#include <cstring>

namespace platform {

bool CreateGuid(Guid& guid) {
    unsigned char bytes[16] = {};
    FILE* f = std::fopen("/dev/urandom", "rb");
    if (!f)
        return false;
    const size_t n = std::fread(bytes, 1, sizeof bytes, f);
    std::fclose(f);
    if (n != sizeof bytes)
        return false;
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    guid.data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
                 (uint32_t{bytes[2]} << 8) | bytes[3];
    guid.data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    guid.data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    std::memcpy(guid.data4, bytes + 8, 8);
    return true;
}

}  // namespace platform
