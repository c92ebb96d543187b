#pragma once
// Base64 (RFC 4648, with padding), as the movie engine stores saved objects.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::string Base64Encode(std::string_view bytes);
// Nothing when the text is not Base64 (wrong characters, length or padding, or
// bits left over that are not zero): only what Base64Encode writes decodes.
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace platform
