#include "core/platform/base64.h"

#include <algorithm>
#include <cstdint>

namespace platform {

namespace {

constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0);
        for (size_t k = 0; k < 4; ++k)
            out += k <= n ? kDigits[(v >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const size_t pad =
            last ? (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=') : 0;
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) {
            const int d = k >= 4 - pad ? 0 : DigitValue(text[i + k]);
            if (d < 0)
                return std::nullopt;
            v = (v << 6) | static_cast<uint32_t>(d);
        }
        // The bits a padded group leaves over are zero in every encoder's output;
        // a text with others set is not the encoding of any bytes.
        if ((pad == 1 && (v & 0xFF)) || (pad == 2 && (v & 0xFFFF)))
            return std::nullopt;
        for (size_t k = 0; k < 3 - pad; ++k)
            out += static_cast<char>((v >> (16 - 8 * k)) & 0xFF);
    }
    return out;
}

}  // namespace platform
