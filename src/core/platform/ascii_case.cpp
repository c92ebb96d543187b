#include "core/platform/ascii_case.h"

#include <algorithm>

namespace platform {

namespace {

bool SameFolded(char16_t a, char16_t b) {
    return AsciiLower(a) == AsciiLower(b);
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameFolded);
}

bool EqualsAnyIgnoringAsciiCase(std::u16string_view text,
                                std::initializer_list<std::u16string_view> words) {
    for (const auto word : words) {
        if (EqualsIgnoringAsciiCase(text, word))
            return true;
    }
    return false;
}

bool ContainsIgnoringAsciiCase(std::u16string_view text, std::u16string_view needle) {
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(), SameFolded) !=
           text.end();
}

bool LessIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char16_t x, char16_t y) { return AsciiUpper(x) < AsciiUpper(y); });
}

}  // namespace platform
